// Axis-aligned ellipses. The fill is every pixel (u, v) from the centre with
//     u^2 / (rx (rx + 1)) + v^2 / (ry (ry + 1)) <= 1,
// the disc rule u^2 + v^2 <= r^2 + r stretched along each axis (a zero radius
// leaves a segment along the other axis). The outline is the fill's pixels
// that have a 4-neighbour outside the fill, which is 8-connected, inside the
// fill and 4-fold symmetric. Equal radii are the circle and its outline.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "pixpen.h"
#include "raster/span.hpp"

namespace {

using pixpen::detail::SpanPainter;
using pixpen::detail::wide_int;

// The fill's half-width in row v from the centre: the largest u inside, or
// -1 when the row misses the ellipse.
class HalfWidths {
  public:
    HalfWidths(std::int64_t rx, std::int64_t ry)
        : rx_(rx), ry_(ry), a_(rx * (rx + 1)), b_(ry * (ry + 1)) {}

    std::int64_t at(std::int64_t v) const {
        v = std::llabs(v);
        if (v > ry_) {
            return -1;
        }
        if (b_ == 0 || a_ == 0) {
            return b_ == 0 ? rx_ : 0;
        }
        // u^2 * b <= a * (b - v^2), so u^2 <= floor(a * (b - v^2) / b).
        const wide_int bound = wide_int(a_) * (b_ - v * v) / wide_int(b_);
        return static_cast<std::int64_t>(
            pixpen::detail::isqrt(static_cast<std::uint64_t>(static_cast<std::int64_t>(bound))));
    }

  private:
    std::int64_t rx_, ry_, a_, b_;
};

} // namespace

extern "C" {

PIXPEN_API void do_fill_ellipse(Image image, int cx, int cy, int rx, int ry, Color color) {
    const SpanPainter painter(image, color);
    if (painter.empty() || rx < 0 || ry < 0) {
        return;
    }
    const HalfWidths half(rx, ry);
    const SpanPainter::Rows rows =
        painter.visible_rows(std::int64_t{cy} - ry, std::int64_t{cy} + ry);
    for (std::int64_t y = rows.first; y <= rows.last; ++y) {
        const std::int64_t h = half.at(y - cy);
        painter.run(y, cx - h, std::int64_t{cx} + h);
    }
}

PIXPEN_API void do_ellipse(Image image, int cx, int cy, int rx, int ry, Color color) {
    if (rx == ry) {
        do_circle(image, cx, cy, rx, color);
        return;
    }
    const SpanPainter painter(image, color);
    if (painter.empty() || rx < 0 || ry < 0) {
        return;
    }
    const HalfWidths half(rx, ry);
    const SpanPainter::Rows rows =
        painter.visible_rows(std::int64_t{cy} - ry, std::int64_t{cy} + ry);
    for (std::int64_t y = rows.first; y <= rows.last; ++y) {
        const std::int64_t v = std::llabs(y - cy);
        const std::int64_t here = half.at(v);
        // Rows only narrow away from the centre, so a pixel is on the outline
        // when it is a row end or the next row outwards does not reach it.
        const std::int64_t inner = std::min(half.at(v + 1) + 1, here);
        painter.run(y, cx - here, cx - inner);
        painter.run(y, cx + inner, std::int64_t{cx} + here);
    }
}

} // extern "C"
