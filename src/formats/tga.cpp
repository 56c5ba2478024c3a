#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"
#include "formats/limits.hpp"
#include "pixpen.h"
#include "raster/whole_image.hpp"

namespace {

using pixpen::detail::ByteReader;
using pixpen::detail::ByteWriter;
using pixpen::detail::reverse_rgb_copy;

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kTrueColor = 2;
constexpr std::uint8_t kBitsPerPixel = 24;
constexpr std::uint8_t kTopLeftOrigin = 0x20;

// The 18-byte file header; multi-byte fields are little-endian on disk.
struct TargaHeader {
    std::uint8_t id_length = 0;
    std::uint8_t color_map_type = 0;
    std::uint8_t image_type = kTrueColor;
    std::uint16_t cmap_offset = 0;
    std::uint16_t cmap_num_entries = 0;
    std::uint8_t cmap_bpp = 0;
    std::uint16_t origin_x = 0;
    std::uint16_t origin_y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t bpp = kBitsPerPixel;
    std::uint8_t image_descriptor = kTopLeftOrigin;
};

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

constexpr void put16(HeaderBytes &bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr std::uint16_t get16(const HeaderBytes &bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

constexpr HeaderBytes encode(const TargaHeader &h) {
    HeaderBytes bytes{};
    bytes[0] = h.id_length;
    bytes[1] = h.color_map_type;
    bytes[2] = h.image_type;
    put16(bytes, 3, h.cmap_offset);
    put16(bytes, 5, h.cmap_num_entries);
    bytes[7] = h.cmap_bpp;
    put16(bytes, 8, h.origin_x);
    put16(bytes, 10, h.origin_y);
    put16(bytes, 12, h.width);
    put16(bytes, 14, h.height);
    bytes[16] = h.bpp;
    bytes[17] = h.image_descriptor;
    return bytes;
}

constexpr TargaHeader decode(const HeaderBytes &bytes) {
    TargaHeader h;
    h.id_length = bytes[0];
    h.color_map_type = bytes[1];
    h.image_type = bytes[2];
    h.cmap_offset = get16(bytes, 3);
    h.cmap_num_entries = get16(bytes, 5);
    h.cmap_bpp = bytes[7];
    h.origin_x = get16(bytes, 8);
    h.origin_y = get16(bytes, 10);
    h.width = get16(bytes, 12);
    h.height = get16(bytes, 14);
    h.bpp = bytes[16];
    h.image_descriptor = bytes[17];
    return h;
}

using pixpen::detail::Refusal;

// The first feature of the header that we do not read, if any.
constexpr std::optional<Refusal> unsupported_feature(const TargaHeader &h) {
    if (h.id_length != 0) {
        return Refusal::tga_id_field;
    }
    if (h.color_map_type != 0) {
        return Refusal::tga_color_map;
    }
    if (h.image_type != kTrueColor) {
        return Refusal::tga_image_type;
    }
    if (h.cmap_offset != 0 || h.cmap_num_entries != 0) {
        return Refusal::tga_color_map;
    }
    if (h.width == 0) {
        return Refusal::tga_zero_width;
    }
    if (h.height == 0) {
        return Refusal::tga_zero_height;
    }
    if (h.bpp != kBitsPerPixel) {
        return Refusal::tga_bit_depth;
    }
    if (h.image_descriptor != kTopLeftOrigin) {
        return Refusal::tga_descriptor;
    }
    return std::nullopt;
}

// Pixels from the reader's window straight into the image, swapped into
// record order on the way. false if the input ends early.
bool read_pixels(ByteReader &in, Image image) {
    auto *to = reinterpret_cast<std::uint8_t *>(image->pixels);
    std::size_t left = pixpen::detail::pixels_of(image) * sizeof(Color);
    while (left > 0) {
        if (!in.fill()) {
            return false;
        }
        const std::size_t n = std::min(left, in.window_size() / 3 * 3);
        if (n > 0) {
            reverse_rgb_copy(to, in.window(), n);
            in.skip(n);
        } else { // a pixel split between two blocks
            std::uint8_t pixel[3];
            for (std::uint8_t &byte : pixel) {
                const int c = in.get();
                if (c == ByteReader::end_of_file) {
                    return false;
                }
                byte = static_cast<std::uint8_t>(c);
            }
            reverse_rgb_copy(to, pixel, 3);
        }
        const std::size_t done = n > 0 ? n : 3;
        to += done;
        left -= done;
    }
    return true;
}

} // namespace

namespace pixpen::detail {

Image tga_decode(ByteReader &in, PixpenError &error) {
    HeaderBytes bytes{};
    // fill() first: the reader's aligned block then takes the file from offset 0.
    if (!in.fill() || in.read(bytes.data(), bytes.size()) != bytes.size()) {
        refuse(error, Refusal::tga_header);
        return nullptr;
    }
    const TargaHeader header = decode(bytes);
    if (const auto refusal = unsupported_feature(header)) {
        refuse(error, *refusal);
        return nullptr;
    }
    Image image = create_declared_image(
        header.width, header.height, in.bytes_left(), [](std::uint64_t n) { return 3 * n; },
        Refusal::pixel_data, error);
    if (image == nullptr) {
        return nullptr;
    }
    // A stream error may have cut the data short of what the header says.
    if (!read_pixels(in, image) || in.failed()) {
        destroy_image(image);
        refuse(error, Refusal::pixel_data);
        return nullptr;
    }
    return image;
}

std::uint64_t tga_encoded_bound(Image image) {
    return kHeaderSize + std::uint64_t{pixels_of(image)} * sizeof(Color);
}

bool tga_encode(Image image, const EncodeChoices &, ByteWriter &out, PixpenError &) {
    TargaHeader header;
    header.width = static_cast<std::uint16_t>(image->width);
    header.height = static_cast<std::uint16_t>(image->height);
    const HeaderBytes bytes = encode(header);
    unsigned char *cursor = std::copy(bytes.begin(), bytes.end(), out.begin());
    // The pixels are swapped into file order on their way into the sink, so
    // the caller's image is never modified.
    const auto *from = reinterpret_cast<const std::uint8_t *>(image->pixels);
    std::size_t left = pixels_of(image) * sizeof(Color);
    while (left > 0) {
        // Whole pixels up to the end of the block, overrunning it by at most 2 bytes.
        const auto room = static_cast<std::size_t>(out.block_end() - cursor);
        const std::size_t n = std::min(left, (room + 2) / 3 * 3);
        reverse_rgb_copy(cursor, from, n);
        cursor += n;
        from += n;
        left -= n;
        // Only when more is to come: an exactly sized memory sink is full
        // after the last pixel and must not grow for nothing.
        if (left > 0 && !out.advance(cursor)) {
            return false;
        }
    }
    return out.finish(cursor);
}

} // namespace pixpen::detail
