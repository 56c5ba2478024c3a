// Thick polylines from fractional points: callers that keep their geometry in
// doubles (the Python turtle keeps tens of thousands of segments) hand over
// a whole path in one call instead of one call per segment.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "pixpen.h"

namespace {

constexpr double kFar = 1 << 30;

// Halves go up, as on a canvas; far values are held where an int still holds
// them, so they clip like any other point outside.
int nearest_pixel(double value) {
    if (value >= -kFar && value <= kFar) {
        return static_cast<int>(std::floor(value + 0.5));
    }
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(value > 0 ? kFar : -kFar);
}

// origin + value * scale, rounded once per operation: the product is stored
// before the sum so that no compiler fuses the two into one multiply-add,
// which would move points that lie on a half by a pixel.
int mapped(double value, double origin, double scale) {
    const double scaled = value * scale;
    const double sum = origin + scaled;
    return nearest_pixel(sum);
}

} // namespace

extern "C" {

PIXPEN_API void do_thick_polyline(Image image, const double *xy, size_t count, double x_origin,
                                  double x_scale, double y_origin, double y_scale, double width,
                                  Color color) {
    if (image == nullptr || xy == nullptr || count < 2) {
        return;
    }
    const int line_width = std::max(1, nearest_pixel(width));
    const int disc_radius = std::max(0, nearest_pixel(width / 2.0 - 0.5));
    int x0 = mapped(xy[0], x_origin, x_scale);
    int y0 = mapped(xy[1], y_origin, y_scale);
    for (size_t i = 1; i < count; ++i) {
        const int x1 = mapped(xy[2 * i], x_origin, x_scale);
        const int y1 = mapped(xy[2 * i + 1], y_origin, y_scale);
        if (x0 == x1 && y0 == y1 && width > 1) {
            do_fill_circle(image, x0, y0, disc_radius, color);
        } else {
            do_thick_line(image, x0, y0, x1, y1, line_width, color);
        }
        x0 = x1;
        y0 = y1;
    }
}

} // extern "C"
