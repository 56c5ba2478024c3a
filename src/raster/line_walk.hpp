#pragma once

// The integer error-term line walk, clipped exactly.
//
// The classic all-octant loop (err = dx - dy; e2 = 2 * err; step x while
// e2 > -dy, step y while e2 < dx) visits, at step n of max(dx, dy), the point
//     major = major0 + s_major * n
//     minor = minor0 + s_minor * floor((2 * n * dminor + dmajor - 1) / (2 * dmajor))
// where the major axis is x when dx >= dy and y otherwise. Because the minor
// coordinate is monotone in n, the steps that land inside a rectangle form one
// interval that can be found with a few divisions. Walking only that interval
// gives exactly the pixels of the full walk, at a cost proportional to what is
// visible, and with no arithmetic that can overflow for any int endpoints.
//
// The divisions need products of up to 67 bits. Where the compiler has a
// 128-bit integer they use it; elsewhere (32-bit targets) PortableWide does
// the same arithmetic exactly, in two 64-bit words.

#include <algorithm>
#include <cstdint>
#include <optional>

namespace pixpen::detail {

// A signed 128-bit integer in two's complement, with just the operations the
// clipping needs. Values that fit 64 bits take the native path.
class PortableWide {
  public:
    constexpr PortableWide(std::int64_t value = 0) noexcept
        : hi_(value < 0 ? ~std::uint64_t{0} : 0), lo_(static_cast<std::uint64_t>(value)) {}

    explicit constexpr operator std::int64_t() const noexcept {
        return static_cast<std::int64_t>(lo_);
    }

    constexpr PortableWide operator-() const noexcept {
        PortableWide r;
        r.lo_ = ~lo_ + 1;
        r.hi_ = ~hi_ + (r.lo_ == 0 ? 1 : 0);
        return r;
    }
    friend constexpr PortableWide operator+(PortableWide a, PortableWide b) noexcept {
        PortableWide r;
        r.lo_ = a.lo_ + b.lo_;
        r.hi_ = a.hi_ + b.hi_ + (r.lo_ < a.lo_ ? 1 : 0);
        return r;
    }
    friend constexpr PortableWide operator-(PortableWide a, PortableWide b) noexcept {
        return a + -b;
    }
    // The low 128 bits of the product, which are the same signed or unsigned.
    friend constexpr PortableWide operator*(PortableWide a, PortableWide b) noexcept {
        PortableWide r = multiply(a.lo_, b.lo_);
        r.hi_ += a.hi_ * b.lo_ + a.lo_ * b.hi_;
        return r;
    }
    // Truncating division and remainder, as for the built-in integers.
    friend constexpr PortableWide operator/(PortableWide a, PortableWide b) noexcept {
        const PortableWide q = divide(a.magnitude(), b.magnitude(), nullptr);
        return a.negative() != b.negative() ? -q : q;
    }
    friend constexpr PortableWide operator%(PortableWide a, PortableWide b) noexcept {
        PortableWide r;
        divide(a.magnitude(), b.magnitude(), &r);
        return a.negative() ? -r : r;
    }
    friend constexpr bool operator<(PortableWide a, PortableWide b) noexcept {
        if (a.hi_ != b.hi_) {
            return static_cast<std::int64_t>(a.hi_) < static_cast<std::int64_t>(b.hi_);
        }
        return a.lo_ < b.lo_;
    }
    friend constexpr bool operator>(PortableWide a, PortableWide b) noexcept { return b < a; }
    friend constexpr bool operator<=(PortableWide a, PortableWide b) noexcept { return !(b < a); }
    friend constexpr bool operator>=(PortableWide a, PortableWide b) noexcept { return !(a < b); }
    friend constexpr bool operator==(PortableWide a, PortableWide b) noexcept {
        return a.hi_ == b.hi_ && a.lo_ == b.lo_;
    }
    friend constexpr bool operator!=(PortableWide a, PortableWide b) noexcept { return !(a == b); }

  private:
    constexpr bool negative() const noexcept { return (hi_ >> 63) != 0; }
    constexpr PortableWide magnitude() const noexcept { return negative() ? -*this : *this; }

    static constexpr PortableWide multiply(std::uint64_t a, std::uint64_t b) noexcept {
        constexpr std::uint64_t kLow = 0xFFFFFFFFu;
        const std::uint64_t p0 = (a & kLow) * (b & kLow);
        const std::uint64_t p1 = (a & kLow) * (b >> 32);
        const std::uint64_t p2 = (a >> 32) * (b & kLow);
        const std::uint64_t p3 = (a >> 32) * (b >> 32);
        const std::uint64_t middle = (p0 >> 32) + (p1 & kLow) + (p2 & kLow);
        PortableWide r;
        r.lo_ = (middle << 32) | (p0 & kLow);
        r.hi_ = p3 + (p1 >> 32) + (p2 >> 32) + (middle >> 32);
        return r;
    }

    // Unsigned division of magnitudes, bit by bit unless both fit 64 bits.
    static constexpr PortableWide divide(PortableWide n, PortableWide d,
                                         PortableWide *remainder) noexcept {
        PortableWide q;
        PortableWide r;
        if (n.hi_ == 0 && d.hi_ == 0) {
            q.lo_ = n.lo_ / d.lo_;
            r.lo_ = n.lo_ % d.lo_;
        } else {
            for (int bit = 127; bit >= 0; --bit) {
                r.hi_ = r.hi_ << 1 | r.lo_ >> 63;
                r.lo_ = r.lo_ << 1 | ((bit >= 64 ? n.hi_ >> (bit - 64) : n.lo_ >> bit) & 1);
                if (!unsigned_less(r, d)) {
                    r = r - d;
                    if (bit >= 64) {
                        q.hi_ |= std::uint64_t{1} << (bit - 64);
                    } else {
                        q.lo_ |= std::uint64_t{1} << bit;
                    }
                }
            }
        }
        if (remainder != nullptr) {
            *remainder = r;
        }
        return q;
    }

    static constexpr bool unsigned_less(PortableWide a, PortableWide b) noexcept {
        return a.hi_ != b.hi_ ? a.hi_ < b.hi_ : a.lo_ < b.lo_;
    }

    std::uint64_t hi_ = 0;
    std::uint64_t lo_ = 0;
};

#if defined(__SIZEOF_INT128__)
__extension__ typedef __int128 wide_int;
#else
using wide_int = PortableWide;
#endif

// Inclusive bounds of the drawable area.
struct ClipRect {
    std::int64_t x_min, y_min, x_max, y_max;
};

// The visible stretch of a line, ready to walk step by step.
struct LineSegment {
    std::int64_t x, y;       // first visible point
    std::int64_t count;      // visible points, >= 1
    std::int64_t remainder;  // minor-axis accumulator, in [0, two_dmajor)
    std::int64_t two_dminor; // added every step
    std::int64_t two_dmajor; // a minor step happens when the accumulator reaches it
    int major_dx, major_dy;  // move on every step
    int minor_dx, minor_dy;  // extra move on a minor step
};

namespace line_detail {

template <class Wide> constexpr Wide floor_div(Wide a, Wide b) { // b > 0
    const Wide q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

template <class Wide> constexpr Wide ceil_div(Wide a, Wide b) { // b > 0
    return -floor_div(-a, b);
}

// Steps n in [lo, hi] whose coordinate start + s * n lies in [min, max].
template <class Wide>
constexpr void clip_axis(std::int64_t start, int s, std::int64_t min, std::int64_t max, Wide &lo,
                         Wide &hi) {
    if (s > 0) {
        lo = std::max<Wide>(lo, min - start);
        hi = std::min<Wide>(hi, max - start);
    } else {
        lo = std::max<Wide>(lo, start - max);
        hi = std::min<Wide>(hi, start - min);
    }
}

} // namespace line_detail

// The part of the line (x0, y0) -> (x1, y1) inside `clip`, or nothing,
// computed in the wide integer type `wide_int`.
template <class wide_int>
constexpr std::optional<LineSegment> clip_line_with(std::int64_t x0, std::int64_t y0,
                                                    std::int64_t x1, std::int64_t y1,
                                                    const ClipRect &clip) {
    using line_detail::ceil_div;
    using line_detail::clip_axis;
    using line_detail::floor_div;

    const std::int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const std::int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    const bool x_major = dx >= dy;
    const std::int64_t dmajor = x_major ? dx : dy;
    const std::int64_t dminor = x_major ? dy : dx;
    const std::int64_t major0 = x_major ? x0 : y0;
    const std::int64_t minor0 = x_major ? y0 : x0;
    const int s_major = x_major ? sx : sy;
    const int s_minor = x_major ? sy : sx;

    // Steps whose major coordinate is visible.
    wide_int lo = 0;
    wide_int hi = dmajor;
    clip_axis(major0, s_major, x_major ? clip.x_min : clip.y_min, x_major ? clip.x_max : clip.y_max,
              lo, hi);
    // Minor offsets k (minor = minor0 + s_minor * k) that are visible.
    wide_int k_lo = 0;
    wide_int k_hi = dminor;
    clip_axis(minor0, s_minor, x_major ? clip.y_min : clip.x_min, x_major ? clip.y_max : clip.x_max,
              k_lo, k_hi);
    if (lo > hi || k_lo > k_hi) {
        return std::nullopt;
    }

    const wide_int two_dmajor = 2 * static_cast<wide_int>(dmajor);
    const auto offset_at = [&](wide_int n) -> wide_int {
        return dmajor == 0 ? 0 : floor_div(2 * n * dminor + dmajor - 1, two_dmajor);
    };
    if (dminor > 0) {
        // First step whose minor offset reaches k is ceil((2k*dmajor - dmajor + 1) / (2*dminor)).
        const auto first_step_with = [&](wide_int k) -> wide_int {
            return k <= 0
                       ? 0
                       : ceil_div(k * two_dmajor - dmajor + 1, 2 * static_cast<wide_int>(dminor));
        };
        lo = std::max(lo, first_step_with(k_lo));
        hi = std::min(hi, first_step_with(k_hi + 1) - 1);
        if (lo > hi) {
            return std::nullopt;
        }
    }

    const wide_int k = offset_at(lo);
    const std::int64_t major = static_cast<std::int64_t>(major0 + s_major * lo);
    const std::int64_t minor = static_cast<std::int64_t>(minor0 + s_minor * k);
    LineSegment segment{};
    segment.x = x_major ? major : minor;
    segment.y = x_major ? minor : major;
    segment.count = static_cast<std::int64_t>(hi - lo + 1);
    segment.remainder = static_cast<std::int64_t>(2 * lo * dminor + dmajor - 1 - k * two_dmajor);
    segment.two_dminor = 2 * dminor;
    segment.two_dmajor = static_cast<std::int64_t>(two_dmajor);
    segment.major_dx = x_major ? s_major : 0;
    segment.major_dy = x_major ? 0 : s_major;
    segment.minor_dx = x_major ? 0 : s_minor;
    segment.minor_dy = x_major ? s_minor : 0;
    if (dmajor == 0) { // a single point: no accumulator to speak of
        segment.remainder = 0;
        segment.two_dmajor = 1;
    }
    return segment;
}

// With every end within +-2^29 each difference is below 2^30 and every product
// above below 2^62 (the steps and offsets that reach them are bounded by the
// differences once the early return has passed), so 64 bits give the same
// segment. That covers all but absurd lines, and spares 32-bit and
// WebAssembly targets the 128-bit division they do in software, which costs
// more than a short line's pixels.
constexpr std::int64_t kNarrowLineLimit = std::int64_t{1} << 29;

constexpr std::optional<LineSegment> clip_line(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                               std::int64_t y1, const ClipRect &clip) {
    const auto narrow = [](std::int64_t v) {
        return v > -kNarrowLineLimit && v < kNarrowLineLimit;
    };
    if (narrow(x0) && narrow(y0) && narrow(x1) && narrow(y1)) {
        return clip_line_with<std::int64_t>(x0, y0, x1, y1, clip);
    }
    return clip_line_with<wide_int>(x0, y0, x1, y1, clip);
}

// The one stepping loop: visits each visible point in the order of the walk,
// as `position`, which moves by `major` every step and by `minor` as well on
// a minor step. do_line walks pixel indices this way, the tests (x, y) pairs.
template <class Position, class Visit>
constexpr void walk_segment(const LineSegment &segment, Position position, Position major,
                            Position minor, Visit &&visit) {
    // Copies, not reads through `segment`: a visit that stores to memory may,
    // for all the compiler knows, change the segment, so reading its fields
    // in the loop reloads them on every step (WebAssembly keeps the segment in
    // linear memory, where every pixel store could alias it).
    std::int64_t remainder = segment.remainder;
    const std::int64_t two_dminor = segment.two_dminor;
    const std::int64_t two_dmajor = segment.two_dmajor;
    for (std::int64_t i = segment.count; i > 0; --i) {
        visit(position);
        position += major;
        remainder += two_dminor;
        if (remainder >= two_dmajor) {
            remainder -= two_dmajor;
            position += minor;
        }
    }
}

// A point of the walk, for visiting coordinates rather than indices.
struct WalkPoint {
    std::int64_t x = 0, y = 0;
    constexpr WalkPoint &operator+=(const WalkPoint &step) {
        x += step.x;
        y += step.y;
        return *this;
    }
};

// Calls plot(x, y) for each visible point, in the order the walk visits them.
template <class Plot> constexpr void for_each_point(const LineSegment &segment, Plot &&plot) {
    walk_segment(
        segment, WalkPoint{segment.x, segment.y}, WalkPoint{segment.major_dx, segment.major_dy},
        WalkPoint{segment.minor_dx, segment.minor_dy}, [&](const WalkPoint &p) { plot(p.x, p.y); });
}

} // namespace pixpen::detail
