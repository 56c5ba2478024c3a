#include <cmath>
#include <cstdint>

#include "pixpen.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Headings wrap like two's complement ints instead of overflowing.
constexpr std::int32_t wrapping_add(std::int32_t a, std::int64_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

bool inside(Image image, double x, double y) {
    return x >= 0 && x < image->width && y >= 0 && y < image->height;
}

} // namespace

extern "C" {

PIXPEN_API bool turtle_set_xy(Image image, int x, int y) {
    if (image == nullptr || x < 0 || x > image->width || y < 0 || y > image->height) {
        return false;
    }
    image->turtle_x = x;
    image->turtle_y = y;
    return true;
}

PIXPEN_API bool turtle_move(Image image, int x, int y) {
    if (image == nullptr || !inside(image, x, y)) {
        return false;
    }
    if (image->turtle_pen_down) {
        do_line(image, image->turtle_x, image->turtle_y, x, y, image->turtle_color);
    }
    image->turtle_x = x;
    image->turtle_y = y;
    return true;
}

PIXPEN_API bool turtle_forward(Image image, int d) {
    if (image == nullptr) {
        return false;
    }
    const double rads = image->turtle_angle * kPi / 180;
    const double x = image->turtle_x + std::round(std::cos(rads) * d);
    const double y = image->turtle_y - std::round(std::sin(rads) * d);
    // Range-check in double: converting a value beyond int is undefined.
    if (!inside(image, x, y)) {
        return false;
    }
    return turtle_move(image, static_cast<int>(x), static_cast<int>(y));
}

PIXPEN_API void turtle_face_north(Image image) {
    if (image != nullptr) {
        image->turtle_angle = 90;
    }
}

PIXPEN_API void turtle_left(Image image, int delta) {
    if (image != nullptr) {
        image->turtle_angle = wrapping_add(image->turtle_angle, delta);
    }
}

PIXPEN_API void turtle_right(Image image, int delta) {
    if (image != nullptr) {
        image->turtle_angle = wrapping_add(image->turtle_angle, -static_cast<std::int64_t>(delta));
    }
}

PIXPEN_API void turtle_pen_up(Image image) {
    if (image != nullptr) {
        image->turtle_pen_down = false;
    }
}

PIXPEN_API void turtle_pen_down(Image image) {
    if (image != nullptr) {
        image->turtle_pen_down = true;
    }
}

PIXPEN_API void turtle_set_color(Image image, Color color) {
    if (image != nullptr) {
        image->turtle_color = color;
    }
}

} // extern "C"
