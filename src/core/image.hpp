#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "pixpen.h"

namespace pixpen::detail {

// width * height as the pixel count, or nothing when either is negative or the
// product does not fit the int32 that the record's users index with.
constexpr std::optional<std::int32_t> pixel_count(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0) {
        return std::nullopt;
    }
    const std::int64_t count = width * height; // both <= 2^32, no overflow in 64 bits
    if (count > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(count);
}

// Pixels a handle owns; 0 for a NULL handle or a record whose sizes were
// tampered with, so whole-image loops never index outside the array.
inline std::size_t pixels_of(::Image image) {
    if (image == nullptr) {
        return 0;
    }
    return static_cast<std::size_t>(pixel_count(image->width, image->height).value_or(0));
}

} // namespace pixpen::detail
