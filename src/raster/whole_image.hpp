#pragma once

#include <cstddef>
#include <cstdint>

namespace pixpen::detail {

// Copies `size` bytes of pixels (a multiple of 3) with red and blue swapped;
// `to` may be `from` for an in-place swap, or a buffer that does not overlap
// it. The TGA reader and writer convert between pixel orders with it.
void reverse_rgb_copy(std::uint8_t *to, const std::uint8_t *from, std::size_t size) noexcept;

} // namespace pixpen::detail
