#pragma once

#include <cstddef>

namespace pixpen::detail {

// Where an image's pixels live, so that they can be given back the way they
// were obtained. `mapping` is null when they came from the C heap.
struct PixelBlock {
    void *pixels = nullptr;
    void *mapping = nullptr;
    std::size_t mapping_bytes = 0;
};

// Buffers from this size up are mapped on their own, aligned to a huge page
// and advised into huge pages where the system offers them.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// `bytes` of zeroed memory (at least one byte, so that an empty image is never
// mistaken for a failure); pixels is null when memory runs out.
PixelBlock allocate_zeroed_pixels(std::size_t bytes) noexcept;

// Gives back what allocate_zeroed_pixels returned; an empty block is ignored.
void release_pixels(const PixelBlock &block) noexcept;

// True when the page holding `byte` has never been touched, so that the kernel
// will hand out a freshly zeroed page, still in the cache, at the first write.
// False where that cannot be told.
bool never_touched(const void *byte) noexcept;

} // namespace pixpen::detail
