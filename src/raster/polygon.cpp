// Polygons: the outline is the line walk along every edge, the closing one
// included; the fill adds every pixel whose centre is inside by the even-odd
// rule or lies on an edge.
//
// The fill is a scanline sweep. An edge that is not horizontal crosses the
// rows y with y_low <= y < y_high (half-open, so a vertex shared by two edges
// counts once or twice, exactly as the even-odd rule wants). In each row the
// crossings, sorted, pair up into closed runs [ceil(c1), floor(c2)], ...:
// closed because a centre exactly on a crossing lies on an edge. Centres on a
// horizontal edge or on the top vertex of an edge are on the outline, which
// is drawn anyway.
//
// Crossings are kept as floor plus a remainder so that they step from row to
// row by addition; two crossings with the same floor are ordered only by
// whether they are whole, which is all the runs' ends depend on.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "pixpen.h"
#include "raster/line_rows.hpp"
#include "raster/span.hpp"

namespace {

using pixpen::detail::ClipRect;
using pixpen::detail::LineRows;
using pixpen::detail::SpanPainter;
using pixpen::detail::wide_int;

struct Edge {
    std::int32_t y_first, y_last; // rows the edge crosses, clipped to the image
    std::int64_t floor_x;         // crossing = floor_x + remainder / dy in the current row
    std::int64_t remainder;       // in [0, dy)
    std::int64_t dy;              // > 0
    std::int64_t step_floor;      // (x1 - x0) / dy, floored, added every row
    std::int64_t step_remainder;  // and the rest, in [0, dy)
    std::int64_t round_below;     // the walk rounds the crossing up when remainder > this
    std::int64_t key;             // sweep_key() in the current row, kept by the sweep
};

// Key that orders crossings by value as far as the runs need: 2 * floor, plus
// one when the crossing is not whole.
std::int64_t crossing_key(const Edge &edge) {
    return 2 * edge.floor_x + (edge.remainder != 0 ? 1 : 0);
}

// The same order with one more bit, whether the edge's line walk sets the
// pixel right of the crossing: the sweep paints the pixel the walk sets in
// the row along with the fill.
std::int64_t sweep_key(const Edge &edge) {
    return 2 * crossing_key(edge) + (edge.remainder > edge.round_below ? 1 : 0);
}

// The pixel the walk sets in the crossing's row.
std::int64_t walk_pixel(std::int64_t key) {
    return (key >> 2) + (key & 1);
}

// Sets the edge's crossing for row y; `low` is its upper end on screen.
void place(Edge &edge, PixpenPoint low, PixpenPoint high, std::int64_t y) {
    const std::int64_t dx = std::int64_t{high.x} - low.x;
    // x(y) = low.x + (y - low.y) * dx / dy, whose numerator can exceed 64 bits.
    const wide_int numerator = wide_int(y - low.y) * dx;
    const wide_int whole = pixpen::detail::line_detail::floor_div(numerator, wide_int(edge.dy));
    edge.floor_x = low.x + static_cast<std::int64_t>(whole);
    edge.remainder = static_cast<std::int64_t>(numerator - whole * edge.dy);
}

// The edge from a to b, ready at its first visible row, or nothing when it
// is horizontal or misses the visible rows.
bool make_edge(PixpenPoint a, PixpenPoint b, std::int64_t height, Edge &edge) {
    if (a.y == b.y) {
        return false;
    }
    // The walk from a rounds a crossing halfway between two pixels towards a.
    const std::int64_t halfway_up = a.x > b.x ? 1 : 0;
    if (a.y > b.y) {
        std::swap(a, b);
    }
    const std::int64_t y_first = std::max<std::int64_t>(a.y, 0);
    const std::int64_t y_last = std::min<std::int64_t>(std::int64_t{b.y} - 1, height - 1);
    if (y_first > y_last) {
        return false;
    }
    // Both within [0, height), which fits an int.
    edge.y_first = static_cast<std::int32_t>(y_first);
    edge.y_last = static_cast<std::int32_t>(y_last);
    edge.dy = std::int64_t{b.y} - a.y;
    const std::int64_t dx = std::int64_t{b.x} - a.x;
    edge.step_floor = pixpen::detail::line_detail::floor_div(dx, edge.dy);
    edge.step_remainder = dx - edge.step_floor * edge.dy;
    edge.round_below = (edge.dy - halfway_up) >> 1;
    place(edge, a, b, edge.y_first);
    return true;
}

// Copies the edge to `out` stepped one row down. Stepping the copy rather
// than the original spares the copy a read of fields just written.
void append_advanced(const Edge &edge, std::int64_t floor_x, std::int64_t remainder,
                     std::vector<Edge> &out) {
    out.push_back(edge);
    Edge &moved = out.back();
    moved.floor_x = floor_x;
    moved.remainder = remainder;
    moved.key = sweep_key(moved);
}

// Edges keep their order from row to row except where they meet or cross,
// so an insertion sort has little to do.
void sort_by_key(std::vector<Edge> &crossings) {
    Edge *const first = crossings.data();
    for (std::size_t i = 1; i < crossings.size(); ++i) {
        if (first[i - 1].key <= first[i].key) {
            continue;
        }
        const Edge moving = first[i];
        std::size_t j = i;
        for (; j > 0 && first[j - 1].key > moving.key; --j) {
            first[j] = first[j - 1];
        }
        first[j] = moving;
    }
}

// Paints row y from crossing keys sorted ascending.
void paint_pairs(const SpanPainter &painter, std::int64_t y, const std::int64_t *keys,
                 std::size_t count) {
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        const std::int64_t first = (keys[i] + 1) >> 1; // ceil of the crossing
        const std::int64_t last = keys[i + 1] >> 1;    // floor of the crossing
        painter.run(y, first, last);
    }
}

constexpr std::int64_t kNoRow = INT64_MAX;

// The even-odd runs of the fill, one row at a time from the top. The edges
// that cross the row are stored in the order of their crossings in the row
// before, so that sorting them is cheap and stepping them reads memory in
// order; edges that begin in a row are merged in where their keys belong.
class FillRows {
  public:
    FillRows(const PixpenPoint *points, std::size_t count, std::int64_t height) {
        edges_.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            Edge edge;
            if (make_edge(points[i], points[(i + 1) % count], height, edge)) {
                edges_.push_back(edge);
            }
        }
        // Sorting through plain pointers keeps the library's symbol table free
        // of the standard library's iterator comparison helpers.
        std::sort(edges_.data(), edges_.data() + edges_.size(),
                  [](const Edge &a, const Edge &b) { return a.y_first < b.y_first; });
    }

    bool idle() const { return current_.empty(); }
    std::int64_t next_start() const {
        return next_ < edges_.size() ? edges_[next_].y_first : kNoRow;
    }
    // Begins again at row y after rows that no edge crosses.
    void resume(std::int64_t y) {
        admit(y);
        current_.swap(arriving_);
    }

    void paint_row(const SpanPainter &painter, std::int64_t y) {
        sort_by_key(current_);
        for (std::size_t i = 0; i + 1 < current_.size(); i += 2) {
            // The fill between the crossings, and the pixel each edge's walk
            // sets, which is at most half a pixel from its crossing; when the
            // two round past each other they are neighbours.
            const std::int64_t left = walk_pixel(current_[i].key);
            const std::int64_t right = walk_pixel(current_[i + 1].key);
            painter.run(y, std::min(left, right), std::max(left, right));
        }
        step_to(y + 1);
    }

  private:
    // arriving_ = the crossings of the edges that begin in row y, sorted.
    void admit(std::int64_t y) {
        arriving_.clear();
        for (; next_ < edges_.size() && edges_[next_].y_first == y; ++next_) {
            arriving_.push_back(edges_[next_]);
            arriving_.back().key = sweep_key(edges_[next_]);
        }
        sort_by_key(arriving_);
    }

    // Drops the edges that end above row y, steps the rest to it and merges
    // in the edges that begin there.
    void step_to(std::int64_t y) {
        admit(y);
        following_.clear();
        std::size_t a = 0;
        for (const Edge &edge : current_) {
            if (edge.y_last < y) {
                continue;
            }
            // Without a branch: whether the remainder carries is as good as
            // random from edge to edge, and a mispredicted jump would cost
            // more than the whole step.
            std::int64_t remainder = edge.remainder + edge.step_remainder;
            const std::int64_t carry = remainder >= edge.dy ? 1 : 0;
            remainder -= edge.dy & -carry;
            const std::int64_t floor_x = edge.floor_x + edge.step_floor + carry;
            // Only the order by whole pixels matters for the merge.
            for (; a < arriving_.size() && (arriving_[a].key >> 2) < floor_x; ++a) {
                following_.push_back(arriving_[a]);
            }
            append_advanced(edge, floor_x, remainder, following_);
        }
        for (; a < arriving_.size(); ++a) {
            following_.push_back(arriving_[a]);
        }
        current_.swap(following_);
    }

    std::vector<Edge> edges_; // by first row
    std::size_t next_ = 0;    // first edge not yet admitted
    std::vector<Edge> current_, following_, arriving_;
};

// What the fill's runs leave out of the outline, one row at a time from the
// top: the walks of the edges that are wider than tall, which set a run of
// pixels per row rather than the one next to the crossing, and the corners,
// which end the other edges' walks in a row whose crossing is not counted.
class OutlineRows {
  public:
    OutlineRows(const PixpenPoint *points, std::size_t count, const SpanPainter &painter) {
        const ClipRect bounds{0, 0, painter.width() - 1, painter.height() - 1};
        for (std::size_t i = 0; i < count; ++i) {
            const PixpenPoint a = points[i];
            const PixpenPoint b = points[(i + 1) % count];
            if (a.x >= 0 && a.x < painter.width() && a.y >= 0 && a.y < painter.height()) {
                corners_.push_back(a);
            }
            if (!is_wide(a, b)) {
                continue;
            }
            if (const auto segment = pixpen::detail::clip_line(a.x, a.y, b.x, b.y, bounds)) {
                walks_.emplace_back(*segment);
            }
        }
        std::sort(walks_.data(), walks_.data() + walks_.size(),
                  [](const LineRows &a, const LineRows &b) { return a.row() < b.row(); });
        std::sort(corners_.data(), corners_.data() + corners_.size(),
                  [](PixpenPoint a, PixpenPoint b) { return a.y < b.y; });
    }

    bool idle() const { return active_.empty(); }
    std::int64_t next_start() const {
        std::int64_t row = next_ < walks_.size() ? walks_[next_].row() : kNoRow;
        if (next_corner_ < corners_.size()) {
            row = std::min<std::int64_t>(row, corners_[next_corner_].y);
        }
        return row;
    }

    void paint_row(const SpanPainter &painter, std::int64_t y) {
        for (; next_corner_ < corners_.size() && corners_[next_corner_].y == y; ++next_corner_) {
            painter.pixel(corners_[next_corner_].x, y);
        }
        for (; next_ < walks_.size() && walks_[next_].row() == y; ++next_) {
            active_.push_back(walks_[next_]);
        }
        // The walks' order does not matter, so a finished one makes room by
        // taking the last one's place.
        for (std::size_t i = 0; i < active_.size();) {
            std::int64_t first = 0;
            std::int64_t last = 0;
            active_[i].take_run(first, last);
            painter.run(y, first, last);
            if (!active_[i].done()) {
                ++i;
                continue;
            }
            active_[i] = active_.back();
            active_.pop_back();
        }
    }

  private:
    static bool is_wide(PixpenPoint a, PixpenPoint b) {
        const std::int64_t dx = std::int64_t{b.x} - a.x;
        const std::int64_t dy = std::int64_t{b.y} - a.y;
        return (dx < 0 ? -dx : dx) > (dy < 0 ? -dy : dy);
    }

    std::vector<LineRows> walks_; // by first row
    std::size_t next_ = 0;        // first walk not yet begun
    std::vector<LineRows> active_;
    std::vector<PixpenPoint> corners_; // inside the image, by row
    std::size_t next_corner_ = 0;
};

// The fill and the outline in one sweep, so that each row is written while
// it is in cache.
void fill_with_outline(const SpanPainter &painter, const PixpenPoint *points, std::size_t count) {
    FillRows fill(points, count, painter.height());
    OutlineRows outline(points, count, painter);
    for (std::int64_t y = 0; y < painter.height(); ++y) {
        if (fill.idle() && outline.idle()) {
            y = std::min(fill.next_start(), outline.next_start());
            if (y == kNoRow) {
                break;
            }
            if (fill.next_start() == y) {
                fill.resume(y);
            }
        }
        fill.paint_row(painter, y);
        outline.paint_row(painter, y);
    }
}

// The crossing key of edge i in row y, if the edge crosses that row.
bool key_in_row(const PixpenPoint *points, std::size_t count, std::size_t i, std::int64_t y,
                std::int64_t height, std::int64_t &key) {
    PixpenPoint a = points[i];
    PixpenPoint b = points[(i + 1) % count];
    Edge edge;
    if (!make_edge(a, b, height, edge) || y < edge.y_first || y > edge.y_last) {
        return false;
    }
    if (a.y > b.y) {
        std::swap(a, b);
    }
    place(edge, a, b, y);
    key = crossing_key(edge);
    return true;
}

// Without memory for the edge table: the same runs, from the crossings of
// each row visited in ascending order, one pass over all edges per distinct
// crossing. Slow, but it allocates nothing.
void fill_scanlines_slowly(const SpanPainter &painter, const PixpenPoint *points,
                           std::size_t count) {
    for (std::int64_t y = 0; y < painter.height(); ++y) {
        std::int64_t previous = INT64_MIN;
        std::size_t seen = 0; // crossings passed so far in this row
        std::int64_t opening = 0;
        for (;;) {
            std::int64_t smallest = INT64_MAX;
            std::size_t copies = 0;
            for (std::size_t i = 0; i < count; ++i) {
                std::int64_t key = 0;
                if (!key_in_row(points, count, i, y, painter.height(), key) || key <= previous) {
                    continue;
                }
                if (key < smallest) {
                    smallest = key;
                    copies = 0;
                }
                copies += key == smallest ? 1 : 0;
            }
            if (copies == 0) {
                break;
            }
            for (; copies > 0; --copies, ++seen) {
                if (seen % 2 == 0) {
                    opening = smallest;
                } else {
                    const std::int64_t pair[2] = {opening, smallest};
                    paint_pairs(painter, y, pair, 2);
                }
            }
            previous = smallest;
        }
    }
}

void draw_outline(Image image, const PixpenPoint *points, std::size_t count, Color color) {
    for (std::size_t i = 0; i < count; ++i) {
        const PixpenPoint a = points[i];
        const PixpenPoint b = points[(i + 1) % count];
        do_line(image, a.x, a.y, b.x, b.y, color);
    }
}

} // namespace

extern "C" {

PIXPEN_API void do_polygon(Image image, const PixpenPoint *points, size_t count, Color color) {
    if (points == nullptr || count == 0 || pixpen::detail::pixels_of(image) == 0) {
        return;
    }
    draw_outline(image, points, count, color);
}

PIXPEN_API void do_fill_polygon(Image image, const PixpenPoint *points, size_t count, Color color) {
    const SpanPainter painter(image, color);
    if (points == nullptr || count == 0 || painter.empty()) {
        return;
    }
    try {
        fill_with_outline(painter, points, count);
    } catch (const std::bad_alloc &) {
        fill_scanlines_slowly(painter, points, count);
        draw_outline(image, points, count, color);
    }
}

} // extern "C"
