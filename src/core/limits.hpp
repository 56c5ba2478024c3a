#pragma once

// Every size limit of the library and its formats, in one place: the
// readers, the writers, create_image and the C++ and Python faces all take
// theirs from here (the faces through the functions that report them).

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

// Largest side a TGA header can record.
inline constexpr std::int64_t kTgaMaxSide = 0xFFFF;

// The largest max value a PPM header may give, and the largest that P6
// stores in one byte a sample, which is all it reads.
inline constexpr std::int64_t kPpmMaxMaxValue = 65535;
inline constexpr std::int64_t kPpmMaxRawMaxValue = 255;

} // namespace pixpen::detail
