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
// The outline is painted in the same sweep, so that each row is written
// while it is in cache; walking it edge by edge afterwards touches a new row
// for almost every pixel of a steep edge. In a row that an edge crosses, its
// walk sets one run of pixels next to the crossing, which follows from the
// crossing alone, so a pair of crossings paints a single run: the fill and
// both walks' pixels. Each walk's last row, which the half-open rows leave
// out, comes from the line walk's own clipping.
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
#include "raster/line_walk.hpp"
#include "raster/span.hpp"

namespace {

using pixpen::detail::ClipRect;
using pixpen::detail::SpanPainter;
using pixpen::detail::wide_int;

// One cache line's worth per edge: every field fits 32 bits, and the sums
// that step it are done in 64.
struct Edge {
    std::int32_t y_first, y_last; // rows the edge crosses, clipped to the image
    std::int32_t floor_x;         // crossing = floor_x + remainder / dy in the current row
    std::uint32_t remainder;      // in [0, dy)
    std::uint32_t dy;             // > 0
    // (x1 - x0) / dy, floored, and the rest in [0, dy), added every row. Used
    // only by an edge two or more rows tall, for which the quotient fits.
    std::int32_t step_floor;
    std::uint32_t step_remainder;
    // The columns the edge's walk sets in the crossing's row are
    // floor_x + *_floor, plus one where remainder >= *_threshold (see
    // set_walk_offsets()), kept within x_min..x_max.
    std::int32_t first_floor, last_floor;
    std::uint32_t first_threshold, last_threshold; // in [0, dy]
    std::int32_t x_min, x_max;                     // the walk's columns
};

// Key that orders crossings by value as far as the runs need: 2 * floor, plus
// one when the crossing is not whole.
std::int64_t crossing_key(const Edge &edge) {
    return 2 * std::int64_t{edge.floor_x} + (edge.remainder != 0 ? 1 : 0);
}

// Sets the edge's crossing for row y; `low` is its upper end on screen.
void place(Edge &edge, PixpenPoint low, PixpenPoint high, std::int64_t y) {
    const std::int64_t dx = std::int64_t{high.x} - low.x;
    // x(y) = low.x + (y - low.y) * dx / dy, whose numerator can exceed 64 bits.
    const wide_int numerator = wide_int(y - low.y) * dx;
    const wide_int dy = wide_int(std::int64_t{edge.dy});
    const wide_int whole = pixpen::detail::line_detail::floor_div(numerator, dy);
    // Between the ends' columns, which are ints.
    edge.floor_x = static_cast<std::int32_t>(low.x + static_cast<std::int64_t>(whole));
    edge.remainder = static_cast<std::uint32_t>(static_cast<std::int64_t>(numerator - whole * dy));
}

// floor_x + floor((2 * remainder + offset) / (2 dy)) as the edge stores it:
// a whole part and the remainder from which one more is added.
void split_offset(std::int64_t offset, std::int64_t dy, std::int32_t &floor,
                  std::uint32_t &threshold) {
    using pixpen::detail::line_detail::floor_div;
    const std::int64_t two_dy = 2 * dy;
    const std::int64_t whole = floor_div(offset, two_dy);
    const std::int64_t rest = offset - whole * two_dy; // in [0, 2 dy)
    // 2 * remainder + rest >= 2 dy, for a whole remainder.
    threshold = static_cast<std::uint32_t>((two_dy - rest + 1) / 2);
    floor = static_cast<std::int32_t>(whole);
}

// The pixels the line walk from `start` to `end` sets in a row it shares
// with the fill, as offsets from the row's crossing c. A walk that is
// taller than wide sets the one pixel nearest to c, a tie going towards
// `start`. A wider walk sets the pixels whose centre the line passes within
// half a row of: the columns between c - h and c + h, h = |dx| / (2 dy),
// where a column exactly at a boundary goes to the row nearer to `start`.
// Both are floor(c + (2 * remainder + r) / (2 dy)) for a few constants r.
void set_walk_offsets(Edge &edge, PixpenPoint start, PixpenPoint end) {
    const std::int64_t dx = std::int64_t{end.x} - start.x;
    const std::int64_t width = dx < 0 ? -dx : dx;
    const std::int64_t dy = edge.dy;
    edge.x_min = std::min(start.x, end.x);
    edge.x_max = std::max(start.x, end.x);
    if (width <= dy) {
        // Rounded up when 2 * remainder > dy, or == dy with `start` right.
        const std::int64_t up_from = dy + (start.x > end.x ? 0 : 1);
        split_offset(2 * dy - up_from, dy, edge.first_floor, edge.first_threshold);
        edge.last_floor = edge.first_floor;
        edge.last_threshold = edge.first_threshold;
        return;
    }
    // A column exactly on a boundary belongs to the row nearer to `start`,
    // which is the run on its right when the walk goes leftwards: the
    // boundary then counts as just below its value.
    const std::int64_t leftwards = dx < 0 ? 1 : 0;
    split_offset(-width - leftwards + 2 * dy, dy, edge.first_floor, edge.first_threshold);
    split_offset(width - leftwards, dy, edge.last_floor, edge.last_threshold);
}

// First and last column the edge's walk sets in its crossing's row.
void walk_extent(const Edge &edge, std::int64_t &first, std::int64_t &last) {
    const std::int64_t x = edge.floor_x;
    first = x + edge.first_floor + (edge.remainder >= edge.first_threshold ? 1 : 0);
    last = x + edge.last_floor + (edge.remainder >= edge.last_threshold ? 1 : 0);
    first = std::max<std::int64_t>(first, edge.x_min);
    last = std::min<std::int64_t>(last, edge.x_max);
}

// The edge from a to b, ready at its first visible row, or nothing when it
// is horizontal or misses the visible rows.
bool make_edge(PixpenPoint a, PixpenPoint b, std::int64_t height, Edge &edge) {
    if (a.y == b.y) {
        return false;
    }
    const PixpenPoint start = a;
    const PixpenPoint end = b;
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
    const std::int64_t dy = std::int64_t{b.y} - a.y;
    edge.dy = static_cast<std::uint32_t>(dy);
    const std::int64_t dx = std::int64_t{b.x} - a.x;
    const std::int64_t step_floor = pixpen::detail::line_detail::floor_div(dx, dy);
    edge.step_floor = dy > 1 ? static_cast<std::int32_t>(step_floor) : 0;
    edge.step_remainder = static_cast<std::uint32_t>(dx - step_floor * dy);
    set_walk_offsets(edge, start, end);
    place(edge, a, b, edge.y_first);
    return true;
}

// An edge in the sweep's order: its crossing's key and the columns its walk
// sets in the row, with its place in the table of edges in flight.
struct Crossing {
    std::int64_t key;
    std::int32_t first, last;
    std::size_t slot;
};

Crossing crossing_of(const Edge &edge, std::size_t slot) {
    std::int64_t first = 0;
    std::int64_t last = 0;
    walk_extent(edge, first, last);
    // Within the edge's columns, which are ints.
    return {crossing_key(edge), static_cast<std::int32_t>(first), static_cast<std::int32_t>(last),
            slot};
}

// Edges keep their order from row to row except where they meet or cross,
// so an insertion sort has little to do.
void sort_by_key(std::vector<Crossing> &crossings) {
    Crossing *const first = crossings.data();
    for (std::size_t i = 1; i < crossings.size(); ++i) {
        if (first[i - 1].key <= first[i].key) {
            continue;
        }
        const Crossing moving = first[i];
        std::size_t j = i;
        for (; j > 0 && first[j - 1].key > moving.key; --j) {
            first[j] = first[j - 1];
        }
        first[j] = moving;
    }
}

// Paints row y between two crossings, given by their keys: from the first
// whole column at or after the opening one to the last at or before the
// closing one.
void paint_between(const SpanPainter &painter, std::int64_t y, std::int64_t opening,
                   std::int64_t closing) {
    painter.run(y, (opening + 1) >> 1, closing >> 1);
}

constexpr std::int64_t kNoRow = INT64_MAX;

// The fill and the edges' walks, one row at a time from the top. A pair of
// crossings paints one run: the fill between them and both edges' walk
// pixels in the row, which touch or overlap it. The crossings stay in the
// order of the row before, so sorting them is cheap; edges that begin in a
// row are merged in where their keys belong. The edges themselves stay put
// in a small table while they are in flight.
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
        in_order_ = true;
    }

    void paint_row(const SpanPainter &painter, std::int64_t y) {
        if (!in_order_) {
            sort_by_key(current_);
        }
        for (std::size_t i = 0; i + 1 < current_.size(); i += 2) {
            const Crossing &left = current_[i];
            const Crossing &right = current_[i + 1];
            painter.run(y, std::min(left.first, right.first), std::max(left.last, right.last));
        }
        step_to(y + 1);
    }

  private:
    // arriving_ = the crossings of the edges that begin in row y, sorted.
    void admit(std::int64_t y) {
        arriving_.clear();
        for (; next_ < edges_.size() && edges_[next_].y_first == y; ++next_) {
            std::size_t slot = in_flight_.size();
            if (free_slots_.empty()) {
                in_flight_.push_back(edges_[next_]);
            } else {
                slot = free_slots_.back();
                free_slots_.pop_back();
                in_flight_[slot] = edges_[next_];
            }
            arriving_.push_back(crossing_of(edges_[next_], slot));
        }
        sort_by_key(arriving_);
    }

    // Drops the edges that end above row y, steps the rest to it and merges
    // in the edges that begin there.
    void step_to(std::int64_t y) {
        admit(y);
        // Written through a pointer: push_back's capacity check on every
        // crossing costs more than sizing the buffer once.
        following_.resize(current_.size() + arriving_.size());
        Crossing *out = following_.data();
        std::size_t a = 0;
        std::int64_t previous_key = INT64_MIN;
        in_order_ = true;
        for (const Crossing &crossing : current_) {
            Edge &edge = in_flight_[crossing.slot];
            if (edge.y_last < y) {
                free_slots_.push_back(crossing.slot);
                continue;
            }
            step(edge);
            // Fields one by one: a whole Crossing built first would be read
            // back, in wider pieces than it was written, before the store had
            // landed, which stalls.
            const std::int64_t key = crossing_key(edge);
            // Edges that met or crossed since the last row leave the keys
            // out of order; mostly none do, and the sort is skipped.
            in_order_ = in_order_ && previous_key <= key;
            previous_key = key;
            std::int64_t first = 0;
            std::int64_t last = 0;
            walk_extent(edge, first, last);
            for (; a < arriving_.size() && arriving_[a].key < key; ++a) {
                *out++ = arriving_[a];
            }
            *out++ = {key, static_cast<std::int32_t>(first), static_cast<std::int32_t>(last),
                      crossing.slot};
        }
        for (; a < arriving_.size(); ++a) {
            *out++ = arriving_[a];
        }
        following_.resize(static_cast<std::size_t>(out - following_.data()));
        current_.swap(following_);
    }

    // Without a branch: whether the remainder carries is as good as random
    // from edge to edge, and a mispredicted jump costs more than the step.
    static void step(Edge &edge) {
        const std::int64_t dy = edge.dy;
        const std::int64_t remainder = std::int64_t{edge.remainder} + edge.step_remainder;
        const std::int64_t carry = remainder >= dy ? 1 : 0;
        edge.remainder = static_cast<std::uint32_t>(remainder - (dy & -carry));
        edge.floor_x = static_cast<std::int32_t>(edge.floor_x + (edge.step_floor + carry));
    }

    std::vector<Edge> edges_; // by first row
    std::size_t next_ = 0;    // first edge not yet admitted
    std::vector<Edge> in_flight_;
    std::vector<std::size_t> free_slots_;
    std::vector<Crossing> current_, following_, arriving_;
    bool in_order_ = true; // whether current_ is sorted by key
};

// The last row of each edge's walk, which the fill's half-open rows leave
// out: the bottom corner of a steep edge, the last run of a flat one, the
// whole of a horizontal one.
class LastRows {
  public:
    LastRows(const PixpenPoint *points, std::size_t count, const SpanPainter &painter) {
        for (std::size_t i = 0; i < count; ++i) {
            const PixpenPoint a = points[i];
            const PixpenPoint b = points[(i + 1) % count];
            const std::int64_t y = std::max(a.y, b.y);
            const ClipRect row{0, y, painter.width() - 1, y};
            if (const auto segment = pixpen::detail::clip_line(a.x, a.y, b.x, b.y, row)) {
                const std::int64_t other_end =
                    segment->x + (segment->count - 1) * segment->major_dx;
                runs_.push_back(
                    {y, std::min(segment->x, other_end), std::max(segment->x, other_end)});
            }
        }
        std::sort(runs_.data(), runs_.data() + runs_.size(),
                  [](const Run &a, const Run &b) { return a.y < b.y; });
    }

    std::int64_t next_start() const { return next_ < runs_.size() ? runs_[next_].y : kNoRow; }

    void paint_row(const SpanPainter &painter, std::int64_t y) {
        for (; next_ < runs_.size() && runs_[next_].y == y; ++next_) {
            painter.run(y, runs_[next_].first, runs_[next_].last);
        }
    }

  private:
    struct Run {
        std::int64_t y, first, last;
    };
    std::vector<Run> runs_; // by row
    std::size_t next_ = 0;
};

// The fill and the outline in one sweep, so that each row is written once,
// while it is in cache.
void fill_with_outline(const SpanPainter &painter, const PixpenPoint *points, std::size_t count) {
    FillRows fill(points, count, painter.height());
    LastRows last_rows(points, count, painter);
    for (std::int64_t y = 0; y < painter.height(); ++y) {
        if (fill.idle()) {
            y = std::min(fill.next_start(), last_rows.next_start());
            if (y == kNoRow) {
                break;
            }
            if (fill.next_start() == y) {
                fill.resume(y);
            }
        }
        fill.paint_row(painter, y);
        last_rows.paint_row(painter, y);
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
                    paint_between(painter, y, opening, smallest);
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
