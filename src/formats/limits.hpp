#pragma once

#include <cstdint>
#include <optional>

#include "core/image.hpp"

namespace pixpen::detail {

enum class DeclaredSize { acceptable, too_large, too_short };

// Every reader asks this before it allocates anything for a header's
// declared size: the pixel count must fit an int32, and a regular file must
// still hold at least `min_bytes(pixels)` bytes, so that a tiny hostile file
// can never make us allocate gigabytes it does not back.
template <class MinBytes>
DeclaredSize check_declared_size(std::int64_t width, std::int64_t height,
                                 std::optional<std::uint64_t> bytes_left, MinBytes min_bytes) {
    const auto count = pixel_count(width, height);
    if (!count) {
        return DeclaredSize::too_large;
    }
    if (bytes_left && *bytes_left < min_bytes(static_cast<std::uint64_t>(*count))) {
        return DeclaredSize::too_short;
    }
    return DeclaredSize::acceptable;
}

} // namespace pixpen::detail
