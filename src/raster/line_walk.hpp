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

#include <algorithm>
#include <cstdint>
#include <optional>

namespace pixpen::detail {

__extension__ typedef __int128 wide_int;

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

constexpr wide_int floor_div(wide_int a, wide_int b) { // b > 0
    const wide_int q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

constexpr wide_int ceil_div(wide_int a, wide_int b) { // b > 0
    return -floor_div(-a, b);
}

// Steps n in [lo, hi] whose coordinate start + s * n lies in [min, max].
constexpr void clip_axis(std::int64_t start, int s, std::int64_t min, std::int64_t max,
                         wide_int &lo, wide_int &hi) {
    if (s > 0) {
        lo = std::max<wide_int>(lo, min - start);
        hi = std::min<wide_int>(hi, max - start);
    } else {
        lo = std::max<wide_int>(lo, start - max);
        hi = std::min<wide_int>(hi, start - min);
    }
}

} // namespace line_detail

// The part of the line (x0, y0) -> (x1, y1) inside `clip`, or nothing.
constexpr std::optional<LineSegment> clip_line(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                               std::int64_t y1, const ClipRect &clip) {
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

// Calls plot(x, y) for each visible point, in the order the walk visits them.
template <class Plot> constexpr void for_each_point(const LineSegment &segment, Plot &&plot) {
    std::int64_t x = segment.x;
    std::int64_t y = segment.y;
    std::int64_t remainder = segment.remainder;
    for (std::int64_t i = 0; i < segment.count; ++i) {
        plot(x, y);
        x += segment.major_dx;
        y += segment.major_dy;
        remainder += segment.two_dminor;
        if (remainder >= segment.two_dmajor) {
            remainder -= segment.two_dmajor;
            x += segment.minor_dx;
            y += segment.minor_dy;
        }
    }
}

} // namespace pixpen::detail
