#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"
#include "pixpen.h"

namespace {

using pixpen::detail::ByteWriter;

constexpr int kMaxValue = 255;

// "0 ".."255 " as four-byte words (digits, a space, padding) with their
// lengths, so a P3 line is three word stores and no printf.
struct DecimalTable {
    std::array<std::uint32_t, 256> word{};
    std::array<std::uint8_t, 256> length{};
};

constexpr DecimalTable make_decimal_table() {
    DecimalTable table;
    for (int v = 0; v < 256; ++v) {
        std::array<std::uint8_t, 4> text{};
        std::uint8_t n = 0;
        if (v >= 100) {
            text[n++] = static_cast<std::uint8_t>('0' + v / 100);
        }
        if (v >= 10) {
            text[n++] = static_cast<std::uint8_t>('0' + v / 10 % 10);
        }
        text[n++] = static_cast<std::uint8_t>('0' + v % 10);
        text[n++] = ' ';
        // Byte k of the word is text[k] in memory order: little-endian.
        table.word[static_cast<std::size_t>(v)] =
            static_cast<std::uint32_t>(text[0] | text[1] << 8 | text[2] << 16 | text[3] << 24);
        table.length[static_cast<std::size_t>(v)] = n;
    }
    return table;
}

constexpr DecimalTable kDecimal = make_decimal_table();

unsigned char *put_decimal(unsigned char *out, std::uint8_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &kDecimal.word[value], 4); // the tail past the length is overwritten
    } else {
        const std::uint32_t w = kDecimal.word[value];
        const unsigned char text[4] = {
            static_cast<unsigned char>(w), static_cast<unsigned char>(w >> 8),
            static_cast<unsigned char>(w >> 16), static_cast<unsigned char>(w >> 24)};
        std::memcpy(out, text, 4);
    }
    return out + kDecimal.length[value];
}

// "P%c\n%d %d\n%d\n", the header both forms start with.
std::size_t put_header(unsigned char *out, Image image, bool ascii) {
    char header[32];
    const int size = std::snprintf(header, sizeof header, "P%c\n%d %d\n%d\n", ascii ? '3' : '6',
                                   image->width, image->height, kMaxValue);
    const auto length = static_cast<std::size_t>(size); // at most 2 + 2 * 11 + 6 bytes
    std::memcpy(out, header, length);
    return length;
}

constexpr std::size_t kMaxHeader = 32;
constexpr std::uint64_t kMaxAsciiPixel = sizeof "255 255 255\n" - 1;

} // namespace

namespace pixpen::detail {

// The same bytes as fprintf("%d %d %d\n") per pixel, produced in whole
// blocks; binary pixels are the record's bytes as they are.
namespace {

bool ppm_encode(Image image, bool ascii, ByteWriter &out) {
    unsigned char *cursor = out.begin();
    cursor += put_header(cursor, image, ascii);
    const std::size_t count = pixels_of(image);
    if (!ascii) {
        return out.put(cursor, image->pixels, count * sizeof(Color)) && out.finish(cursor);
    }
    const Color *const pixels = image->pixels;
    const unsigned char *block_end = out.block_end();
    for (std::size_t i = 0; i < count; ++i) {
        cursor = put_decimal(cursor, pixels[i].r);
        cursor = put_decimal(cursor, pixels[i].g);
        cursor = put_decimal(cursor, pixels[i].b);
        cursor[-1] = '\n'; // in place of the blue value's space
        if (cursor >= block_end) {
            if (!out.advance(cursor)) {
                return false;
            }
            block_end = out.block_end();
        }
    }
    return out.finish(cursor);
}

std::uint64_t ppm_encoded_bound(Image image, std::uint64_t per_pixel) {
    return kMaxHeader + per_pixel * pixels_of(image);
}

} // namespace

bool ppm_encode_ascii(Image image, const EncodeChoices &, ByteWriter &out, PixpenError &) {
    return ppm_encode(image, true, out);
}

bool ppm_encode_binary(Image image, const EncodeChoices &, ByteWriter &out, PixpenError &) {
    return ppm_encode(image, false, out);
}

std::uint64_t ppm_ascii_encoded_bound(Image image) {
    return ppm_encoded_bound(image, kMaxAsciiPixel);
}

std::uint64_t ppm_binary_encoded_bound(Image image) {
    return ppm_encoded_bound(image, sizeof(Color));
}

} // namespace pixpen::detail
