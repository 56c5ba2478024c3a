// Thick lines: every pixel whose centre lies within width / 2 of the segment.
//
// The region is a capsule, which is convex, so each row meets it in one run.
// That run is the union of three simpler ones: the two round caps (discs at
// the end points) and the band of points whose projection falls between the
// ends and whose distance from the line is at most width / 2. The band's
// distance test 4 * cross^2 <= width^2 * length^2 becomes the linear test
// |2 * cross| <= floor(width * length), since 2 * cross is an integer; so per
// row only a few exact divisions are needed, whatever the line's length.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "pixpen.h"
#include "raster/span.hpp"

namespace {

using pixpen::detail::SpanPainter;
using pixpen::detail::wide_int;

struct Run {
    std::int64_t first = 1, last = 0; // empty until widened

    void join(std::int64_t a, std::int64_t b) {
        if (a > b) {
            return;
        }
        if (first > last) {
            first = a;
            last = b;
        } else {
            first = std::min(first, a);
            last = std::max(last, b);
        }
    }
};

// Whether row y meets the disc of diameter `width` around a point in row cy.
bool reaches_row(std::int64_t cy, std::int64_t width, std::int64_t y) {
    return 2 * std::llabs(y - cy) <= width;
}

// The columns of row y within the disc of diameter `width` around (cx, cy),
// a row that reaches_row.
void join_cap(Run &run, std::int64_t cx, std::int64_t cy, std::int64_t width, std::int64_t y) {
    const std::int64_t dy = y - cy;
    // 4 * (dx^2 + dy^2) <= width^2  <=>  dx^2 <= floor((width^2 - 4 dy^2) / 4)
    const auto reach = static_cast<std::int64_t>(
        pixpen::detail::isqrt(static_cast<std::uint64_t>((width * width - 4 * dy * dy) / 4)));
    run.join(cx - reach, cx + reach);
}

struct Band {
    std::int64_t ax, ay, dx, dy;
    wide_int length2; // dx^2 + dy^2, >= 1 (up to 2^65)
    wide_int reach;   // floor(width * length) (up to 2^64)
};

// Joins the band's columns in row y, in the integer type Int, which must hold
// every product below for the coordinates at hand.
template <class Int>
void join_band(Run &run, const Band &band, std::int64_t y, std::int64_t x_max) {
    std::int64_t first = 0;
    std::int64_t last = x_max;
    const auto narrow = [](wide_int v) {
        if constexpr (std::is_same_v<Int, wide_int>) {
            return v;
        } else {
            return static_cast<Int>(v);
        }
    };
    const Int dx = band.dx, dy = band.dy, ax = band.ax;
    const Int ry = Int(y) - Int(band.ay);
    const Int reach = narrow(band.reach);
    // projection: (x - ax) * dx + ry * dy in [0, length^2]
    pixpen::detail::keep_where_between<Int>(dx, ry * dy - ax * dx, Int(0), narrow(band.length2),
                                            first, last);
    // 2 * cross: 2 * ((x - ax) * dy - ry * dx) in [-reach, reach]
    pixpen::detail::keep_where_between<Int>(2 * dy, -2 * (ax * dy + ry * dx), -reach, reach, first,
                                            last);
    run.join(first, last);
}

// Whether every product of the band's row tests fits 64 bits.
bool fits_int64(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                std::int64_t width, const SpanPainter &painter) {
    constexpr std::int64_t kSmall = std::int64_t{1} << 29;
    for (std::int64_t v : {x0, y0, x1, y1, width, painter.width(), painter.height()}) {
        if (std::llabs(v) >= kSmall) {
            return false;
        }
    }
    return true;
}

// The band row after row from `first_row`, stepped by additions: the common
// case, where every value fits 64 bits.
class SteppedBand {
  public:
    SteppedBand(const Band &band, std::int64_t first_row)
        : along_(band.dx, (first_row - band.ay) * band.dy - band.ax * band.dx, band.dy, 0,
                 static_cast<std::int64_t>(band.length2)),
          across_(2 * band.dy, -2 * (band.ax * band.dy + (first_row - band.ay) * band.dx),
                  -2 * band.dx, -static_cast<std::int64_t>(band.reach),
                  static_cast<std::int64_t>(band.reach)) {}

    void join(Run &run, std::int64_t x_max) {
        std::int64_t first = 0;
        std::int64_t last = x_max;
        along_.keep_and_advance(first, last);
        across_.keep_and_advance(first, last);
        run.join(first, last);
    }

  private:
    pixpen::detail::RowBounds along_, across_;
};

// The band row by row in wide arithmetic, for ends or widths near the int limits.
class WideBand {
  public:
    WideBand(const Band &band, std::int64_t first_row) : band_(band), y_(first_row) {}
    void join(Run &run, std::int64_t x_max) { join_band<wide_int>(run, band_, y_++, x_max); }

  private:
    Band band_;
    std::int64_t y_;
};

template <class BandRows>
void paint_rows(const SpanPainter &painter, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                std::int64_t y1, std::int64_t width, std::int64_t row_first, std::int64_t row_last,
                BandRows *band) {
    for (std::int64_t y = row_first; y <= row_last; ++y) {
        // Most rows of a long line are far from both caps: only the band
        // is worth asking there.
        Run run;
        if (reaches_row(y0, width, y)) {
            join_cap(run, x0, y0, width, y);
        }
        if (reaches_row(y1, width, y)) {
            join_cap(run, x1, y1, width, y);
        }
        if (band != nullptr) {
            band->join(run, painter.width() - 1);
        }
        painter.run(y, run.first, run.last);
    }
}

void draw_capsule(const SpanPainter &painter, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                  std::int64_t y1, std::int64_t width) {
    const std::int64_t half = width / 2 + 1;
    const auto [row_first, row_last] =
        painter.visible_rows(std::min(y0, y1) - half, std::max(y0, y1) + half);
    const std::int64_t dx = x1 - x0, dy = y1 - y0;
    if (dx == 0 && dy == 0) {
        paint_rows<WideBand>(painter, x0, y0, x1, y1, width, row_first, row_last, nullptr);
        return;
    }
    const wide_int length2 = wide_int(dx) * dx + wide_int(dy) * dy;
    const Band band{x0, y0,      dx,
                    dy, length2, pixpen::detail::isqrt_wide(wide_int(width) * width * length2)};
    if (fits_int64(x0, y0, x1, y1, width, painter)) {
        SteppedBand rows(band, row_first);
        paint_rows(painter, x0, y0, x1, y1, width, row_first, row_last, &rows);
    } else {
        WideBand rows(band, row_first);
        paint_rows(painter, x0, y0, x1, y1, width, row_first, row_last, &rows);
    }
}

} // namespace

extern "C" {

PIXPEN_API void do_thick_line(Image image, int x0, int y0, int x1, int y1, int width, Color color) {
    if (width <= 1) {
        do_line(image, x0, y0, x1, y1, color);
        return;
    }
    SpanPainter painter(image, color);
    if (painter.empty()) {
        return;
    }
    draw_capsule(painter, x0, y0, x1, y1, width);
}

} // extern "C"
