#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"
#include "formats/limits.hpp"
#include "formats/ppm_text.hpp"
#include "pixpen.h"

namespace {

using pixpen::detail::ByteReader;
using pixpen::detail::HeaderNumber;
using pixpen::detail::read_header_number;
using pixpen::detail::read_sample;
using pixpen::detail::Refusal;
using pixpen::detail::scale_sample;

using pixpen::detail::kPpmMaxMaxValue;
using pixpen::detail::kPpmMaxRawMaxValue;

struct PpmHeader {
    bool ascii = false;
    int width = 0;
    int height = 0;
    int max_value = 0;
};

// Parses magic, width, height and max value, and consumes the single
// whitespace byte after the max value. Returns the refusal, if any.
std::optional<Refusal> read_header(ByteReader &in, PpmHeader &header) {
    if (in.get() != 'P') {
        return Refusal::ppm_magic;
    }
    const int kind = in.get();
    if (kind != '3' && kind != '6') {
        return Refusal::ppm_variant;
    }
    header.ascii = kind == '3';

    const HeaderNumber width = read_header_number(in);
    const HeaderNumber height = width.found ? read_header_number(in) : HeaderNumber{};
    if (!width.found || !height.found) {
        return Refusal::ppm_size;
    }
    if (width.negative) {
        return Refusal::ppm_negative_width;
    }
    if (height.negative) {
        return Refusal::ppm_negative_height;
    }
    if (width.overflow || height.overflow ||
        !pixpen::detail::pixel_count(width.magnitude, height.magnitude)) {
        return Refusal::too_large;
    }
    header.width = static_cast<int>(width.magnitude);
    header.height = static_cast<int>(height.magnitude);

    const HeaderNumber max_value = read_header_number(in);
    if (!max_value.found) {
        return Refusal::ppm_max_value;
    }
    if (max_value.negative || max_value.overflow || max_value.magnitude < 1 ||
        max_value.magnitude > kPpmMaxMaxValue) {
        return Refusal::ppm_max_value_range;
    }
    header.max_value = static_cast<int>(max_value.magnitude);
    if (!header.ascii && header.max_value > kPpmMaxRawMaxValue) {
        return Refusal::ppm_max_value_p6;
    }
    // Exactly one whitespace byte separates the header from the data; end
    // of file here is left for the data read to judge (0 pixels need none).
    const int separator = in.get();
    if (separator != ByteReader::end_of_file && !pixpen::detail::is_space(separator)) {
        return Refusal::ppm_max_value;
    }
    return std::nullopt;
}

// Samples of one to three digits, the whole of what write_ppm produces, are
// parsed in place in the reader's buffer, eight bytes at a time; anything
// else (a sign, a longer number, the last bytes of the buffer, an error)
// goes through read_sample, one sample at a time, with the same result.
bool read_ascii_pixels(ByteReader &in, Image image, int max_value) {
    constexpr int kShortest = 1000; // every value of up to three digits
    std::array<std::uint8_t, kShortest> scaled{};
    for (int v = 0; v < kShortest; ++v) {
        scaled[static_cast<std::size_t>(v)] = scale_sample(v, max_value);
    }
    const std::size_t total = pixpen::detail::pixels_of(image) * 3;
    auto *bytes = reinterpret_cast<std::uint8_t *>(image->pixels);
    std::size_t i = 0;
    while (i < total) {
        const unsigned char *const start = in.window();
        const std::size_t available = in.window_size();
        // Eight-byte loads must stay inside the buffer.
        const unsigned char *const limit = start + (available > 16 ? available - 16 : 0);
        const unsigned char *p = start;
        while (i < total && p < limit) {
            if (pixpen::detail::is_space(*p)) {
                ++p;
                continue;
            }
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if constexpr (std::endian::native == std::endian::big) {
                word = __builtin_bswap64(word);
            }
            // Each byte minus '0' (as xor: digits become 0..9); a byte is a
            // digit when that is below 10. Carries only leave bytes that are
            // not digits, so the lowest flagged byte is the first non-digit.
            const std::uint64_t x = word ^ 0x3030303030303030ULL;
            const std::uint64_t non_digit =
                ((x + 0x7676767676767676ULL) | x) & 0x8080808080808080ULL;
            const int digits = non_digit == 0 ? 8 : std::countr_zero(non_digit) / 8;
            if (digits == 0 || digits > 3) {
                break;
            }
            // Right-align the digits in bytes 0..2: hundreds, tens, ones.
            const auto d = static_cast<std::uint32_t>(x) << (8 * (3 - digits));
            const std::uint32_t value = (d & 0xFF) * 100 + (d >> 8 & 0xFF) * 10 + (d >> 16 & 0xFF);
            bytes[i++] = scaled[value];
            p += digits;
        }
        in.skip(static_cast<std::size_t>(p - start));
        if (i == total) {
            break;
        }
        const std::optional<int> sample = read_sample(in);
        if (!sample) {
            return false;
        }
        bytes[i++] = scale_sample(*sample, max_value);
    }
    return true;
}

} // namespace

namespace pixpen::detail {

Image ppm_decode(ByteReader &in, PixpenError &error) {
    PpmHeader header;
    if (const auto refusal = read_header(in, header)) {
        refuse(error, *refusal);
        return nullptr;
    }
    const Refusal short_data = header.ascii ? Refusal::ppm_ascii_sample : Refusal::pixel_data;
    // Text needs a digit per sample and a separator between samples.
    const auto min_bytes = [ascii = header.ascii](std::uint64_t n) -> std::uint64_t {
        return ascii ? (n == 0 ? 0 : 6 * n - 1) : 3 * n;
    };
    Image image = create_declared_image(header.width, header.height, in.bytes_left(), min_bytes,
                                        short_data, error);
    if (image == nullptr) {
        return nullptr;
    }
    const std::size_t size = pixels_of(image) * sizeof(Color);
    const bool complete = header.ascii ? read_ascii_pixels(in, image, header.max_value)
                                       : in.read(image->pixels, size) == size;
    // A stream error ends the input early: what was read before it, even a
    // whole image's worth of samples, may be cut (a last sample, say).
    if (!complete || in.failed()) {
        destroy_image(image);
        refuse(error, short_data);
        return nullptr;
    }
    return image;
}

} // namespace pixpen::detail
