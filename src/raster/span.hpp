#pragma once

// Pieces every filled shape shares: integer square roots, exact rounding
// division, and the one routine that paints a run of a row.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/image.hpp"
#include "pixpen.h"
#include "raster/line_walk.hpp"

namespace pixpen::detail {

// floor(sqrt(n)) for any n >= 0 that fits 64 bits.
inline std::uint64_t isqrt(std::uint64_t n) {
    std::uint64_t r = 0;
    for (int bit = 31; bit >= 0; --bit) {
        const std::uint64_t candidate = r | (std::uint64_t{1} << bit);
        // candidate * candidate <= n, asked without forming a product above 2^64.
        if (candidate <= n / candidate) {
            r = candidate;
        }
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

// Paints row-major runs; each run is clipped to the image first, so callers
// may pass any 64-bit bounds.
class SpanPainter {
  public:
    SpanPainter(Image image, Color color)
        : pixels_(pixels_of(image) > 0 ? image->pixels : nullptr),
          width_(pixels_ != nullptr ? image->width : 0),
          height_(pixels_ != nullptr ? image->height : 0), color_(color) {}

    bool empty() const { return pixels_ == nullptr; }
    std::int64_t width() const { return width_; }
    std::int64_t height() const { return height_; }

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
        paint(row + x_first, static_cast<std::size_t>(x_last - x_first + 1));
    }

    void pixel(std::int64_t x, std::int64_t y) const {
        if (x >= 0 && x < width_ && y >= 0 && y < height_) {
            pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                    static_cast<std::size_t>(x)] = color_;
        }
    }

  private:
    // Three-byte pixels defeat a plain memset: lay down a few by hand, then
    // copy what is done onto what follows in doubling blocks.
    void paint(Color *first, std::size_t count) const {
        const std::size_t seed = std::min<std::size_t>(count, 16);
        for (std::size_t i = 0; i < seed; ++i) {
            first[i] = color_;
        }
        for (std::size_t done = seed; done < count;) {
            const std::size_t block = std::min(done, count - done);
            std::memcpy(first + done, first, block * sizeof(Color));
            done += block;
        }
    }

    Color *pixels_;
    std::int64_t width_;
    std::int64_t height_;
    Color color_;
};

} // namespace pixpen::detail
