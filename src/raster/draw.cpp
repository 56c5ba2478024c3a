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
    // without any per-point bounds check.
    const std::int64_t width = image->width;
    const std::int64_t major_stride = segment->major_dx + segment->major_dy * width;
    const std::int64_t minor_stride = segment->minor_dx + segment->minor_dy * width;
    const std::int64_t two_dminor = segment->two_dminor;
    const std::int64_t two_dmajor = segment->two_dmajor;
    std::int64_t remainder = segment->remainder;
    std::int64_t index = segment->y * width + segment->x;
    Color *const pixels = image->pixels;
    for (std::int64_t i = segment->count; i > 0; --i) {
        pixels[index] = color;
        index += major_stride;
        remainder += two_dminor;
        if (remainder >= two_dmajor) {
            remainder -= two_dmajor;
            index += minor_stride;
        }
    }
}

} // extern "C"
