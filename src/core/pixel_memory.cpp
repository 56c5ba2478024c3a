#include "core/pixel_memory.hpp"

#include <cstdint>
#include <cstdlib>

// Emscripten emulates mmap on its heap and cannot unmap part of a mapping.
#if (defined(__unix__) || defined(__APPLE__)) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#include <unistd.h>
#if defined(MAP_ANONYMOUS)
#define PIXPEN_MAPPED_PIXELS 1
#endif
#endif

namespace pixpen::detail {
namespace {

PixelBlock from_heap(std::size_t bytes) noexcept {
    // calloc(0) may legally return NULL; ask for one byte so an empty image
    // is never mistaken for a failed allocation.
    return PixelBlock{std::calloc(bytes == 0 ? 1 : bytes, 1), nullptr, 0};
}

#if defined(PIXPEN_MAPPED_PIXELS)

std::uintptr_t round_up(std::uintptr_t value, std::uintptr_t multiple) noexcept {
    return (value + multiple - 1) / multiple * multiple;
}

// A first touch of a small page costs microseconds on a virtual machine, which
// dominates reading a large picture. A mapping of its own, aligned to a huge
// page and advised, lets the kernel back the pixels with a few huge pages; a
// fresh anonymous mapping is already zero, so the pixels are touched only by
// whoever writes them first.
PixelBlock mapped_on_huge_pages(std::size_t bytes) noexcept {
    const long page_size = sysconf(_SC_PAGESIZE);
    const std::uintptr_t page = page_size > 0 ? static_cast<std::uintptr_t>(page_size) : 4096;
    if (bytes > SIZE_MAX - kHugePageBytes - page) {
        return PixelBlock{};
    }
    const std::size_t length = round_up(bytes, page);
    // Room to slide the start to a huge-page boundary; the ends are trimmed.
    const std::size_t reserved = length + kHugePageBytes;
    void *raw = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return PixelBlock{};
    }
    auto *const first = static_cast<unsigned char *>(raw);
    const std::size_t head = round_up(reinterpret_cast<std::uintptr_t>(raw), kHugePageBytes) -
                             reinterpret_cast<std::uintptr_t>(raw);
    unsigned char *const start = first + head;
    if (head != 0) {
        munmap(first, head);
    }
    if (reserved - head > length) {
        munmap(start + length, reserved - head - length);
    }
#if defined(MADV_HUGEPAGE)
    // Advice only: where huge pages are off, small pages serve as before.
    madvise(start, length, MADV_HUGEPAGE);
#endif
    return PixelBlock{start, start, length};
}

#endif

} // namespace

PixelBlock allocate_zeroed_pixels(std::size_t bytes) noexcept {
#if defined(PIXPEN_MAPPED_PIXELS)
    if (bytes >= kHugePageBytes) {
        const PixelBlock mapped = mapped_on_huge_pages(bytes);
        if (mapped.pixels != nullptr) {
            return mapped;
        }
        // A system that refuses the mapping may still have heap to spare.
    }
#endif
    return from_heap(bytes);
}

void release_pixels(const PixelBlock &block) noexcept {
#if defined(PIXPEN_MAPPED_PIXELS)
    if (block.mapping != nullptr) {
        munmap(block.mapping, block.mapping_bytes);
        return;
    }
#endif
    std::free(block.pixels);
}

bool never_touched(const void *byte) noexcept {
#if defined(PIXPEN_MAPPED_PIXELS) && defined(__linux__)
    const long page_size = sysconf(_SC_PAGESIZE);
    if (page_size <= 0) {
        return false;
    }
    const auto page = static_cast<std::uintptr_t>(page_size);
    void *const start =
        reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(byte) / page * page);
    unsigned char resident = 1;
    return mincore(start, 1, &resident) == 0 && (resident & 1U) == 0;
#else
    static_cast<void>(byte);
    return false;
#endif
}

} // namespace pixpen::detail
