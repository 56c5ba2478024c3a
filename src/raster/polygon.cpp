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
//
// Rows crowded with crossings are swept another way, by parity (see
// RowBits): there, keeping the crossings in order costs more than the rest
// of the sweep.

#include <algorithm>
#include <array>
#include <bit>
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

// First and last column the edge's walk sets in its crossing's row, kept
// within the edge's columns. Only the first row needs that: below it the
// line is half a row's run from the crossing on either side, so the walk
// lies within the edge already, and the lanes below skip the clamp.
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

// Steps the edge's crossing to the next row. Without a branch: whether the
// remainder carries is as good as random from edge to edge, and a
// mispredicted jump costs more than the step.
void step_edge(Edge &edge) {
    const std::int64_t dy = edge.dy;
    const std::int64_t remainder = std::int64_t{edge.remainder} + edge.step_remainder;
    const std::int64_t carry = remainder >= dy ? 1 : 0;
    edge.remainder = static_cast<std::uint32_t>(remainder - (dy & -carry));
    edge.floor_x = static_cast<std::int32_t>(edge.floor_x + (edge.step_floor + carry));
}

// The polygon's edges that cross visible rows, by their first such row.
std::vector<Edge> edges_by_first_row(const PixpenPoint *points, std::size_t count,
                                     std::int64_t height) {
    std::vector<Edge> edges;
    edges.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Edge edge;
        if (make_edge(points[i], points[(i + 1) % count], height, edge)) {
            edges.push_back(edge);
        }
    }
    // Sorting through plain pointers keeps the library's symbol table free
    // of the standard library's iterator comparison helpers.
    std::sort(edges.data(), edges.data() + edges.size(),
              [](const Edge &a, const Edge &b) { return a.y_first < b.y_first; });
    return edges;
}

// Edges in flight, a field to an array, so that a row's steps run in the
// vector lanes the compiler finds for them.
//
// The remainder is kept as its distance to the next carry, dy - remainder
// in (0, dy], so that every sum stays within 32 bits; the sums are
// unsigned and wrap, and what comes out fits an int.
class EdgeLanes {
  public:
    // An edge that joins the others before the one at `before`.
    struct Joining {
        std::size_t before;
        const Edge *edge;
    };

    explicit EdgeLanes(bool one_pixel_walks) : one_pixel_walks_(one_pixel_walks) {}

    std::size_t size() const { return lanes_[kYLast].size(); }
    std::int32_t y_last(std::size_t i) const { return as_int(kYLast, i); }
    std::int64_t first(std::size_t i) const { return as_int(kFirst, i); }
    std::int64_t last(std::size_t i) const { return as_int(kLast, i); }
    std::uint32_t tag(std::size_t i) const { return lanes_[kTag][i]; }
    // The crossing's key, as crossing_key() gives it, in the row not yet
    // stepped past.
    std::int64_t key(std::size_t i) const {
        return 2 * std::int64_t{as_int(kFloor, i)} +
               (lanes_[kToCarry][i] != lanes_[kDy][i] ? 1 : 0);
    }

    // The edge, last, with a tag for the caller to find it by.
    void add(const Edge &edge, std::uint32_t tag) {
        Fields fields = fields_of(edge);
        fields[kTag] = tag;
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            lanes_[k].push_back(fields[k]);
        }
    }

    // The last edge takes edge i's place.
    void remove(std::size_t i) {
        for (std::vector<std::uint32_t> &lane : lanes_) {
            lane[i] = lane.back();
            lane.pop_back();
        }
    }

    // Puts in the joining edges, whose `before` must not decrease, and
    // takes out those whose last row is y; the others keep their order.
    // Rows where edges begin or end are few against those they cross, and
    // a copy of each lane in pieces between the changes was slower.
    void splice(std::int64_t y, const std::vector<Joining> &joining) {
        std::size_t joined = 0;
        for (const Joining &join : joining) {
            insert(join.before + joined++, fields_of(*join.edge));
        }
        for (std::size_t i = size(); i-- > 0;) {
            if (y_last(i) == y) {
                erase(i);
            }
        }
    }

    // Whether the keys do not decrease from edge to edge. Compared as the
    // floor, then whether the crossing is whole, so that the lanes stay 32
    // bits wide.
    bool in_order() const {
        const std::uint32_t *const floor = lanes_[kFloor].data();
        const std::uint32_t *const to_carry = lanes_[kToCarry].data();
        const std::uint32_t *const dy = lanes_[kDy].data();
        std::uint32_t disorder = 0;
        for (std::size_t i = 1; i < size(); ++i) {
            const auto before = static_cast<std::int32_t>(floor[i - 1]);
            const auto here = static_cast<std::int32_t>(floor[i]);
            const auto before_split = static_cast<std::uint32_t>(to_carry[i - 1] != dy[i - 1]);
            const auto whole = static_cast<std::uint32_t>(to_carry[i] == dy[i]);
            disorder |= static_cast<std::uint32_t>(here < before) |
                        (static_cast<std::uint32_t>(here == before) & before_split & whole);
        }
        return disorder == 0;
    }

    // Puts the edges in the order of their keys. An insertion sort has
    // little to do: edges keep their order from row to row except where
    // they meet or cross.
    void sort_by_key() {
        for (std::size_t i = 1; i < size(); ++i) {
            for (std::size_t j = i; j > 0 && key(j - 1) > key(j); --j) {
                for (std::vector<std::uint32_t> &lane : lanes_) {
                    std::swap(lane[j - 1], lane[j]);
                }
            }
        }
    }

    // Writes each edge's walk in this row to first() and last().
    void walk() {
        walk_end(kFirst, kFirstFloor, kFirstUpTo);
        if (!one_pixel_walks_) {
            walk_end(kLast, kLastFloor, kLastUpTo);
        }
    }

    // Steps every edge to the next row. Without a branch: a mispredicted
    // carry costs more than the step.
    void step() {
        std::uint32_t *const floor = lanes_[kFloor].data();
        std::uint32_t *const to_carry = lanes_[kToCarry].data();
        const std::uint32_t *const dy = lanes_[kDy].data();
        const std::uint32_t *const step_floor = lanes_[kStepFloor].data();
        const std::uint32_t *const step_remainder = lanes_[kStepRemainder].data();
        for (std::size_t i = 0; i < size(); ++i) {
            const std::uint32_t carry = step_remainder[i] >= to_carry[i] ? 1U : 0U;
            to_carry[i] = to_carry[i] - step_remainder[i] + (dy[i] & (0U - carry));
            floor[i] += step_floor[i] + carry;
        }
    }

  private:
    // The walk's columns are floor + *_floor, plus one where to_carry <=
    // *_up_to; first and last hold them for the current row.
    enum Field : std::size_t {
        kFloor,
        kToCarry,
        kDy,
        kStepFloor,
        kStepRemainder,
        kFirstFloor,
        kFirstUpTo,
        kLastFloor,
        kLastUpTo,
        kFirst,
        kLast,
        kYLast,
        kTag,
        kFieldCount
    };
    using Fields = std::array<std::uint32_t, kFieldCount>;

    static Fields fields_of(const Edge &edge) {
        Fields fields{};
        fields[kFloor] = static_cast<std::uint32_t>(edge.floor_x);
        fields[kToCarry] = edge.dy - edge.remainder;
        fields[kDy] = edge.dy;
        fields[kStepFloor] = static_cast<std::uint32_t>(edge.step_floor);
        fields[kStepRemainder] = edge.step_remainder;
        fields[kFirstFloor] = static_cast<std::uint32_t>(edge.first_floor);
        fields[kFirstUpTo] = edge.dy - edge.first_threshold;
        fields[kLastFloor] = static_cast<std::uint32_t>(edge.last_floor);
        fields[kLastUpTo] = edge.dy - edge.last_threshold;
        fields[kYLast] = static_cast<std::uint32_t>(edge.y_last);
        return fields;
    }

    void insert(std::size_t i, const Fields &fields) {
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            lanes_[k].insert(lanes_[k].begin() + static_cast<std::ptrdiff_t>(i), fields[k]);
        }
    }

    void erase(std::size_t i) {
        for (std::vector<std::uint32_t> &lane : lanes_) {
            lane.erase(lane.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }

    std::int32_t as_int(Field field, std::size_t i) const {
        return static_cast<std::int32_t>(lanes_[field][i]);
    }

    void walk_end(Field column, Field offset, Field up_to) {
        std::uint32_t *const out = lanes_[column].data();
        const std::uint32_t *const floor = lanes_[kFloor].data();
        const std::uint32_t *const to_carry = lanes_[kToCarry].data();
        const std::uint32_t *const offsets = lanes_[offset].data();
        const std::uint32_t *const up_tos = lanes_[up_to].data();
        for (std::size_t i = 0; i < size(); ++i) {
            out[i] = floor[i] + offsets[i] + (to_carry[i] <= up_tos[i] ? 1U : 0U);
        }
    }

    bool one_pixel_walks_;
    std::array<std::vector<std::uint32_t>, kFieldCount> lanes_;
};

constexpr std::int64_t kNoRow = INT64_MAX;

// The edges that go on below their first row, by their last row: those
// that leave the edges in flight.
class EdgeEndings {
  public:
    explicit EdgeEndings(const std::vector<Edge> &edges) {
        for (std::size_t i = 0; i < edges.size(); ++i) {
            if (edges[i].y_last > edges[i].y_first) {
                endings_.push_back({edges[i].y_last, i});
            }
        }
        std::sort(endings_.data(), endings_.data() + endings_.size(),
                  [](const Ending &a, const Ending &b) { return a.y < b.y; });
    }

    // Hands the index of each edge whose last row is y to take(edge). The
    // rows must be visited in order, none skipped while edges are in
    // flight.
    template <class Take> void take_row(std::int64_t y, Take take) {
        for (; next_ < endings_.size() && endings_[next_].y <= y; ++next_) {
            take(endings_[next_].edge);
        }
    }

  private:
    struct Ending {
        std::int32_t y;
        std::size_t edge;
    };
    std::vector<Ending> endings_;
    std::size_t next_ = 0;
};

// The fill and the edges' walks, one row at a time from the top. A pair of
// crossings paints one run: the fill between them and both edges' walk
// pixels in the row, which touch or overlap it.
//
// The edges in flight are kept in their crossings' order, which is the
// order of the row before except where edges meet or cross, and then it
// takes an insertion sort with little to do. Edges that begin or end in a
// row are put in or taken out where they stand. An edge's first row is the
// one where its walk may reach past its own columns, so it is taken apart
// from the others, with walk_extent(), and merged in by key.
class SortedRows {
  public:
    SortedRows(const PixpenPoint *points, std::size_t count, std::int64_t height)
        : edges_(edges_by_first_row(points, count, height)), endings_(edges_) {}

    bool idle() const { return lanes_.size() == 0; }
    std::int64_t next_start() const {
        return next_ < edges_.size() ? edges_[next_].y_first : kNoRow;
    }

    void paint_row(const SpanPainter &painter, std::int64_t y) {
        admit(y);
        lanes_.walk();
        if (!lanes_.in_order()) {
            lanes_.sort_by_key();
        }
        if (arriving_.empty()) {
            Pending pending;
            paint_lanes(painter, y, 0, lanes_.size(), pending);
        } else {
            paint_merged(painter, y);
        }
        bool ending = false;
        endings_.take_row(y, [&](std::size_t) { ending = true; });
        if (!arriving_.empty() || ending) {
            join_and_leave(y);
        }
        lanes_.step();
    }

  private:
    struct Arrival {
        std::int64_t key;
        std::int64_t first, last;
        std::size_t edge;
        std::size_t before; // the first edge in flight whose key is greater
    };

    // A crossing not yet paired, with its walk's columns.
    struct Pending {
        bool open = false;
        std::int64_t first = 0, last = 0;
    };

    // arriving_ = the edges that begin in row y, with their walks there,
    // sorted by key.
    void admit(std::int64_t y) {
        arriving_.clear();
        for (; next_ < edges_.size() && edges_[next_].y_first == y; ++next_) {
            std::int64_t first = 0;
            std::int64_t last = 0;
            walk_extent(edges_[next_], first, last);
            arriving_.push_back({crossing_key(edges_[next_]), first, last, next_, 0});
        }
        Arrival *const begin = arriving_.data();
        std::sort(begin, begin + arriving_.size(),
                  [](const Arrival &a, const Arrival &b) { return a.key < b.key; });
    }

    // Pairs the crossing with the pending one and paints the pair, or
    // leaves it pending.
    static void pair_up(const SpanPainter &painter, std::int64_t y, std::int64_t first,
                        std::int64_t last, Pending &pending) {
        if (pending.open) {
            painter.run(y, std::min(pending.first, first), std::max(pending.last, last));
            pending.open = false;
        } else {
            pending = {true, first, last};
        }
    }

    // pair_up() for the edges in flight from..to - 1, most of which pair
    // with each other.
    void paint_lanes(const SpanPainter &painter, std::int64_t y, std::size_t from, std::size_t to,
                     Pending &pending) const {
        if (from < to && pending.open) {
            pair_up(painter, y, lanes_.first(from), lanes_.last(from), pending);
            ++from;
        }
        for (; from + 1 < to; from += 2) {
            painter.run(y, std::min(lanes_.first(from), lanes_.first(from + 1)),
                        std::max(lanes_.last(from), lanes_.last(from + 1)));
        }
        if (from < to) {
            pair_up(painter, y, lanes_.first(from), lanes_.last(from), pending);
        }
    }

    // Paints the row from the edges in flight and those that begin in it,
    // merged by key; an arrival goes after the edges whose key it equals.
    void paint_merged(const SpanPainter &painter, std::int64_t y) {
        Pending pending;
        std::size_t from = 0;
        for (Arrival &arrival : arriving_) {
            arrival.before = first_greater(from, arrival.key);
            paint_lanes(painter, y, from, arrival.before, pending);
            pair_up(painter, y, arrival.first, arrival.last, pending);
            from = arrival.before;
        }
        paint_lanes(painter, y, from, lanes_.size(), pending);
    }

    // The first edge in flight from `from` on whose key is greater.
    std::size_t first_greater(std::size_t from, std::int64_t key) const {
        std::size_t to = lanes_.size();
        while (from < to) {
            const std::size_t middle = from + (to - from) / 2;
            if (lanes_.key(middle) <= key) {
                from = middle + 1;
            } else {
                to = middle;
            }
        }
        return from;
    }

    // The arrivals that go on below row y join the edges in flight where
    // paint_merged() took them, and the edges that end in it leave; the
    // step that follows brings the rest to the next row.
    void join_and_leave(std::int64_t y) {
        joining_.clear();
        for (const Arrival &arrival : arriving_) {
            const Edge &edge = edges_[arrival.edge];
            if (edge.y_last > y) {
                joining_.push_back({arrival.before, &edge});
            }
        }
        lanes_.splice(y, joining_);
    }

    std::vector<Edge> edges_; // by first row
    std::size_t next_ = 0;    // first edge not yet admitted
    EdgeEndings endings_;
    EdgeLanes lanes_{false};
    std::vector<Arrival> arriving_;
    std::vector<EdgeLanes::Joining> joining_;
};

// One row as bits, from which its runs are painted. The even-odd rule makes
// a pixel inside when an odd number of crossings lie before its centre, so
// each crossing flips a bit, and a running parity along the row gives the
// fill. The walks' pixels are set outright. Neither needs the crossings in
// order, which is what a sweep over many edges would otherwise spend most
// of its time keeping.
//
// A crossing's flip may go anywhere from the first column of its walk to
// one past the last: the columns in between take the other parity, but the
// walk paints them anyway. So it goes to the first, which the walk needs
// regardless.
//
// Columns are kept shifted by one word, and those beyond the image land in
// the word on either side of it: a flip there still counts towards the
// parity, and the runs it makes are clipped when painted. Every word of
// the row is visited, which only a row crowded with crossings repays.
class RowBits {
  public:
    explicit RowBits(std::int64_t width)
        : last_column_(width + 63), flips_(static_cast<std::size_t>(width / 64 + 3)),
          walks_(flips_.size()) {}

    // Unless kClamp, the columns given to these must lie within -64 ..
    // width + 63.
    template <bool kClamp = true> void flip(std::int64_t column) {
        const std::int64_t at = shifted<kClamp>(column);
        flips_[word_of(at)] ^= std::uint64_t{1} << (at & 63);
    }

    // A walk of one pixel, which is also where its crossing flips.
    template <bool kClamp = true> void flip_and_set(std::int64_t column) {
        const std::int64_t at = shifted<kClamp>(column);
        const std::uint64_t bit = std::uint64_t{1} << (at & 63);
        flips_[word_of(at)] ^= bit;
        walks_[word_of(at)] |= bit;
    }

    // Sets first..last; first <= last.
    template <bool kClamp = true> void set(std::int64_t first, std::int64_t last) {
        first = shifted<kClamp>(first);
        last = shifted<kClamp>(last);
        const std::size_t first_word = word_of(first);
        const std::size_t last_word = word_of(last);
        const std::uint64_t from_first = ~std::uint64_t{0} << (first & 63);
        const std::uint64_t to_last = ~std::uint64_t{0} >> (63 - (last & 63));
        if (first_word == last_word) {
            walks_[first_word] |= from_first & to_last;
            return;
        }
        walks_[first_word] |= from_first;
        for (std::size_t word = first_word + 1; word < last_word; ++word) {
            walks_[word] = ~std::uint64_t{0};
        }
        walks_[last_word] |= to_last;
    }

    // Paints row y, a word at a time, and leaves the row clear.
    void paint(const SpanPainter &painter, std::int64_t y) {
        std::uint64_t parity = 0; // all ones when the flips so far are odd
        for (std::size_t word = 0; word < flips_.size(); ++word) {
            const std::uint64_t inside = running_parity(flips_[word]) ^ parity;
            const std::uint64_t set = inside | walks_[word];
            flips_[word] = 0;
            walks_[word] = 0;
            parity = inside >> 63 != 0 ? ~std::uint64_t{0} : 0;
            if (set != 0) {
                painter.masked(y, static_cast<std::int64_t>(word) * 64 - 64, set);
            }
        }
    }

  private:
    // Shifted by a word, and within the words either side of the image.
    template <bool kClamp> std::int64_t shifted(std::int64_t column) const {
        return (kClamp ? std::clamp<std::int64_t>(column, -64, last_column_) : column) + 64;
    }
    static std::size_t word_of(std::int64_t at) { return static_cast<std::size_t>(at >> 6); }

    // Bit i of the result is the parity of bits 0..i.
    static std::uint64_t running_parity(std::uint64_t bits) {
        for (int shift = 1; shift < 64; shift *= 2) {
            bits ^= bits << shift;
        }
        return bits;
    }

    std::int64_t last_column_;
    std::vector<std::uint64_t> flips_, walks_;
};

// The fill and the edges' walks, one row at a time from the top. An edge
// taller than wide sets one pixel per row, and those, most of a busy
// polygon's, take the shorter path.
class ParityRows {
  public:
    ParityRows(const PixpenPoint *points, std::size_t count, std::int64_t height)
        : edges_(edges_by_first_row(points, count, height)), places_(edges_.size()),
          endings_(edges_) {}

    bool idle() const { return steep_.size() == 0 && flat_.size() == 0; }
    std::int64_t next_start() const {
        return next_ < edges_.size() ? edges_[next_].y_first : kNoRow;
    }

    // Unless kClamp, every point's x lies within -64 .. width + 63, and so do
    // the walks of the edges in flight.
    template <bool kClamp> void add_row(RowBits &bits, std::int64_t y) {
        steep_.walk();
        steep_.step();
        for (std::size_t i = 0; i < steep_.size(); ++i) {
            bits.flip_and_set<kClamp>(steep_.first(i));
        }
        flat_.walk();
        flat_.step();
        for (std::size_t i = 0; i < flat_.size(); ++i) {
            bits.flip<kClamp>(flat_.first(i));
            bits.set<kClamp>(flat_.first(i), flat_.last(i));
        }
        drop_ending(y);
        admit(bits, y);
    }

  private:
    // Where an edge in flight is: its lanes, and its place in them.
    struct Place {
        bool steep;
        std::uint32_t lane;
    };

    // Looked up by edge, not searched for: with many edges in flight, a
    // search of them all in every row cost more than the lookups.
    void drop_ending(std::int64_t y) {
        endings_.take_row(y, [&](std::size_t edge) {
            const Place place = places_[edge];
            EdgeLanes &lanes = place.steep ? steep_ : flat_;
            lanes.remove(place.lane);
            if (place.lane < lanes.size()) {
                places_[lanes.tag(place.lane)].lane = place.lane;
            }
        });
    }

    // An edge's first row is the one where its walk may reach past its own
    // columns, so it is taken here, with walk_extent(), before the edge
    // joins the others.
    void admit(RowBits &bits, std::int64_t y) {
        for (; next_ < edges_.size() && edges_[next_].y_first == y; ++next_) {
            Edge edge = edges_[next_];
            std::int64_t first = 0;
            std::int64_t last = 0;
            walk_extent(edge, first, last);
            bits.flip(first);
            bits.set(first, last);
            if (edge.y_last > y) {
                step_edge(edge);
                const bool steep = std::int64_t{edge.x_max} - edge.x_min <= edge.dy;
                EdgeLanes &lanes = steep ? steep_ : flat_;
                places_[next_] = {steep, static_cast<std::uint32_t>(lanes.size())};
                lanes.add(edge, static_cast<std::uint32_t>(next_));
            }
        }
    }

    std::vector<Edge> edges_; // by first row
    std::size_t next_ = 0;    // first edge not yet in flight
    std::vector<Place> places_;
    EdgeEndings endings_;
    EdgeLanes steep_{true}, flat_{false};
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

    // Hands each run in row y to take(first, last).
    template <class Take> void take_row(std::int64_t y, Take take) {
        for (; next_ < runs_.size() && runs_[next_].y == y; ++next_) {
            take(runs_[next_].first, runs_[next_].last);
        }
    }

  private:
    struct Run {
        std::int64_t y, first, last;
    };
    std::vector<Run> runs_; // by row
    std::size_t next_ = 0;
};

// Visits, from the top, the rows that the sweep or an edge's last row
// reaches.
template <class Sweep, class Visit>
void visit_rows(const Sweep &sweep, const LastRows &last_rows, std::int64_t height, Visit visit) {
    for (std::int64_t y = 0; y < height; ++y) {
        if (sweep.idle()) {
            y = std::min(sweep.next_start(), last_rows.next_start());
            if (y == kNoRow) {
                break;
            }
        }
        visit(y);
    }
}

// Whether the rows hold so many crossings that flipping bits costs less
// than keeping the crossings in order: four or more to a word of a row, on
// average over the rows the edges cross. The parity sweep tags its edges
// in 32 bits, so a polygon with more points than that keeps the other.
bool crowded(const PixpenPoint *points, std::size_t count, const SpanPainter &painter) {
    if ((std::uint64_t{count} >> 32) != 0) {
        return false;
    }
    std::int64_t crossings = 0;
    std::int64_t top = INT64_MAX;
    std::int64_t bottom = INT64_MIN;
    for (std::size_t i = 0; i < count; ++i) {
        const PixpenPoint a = points[i];
        const PixpenPoint b = points[(i + 1) % count];
        const std::int64_t first = std::max<std::int64_t>(std::min(a.y, b.y), 0);
        const std::int64_t last =
            std::min<std::int64_t>(std::int64_t{std::max(a.y, b.y)} - 1, painter.height() - 1);
        if (first <= last) {
            crossings += last - first + 1;
            top = std::min(top, first);
            bottom = std::max(bottom, last);
        }
    }
    const std::int64_t words = painter.width() / 64 + 3;
    return crossings > 0 && crossings >= 4 * words * (bottom - top + 1);
}

// The two sweeps are kept apart, so that each is compiled as if alone:
// inlined into one function, the sorted sweep ran 8 % slower.
[[gnu::noinline]] void fill_by_parity(const SpanPainter &painter, const PixpenPoint *points,
                                      std::size_t count, LastRows &last_rows) {
    ParityRows fill(points, count, painter.height());
    RowBits bits(painter.width());
    bool near_the_image = true;
    for (std::size_t i = 0; i < count; ++i) {
        near_the_image =
            near_the_image && points[i].x >= -64 && points[i].x <= painter.width() + 63;
    }
    visit_rows(fill, last_rows, painter.height(), [&](std::int64_t y) {
        if (near_the_image) {
            fill.add_row<false>(bits, y);
        } else {
            fill.add_row<true>(bits, y);
        }
        last_rows.take_row(y,
                           [&](std::int64_t first, std::int64_t last) { bits.set(first, last); });
        bits.paint(painter, y);
    });
}

[[gnu::noinline]] void fill_in_order(const SpanPainter &painter, const PixpenPoint *points,
                                     std::size_t count, LastRows &last_rows) {
    SortedRows fill(points, count, painter.height());
    visit_rows(fill, last_rows, painter.height(), [&](std::int64_t y) {
        fill.paint_row(painter, y);
        last_rows.take_row(
            y, [&](std::int64_t first, std::int64_t last) { painter.run(y, first, last); });
    });
}

// The fill and the outline in one sweep, so that each row is written once,
// while it is in cache.
void fill_with_outline(const SpanPainter &painter, const PixpenPoint *points, std::size_t count) {
    LastRows last_rows(points, count, painter);
    if (crowded(points, count, painter)) {
        fill_by_parity(painter, points, count, last_rows);
    } else {
        fill_in_order(painter, points, count, last_rows);
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

// Paints row y between two crossings, given by their keys: from the first
// whole column at or after the opening one to the last at or before the
// closing one.
void paint_between(const SpanPainter &painter, std::int64_t y, std::int64_t opening,
                   std::int64_t closing) {
    painter.run(y, (opening + 1) >> 1, closing >> 1);
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
