#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "pixpen.h"

// The points of an open fill, and for each the line that reached it (if the
// pen was down), so that end_fill can draw the outline again over the fill.
struct PixpenTurtlePath {
    struct Vertex {
        double x;
        double y;
        bool drawn;
        int width;
        Color color;
    };
    std::vector<Vertex> vertices;
    bool lost_point = false;
};

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// Angles reduced to [0, 360); fmod is exact, so reducing never adds error.
double normalised(double degrees) {
    if (!std::isfinite(degrees)) {
        return 0.0;
    }
    double reduced = std::fmod(degrees, 360.0);
    if (reduced < 0) {
        reduced += 360.0;
    }
    return reduced >= 360.0 ? 0.0 : reduced;
}

// cos and sin of whole quarter turns are exact, so axis-aligned walks stay
// on whole coordinates.
void direction(double degrees, double *dx, double *dy) {
    const double quarter = degrees / 90.0;
    if (quarter == std::floor(quarter)) {
        static constexpr double kCos[] = {1, 0, -1, 0};
        const int index = static_cast<int>(std::fmod(quarter, 4.0));
        *dx = kCos[index];
        *dy = kCos[(index + 3) % 4];
        return;
    }
    const double radians = degrees / kDegreesPerRadian;
    *dx = std::cos(radians);
    *dy = std::sin(radians);
}

// A pixel coordinate for drawing: rounded, and held inside int range so that
// far-away points clip instead of overflowing.
int to_pixel(double value) {
    constexpr double kLimit = 1 << 30;
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::round(std::clamp(value, -kLimit, kLimit)));
}

int pen_pixels(double width) {
    if (!(width >= 1.0)) {
        return 1;
    }
    return to_pixel(std::min(width, 4096.0));
}

void draw_segment(Image image, double x0, double y0, double x1, double y1, int width, Color color) {
    if (image != nullptr) {
        do_thick_line(image, to_pixel(x0), to_pixel(y0), to_pixel(x1), to_pixel(y1), width, color);
    }
}

bool record_vertex(PixpenTurtle *turtle, bool drawn) {
    PixpenTurtlePath *path = turtle->path;
    if (path == nullptr) {
        return true;
    }
    try {
        path->vertices.push_back(
            {turtle->x, turtle->y, drawn, pen_pixels(turtle->pen_width), turtle->pen_color});
        return true;
    } catch (const std::bad_alloc &) {
        path->lost_point = true;
        return false;
    }
}

bool move_to(PixpenTurtle *turtle, Image image, double x, double y) {
    if (turtle->pen_down) {
        draw_segment(image, turtle->x, turtle->y, x, y, pen_pixels(turtle->pen_width),
                     turtle->pen_color);
    }
    turtle->x = x;
    turtle->y = y;
    return record_vertex(turtle, turtle->pen_down);
}

void image_centre(Image image, double *x, double *y) {
    *x = image != nullptr ? image->width / 2.0 : 0.0;
    *y = image != nullptr ? image->height / 2.0 : 0.0;
}

void fill_path(const PixpenTurtlePath &path, Image image, Color fill) {
    std::vector<PixpenPoint> points;
    points.reserve(path.vertices.size());
    for (const auto &vertex : path.vertices) {
        points.push_back({to_pixel(vertex.x), to_pixel(vertex.y)});
    }
    do_fill_polygon(image, points.data(), points.size(), fill);
    for (std::size_t i = 1; i < path.vertices.size(); ++i) {
        const auto &from = path.vertices[i - 1];
        const auto &to = path.vertices[i];
        if (to.drawn) {
            draw_segment(image, from.x, from.y, to.x, to.y, to.width, to.color);
        }
    }
}

} // namespace

extern "C" {

PIXPEN_API void pixpen_turtle_release(PixpenTurtle *turtle) {
    if (turtle == nullptr) {
        return;
    }
    delete turtle->path;
    turtle->path = nullptr;
    turtle->filling = false;
}

PIXPEN_API void pixpen_turtle_init(PixpenTurtle *turtle, Image image) {
    if (turtle == nullptr) {
        return;
    }
    // A new record holds garbage, so init cannot tell a path it owns from a
    // stray pointer: it never frees, and release is the one way to drop a fill.
    *turtle = PixpenTurtle{};
    image_centre(image, &turtle->x, &turtle->y);
    turtle->pen_width = 1.0;
    turtle->pen_color = Color{255, 255, 255};
    turtle->fill_color = Color{255, 255, 255};
    turtle->pen_down = true;
}

PIXPEN_API bool pixpen_turtle_forward(PixpenTurtle *turtle, Image image, double distance) {
    if (turtle == nullptr) {
        return false;
    }
    double dx = 0;
    double dy = 0;
    direction(turtle->heading, &dx, &dy);
    // y grows downwards, so a heading of 90 moves towards row 0.
    return move_to(turtle, image, turtle->x + dx * distance, turtle->y - dy * distance);
}

PIXPEN_API bool pixpen_turtle_backward(PixpenTurtle *turtle, Image image, double distance) {
    return pixpen_turtle_forward(turtle, image, -distance);
}

PIXPEN_API bool pixpen_turtle_goto(PixpenTurtle *turtle, Image image, double x, double y) {
    return turtle != nullptr && move_to(turtle, image, x, y);
}

PIXPEN_API bool pixpen_turtle_home(PixpenTurtle *turtle, Image image) {
    if (turtle == nullptr) {
        return false;
    }
    double x = 0;
    double y = 0;
    image_centre(image, &x, &y);
    const bool recorded = move_to(turtle, image, x, y);
    turtle->heading = 0.0;
    return recorded;
}

PIXPEN_API void pixpen_turtle_left(PixpenTurtle *turtle, double degrees) {
    if (turtle != nullptr) {
        turtle->heading = normalised(turtle->heading + normalised(degrees));
    }
}

PIXPEN_API void pixpen_turtle_right(PixpenTurtle *turtle, double degrees) {
    pixpen_turtle_left(turtle, -normalised(degrees));
}

PIXPEN_API void pixpen_turtle_set_heading(PixpenTurtle *turtle, double degrees) {
    if (turtle != nullptr) {
        turtle->heading = normalised(degrees);
    }
}

PIXPEN_API bool pixpen_turtle_circle(PixpenTurtle *turtle, Image image, double radius,
                                     double extent, int steps) {
    if (turtle == nullptr) {
        return false;
    }
    if (steps <= 0) {
        const double sides =
            std::isnan(radius) ? 11.0 : std::min(11.0 + std::fabs(radius) / 6.0, 59.0);
        const double fraction = std::isfinite(extent) ? std::fabs(extent) / 360.0 : 0.0;
        // Bounded: a huge extent would otherwise ask for billions of sides.
        steps = 1 + static_cast<int>(std::min(sides * fraction, 1e6));
    }
    // The polygon is inscribed: each side is the chord of its arc, and the
    // turtle turns half a side's angle before the first and after the last.
    double turn = extent / steps;
    double half = turn / 2;
    double side = 2.0 * radius * std::sin(half / kDegreesPerRadian);
    if (radius < 0) {
        side = -side;
        turn = -turn;
        half = -half;
    }
    const double start = turtle->heading;
    bool recorded = true;
    for (int i = 0; i < steps; ++i) {
        // Each side's direction from the start heading, not from the sum of
        // the turns, so long circles do not drift.
        pixpen_turtle_set_heading(turtle, start + half + turn * i);
        recorded = pixpen_turtle_forward(turtle, image, side) && recorded;
    }
    pixpen_turtle_set_heading(turtle, start + turn * steps);
    return recorded;
}

PIXPEN_API void pixpen_turtle_pen_up(PixpenTurtle *turtle) {
    if (turtle != nullptr) {
        turtle->pen_down = false;
    }
}

PIXPEN_API void pixpen_turtle_pen_down(PixpenTurtle *turtle) {
    if (turtle != nullptr) {
        turtle->pen_down = true;
    }
}

PIXPEN_API void pixpen_turtle_set_width(PixpenTurtle *turtle, double width) {
    if (turtle != nullptr) {
        turtle->pen_width = width;
    }
}

PIXPEN_API void pixpen_turtle_set_pen_color(PixpenTurtle *turtle, Color color) {
    if (turtle != nullptr) {
        turtle->pen_color = color;
    }
}

PIXPEN_API void pixpen_turtle_set_fill_color(PixpenTurtle *turtle, Color color) {
    if (turtle != nullptr) {
        turtle->fill_color = color;
    }
}

PIXPEN_API void pixpen_turtle_dot(PixpenTurtle *turtle, Image image, double size, Color color) {
    if (turtle == nullptr || image == nullptr) {
        return;
    }
    if (!(size > 0)) {
        size = std::max(turtle->pen_width + 4.0, 2.0 * turtle->pen_width);
    }
    // A disc of radius r covers 2r + 1 pixels across.
    const int radius = std::max(0, to_pixel(std::min(size, 1e6) / 2.0 - 0.5));
    do_fill_circle(image, to_pixel(turtle->x), to_pixel(turtle->y), radius, color);
}

PIXPEN_API bool pixpen_turtle_begin_fill(PixpenTurtle *turtle) {
    if (turtle == nullptr) {
        return false;
    }
    pixpen_turtle_release(turtle);
    turtle->path = new (std::nothrow) PixpenTurtlePath;
    if (turtle->path == nullptr) {
        return false;
    }
    turtle->filling = true;
    if (!record_vertex(turtle, false)) {
        pixpen_turtle_release(turtle);
        return false;
    }
    return true;
}

PIXPEN_API bool pixpen_turtle_end_fill(PixpenTurtle *turtle, Image image) {
    if (turtle == nullptr || turtle->path == nullptr) {
        return false;
    }
    const bool complete = !turtle->path->lost_point;
    if (complete && image != nullptr && turtle->path->vertices.size() > 2) {
        fill_path(*turtle->path, image, turtle->fill_color);
    }
    pixpen_turtle_release(turtle);
    return complete;
}

PIXPEN_API void pixpen_turtle_position(const PixpenTurtle *turtle, double *x, double *y) {
    if (x != nullptr) {
        *x = turtle != nullptr ? turtle->x : 0.0;
    }
    if (y != nullptr) {
        *y = turtle != nullptr ? turtle->y : 0.0;
    }
}

PIXPEN_API double pixpen_turtle_heading(const PixpenTurtle *turtle) {
    return turtle != nullptr ? normalised(turtle->heading) : 0.0;
}

PIXPEN_API double pixpen_turtle_distance(const PixpenTurtle *turtle, double x, double y) {
    return turtle != nullptr ? std::hypot(x - turtle->x, y - turtle->y) : 0.0;
}

PIXPEN_API double pixpen_turtle_towards(const PixpenTurtle *turtle, double x, double y) {
    if (turtle == nullptr || (x == turtle->x && y == turtle->y)) {
        return 0.0;
    }
    // Rows grow downwards, so "up" is a negative dy.
    return normalised(std::atan2(turtle->y - y, x - turtle->x) * kDegreesPerRadian);
}

} // extern "C"
