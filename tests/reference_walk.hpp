#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "raster/line_walk.hpp"

namespace test {

using Point = std::pair<std::int64_t, std::int64_t>;

// The line walk exactly as documented, one step at a time, in 64-bit
// arithmetic, keeping the points inside `clip`: the reference every faster
// walk must reproduce.
inline void reference_walk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                           const pixpen::detail::ClipRect &clip, std::vector<Point> &points) {
    points.clear();
    const std::int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const std::int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const std::int64_t sx = x0 < x1 ? 1 : -1;
    const std::int64_t sy = y0 < y1 ? 1 : -1;
    std::int64_t err = dx - dy;
    for (;;) {
        if (x0 >= clip.x_min && x0 <= clip.x_max && y0 >= clip.y_min && y0 <= clip.y_max) {
            points.emplace_back(x0, y0);
        }
        if (x0 == x1 && y0 == y1) {
            return;
        }
        const std::int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}

inline std::vector<Point> reference_walk(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                         std::int64_t y1, const pixpen::detail::ClipRect &clip) {
    std::vector<Point> points;
    reference_walk(x0, y0, x1, y1, clip, points);
    return points;
}

} // namespace test
