#pragma once

// Pieces every filled shape shares: integer square roots, exact rounding
// division, and the routines that paint a run of a row, or the pixels of a
// row's 64 columns that a bit mask picks.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/image.hpp"
#include "pixpen.h"
#include "raster/line_walk.hpp"
#include "raster/pattern_fill.hpp"

namespace pixpen::detail {

// floor(sqrt(n)) for any n that fits 64 bits: the double root is within one
// of the answer, and the integer steps settle it exactly.
inline std::uint64_t isqrt(std::uint64_t n) {
    constexpr std::uint64_t kLargestRoot = 0xFFFFFFFFu;
    std::uint64_t r =
        std::min(static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n))), kLargestRoot);
    while (r * r > n) {
        --r;
    }
    while (r < kLargestRoot && (r + 1) * (r + 1) <= n) {
        ++r;
    }
    return r;
}

// ceil(sqrt(n)).
inline std::uint64_t isqrt_ceil(std::uint64_t n) {
    const std::uint64_t r = isqrt(n);
    return r * r == n ? r : r + 1;
}

// floor(sqrt(n)) for 0 <= n < 2^127, by halving the interval of the root.
template <class Wide> Wide isqrt_wide(Wide n) {
    Wide root = 0;
    for (Wide step = Wide(std::int64_t{1} << 62) * 2; step > Wide(0); step = step / 2) {
        const Wide candidate = root + step;
        if (candidate <= n / candidate) {
            root = candidate;
        }
    }
    return root;
}

// Integers x with lo <= k * x + m <= hi, narrowed into [first, last]; the
// interval is left empty (first > last) when none are.
template <class Int>
void keep_where_between(Int k, Int m, Int lo, Int hi, std::int64_t &first, std::int64_t &last) {
    using line_detail::ceil_div;
    using line_detail::floor_div;
    if (first > last) {
        return;
    }
    if (k == Int(0)) {
        if (m < lo || m > hi) {
            last = first - 1;
        }
        return;
    }
    if (k < Int(0)) {
        k = -k;
        const Int low = lo;
        lo = -hi;
        hi = -low;
        m = -m;
    }
    const Int from = ceil_div(lo - m, k);
    const Int to = floor_div(hi - m, k);
    if (from > Int(first)) {
        first = from > Int(last) ? last + 1 : static_cast<std::int64_t>(from);
    }
    if (to < Int(last)) {
        last = to < Int(first) ? first - 1 : static_cast<std::int64_t>(to);
    }
}

// floor((n + step * t) / k) for t = 0, 1, 2, ..., k > 0, by additions only.
class FloorStepper {
  public:
    FloorStepper() = default;
    FloorStepper(std::int64_t n, std::int64_t step, std::int64_t k)
        : quotient_(line_detail::floor_div(n, k)), remainder_(n - quotient_ * k),
          step_quotient_(line_detail::floor_div(step, k)),
          step_remainder_(step - step_quotient_ * k), k_(k) {}

    std::int64_t value() const { return quotient_; }
    void next() {
        // Without a branch: on a slanted edge the carry comes at no
        // predictable row, and a mispredicted jump costs more than the sums.
        remainder_ += step_remainder_;
        const std::int64_t carry = remainder_ >= k_ ? 1 : 0;
        quotient_ += step_quotient_ + carry;
        remainder_ -= k_ & -carry;
    }

  private:
    std::int64_t quotient_ = 0, remainder_ = 0, step_quotient_ = 0, step_remainder_ = 0, k_ = 1;
};

// keep_where_between for a run of rows in which m grows by `dm` per row:
// the same answers, row after row, without a division per row. All values
// must stay well inside 64 bits.
class RowBounds {
  public:
    RowBounds(std::int64_t k, std::int64_t m, std::int64_t dm, std::int64_t lo, std::int64_t hi) {
        if (k < 0) {
            k = -k;
            m = -m;
            dm = -dm;
            const std::int64_t low = lo;
            lo = -hi;
            hi = -low;
        }
        if (k == 0) {
            m_ = m;
            dm_ = dm;
            lo_ = lo;
            hi_ = hi;
            return;
        }
        flat_ = false;
        from_ = FloorStepper(lo - m + k - 1, -dm, k); // ceil((lo - m) / k)
        to_ = FloorStepper(hi - m, -dm, k);
    }

    // Narrows [first, last] to this row's answers, then moves to the next row.
    void keep_and_advance(std::int64_t &first, std::int64_t &last) {
        if (flat_) {
            if (m_ < lo_ || m_ > hi_) {
                last = first - 1;
            }
            m_ += dm_;
            return;
        }
        first = std::max(first, from_.value());
        last = std::min(last, to_.value());
        from_.next();
        to_.next();
    }

  private:
    bool flat_ = true;
    std::int64_t m_ = 0, dm_ = 0, lo_ = 0, hi_ = 0;
    FloorStepper from_, to_;
};

// Paints row-major runs; each run is clipped to the image first, so callers
// may pass any 64-bit bounds.
class SpanPainter {
  public:
    SpanPainter(Image image, Color color)
        : pixels_(pixels_of(image) > 0 ? image->pixels : nullptr),
          width_(pixels_ != nullptr ? image->width : 0),
          height_(pixels_ != nullptr ? image->height : 0), color_(color), pattern_(color) {}

    bool empty() const { return pixels_ == nullptr; }
    std::int64_t width() const { return width_; }
    std::int64_t height() const { return height_; }

    // The rows first..last that lie in the image; none when first > last.
    struct Rows {
        std::int64_t first, last;
    };
    Rows visible_rows(std::int64_t first, std::int64_t last) const {
        return {std::max<std::int64_t>(first, 0), std::min(last, height_ - 1)};
    }

    void run(std::int64_t y, std::int64_t x_first, std::int64_t x_last) const {
        if (y < 0 || y >= height_) {
            return;
        }
        x_first = std::max<std::int64_t>(x_first, 0);
        x_last = std::min<std::int64_t>(x_last, width_ - 1);
        if (x_first > x_last) {
            return;
        }
        Color *const row = pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        const std::size_t bytes = static_cast<std::size_t>(x_last - x_first + 1) * sizeof(Color);
        auto *const start = reinterpret_cast<std::uint8_t *>(row + x_first);
        if (y + 1 == height_) {
            pattern_.fill(start, bytes);
            return;
        }
        const std::uint8_t *const below = start + static_cast<std::size_t>(width_) * sizeof(Color);
        if (bytes >= kWarmPiece) {
            paint_warming(start, bytes, below);
            return;
        }
        warm(below);
        warm(below + bytes - 1);
        pattern_.fill(start, bytes);
    }

    // Paints the pixels x + i of row y for each bit i set in `mask`, those
    // that lie in the image; x is a multiple of 64.
    void masked(std::int64_t y, std::int64_t x, std::uint64_t mask) const {
        if (y < 0 || y >= height_ || x < 0 || x >= width_) {
            return;
        }
        if (width_ - x < 64) {
            mask &= ~(~std::uint64_t{0} << (width_ - x));
        }
        if (mask == 0) {
            return;
        }
        Color *const row = pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        if (y + 1 < height_) {
            warm_below(row, x, mask);
        }
        for (std::int64_t group = 0; group < 64; group += 16) {
            const auto bits = static_cast<std::uint32_t>(mask >> group) & 0xFFFFU;
            const std::int64_t column = x + group;
            if (bits == 0) {
                continue;
            }
            if (column + 16 <= width_) {
                pattern_.fill_masked(reinterpret_cast<std::uint8_t *>(row + column), bits);
                continue;
            }
            // A group that the image's right edge cuts: pixel by pixel.
            for (std::int64_t i = 0; i < 16; ++i) {
                if ((bits >> i & 1U) != 0) {
                    row[column + i] = color_;
                }
            }
        }
    }

    void pixel(std::int64_t x, std::int64_t y) const {
        if (x >= 0 && x < width_ && y >= 0 && y < height_) {
            pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                    static_cast<std::size_t>(x)] = color_;
        }
    }

  private:
    // Every shape is painted from its top row down, and the next row's runs
    // mostly cover the columns of this one. Asking for those lines while this
    // run is painted saves a wait for memory at the start of every run once
    // the picture has left the cache: the hardware's prefetcher stops at each
    // page, and a large picture's row spans several. A long run asks a few
    // lines at a time, between its stores, so that the requests never hold
    // up its own misses.
    static constexpr std::size_t kWarmPiece = 192; // three lines, 64 pixels

    void paint_warming(std::uint8_t *bytes, std::size_t size, const std::uint8_t *below) const {
        std::size_t i = 0;
        for (; i + kWarmPiece <= size; i += kWarmPiece) {
            warm(below + i);
            warm(below + i + 64);
            warm(below + i + 128);
            pattern_.fill_groups(bytes + i, kWarmPiece);
        }
        warm(below + size - 1);
        pattern_.fill(bytes + i, size - i);
    }

    // The lines below the set pixels of a masked word, first to last.
    void warm_below(const Color *row, std::int64_t x, std::uint64_t mask) const {
        const auto *const below = reinterpret_cast<const std::uint8_t *>(row + width_);
        const std::int64_t first = x + std::countr_zero(mask);
        const std::int64_t last = x + 63 - std::countl_zero(mask);
        for (std::int64_t byte = 3 * first; byte < 3 * last + 3; byte += 64) {
            warm(below + byte);
        }
        warm(below + 3 * last + 2);
    }

    static void warm(const std::uint8_t *line) {
#if defined(__GNUC__)
        __builtin_prefetch(line, 1);
#else
        (void)line;
#endif
    }

    Color *pixels_;
    std::int64_t width_;
    std::int64_t height_;
    Color color_;
    PatternFill pattern_;
};

} // namespace pixpen::detail
