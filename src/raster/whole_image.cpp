#include <cstddef>
#include <cstdint>

#include "core/image.hpp"
#include "pixpen.h"

// Plain byte loops over the array: the compiler turns each into vector code.

namespace {

std::uint8_t *bytes_of(Image image) {
    return reinterpret_cast<std::uint8_t *>(image->pixels);
}

} // namespace

extern "C" {

PIXPEN_API void do_clear(Image image, Color color) {
    const std::size_t count = pixpen::detail::pixels_of(image);
    Color *const pixels = count ? image->pixels : nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = color;
    }
}

PIXPEN_API void do_invert(Image image) {
    const std::size_t size = pixpen::detail::pixels_of(image) * sizeof(Color);
    std::uint8_t *const bytes = size ? bytes_of(image) : nullptr;
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
    }
}

PIXPEN_API void do_reverse_rgb(Image image) {
    const std::size_t size = pixpen::detail::pixels_of(image) * sizeof(Color);
    std::uint8_t *const bytes = size ? bytes_of(image) : nullptr;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint8_t first = bytes[i];
        bytes[i] = bytes[i + 2];
        bytes[i + 2] = first;
    }
}

} // extern "C"
