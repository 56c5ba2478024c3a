#pragma once

#include <cstddef>
#include <cstdint>

#include "pixpen.h"

namespace pixpen::detail {

// Copies `size` bytes of pixels (a multiple of 3) with red and blue swapped;
// `to` may be `from` for an in-place swap, or a buffer that does not overlap
// it. The TGA reader and writer convert between pixel orders with it.
void reverse_rgb_copy(std::uint8_t *to, const std::uint8_t *from, std::size_t size) noexcept;

// Sets `size` bytes (a multiple of 3) to the colour repeated; past half the
// last-level cache by fill_pattern_past_cache.
void fill_pattern(std::uint8_t *bytes, std::size_t size, Color color);

// fill_pattern's way past the size the cache holds: by pieces of about a huge
// page, streaming around the cache except where memory was never touched.
// Callable on its own so that it is tested whatever the cache's size.
void fill_pattern_past_cache(std::uint8_t *bytes, std::size_t size, Color color);

} // namespace pixpen::detail
