#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/image.hpp"
#include "formats/file.hpp"
#include "pixpen.h"

namespace {

using pixpen::detail::File;

constexpr int kMaxValue = 255;

// "0".."255" with their lengths, so a P3 line is three copies and no printf.
struct DecimalTable {
    std::array<std::array<char, 4>, 256> text{};
    std::array<std::uint8_t, 256> length{};
};

constexpr DecimalTable make_decimal_table() {
    DecimalTable table;
    for (int v = 0; v < 256; ++v) {
        auto &t = table.text[static_cast<std::size_t>(v)];
        std::uint8_t n = 0;
        if (v >= 100) {
            t[n++] = static_cast<char>('0' + v / 100);
        }
        if (v >= 10) {
            t[n++] = static_cast<char>('0' + v / 10 % 10);
        }
        t[n++] = static_cast<char>('0' + v % 10);
        table.length[static_cast<std::size_t>(v)] = n;
    }
    return table;
}

constexpr DecimalTable kDecimal = make_decimal_table();

char *put_decimal(char *out, std::uint8_t value) {
    std::memcpy(out, kDecimal.text[value].data(), 4); // fixed-size copy; the tail is overwritten
    return out + kDecimal.length[value];
}

// Same bytes as fprintf("%d %d %d\n") per pixel, staged through a block.
bool write_ascii_pixels(File &file, const Color *pixels, std::size_t count) {
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    constexpr std::size_t kLongestLine = 12; // "255 255 255\n"
    // On the heap: callers may run us on threads with small stacks.
    const std::unique_ptr<char[]> storage(
        new (std::nothrow) char[kBlock + 4]); // +4: see put_decimal
    if (storage == nullptr) {
        return false;
    }
    char *const block = storage.get();
    char *out = block;
    for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<std::size_t>(out - block) > kBlock - kLongestLine) {
            if (!file.write(block, static_cast<std::size_t>(out - block))) {
                return false;
            }
            out = block;
        }
        out = put_decimal(out, pixels[i].r);
        *out++ = ' ';
        out = put_decimal(out, pixels[i].g);
        *out++ = ' ';
        out = put_decimal(out, pixels[i].b);
        *out++ = '\n';
    }
    return file.write(block, static_cast<std::size_t>(out - block));
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
    const bool header_written = std::fprintf(file.get(), "P%c\n%d %d\n%d\n", ascii ? '3' : '6',
                                             image->width, image->height, kMaxValue) > 0;
    const bool pixels_written =
        header_written && (ascii ? write_ascii_pixels(file, image->pixels, count)
                                 : file.write(image->pixels, count * sizeof(Color)));
    return file.close() && pixels_written;
}

} // extern "C"
