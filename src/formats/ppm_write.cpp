#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/image.hpp"
#include "formats/file.hpp"
#include "pixpen.h"

namespace {

using pixpen::detail::BlockWriter;
using pixpen::detail::File;

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

// The header, then the same bytes as fprintf("%d %d %d\n") per pixel, staged
// through an aligned block that goes to the file whole.
bool write_ascii(File &file, const char *header, std::size_t header_size, const Color *pixels,
                 std::size_t count) {
    BlockWriter out(file);
    if (!out.ready()) {
        return false;
    }
    unsigned char *cursor = out.begin();
    std::memcpy(cursor, header, header_size);
    cursor += header_size;
    const unsigned char *const block_end = out.block_end();
    for (std::size_t i = 0; i < count; ++i) {
        cursor = put_decimal(cursor, pixels[i].r);
        cursor = put_decimal(cursor, pixels[i].g);
        cursor = put_decimal(cursor, pixels[i].b);
        cursor[-1] = '\n'; // in place of the blue value's space
        if (cursor >= block_end && !out.advance(cursor)) {
            return false;
        }
    }
    return out.finish(cursor);
}

} // namespace

extern "C" {

PIXPEN_API bool write_ppm(const char *filename, Image image, bool ascii) {
    if (image == nullptr || !pixpen::detail::pixel_count(image->width, image->height)) {
        return false;
    }
    File file(filename, "wb");
    if (!file) {
        return false;
    }
    const std::size_t count = pixpen::detail::pixels_of(image);
    char header[32];
    const int header_size =
        std::snprintf(header, sizeof header, "P%c\n%d %d\n%d\n", ascii ? '3' : '6', image->width,
                      image->height, kMaxValue);
    if (header_size <= 0 || static_cast<std::size_t>(header_size) >= sizeof header) {
        return false;
    }
    const auto header_length = static_cast<std::size_t>(header_size);
    const bool written = ascii ? write_ascii(file, header, header_length, image->pixels, count)
                               : file.write(header, header_length) &&
                                     file.write(image->pixels, count * sizeof(Color));
    return file.close() && written;
}

} // extern "C"
