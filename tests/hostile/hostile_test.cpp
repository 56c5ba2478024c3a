// Hostile files, as a table: every prefix of a valid TGA, P6, P3 and PNG file,
// from a regular file and through a pipe, streams that fail with EIO after
// every number of bytes, huge, negative, overflowing and non-numeric header
// fields, odd max values, comments everywhere, trailing garbage, and names
// that are not readable files. For every case: the result, the exact
// message, no file handle or heap byte left behind, and a peak heap use
// bounded by the file's size plus the image returned. PNG adds a flipped CRC
// in each chunk, giant headers over tiny data, a zlib bomb and palette
// indices past the palette.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "allocation_counter.hpp"
#include "core/messages.hpp"
#include "failing_stream.hpp"
#include "pixpen.h"
#include "test_support.hpp"

#if defined(PIXPEN_HOSTILE_PNG)
#include <zlib.h>
#endif

namespace {

enum class Reader { tga, ppm, png };

// Where the case reads from: a temp file holding `bytes`; a FIFO that a child
// process fills with them (no size known in advance, so the readers meet
// short data only as they read it); a stream of them that fails with EIO
// after `delivered` bytes, for good or once; or something else.
enum class Source {
    file,
    fifo,
    failing_read,
    failing_once,
    directory,
    dev_null,
    missing_200_chars,
    null_name
};

struct Expected {
    const char *message = nullptr; // the refusal; nullptr when the file is read
    int width = 0;
    int height = 0;
    std::optional<std::string> rgb; // the pixels read, when the case pins them
};

struct HostileCase {
    std::string name;
    Reader reader;
    std::string bytes;
    Expected expected;
    Source source = Source::file;
    std::size_t delivered = 0; // Source::failing_read and failing_once
};

void PrintTo(const HostileCase &c, std::ostream *os) {
    *os << c.name;
}

Expected refused(const char *message) {
    return Expected{message, 0, 0, std::nullopt};
}

Expected read_as(int width, int height, std::optional<std::string> rgb = std::nullopt) {
    return Expected{nullptr, width, height, std::move(rgb)};
}

// ---- valid files and their pixels ------------------------------------------

std::string le16(int v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

// id length, colour map type, image type, colour map offset and entries,
// colour map depth, origin, size, depth, descriptor.
std::string tga_header(int width, int height, int type = 2, int depth = 24, int descriptor = 0x20,
                       int id_length = 0) {
    std::string h;
    h += static_cast<char>(id_length);
    h += '\0';
    h += static_cast<char>(type);
    h += le16(0) + le16(0) + std::string(1, '\0') + le16(0) + le16(0);
    h += le16(width) + le16(height);
    h += static_cast<char>(depth);
    h += static_cast<char>(descriptor);
    return h;
}

// RGB bytes of a 3 x 2 test picture with every channel distinct.
const std::string kRgb = {'\xFF', '\x00', '\x11', '\x01', '\x16', '\x85', '\x7F', '\x80', '\x81',
                          '\x00', '\x00', '\x00', '\xFE', '\x0A', '\x0B', '\x04', '\x05', '\x06'};

std::string bgr(const std::string &rgb) {
    std::string out = rgb;
    for (std::size_t i = 0; i + 2 < out.size(); i += 3) {
        std::swap(out[i], out[i + 2]);
    }
    return out;
}

const std::string kTga = tga_header(3, 2) + bgr(kRgb);
const std::string kP6 = "P6\n3 2\n255\n" + kRgb;
// The last sample is a single digit, so only the final newline may go.
const std::string kP3 = "P3\n3 2\n255\n255 0 17\n1 22 133\n127 128 129\n0 0 0\n254 10 11\n4 5 6\n";

// ---- every prefix ------------------------------------------------------------

// A prefix of `whole` shorter than `below` bytes is refused with `message`;
// the first row that applies wins, and prefixes past every row are read.
// The last row's message is the reader's message for short pixel data.
struct PrefixRule {
    std::size_t below;
    const char *message;
};

// Every prefix, from a file and through a FIFO; and the whole file from a
// stream that fails after each number of bytes (and one that never fails).
// A failed read is never an image: it is refused as the bytes delivered
// before the error would be, and where those would be read, as short data;
// also when the stream would go on after the error.
void add_prefixes(std::vector<HostileCase> &cases, const char *stem, Reader reader,
                  const std::string &whole, const std::vector<PrefixRule> &rules) {
    const std::string s(stem);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        Expected expected = read_as(3, 2, kRgb);
        for (const PrefixRule &rule : rules) {
            if (length < rule.below) {
                expected = refused(rule.message);
                break;
            }
        }
        const std::string n = std::to_string(length);
        const std::string prefix = whole.substr(0, length);
        cases.push_back({s + "_prefix_" + n, reader, prefix, expected});
        cases.push_back({s + "_fifo_prefix_" + n, reader, prefix, expected, Source::fifo});
        const Expected failed =
            expected.message != nullptr ? expected : refused(rules.back().message);
        cases.push_back(
            {s + "_eio_after_" + n, reader, whole, failed, Source::failing_read, length});
        cases.push_back(
            {s + "_eio_once_after_" + n, reader, whole, failed, Source::failing_once, length});
    }
    cases.push_back(
        {s + "_eio_never", reader, whole, read_as(3, 2, kRgb), Source::failing_read, SIZE_MAX});
}

// ---- PNG files, chunk by chunk ---------------------------------------------

#if defined(PIXPEN_HOSTILE_PNG)
const char *const kPngShort = "PNG data ends early";
const char *const kPngCrc = "PNG critical chunk has a bad CRC";

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string png_chunk(const std::string &type, const std::string &data) {
    const std::string body = type + data;
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()));
    return be32(static_cast<std::uint32_t>(data.size())) + body +
           be32(static_cast<std::uint32_t>(crc));
}

std::string zlib_of(const std::string &raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef *>(out.data()), &size,
             reinterpret_cast<const Bytef *>(raw.data()), static_cast<uLong>(raw.size()));
    out.resize(size);
    return out;
}

std::string ihdr(std::uint32_t width, std::uint32_t height, int depth, int colour_type,
                 int interlace = 0) {
    return png_chunk("IHDR", be32(width) + be32(height) + static_cast<char>(depth) +
                                 static_cast<char>(colour_type) + std::string(2, '\0') +
                                 static_cast<char>(interlace));
}

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);
const std::string kIend = png_chunk("IEND", "");

// Rows of `width` bytes each behind filter type 0.
std::string unfiltered(const std::string &rows, std::size_t width) {
    std::string raw;
    for (std::size_t at = 0; at < rows.size(); at += width) {
        raw += '\0' + rows.substr(at, width);
    }
    return raw;
}

// kRgb as 8-bit truecolour, with `before_idat` between IHDR and IDAT.
std::string png_rgb(const std::string &before_idat = "") {
    return kPngSignature + ihdr(3, 2, 8, 2) + before_idat +
           png_chunk("IDAT", zlib_of(unfiltered(kRgb, 9))) + kIend;
}

// The same bytes with the last CRC byte of the chunk that starts at `at` flipped.
std::string flip_crc(std::string png, std::size_t at) {
    const std::size_t length = (static_cast<std::uint8_t>(png[at]) << 24) |
                               (static_cast<std::uint8_t>(png[at + 1]) << 16) |
                               (static_cast<std::uint8_t>(png[at + 2]) << 8) |
                               static_cast<std::uint8_t>(png[at + 3]);
    png[at + 8 + length + 3] ^= 1;
    return png;
}

// pixpen's own encoding of an image, as the file it writes.
std::string own_png(Image image) {
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    if (!encode_image(image, IMAGE_FORMAT_PNG, &data, &size, nullptr)) {
        return {};
    }
    std::string bytes(reinterpret_cast<const char *>(data), size);
    free_buffer(data);
    return bytes;
}

void add_png_cases(std::vector<HostileCase> &c) {
    const Reader png = Reader::png;
    const std::string whole = png_rgb();
    // PNG is read by detection: a file cut inside the signature is no PNG
    // (its first byte alone could start a TGA header), and one cut inside
    // IEND's CRC is read, as IEND carries nothing to check.
    const char *kUnrecognised = "Unrecognised image format";
    add_prefixes(c, "png", png, whole,
                 {{1, kUnrecognised},
                  {2, "Unable to read TGA header"},
                  {kPngSignature.size(), kUnrecognised},
                  {whole.size() - 4, kPngShort}});

    // A CRC flipped in each chunk: critical ones refuse, ancillary ones are skipped.
    const std::string with_text = png_rgb(png_chunk("tEXt", std::string("Comment\0hi", 10)));
    const char *names[] = {"IHDR", "tEXt", "IDAT", "IEND"};
    std::size_t at = kPngSignature.size();
    for (const char *name : names) {
        const bool ancillary = std::string(name) == "tEXt";
        c.push_back({std::string("png_crc_flipped_in_") + name, png, flip_crc(with_text, at),
                     ancillary ? read_as(3, 2, kRgb) : refused(kPngCrc)});
        at += 12 + static_cast<std::uint8_t>(with_text[at + 3]);
    }

    const std::string tiny_idat = png_chunk("IDAT", zlib_of(std::string(8, '\0'))) + kIend;
    const std::string three = std::string("\0\x00\x01\x05", 4);
    const std::string palette = png_chunk("PLTE", "\x10\x20\x30\x40\x50\x60");
    const std::string rgb16 = std::string("\0\x80\xFF\x7F\x00\xFF\xFF", 7);
    const char *addressable = sizeof(std::size_t) > 4 ? kPngShort : "Image dimensions too large";
    const auto own = test::random_image(3, 2, 7);
    const auto own_rgb = test::pixel_bytes(own.get());
    const std::vector<HostileCase> table = {
        {"png_own_file", png, own_png(own.get()),
         read_as(3, 2, std::string(own_rgb.begin(), own_rgb.end()))},
        {"png_no_ihdr", png, kPngSignature + tiny_idat,
         refused("Invalid PNG header, IHDR is missing or malformed")},
        {"png_bit_depth_3", png, kPngSignature + ihdr(1, 1, 3, 0) + tiny_idat,
         refused("Invalid PNG header, IHDR is missing or malformed")},
        {"png_width_0", png, kPngSignature + ihdr(0, 1, 8, 0) + tiny_idat,
         refused("Invalid PNG header, IHDR is missing or malformed")},
        // Declared sizes the data cannot back are refused before the image is
        // made; on a 32-bit target, as too large for its address space.
        {"png_giant_ihdr_tiny_data", png, kPngSignature + ihdr(46340, 46340, 8, 2) + tiny_idat,
         refused(addressable)},
        {"png_int_max_by_1_tiny_data", png, kPngSignature + ihdr(INT_MAX, 1, 8, 0) + tiny_idat,
         refused(addressable)},
        // A row of 8 GiB is past what libspng decodes.
        {"png_int_max_by_1_rgba", png, kPngSignature + ihdr(INT_MAX, 1, 8, 6) + tiny_idat,
         refused("Image dimensions too large")},
        {"png_65536_squared", png, kPngSignature + ihdr(65536, 65536, 1, 0) + tiny_idat,
         refused("Image dimensions too large")},
        // 8 MiB of zeros behind a 16 x 16 grey header: inflated only as far as the image.
        {"png_zlib_bomb", png,
         kPngSignature + ihdr(16, 16, 8, 0) +
             png_chunk("IDAT", zlib_of(std::string(8u << 20, '\0'))) + kIend,
         read_as(16, 16, std::string(16 * 16 * 3, '\0'))},
        {"png_unknown_critical_chunk", png, png_rgb(png_chunk("ABCD", "x")),
         refused("PNG has an unknown critical chunk")},
        {"png_idat_not_zlib", png,
         kPngSignature + ihdr(3, 2, 8, 2) + png_chunk("IDAT", std::string(40, 'x')) + kIend,
         refused("PNG image data does not inflate to the image")},
        {"png_idat_one_row_short", png,
         kPngSignature + ihdr(3, 2, 8, 2) +
             png_chunk("IDAT", zlib_of(unfiltered(kRgb.substr(0, 9), 9))) + kIend,
         refused("PNG image data does not inflate to the image")},
        {"png_filter_type_5", png,
         kPngSignature + ihdr(1, 1, 8, 0) + png_chunk("IDAT", zlib_of("\x05\x01")) + kIend,
         refused("PNG image data does not inflate to the image")},
        {"png_palette_missing", png,
         kPngSignature + ihdr(1, 1, 8, 3) + png_chunk("IDAT", zlib_of(std::string(2, '\0'))) +
             kIend,
         refused("Invalid PNG chunk structure")},
        // Indices past the palette read as black, as browsers show them.
        {"png_palette_index_out_of_range", png,
         kPngSignature + ihdr(3, 1, 8, 3) + palette + png_chunk("IDAT", zlib_of(three)) + kIend,
         read_as(3, 1, std::string("\x10\x20\x30\x40\x50\x60\0\0\0", 9))},
        // 16-bit samples keep their high byte.
        {"png_16_bit_high_byte", png,
         kPngSignature + ihdr(1, 1, 16, 2) + png_chunk("IDAT", zlib_of(rgb16)) + kIend,
         read_as(1, 1, std::string("\x80\x7F\xFF", 3))},
    };
    c.insert(c.end(), table.begin(), table.end());
}
#endif

// ---- the table ---------------------------------------------------------------

std::vector<HostileCase> build_hostile_cases() {
    using R = Reader;
    std::vector<HostileCase> c;

    add_prefixes(c, "tga", R::tga, kTga,
                 {{18, "Unable to read TGA header"}, {kTga.size(), "Unable to read pixel data"}});
    add_prefixes(c, "p6", R::ppm, kP6,
                 {{1, "Improperly formatted PPM file"},
                  {2, "Only P3 and P6 formats are supported"},
                  {6, "Unable to read width and height"}, // "P6", "P6\n", "P6\n3", "P6\n3 "
                  {8, "Unable to read max value"},        // "P6\n3 2", "P6\n3 2\n"
                  {kP6.size(), "Unable to read pixel data"}});
    add_prefixes(c, "p3", R::ppm, kP3,
                 {{1, "Improperly formatted PPM file"},
                  {2, "Only P3 and P6 formats are supported"},
                  {6, "Unable to read width and height"},
                  {8, "Unable to read max value"},
                  {kP3.size() - 1, "Error while reading ASCII color value"}});

    const std::string px = "\x01\x02\x03";
    const char *kTooLarge = "Image dimensions too large";
    const char *kNoSize = "Unable to read width and height";
    const char *kNoMax = "Unable to read max value";
    const char *kBadMax = "Invalid max value, must be between 1 and 65535";
    const char *kShortP6 = "Unable to read pixel data";
    const char *kShortP3 = "Error while reading ASCII color value";
    // Counts over 2^31 / 1.5 fit an int32 but their bytes do not fit a
    // 32-bit size_t: there they are refused before the data is looked at.
    const auto addressable = [kTooLarge](const char *message) {
        return sizeof(std::size_t) > 4 ? message : kTooLarge;
    };
    const std::vector<HostileCase> table = {
        // TGA headers declaring the impossible or the unsupported.
        {"tga_65535x65535", R::tga, tga_header(65535, 65535) + px, refused(kTooLarge)},
        {"tga_65535x32769_just_over_int", R::tga, tga_header(65535, 32769) + px,
         refused(kTooLarge)},
        {"tga_65535x32768_fits_but_short", R::tga, tga_header(65535, 32768) + px,
         refused(addressable(kShortP6))},
        {"tga_1x1_header_only", R::tga, tga_header(1, 1), refused(kShortP6)},
        {"tga_width_0", R::tga, tga_header(0, 2) + px, refused("Invalid width, must be > 0")},
        {"tga_height_0", R::tga, tga_header(2, 0) + px, refused("Invalid height, must be > 0")},
        {"tga_id_length_255", R::tga, tga_header(1, 1, 2, 24, 0x20, 255) + px,
         refused("TGA id field not supported")},
        {"tga_type_0_no_data", R::tga, tga_header(1, 1, 0) + px,
         refused("Unsupported image type, only uncompressed RGB is supported")},
        {"tga_type_255", R::tga, tga_header(1, 1, 255) + px,
         refused("Unsupported image type, only uncompressed RGB is supported")},
        {"tga_depth_0", R::tga, tga_header(1, 1, 2, 0) + px,
         refused("Unsupported image type, bit depth must be 24")},
        {"tga_depth_255", R::tga, tga_header(1, 1, 2, 255) + px,
         refused("Unsupported image type, bit depth must be 24")},
        {"tga_descriptor_ff", R::tga, tga_header(1, 1, 2, 24, 0xFF) + px,
         refused("Unsupported image format, TGA image descriptor must be 0x20")},
        {"tga_trailing_garbage", R::tga, kTga + "garbage\xFF", read_as(3, 2, kRgb)},
        {"tga_all_ff_header", R::tga, std::string(18, '\xFF') + px,
         refused("TGA id field not supported")},

        // PPM sizes: huge, at the int limit, negative, overflowing, not numbers.
        {"p6_46341_squared", R::ppm, "P6 46341 46341 255\n" + px, refused(kTooLarge)},
        {"p6_46340_squared_short", R::ppm, "P6 46340 46340 255\n" + px,
         refused(addressable(kShortP6))},
        {"p3_46340_squared_short", R::ppm, "P3 46340 46340 255\n1 2 3\n",
         refused(addressable(kShortP3))},
        {"p6_int_max_by_1_short", R::ppm, "P6 2147483647 1 255\n" + px,
         refused(addressable(kShortP6))},
        {"p6_int_max_by_2", R::ppm, "P6 2147483647 2 255\n" + px, refused(kTooLarge)},
        {"p6_0_by_int_max", R::ppm, "P6 0 2147483647 255\n", read_as(0, INT_MAX, "")},
        {"p6_int_max_by_0", R::ppm, "P6 2147483647 0 255\n", read_as(INT_MAX, 0, "")},
        {"p6_width_2_pow_31", R::ppm, "P6 2147483648 1 255\n" + px, refused(kTooLarge)},
        {"p6_height_2_pow_32_plus_1", R::ppm, "P6 1 4294967297 255\n" + px, refused(kTooLarge)},
        {"p6_width_40_digits", R::ppm, "P6 " + std::string(40, '9') + " 1 255\n" + px,
         refused(kTooLarge)},
        {"p6_width_leading_zeros", R::ppm, "P6 " + std::string(300, '0') + "1 1 255\n" + px,
         read_as(1, 1, px)},
        {"p6_width_minus_1", R::ppm, "P6 -1 1 255\n" + px, refused("Invalid width, must be >= 0")},
        {"p6_height_minus_1", R::ppm, "P6 1 -1 255\n" + px,
         refused("Invalid height, must be >= 0")},
        {"p6_width_int_min", R::ppm, "P6 -2147483648 1 255\n" + px,
         refused("Invalid width, must be >= 0")},
        {"p6_width_negative_overflow", R::ppm, "P6 -99999999999999999999 1 255\n" + px,
         refused("Invalid width, must be >= 0")},
        {"p6_negative_beats_too_large", R::ppm, "P6 99999999999 -1 255\n" + px,
         refused("Invalid height, must be >= 0")},
        {"p6_width_minus_0", R::ppm, "P6 -0 1 255\n", read_as(0, 1, "")},
        {"p6_width_letters", R::ppm, "P6 x 1 255\n" + px, refused(kNoSize)},
        {"p6_height_letters", R::ppm, "P6 1 y 255\n" + px, refused(kNoSize)},
        {"p6_width_hex", R::ppm, "P6 0x10 1 255\n" + px, refused(kNoSize)},
        {"p6_width_exponent", R::ppm, "P6 1e3 1 255\n" + px, refused(kNoSize)},
        {"p6_width_decimal_point", R::ppm, "P6 1.5 1 255\n" + px, refused(kNoSize)},
        {"p6_width_lone_sign", R::ppm, "P6 + 1 1 255\n" + px, refused(kNoSize)},
        {"p6_width_double_sign", R::ppm, "P6 --1 1 255\n" + px, refused(kNoSize)},
        {"p6_width_nul_byte", R::ppm, std::string("P6 \0 1 255\n", 11) + px, refused(kNoSize)},

        // Max values.
        {"p3_max_0", R::ppm, "P3 1 1 0\n1 2 3\n", refused(kBadMax)},
        {"p3_max_minus_1", R::ppm, "P3 1 1 -1\n1 2 3\n", refused(kBadMax)},
        {"p3_max_minus_0", R::ppm, "P3 1 1 -0\n1 2 3\n", refused(kBadMax)},
        {"p3_max_1", R::ppm, "P3 1 1 1\n0 1 0\n", read_as(1, 1, std::string("\x00\xFF\x00", 3))},
        {"p3_max_65535", R::ppm, "P3 1 1 65535\n65535 257 0\n",
         read_as(1, 1, std::string("\xFF\x01\x00", 3))},
        {"p3_max_65536", R::ppm, "P3 1 1 65536\n1 2 3\n", refused(kBadMax)},
        {"p3_max_2_pow_31", R::ppm, "P3 1 1 2147483648\n1 2 3\n", refused(kBadMax)},
        {"p3_max_2_pow_32", R::ppm, "P3 1 1 4294967296\n1 2 3\n", refused(kBadMax)},
        {"p6_max_0", R::ppm, "P6 1 1 0\n" + px, refused(kBadMax)},
        {"p6_max_minus_1", R::ppm, "P6 1 1 -1\n" + px, refused(kBadMax)},
        {"p6_max_65535", R::ppm, "P6 1 1 65535\n" + px + px,
         refused("Unsupported max value, P6 must be at most 255")},
        {"p6_max_256", R::ppm, "P6 1 1 256\n" + px,
         refused("Unsupported max value, P6 must be at most 255")},
        {"p6_max_2_pow_31", R::ppm, "P6 1 1 2147483648\n" + px, refused(kBadMax)},
        {"p6_max_1_is_raw", R::ppm, "P6 1 1 1\n" + px, read_as(1, 1, px)},
        {"p6_max_missing", R::ppm, "P6 1 1\n", refused(kNoMax)},
        {"p6_max_letters", R::ppm, "P6 1 1 z\n" + px, refused(kNoMax)},
        {"p6_max_lone_sign", R::ppm, "P6 1 1 +\n" + px, refused(kNoMax)},
        {"p6_max_glued_letter", R::ppm, "P6 1 1 25z" + px, refused(kNoMax)},
        {"p6_max_decimal_point", R::ppm, "P6 1 1 1.0\n" + px, refused(kNoMax)},

        // Comments wherever the header may hold whitespace...
        {"comment_glued_to_magic", R::ppm, "P6#c\n1 1 255\n" + px, read_as(1, 1, px)},
        {"comment_between_sizes", R::ppm, "P6 1#c\n1 255\n" + px, read_as(1, 1, px)},
        {"comment_before_max", R::ppm, "P6 1 1#c\n255\n" + px, read_as(1, 1, px)},
        {"comment_lines_everywhere", R::ppm, "P6\n#a\n#b\n1\n#c\n1\n#\n#d\n255\n" + px,
         read_as(1, 1, px)},
        {"comment_ended_by_cr", R::ppm, "P6 1 1 #c\r255\n" + px, read_as(1, 1, px)},
        {"comment_of_100000_bytes", R::ppm, "P6 1 1 #" + std::string(100000, 'c') + "\n255\n" + px,
         read_as(1, 1, px)},
        {"comment_holding_digits", R::ppm, "P6 #9 9 255\n1 1 255\n" + px, read_as(1, 1, px)},
        {"comment_never_ended", R::ppm, "P6 1 1 # 255\n" + px, refused(kNoMax)},
        {"comment_never_ended_at_eof", R::ppm, "P6 1 1 #", refused(kNoMax)},
        // ...and where it may not.
        {"comment_before_magic", R::ppm, "#c\nP6 1 1 255\n" + px,
         refused("Improperly formatted PPM file")},
        {"comment_inside_magic", R::ppm, "P#c\n6 1 1 255\n" + px,
         refused("Only P3 and P6 formats are supported")},
        {"comment_splits_a_number", R::ppm, "P6 2#c\n1 1 255\nabc", read_as(2, 1, "255\nab")},
        {"comment_glued_to_max", R::ppm, "P6 1 1 255#c\n" + px, refused(kNoMax)},
        {"comment_after_max_is_data", R::ppm, "P6 1 1 255\n#c\n", read_as(1, 1, "#c\n")},
        {"comment_in_p3_samples", R::ppm, "P3 1 1 255\n1 #2\n2 3\n", refused(kShortP3)},
        {"comment_after_p3_samples", R::ppm, "P3 1 1 255\n1 2 3 # the end\n",
         read_as(1, 1, "\x01\x02\x03")},

        // Trailing garbage is never read.
        {"p6_trailing_garbage", R::ppm, kP6 + "garbage\n\xFF\x00", read_as(3, 2, kRgb)},
        {"p3_trailing_garbage", R::ppm, kP3 + "x y z\n", read_as(3, 2, kRgb)},
        {"p3_trailing_samples", R::ppm, kP3 + "7 8 9\n", read_as(3, 2, kRgb)},

        // Samples at and past the int range.
        {"p3_sample_int_max", R::ppm, "P3 1 1 255\n2147483647 0 0\n",
         read_as(1, 1, std::string("\xFF\x00\x00", 3))},
        {"p3_sample_past_int_max", R::ppm, "P3 1 1 255\n2147483648 0 0\n", refused(kShortP3)},
        {"p3_sample_int_min", R::ppm, "P3 1 1 255\n-2147483648 0 0\n",
         read_as(1, 1, std::string("\x00\x00\x00", 3))},
        {"p3_sample_40_digits", R::ppm, "P3 1 1 255\n" + std::string(40, '9') + " 0 0\n",
         refused(kShortP3)},

        // Names that are not readable files.
        {"tga_empty_file", R::tga, "", refused("Unable to read TGA header")},
        {"ppm_empty_file", R::ppm, "", refused("Improperly formatted PPM file")},
        {"tga_directory", R::tga, "", refused("Unable to read TGA header"), Source::directory},
        {"ppm_directory", R::ppm, "", refused("Improperly formatted PPM file"), Source::directory},
        {"tga_dev_null", R::tga, "", refused("Unable to read TGA header"), Source::dev_null},
        {"ppm_dev_null", R::ppm, "", refused("Improperly formatted PPM file"), Source::dev_null},
        {"tga_missing_200_char_name", R::tga, "", refused(std::strerror(ENOENT)),
         Source::missing_200_chars},
        {"ppm_missing_200_char_name", R::ppm, "", refused(std::strerror(ENOENT)),
         Source::missing_200_chars},
        {"tga_null_name", R::tga, "", refused(std::strerror(EINVAL)), Source::null_name},
        {"ppm_null_name", R::ppm, "", refused(std::strerror(EINVAL)), Source::null_name},
    };
    c.insert(c.end(), table.begin(), table.end());
#if defined(PIXPEN_HOSTILE_PNG)
    add_png_cases(c);
#endif

    // Big valid files, so that the memory bound is measured where it matters.
    const auto big = test::random_image(300, 200, 99);
    const auto big_rgb = test::pixel_bytes(big.get());
    const std::string big_pixels(big_rgb.begin(), big_rgb.end());
    // Every sample but the last, so that the last can be replaced by a letter.
    std::string big_p3_head = "P3\n300 200\n255\n";
    for (std::size_t i = 0; i + 1 < big_rgb.size(); ++i) {
        big_p3_head += std::to_string(big_rgb[i]) + "\n";
    }
    const std::string big_p3 = big_p3_head + std::to_string(big_rgb.back()) + "\n";
    const std::string big_tga = tga_header(300, 200) + bgr(big_pixels);
    const std::string big_p6 = "P6 300 200 255\n" + big_pixels;
#if defined(PIXPEN_HOSTILE_PNG)
    const std::string big_png = own_png(big.get());
#endif
    const std::vector<HostileCase> big_cases = {
        {"tga_300x200", R::tga, big_tga, read_as(300, 200, big_pixels)},
        {"p6_300x200", R::ppm, big_p6, read_as(300, 200, big_pixels)},
        {"p3_300x200", R::ppm, big_p3, read_as(300, 200, big_pixels)},
        {"p3_300x200_bad_last_sample", R::ppm, big_p3_head + "x\n", refused(kShortP3)},
        // Short by a whole pixel and by part of one, well past the first refill.
        {"tga_300x200_short_3", R::tga, big_tga.substr(0, big_tga.size() - 3), refused(kShortP6)},
        {"tga_300x200_short_1", R::tga, big_tga.substr(0, big_tga.size() - 1), refused(kShortP6)},
        {"p6_300x200_short_3", R::ppm, big_p6.substr(0, big_p6.size() - 3), refused(kShortP6)},
        {"p6_300x200_short_1", R::ppm, big_p6.substr(0, big_p6.size() - 1), refused(kShortP6)},
#if defined(PIXPEN_HOSTILE_PNG)
        {"png_300x200", R::png, big_png, read_as(300, 200, big_pixels)},
        {"png_300x200_short_5", R::png, big_png.substr(0, big_png.size() - 5), refused(kPngShort)},
#endif
    };
    // Each also through a pipe, where the size checks cannot see the end
    // coming and the reader meets it with the image already allocated.
    for (const HostileCase &b : big_cases) {
        c.push_back(b);
        c.push_back(b);
        c.back().name += "_fifo";
        c.back().source = Source::fifo;
    }
    return c;
}

// Built once per process (ctest starts one per case): both suites draw on it.
const std::vector<HostileCase> &hostile_cases() {
    static const std::vector<HostileCase> cases = build_hostile_cases();
    return cases;
}

// ---- the check ---------------------------------------------------------------

// The reader's own buffers (a 64 KiB read buffer, the FILE and its buffer)
// come on top of what the file and the image account for.
constexpr long long kFixedOverhead = 96 * 1024;
// libspng's context, its inflate window and row buffers, for the small
// images here; a bounded amount whatever the file holds.
constexpr long long kPngOverhead = 160 * 1024;

// Feeds `bytes` into a new FIFO at `path` from a child process, which ends
// once the reader has taken them all or closed its end (SIGPIPE), and in any
// case within a minute, should the reader never open the FIFO at all.
pid_t feed_fifo(const std::string &path, const std::string &bytes) {
    if (mkfifo(path.c_str(), 0600) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        alarm(60);
        const int fd = open(path.c_str(), O_WRONLY);
        for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    return child;
}

class HostileFile : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, IsReadOrRefusedCleanly) {
    const HostileCase &c = GetParam();
    test::TempDir dir;
    std::string path = dir.file("input");
    pid_t feeder = 0;
    switch (c.source) {
    case Source::file:
        test::write_file(path, c.bytes);
        break;
    case Source::fifo:
        feeder = feed_fifo(path, c.bytes);
        ASSERT_GT(feeder, 0) << std::strerror(errno);
        break;
    case Source::failing_read:
    case Source::failing_once:
        test::write_file(path, c.bytes);
        hostile::fail_reads_after(path, c.delivered, c.source == Source::failing_once);
        break;
    case Source::directory:
        path = dir.path().string();
        break;
    case Source::dev_null:
        path = "/dev/null";
        break;
    case Source::missing_200_chars:
        path += "/";
        path += std::string(200 - path.size(), 'n');
        ASSERT_EQ(path.size(), 200U);
        break;
    case Source::null_name:
        break;
    }
    const char *name = c.source == Source::null_name ? nullptr : path.c_str();

    // A read must leave the message alone; a refusal must replace all of it.
    std::memset(last_error, 'x', sizeof last_error - 1);
    last_error[sizeof last_error - 1] = '\0';
    const std::string before(last_error);
    const int descriptors = test::open_descriptor_count();

    PixpenError png_error{};
    hostile::arm_allocation_counter();
    Image image = c.reader == Reader::tga   ? read_tga(name)
                  : c.reader == Reader::ppm ? read_ppm(name)
                                            : read_image(name, &png_error);
    const hostile::AllocationWindow reading = hostile::disarm_allocation_counter();
    // PNG is read through the per-call report; the shared buffer stays as it was.
    const std::string message =
        c.reader == Reader::png ? std::string(png_error.message)
                                : std::string(last_error, strnlen(last_error, sizeof last_error));
    if (c.reader == Reader::png) {
        EXPECT_EQ(get_last_error(), before);
    }
    if (c.source == Source::failing_read || c.source == Source::failing_once) {
        EXPECT_TRUE(hostile::stop_failing_reads()) << "the reader never opened the failing stream";
    }
    if (feeder > 0) {
        EXPECT_EQ(waitpid(feeder, nullptr, 0), feeder);
    }

    EXPECT_EQ(test::open_descriptor_count(), descriptors) << "a file handle was left open";
    EXPECT_NE(std::memchr(last_error, '\0', sizeof last_error), nullptr);
    EXPECT_LE(strnlen(last_error, sizeof last_error), 127U);
    std::size_t returned_bytes = 0;
    if (c.expected.message != nullptr) {
        EXPECT_EQ(image, nullptr);
        EXPECT_EQ(message, c.expected.message);
    } else if (image == nullptr) {
        ADD_FAILURE() << "refused with \"" << message << "\"";
    } else {
        EXPECT_EQ(get_last_error(), before);
        EXPECT_EQ(image->width, c.expected.width);
        EXPECT_EQ(image->height, c.expected.height);
        returned_bytes =
            static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
        if (c.expected.rgb) {
            EXPECT_EQ(returned_bytes, c.expected.rgb->size());
            EXPECT_TRUE(returned_bytes == c.expected.rgb->size() &&
                        (returned_bytes == 0 ||
                         std::memcmp(image->pixels, c.expected.rgb->data(), returned_bytes) == 0))
                << "the pixels differ";
        }
    }

    hostile::arm_allocation_counter();
    destroy_image(image);
    const hostile::AllocationWindow releasing = hostile::disarm_allocation_counter();
    if (reading.counted) {
        // Whatever the reader allocated is either the image it returned or freed.
        EXPECT_EQ(reading.live_bytes + releasing.live_bytes, 0) << "heap bytes left behind";
        const long long bound = static_cast<long long>(c.bytes.size()) +
                                static_cast<long long>(returned_bytes) + kFixedOverhead +
                                (c.reader == Reader::png ? kPngOverhead : 0);
        EXPECT_LE(reading.peak_bytes, bound) << "for a file of " << c.bytes.size() << " bytes";
    }
}

// The same bytes from memory: the same result and message, the status the
// message maps to, nothing left behind, and no allocation beyond what the
// bytes can back: a short buffer never allocates what its header declares.
// PNG goes through detection, as its files do.
class HostileBytes : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileBytes, DecodeTheSameFromMemory) {
    const HostileCase &c = GetParam();
    std::strcpy(last_error, "untouched");
    const test::GuardedBytes bytes(c.bytes); // a read past the end faults
    PixpenError error;
    hostile::arm_allocation_counter();
    const auto decode = c.reader == Reader::tga   ? decode_tga
                        : c.reader == Reader::ppm ? decode_ppm
                                                  : decode_image;
    Image image = decode(bytes.data(), c.bytes.size(), &error);
    const hostile::AllocationWindow reading = hostile::disarm_allocation_counter();
    EXPECT_STREQ(get_last_error(), "untouched");
    std::size_t returned_bytes = 0;
    if (c.expected.message != nullptr) {
        EXPECT_EQ(image, nullptr);
        EXPECT_STREQ(error.message, c.expected.message);
        EXPECT_EQ(error.status, pixpen::detail::status_of(c.expected.message));
    } else {
        ASSERT_NE(image, nullptr) << error.message;
        EXPECT_EQ(error.status, PIXPEN_OK);
        EXPECT_EQ(image->width, c.expected.width);
        EXPECT_EQ(image->height, c.expected.height);
        returned_bytes =
            static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
        if (c.expected.rgb && returned_bytes == c.expected.rgb->size() && returned_bytes > 0) {
            EXPECT_EQ(std::memcmp(image->pixels, c.expected.rgb->data(), returned_bytes), 0);
        }
    }
    hostile::arm_allocation_counter();
    destroy_image(image);
    const hostile::AllocationWindow releasing = hostile::disarm_allocation_counter();
    if (reading.counted) {
        EXPECT_EQ(reading.live_bytes + releasing.live_bytes, 0) << "heap bytes left behind";
        // An image the bytes back may be allocated before a late refusal.
        EXPECT_LE(reading.peak_bytes, static_cast<long long>(c.bytes.size() + returned_bytes) +
                                          1024 + (c.reader == Reader::png ? kPngOverhead : 0));
    }
}

// Every case whose input is a file's bytes.
std::vector<HostileCase> byte_cases() {
    std::vector<HostileCase> cases;
    for (const HostileCase &c : hostile_cases()) {
        if (c.source == Source::file) {
            cases.push_back(c);
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileBytes, testing::ValuesIn(byte_cases()),
                         [](const auto &info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Table, HostileFile, testing::ValuesIn(hostile_cases()),
                         [](const auto &info) { return info.param.name; });

TEST(HostileFile, AllocationCounterSeesTheReaders) {
    // Small images come from the heap, large ones from a mapping of their own.
    for (const int side : {100, 1024}) {
        hostile::arm_allocation_counter();
        Image image = create_image(side, side);
        const hostile::AllocationWindow window = hostile::disarm_allocation_counter();
        hostile::arm_allocation_counter();
        destroy_image(image);
        const hostile::AllocationWindow released = hostile::disarm_allocation_counter();
        if (!window.counted) {
            GTEST_SKIP() << "another allocator owns malloc here (sanitizer or valgrind)";
        }
        EXPECT_GE(window.peak_bytes, side * side * 3);
        EXPECT_GE(window.live_bytes, side * side * 3);
        EXPECT_EQ(window.live_bytes + released.live_bytes, 0) << "for side " << side;
    }
}

// Writers whose last say is the close: the bytes all land, then closing
// fails, and the writer must not call that a success.
TEST(HostileWrite, ACloseThatFailsFailsTheWrite) {
    test::TempDir dir;
    const std::string path = dir.file("out");
    Image image = create_image(3, 2);
    std::vector<std::pair<const char *, std::function<bool()>>> writers = {
        {"write_ppm P3", [&] { return write_ppm(path.c_str(), image, true); }},
        {"write_ppm P6", [&] { return write_ppm(path.c_str(), image, false); }},
        {"write_tga", [&] { return write_tga(path.c_str(), image); }},
    };
    // A build without PNG output refuses before opening anything.
    std::uint8_t *png = nullptr;
    std::size_t png_size = 0;
    if (encode_image(image, IMAGE_FORMAT_PNG, &png, &png_size, nullptr)) {
        writers.emplace_back("write_image PNG", [&] {
            PixpenError error{};
            return write_image(path.c_str(), image, IMAGE_FORMAT_PNG, &error) ||
                   error.status != PIXPEN_ERROR_IO;
        });
    }
    free_buffer(png);
    for (const auto &[name, write] : writers) {
        hostile::fail_close(path);
        EXPECT_FALSE(write()) << name;
        EXPECT_TRUE(hostile::stop_failing_reads()) << name << " never opened the stream";
    }
    destroy_image(image);
}

// Whatever the writers and the encoder take from the heap, they give back.
TEST(HostileWrite, WritersAndEncoderGiveBackTheirMemory) {
    test::TempDir dir;
    Image image = create_image(64, 48);
    do_line(image, 0, 0, 63, 47, Color{200, 10, 30});
    const auto write_all = [&] {
        write_tga(dir.file("a.tga").c_str(), image);
        write_ppm(dir.file("a.ppm").c_str(), image, true);
        write_ppm(dir.file("b.ppm").c_str(), image, false);
        for (ImageFormat format : {IMAGE_FORMAT_TGA, IMAGE_FORMAT_PPM_ASCII,
                                   IMAGE_FORMAT_PPM_BINARY, IMAGE_FORMAT_PNG}) {
            write_image(dir.file("c").c_str(), image, format, nullptr);
            std::uint8_t *bytes = nullptr;
            std::size_t size = 0;
            encode_image(image, format, &bytes, &size, nullptr);
            free_buffer(bytes);
        }
    };
    write_all(); // the C library's first-use allocations stay; they are not ours
    hostile::arm_allocation_counter();
    write_all();
    const hostile::AllocationWindow window = hostile::disarm_allocation_counter();
    destroy_image(image);
    if (!window.counted) {
        GTEST_SKIP() << "another allocator owns malloc here (sanitizer or valgrind)";
    }
    EXPECT_GT(window.peak_bytes, 0);
    EXPECT_EQ(window.live_bytes, 0);
}

} // namespace
