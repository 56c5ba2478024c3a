#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "core/limits.hpp"
#include "pixpen.h"

namespace pixpen::detail {

// Pixels a handle owns; 0 for a NULL handle, and 0 for a caller-built record
// whose sizes are negative or too large, which no image of ours can have.
inline std::size_t pixels_of(::Image image) {
    if (image == nullptr) {
        return 0;
    }
    return static_cast<std::size_t>(pixel_count(image->width, image->height).value_or(0));
}

} // namespace pixpen::detail
