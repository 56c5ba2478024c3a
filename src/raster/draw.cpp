#include <cstddef>
#include <cstdint>

#include "core/image.hpp"
#include "pixpen.h"
#include "raster/line_walk.hpp"

namespace {

bool has_pixels(Image image) {
    return pixpen::detail::pixels_of(image) > 0;
}

} // namespace

extern "C" {

PIXPEN_API void do_pixel(Image image, int x, int y, Color color) {
    if (!has_pixels(image) || x < 0 || x >= image->width || y < 0 || y >= image->height) {
        return;
    }
    image->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image->width) +
                  static_cast<std::size_t>(x)] = color;
}

PIXPEN_API void do_line(Image image, int x0, int y0, int x1, int y1, Color color) {
    if (!has_pixels(image)) {
        return;
    }
    const pixpen::detail::ClipRect bounds{0, 0, image->width - 1, image->height - 1};
    const auto segment = pixpen::detail::clip_line(x0, y0, x1, y1, bounds);
    if (!segment) {
        return;
    }
    // Everything the walk visits from here on is inside, so store by index
    // without any per-point bounds check. Indices in the platform's own
    // width: the image's bytes fit the address space, and 64-bit arithmetic
    // costs extra steps on 32-bit targets such as WebAssembly.
    const std::ptrdiff_t width = image->width;
    Color *const pixels = image->pixels;
    // The channels as values: the WebAssembly ABI passes `color` through
    // memory, and a copy of the struct is read back from there on every step.
    const std::uint8_t r = color.r;
    const std::uint8_t g = color.g;
    const std::uint8_t b = color.b;
    const auto start = static_cast<std::ptrdiff_t>(segment->y * width + segment->x);
    pixpen::detail::walk_segment(*segment, start, segment->major_dx + segment->major_dy * width,
                                 segment->minor_dx + segment->minor_dy * width,
                                 [pixels, r, g, b](std::ptrdiff_t index) {
                                     pixels[index] = Color{r, g, b};
                                 });
}

} // extern "C"
