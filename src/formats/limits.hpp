#pragma once

#include <cstdint>
#include <optional>

#include "core/error.hpp"
#include "core/image.hpp"
#include "pixpen.h"

namespace pixpen::detail {

// The one place a reader turns a header's declared size into an image.
// Before anything is allocated the pixel count must fit an int32, and a
// regular file must still hold at least `min_bytes(pixels)` bytes, so that a
// tiny hostile file can never make us allocate gigabytes it does not back.
// On refusal the reason is in the error channel and the result is NULL.
template <class MinBytes>
::Image create_declared_image(std::int64_t width, std::int64_t height,
                              std::optional<std::uint64_t> bytes_left, MinBytes min_bytes,
                              const char *short_data_message) {
    const auto count = pixel_count(width, height);
    if (!count) {
        return fail_read("Image dimensions too large");
    }
    if (bytes_left && *bytes_left < min_bytes(static_cast<std::uint64_t>(*count))) {
        return fail_read(short_data_message);
    }
    ::Image image = create_image(static_cast<int>(width), static_cast<int>(height));
    return image != nullptr ? image : fail_read("Out of memory");
}

} // namespace pixpen::detail
