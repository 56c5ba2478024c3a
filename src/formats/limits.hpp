#pragma once

#include <cstdint>
#include <optional>

#include "core/error.hpp"
#include "core/image.hpp"
#include "pixpen.h"

namespace pixpen::detail {

// The one place a reader turns a header's declared size into an image.
// Before anything is allocated the pixel count must be one an image can
// have, and an input of known length must still hold at least
// `min_bytes(pixels)` bytes, so that a tiny hostile input can never make us
// allocate gigabytes it does not back. On refusal `error` says why.
template <class MinBytes>
::Image create_declared_image(std::int64_t width, std::int64_t height,
                              std::optional<std::uint64_t> bytes_left, MinBytes min_bytes,
                              Refusal short_data, PixpenError &error) {
    const auto count = pixel_count(width, height);
    if (!count) {
        refuse(error, Refusal::too_large);
        return nullptr;
    }
    if (bytes_left && *bytes_left < min_bytes(static_cast<std::uint64_t>(*count))) {
        refuse(error, short_data);
        return nullptr;
    }
    ::Image image = create_image(static_cast<int>(width), static_cast<int>(height));
    if (image == nullptr) {
        refuse(error, Refusal::out_of_memory);
    }
    return image;
}

} // namespace pixpen::detail
