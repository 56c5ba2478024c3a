#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "pixpen.h"

namespace pixpen::detail {

// The most pixels an image may have: the count must fit the int32 that the
// record's users index with, and its bytes must fit a size_t, which on a
// 32-bit target is the tighter of the two.
inline constexpr std::int64_t kMaxPixels =
    std::min<std::uint64_t>(std::numeric_limits<std::int32_t>::max(),
                            std::numeric_limits<std::size_t>::max() / sizeof(Color));

// width * height as the pixel count, or nothing when either is negative or the
// product exceeds kMaxPixels.
constexpr std::optional<std::int32_t> pixel_count(std::int64_t width, std::int64_t height,
                                                  std::int64_t max_pixels = kMaxPixels) {
    if (width < 0 || height < 0) {
        return std::nullopt;
    }
    // Callers pass header fields of at most 2^31 - 1, so the product fits 64 bits.
    const std::int64_t count = width * height;
    if (count > max_pixels) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(count);
}

// Pixels a handle owns; 0 for a NULL handle, and 0 for a caller-built record
// whose sizes are negative or too large, which no image of ours can have.
inline std::size_t pixels_of(::Image image) {
    if (image == nullptr) {
        return 0;
    }
    return static_cast<std::size_t>(pixel_count(image->width, image->height).value_or(0));
}

} // namespace pixpen::detail
