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

// First and last column the edge's walk sets in its crossing's row.
// Below the edge's first row they already lie within its columns: there
// the line is half a row's run away from the crossing on either side.
void walk_columns(const Edge &edge, std::int64_t &first, std::int64_t &last) {
    const std::int64_t x = edge.floor_x;
    first = x + edge.first_floor + (edge.remainder >= edge.first_threshold ? 1 : 0);
    last = x + edge.last_floor + (edge.remainder >= edge.last_threshold ? 1 : 0);
}

void walk_extent(const Edge &edge, std::int64_t &first, std::int64_t &last) {
    walk_columns(edge, first, last);
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
class SortedRows {
  public:
    SortedRows(const PixpenPoint *points, std::size_t count, std::int64_t height)
        : edges_(edges_by_first_row(points, count, height)) {}

    bool idle() const { return current_.empty(); }
    std::int64_t next_start() const {
        return next_ < edges_.size() ? edges_[next_].y_first : kNoRow;
    }

    void paint_row(const SpanPainter &painter, std::int64_t y) {
        if (current_.empty()) {
            resume(y);
        }
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
    // Begins again at row y after rows that no edge crosses.
    void resume(std::int64_t y) {
        admit(y);
        current_.swap(arriving_);
        in_order_ = true;
    }

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
            step_edge(edge);
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
            walk_columns(edge, first, last);
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

    std::vector<Edge> edges_; // by first row
    std::size_t next_ = 0;    // first edge not yet admitted
    std::vector<Edge> in_flight_;
    std::vector<std::size_t> free_slots_;
    std::vector<Crossing> current_, following_, arriving_;
    bool in_order_ = true; // whether current_ is sorted by key
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
          walks_(flips_.size()), changes_(64 * flips_.size() + 2) {}

    void flip(std::int64_t column) {
        const std::int64_t at = shifted(column);
        flips_[word_of(at)] ^= std::uint64_t{1} << (at & 63);
    }

    // A walk of one pixel, which is also where its crossing flips. Unless
    // kClamp, the column must lie within -64 .. width + 63.
    template <bool kClamp = true> void flip_and_set(std::int64_t column) {
        const std::int64_t at = kClamp ? shifted(column) : column + 64;
        const std::uint64_t bit = std::uint64_t{1} << (at & 63);
        flips_[word_of(at)] ^= bit;
        walks_[word_of(at)] |= bit;
    }

    // Sets first..last; first <= last.
    void set(std::int64_t first, std::int64_t last) {
        first = shifted(first);
        last = shifted(last);
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

    // Paints row y's runs, left to right, and leaves the row clear.
    void paint(const SpanPainter &painter, std::int64_t y) {
        // The columns where the row changes between set and clear, found
        // first and painted after, so that no branch hangs on the bits.
        std::int32_t *const changes = changes_.data();
        std::size_t count = 0;
        std::uint64_t parity = 0; // all ones when the flips so far are odd
        std::uint64_t before = 0; // whether the pixel before this word is set
        for (std::size_t word = 0; word < flips_.size(); ++word) {
            const std::uint64_t inside = running_parity(flips_[word]) ^ parity;
            const std::uint64_t set = inside | walks_[word];
            flips_[word] = 0;
            walks_[word] = 0;
            parity = inside >> 63 != 0 ? ~std::uint64_t{0} : 0;
            const auto base = static_cast<std::int32_t>(word * 64) - 64;
            std::uint64_t change = set ^ ((set << 1) | before);
            // Many words hold two changes or fewer: those are written
            // without a branch, and only the rest take the loop.
            for (int unrolled = 0; unrolled < 2; ++unrolled) {
                changes[count] = base + std::countr_zero(change);
                count += change != 0 ? 1 : 0;
                change &= change - 1;
            }
            for (; change != 0; change &= change - 1) {
                changes[count++] = base + std::countr_zero(change);
            }
            before = set >> 63;
        }
        // Every row has an even number of crossings, so it ends clear; a
        // walk may still reach the last word's end.
        changes[count] = static_cast<std::int32_t>(flips_.size() * 64) - 64;
        for (std::size_t i = 0; i < count; i += 2) {
            painter.run(y, changes[i], changes[i + 1] - 1);
        }
    }

  private:
    // Shifted by a word, and within the words either side of the image.
    std::int64_t shifted(std::int64_t column) const {
        return std::clamp<std::int64_t>(column, -64, last_column_) + 64;
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
    std::vector<std::int32_t> changes_;
};

// Edges in flight, a field to an array, so that a row's steps run in the
// vector lanes the compiler finds for them. They keep no order: each row
// takes every edge's walk, then steps it.
//
// The remainder is kept as its distance to the next carry, dy - remainder
// in (0, dy], so that every sum stays within 32 bits; the sums are
// unsigned and wrap, and what comes out fits an int.
class EdgeLanes {
  public:
    explicit EdgeLanes(bool one_pixel_walks) : one_pixel_walks_(one_pixel_walks) {}

    std::size_t size() const { return y_last_.size(); }
    std::int32_t y_last(std::size_t i) const { return y_last_[i]; }
    std::int64_t first(std::size_t i) const { return static_cast<std::int32_t>(first_[i]); }
    std::int64_t last(std::size_t i) const { return static_cast<std::int32_t>(last_[i]); }

    void add(const Edge &edge) {
        y_last_.push_back(edge.y_last);
        floor_.push_back(static_cast<std::uint32_t>(edge.floor_x));
        to_carry_.push_back(edge.dy - edge.remainder);
        dy_.push_back(edge.dy);
        step_floor_.push_back(static_cast<std::uint32_t>(edge.step_floor));
        step_remainder_.push_back(edge.step_remainder);
        first_floor_.push_back(static_cast<std::uint32_t>(edge.first_floor));
        first_up_to_.push_back(edge.dy - edge.first_threshold);
        last_floor_.push_back(static_cast<std::uint32_t>(edge.last_floor));
        last_up_to_.push_back(edge.dy - edge.last_threshold);
        first_.push_back(0);
        last_.push_back(0);
    }

    // The last edge takes edge i's place.
    void remove(std::size_t i) {
        for (std::vector<std::uint32_t> *lane : lanes()) {
            (*lane)[i] = lane->back();
            lane->pop_back();
        }
        y_last_[i] = y_last_.back();
        y_last_.pop_back();
    }

    // Writes each edge's walk in this row to first() and last(), and steps
    // it to the next. Without a branch: a mispredicted carry costs more
    // than the step.
    void walk_and_step() {
        const std::size_t count = size();
        std::uint32_t *const floor = floor_.data();
        std::uint32_t *const to_carry = to_carry_.data();
        walk_end(first_.data(), first_floor_.data(), first_up_to_.data());
        if (!one_pixel_walks_) {
            walk_end(last_.data(), last_floor_.data(), last_up_to_.data());
        }
        const std::uint32_t *const dy = dy_.data();
        const std::uint32_t *const step_floor = step_floor_.data();
        const std::uint32_t *const step_remainder = step_remainder_.data();
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t carry = step_remainder[i] >= to_carry[i] ? 1U : 0U;
            to_carry[i] = to_carry[i] - step_remainder[i] + (dy[i] & (0U - carry));
            floor[i] += step_floor[i] + carry;
        }
    }

  private:
    void walk_end(std::uint32_t *column, const std::uint32_t *offset,
                  const std::uint32_t *up_to) const {
        const std::uint32_t *const floor = floor_.data();
        const std::uint32_t *const to_carry = to_carry_.data();
        for (std::size_t i = 0; i < size(); ++i) {
            column[i] = floor[i] + offset[i] + (to_carry[i] <= up_to[i] ? 1U : 0U);
        }
    }

    std::array<std::vector<std::uint32_t> *, 11> lanes() {
        return {&floor_,          &to_carry_,    &dy_,          &step_floor_,
                &step_remainder_, &first_floor_, &first_up_to_, &last_floor_,
                &last_up_to_,     &first_,       &last_};
    }

    bool one_pixel_walks_;
    std::vector<std::int32_t> y_last_;
    std::vector<std::uint32_t> floor_, to_carry_, dy_, step_floor_, step_remainder_;
    // The walk's columns: floor + *_floor, plus one where to_carry <= *_up_to.
    std::vector<std::uint32_t> first_floor_, first_up_to_, last_floor_, last_up_to_;
    std::vector<std::uint32_t> first_, last_;
};

// The fill and the edges' walks, one row at a time from the top. An edge
// taller than wide sets one pixel per row, and those, most of a busy
// polygon's, take the shorter path.
class ParityRows {
  public:
    ParityRows(const PixpenPoint *points, std::size_t count, std::int64_t height)
        : edges_(edges_by_first_row(points, count, height)) {}

    bool idle() const { return steep_.size() == 0 && flat_.size() == 0; }
    std::int64_t next_start() const {
        return next_ < edges_.size() ? edges_[next_].y_first : kNoRow;
    }

    // Unless kClamp, every point's x lies within -64 .. width + 63, and so do
    // the walks of the edges in flight.
    template <bool kClamp> void add_row(RowBits &bits, std::int64_t y) {
        steep_.walk_and_step();
        for (std::size_t i = 0; i < steep_.size(); ++i) {
            bits.flip_and_set<kClamp>(steep_.first(i));
        }
        flat_.walk_and_step();
        for (std::size_t i = 0; i < flat_.size(); ++i) {
            bits.flip(flat_.first(i));
            bits.set(flat_.first(i), flat_.last(i));
        }
        drop_finished(steep_, y);
        drop_finished(flat_, y);
        admit(bits, y);
    }

  private:
    static void drop_finished(EdgeLanes &lanes, std::int64_t y) {
        for (std::size_t i = lanes.size(); i-- > 0;) {
            if (lanes.y_last(i) == y) {
                lanes.remove(i);
            }
        }
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
                (steep ? steep_ : flat_).add(edge);
            }
        }
    }

    std::vector<Edge> edges_; // by first row
    std::size_t next_ = 0;    // first edge not yet in flight
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
// average over the rows the edges cross.
bool crowded(const PixpenPoint *points, std::size_t count, const SpanPainter &painter) {
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
