// Arcs: the circle's outline pixels whose direction from the centre lies in
// the sector swept counter-clockwise (on screen, y up) from `start_degrees` to
// `end_degrees`, both boundaries included.
//
// A whole-degree direction d is the integer vector
//     (round(2^30 cos f), round(2^30 sin f)) turned by q quarter turns,
// where d = 90 q + f with 0 <= f < 90: exact on the axes, and opposite
// directions are exact negatives. A pixel P = (x - cx, cy - y) is in the
// sector from A to B when, with sweep = (end - start) reduced into [0, 360)
// (an end - start of 360 or more is the whole circle):
//     sweep = 0:        cross(A, P) = 0 and dot(A, P) >= 0
//     0 < sweep < 180:  cross(A, P) >= 0 and cross(P, B) >= 0
//     sweep = 180:      cross(A, P) >= 0
//     sweep > 180:      cross(A, P) >= 0 or cross(P, B) >= 0
// Each test is linear along a row, so a row's outline runs are cut to the
// sector with a division or two, not pixel by pixel.

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "pixpen.h"
#include "raster/circle_rows.hpp"
#include "raster/span.hpp"

namespace {

using pixpen::detail::SpanPainter;
using pixpen::detail::wide_int;

struct Direction {
    std::int64_t x, y;
};

Direction direction_of(std::int64_t degrees) {
    const std::int64_t d = ((degrees % 360) + 360) % 360;
    const std::int64_t quarter = d / 90;
    const double f = static_cast<double>(d - 90 * quarter) * (3.14159265358979323846 / 180.0);
    Direction v{std::llround(std::ldexp(std::cos(f), 30)),
                std::llround(std::ldexp(std::sin(f), 30))};
    for (std::int64_t i = 0; i < quarter; ++i) {
        v = Direction{-v.y, v.x};
    }
    return v;
}

class Sector {
  public:
    Sector(std::int64_t cx, std::int64_t cy, int start, int end)
        : cx_(cx), cy_(cy), a_(direction_of(start)), b_(direction_of(end)) {
        const std::int64_t sweep = std::int64_t{end} - start;
        whole_ = sweep >= 360;
        sweep_ = ((sweep % 360) + 360) % 360;
    }

    // Paints the part of row y's run [first, last] inside the sector.
    void paint(const SpanPainter &painter, std::int64_t y, std::int64_t first,
               std::int64_t last) const {
        if (whole_) {
            painter.run(y, first, last);
            return;
        }
        if (sweep_ > 180) {
            paint_half(painter, y, first, last, a_, false);
            paint_half(painter, y, first, last, b_, true);
            return;
        }
        keep(y, a_, false, first, last);
        if (sweep_ < 180) {
            keep(y, b_, true, first, last);
        }
        if (sweep_ == 0) { // cross(A, P) <= 0 as well, and the ray, not the line
            keep(y, a_, true, first, last);
            keep_ahead(y, first, last);
        }
        painter.run(y, first, last);
    }

  private:
    // Narrows [first, last] to cross(D, P) >= 0, or cross(P, D) >= 0 when
    // `flipped`; P = (x - cx, cy - y).
    void keep(std::int64_t y, Direction d, bool flipped, std::int64_t &first,
              std::int64_t &last) const {
        // cross(D, P) = d.x * (cy - y) - d.y * (x - cx) = -d.y * x + (d.x (cy - y) + d.y cx)
        wide_int k = -d.y;
        wide_int m = wide_int(d.x) * (cy_ - y) + wide_int(d.y) * cx_;
        if (flipped) {
            k = -k;
            m = -m;
        }
        pixpen::detail::keep_where_between<wide_int>(k, m, 0, wide_int(INT64_MAX), first, last);
    }

    void keep_ahead(std::int64_t y, std::int64_t &first, std::int64_t &last) const {
        // dot(A, P) = a.x * (x - cx) + a.y * (cy - y)
        const wide_int m = -wide_int(a_.x) * cx_ + wide_int(a_.y) * (cy_ - y);
        pixpen::detail::keep_where_between<wide_int>(a_.x, m, 0, wide_int(INT64_MAX), first, last);
    }

    void paint_half(const SpanPainter &painter, std::int64_t y, std::int64_t first,
                    std::int64_t last, Direction d, bool flipped) const {
        keep(y, d, flipped, first, last);
        painter.run(y, first, last);
    }

    std::int64_t cx_, cy_;
    Direction a_, b_;
    bool whole_ = false;
    std::int64_t sweep_ = 0;
};

} // namespace

extern "C" {

PIXPEN_API void do_arc(Image image, int cx, int cy, int radius, int start_degrees, int end_degrees,
                       Color color) {
    const SpanPainter painter(image, color);
    if (painter.empty() || radius < 0) {
        return;
    }
    const Sector sector(cx, cy, start_degrees, end_degrees);
    pixpen::detail::for_each_outline_run(
        painter.height(), cx, cy, radius,
        [&](std::int64_t y, std::int64_t first, std::int64_t last) {
            sector.paint(painter, y, first, last);
        });
}

} // extern "C"
