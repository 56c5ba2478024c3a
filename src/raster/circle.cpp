// Circles, discs and arcs, drawn row by row so that the work follows the
// rows that are visible, not the radius.
//
// The outline is the midpoint circle: in the octant 0 <= u <= v, the pixel
// (u, v) with v the integer nearest to sqrt(r^2 - u^2), mirrored eight ways.
// No square root is ever a half-integer there, so "nearest" needs no tie
// rule, and v = round(sqrt(n)) is the same as v^2 - v < n <= v^2 + v.
// Seen from a row at height v, that gives two kinds of pixels:
//   - where the row is the larger coordinate, the u in [0, v] with
//     r^2 - v^2 - v <= u^2 < r^2 - v^2 + v, one run on each side;
//   - where it is the smaller one, the single u = round(sqrt(r^2 - v^2)),
//     if u >= v.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "pixpen.h"
#include "raster/circle_rows.hpp"
#include "raster/span.hpp"

namespace pixpen::detail {

std::int64_t round_sqrt(std::int64_t n) {
    const auto root = static_cast<std::int64_t>(isqrt(static_cast<std::uint64_t>(n)));
    return n > root * root + root ? root + 1 : root;
}

OutlineRow circle_outline_row(std::int64_t radius, std::int64_t v) {
    OutlineRow row;
    const std::int64_t r2 = radius * radius;
    if (v > radius) {
        return row;
    }
    const std::int64_t below = r2 - v * v - v; // may be negative near the equator
    const std::int64_t above = r2 - v * v + v - 1;
    if (above >= 0) {
        row.run_first =
            below <= 0 ? 0
                       : static_cast<std::int64_t>(isqrt_ceil(static_cast<std::uint64_t>(below)));
        row.run_last =
            std::min(v, static_cast<std::int64_t>(isqrt(static_cast<std::uint64_t>(above))));
    }
    const std::int64_t side = round_sqrt(r2 - v * v);
    if (side >= v) {
        row.side = side;
    }
    return row;
}

} // namespace pixpen::detail

namespace {

using pixpen::detail::SpanPainter;

} // namespace

extern "C" {

PIXPEN_API void do_fill_circle(Image image, int cx, int cy, int radius, Color color) {
    const SpanPainter painter(image, color);
    if (painter.empty() || radius < 0) {
        return;
    }
    const std::int64_t r = radius;
    const SpanPainter::Rows rows = painter.visible_rows(cy - r, cy + r);
    for (std::int64_t y = rows.first; y <= rows.last; ++y) {
        const std::int64_t v = y - cy;
        // u^2 + v^2 <= r^2 + r
        const auto reach = static_cast<std::int64_t>(
            pixpen::detail::isqrt(static_cast<std::uint64_t>(r * r + r - v * v)));
        painter.run(y, std::int64_t{cx} - reach, std::int64_t{cx} + reach);
    }
}

PIXPEN_API void do_circle(Image image, int cx, int cy, int radius, Color color) {
    const SpanPainter painter(image, color);
    if (painter.empty() || radius < 0) {
        return;
    }
    pixpen::detail::for_each_outline_run(painter.height(), cx, cy, radius,
                                         [&](std::int64_t y, std::int64_t first,
                                             std::int64_t last) { painter.run(y, first, last); });
}

} // extern "C"
