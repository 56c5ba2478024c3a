#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/image.hpp"
#include "core/pixel_memory.hpp"
#include "pixpen.h"
#include "raster/pattern_fill.hpp"
#include "raster/whole_image.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

// Whole-array passes, written for 16-byte registers (SSE2 is part of every
// x86-64). A pixel is three bytes, so a pattern repeats every 48 bytes:
// three registers hold 16 whole pixels.

namespace pixpen::detail {

#if defined(__SSE2__)
// Past this size a fill streams around the cache, as memset does: the bytes
// would not fit in it anyway, and the stores then skip reading every line in.
// Below it they stay cached, where the drawing that usually follows a clear
// finds them; so the limit follows the last-level cache where the system
// tells its size (half of it, as the cache is shared), else 8 MiB.
std::size_t streaming_fill_limit() {
    static const std::size_t limit = [] {
        constexpr std::size_t kUnknownCache = std::size_t{16} << 20;
        long cache = 0;
#if defined(_SC_LEVEL3_CACHE_SIZE)
        cache = sysconf(_SC_LEVEL3_CACHE_SIZE);
#endif
        return (cache > 0 ? static_cast<std::size_t>(cache) : kUnknownCache) / 2;
    }();
    return limit;
}

namespace {

// The pattern's three registers, in its phase at the first aligned byte.
struct PatternRegisters {
    __m128i v0, v1, v2;
};

// Whole 48-byte groups of [i, end), whose start is in the registers' phase.
void store_groups(std::uint8_t *bytes, std::size_t i, std::size_t end, PatternRegisters p,
                  bool streaming) {
    if (streaming) {
        for (; i + 48 <= end; i += 48) {
            _mm_stream_si128(reinterpret_cast<__m128i *>(bytes + i), p.v0);
            _mm_stream_si128(reinterpret_cast<__m128i *>(bytes + i + 16), p.v1);
            _mm_stream_si128(reinterpret_cast<__m128i *>(bytes + i + 32), p.v2);
        }
        _mm_sfence();
        return;
    }
    for (; i + 48 <= end; i += 48) {
        _mm_store_si128(reinterpret_cast<__m128i *>(bytes + i), p.v0);
        _mm_store_si128(reinterpret_cast<__m128i *>(bytes + i + 16), p.v1);
        _mm_store_si128(reinterpret_cast<__m128i *>(bytes + i + 32), p.v2);
    }
}

// A large fill goes by pieces of about a huge page. A piece whose memory the
// kernel has not handed out yet is written through the cache: the first store
// makes the kernel zero the page, which leaves it in the cache, and streaming
// past it would send every line to memory twice. Touched pieces stream.
std::size_t store_large(std::uint8_t *bytes, std::size_t i, std::size_t size, PatternRegisters p) {
    constexpr std::size_t kPiece = kHugePageBytes / 48 * 48;
    for (; i + kPiece <= size; i += kPiece) {
        store_groups(bytes, i, i + kPiece, p, !never_touched(bytes + i));
    }
    const std::size_t end = i + (size - i) / 48 * 48;
    store_groups(bytes, i, end, p, !never_touched(bytes + i));
    return end;
}

} // namespace
#endif

void fill_pattern_past_cache(std::uint8_t *bytes, std::size_t size, Color color) {
    const PatternFill pattern(color);
#if defined(__SSE2__)
    if (size >= 96) {
        // Unaligned copies of the pattern cover the first and last 48 bytes;
        // the registers in between start at the first 16-byte boundary.
        pattern.fill(bytes, 48);
        const std::size_t first = (16 - reinterpret_cast<std::uintptr_t>(bytes) % 16) % 16;
        const auto load = [&](std::size_t offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i *>(pattern.block(offset)));
        };
        store_large(bytes, first, size, {load(first), load(first + 16), load(first + 32)});
        pattern.fill(bytes + size - 48, 48);
        return;
    }
#endif
    pattern.fill(bytes, size);
}

void fill_pattern(std::uint8_t *bytes, std::size_t size, Color color) {
#if defined(__SSE2__)
    if (size >= streaming_fill_limit()) {
        fill_pattern_past_cache(bytes, size, color);
        return;
    }
#endif
    PatternFill(color).fill(bytes, size);
}

} // namespace pixpen::detail

namespace {

std::uint8_t *bytes_of(Image image) {
    return reinterpret_cast<std::uint8_t *>(image->pixels);
}

void invert_bytes(std::uint8_t *bytes, std::size_t size) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i ones = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; i + 64 <= size; i += 64) {
        auto *p = reinterpret_cast<__m128i *>(bytes + i);
        const __m128i a = _mm_loadu_si128(p);
        const __m128i b = _mm_loadu_si128(p + 1);
        const __m128i c = _mm_loadu_si128(p + 2);
        const __m128i d = _mm_loadu_si128(p + 3);
        _mm_storeu_si128(p, _mm_xor_si128(a, ones));
        _mm_storeu_si128(p + 1, _mm_xor_si128(b, ones));
        _mm_storeu_si128(p + 2, _mm_xor_si128(c, ones));
        _mm_storeu_si128(p + 3, _mm_xor_si128(d, ones));
    }
#endif
    for (; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
    }
}

void swap_pixel(std::uint8_t *to, const std::uint8_t *from) {
    const std::uint8_t first = from[0];
    to[1] = from[1];
    to[0] = from[2];
    to[2] = first;
}

} // namespace

namespace pixpen::detail {

// Every output byte is one input byte: byte 3k + 1 stays, 3k takes 3k + 2 and
// 3k + 2 takes 3k. In registers, a 48-byte group (16 pixels) is merged under
// masks from its three registers and copies of them shifted by two bytes.
// The inner shifted copies are loads at -2 and +2, which reach at most two
// bytes into the neighbouring register; the outer ones are register shifts,
// so nothing outside the group is read, and all loads of a group come before
// its stores. The result is the same whether `to` is `from` (in place) or a
// separate buffer.
void reverse_rgb_copy(std::uint8_t *to, const std::uint8_t *from, std::size_t size) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Masks by byte position in a group: which copy feeds it.
    alignas(16) std::uint8_t keep[48];
    alignas(16) std::uint8_t from_right[48];
    alignas(16) std::uint8_t from_left[48];
    for (int k = 0; k < 48; ++k) {
        keep[k] = k % 3 == 1 ? 0xFF : 0;
        from_right[k] = k % 3 == 0 ? 0xFF : 0;
        from_left[k] = k % 3 == 2 ? 0xFF : 0;
    }
    const auto mask = [](const std::uint8_t *m) {
        return _mm_load_si128(reinterpret_cast<const __m128i *>(m));
    };
    const __m128i k0 = mask(keep), k1 = mask(keep + 16), k2 = mask(keep + 32);
    const __m128i r0 = mask(from_right), r1 = mask(from_right + 16), r2 = mask(from_right + 32);
    const __m128i l0 = mask(from_left), l1 = mask(from_left + 16), l2 = mask(from_left + 32);
    const auto load = [](const std::uint8_t *p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    };
    const auto merge = [](__m128i mid, __m128i right, __m128i left, __m128i km, __m128i rm,
                          __m128i lm) {
        return _mm_or_si128(_mm_and_si128(mid, km),
                            _mm_or_si128(_mm_and_si128(right, rm), _mm_and_si128(left, lm)));
    };
    for (; i + 48 <= size; i += 48) {
        const std::uint8_t *s = from + i;
        const __m128i a = load(s), b = load(s + 16), c = load(s + 32);
        // The two bytes a shift brings in at either end of the group are
        // never selected by the masks.
        const __m128i a_out = merge(a, load(s + 2), _mm_slli_si128(a, 2), k0, r0, l0);
        const __m128i b_out = merge(b, load(s + 18), load(s + 14), k1, r1, l1);
        const __m128i c_out = merge(c, _mm_srli_si128(c, 2), load(s + 30), k2, r2, l2);
        auto *d = reinterpret_cast<__m128i *>(to + i);
        _mm_storeu_si128(d, a_out);
        _mm_storeu_si128(d + 1, b_out);
        _mm_storeu_si128(d + 2, c_out);
    }
#endif
    for (; i + 3 <= size; i += 3) {
        swap_pixel(to + i, from + i);
    }
}

} // namespace pixpen::detail

extern "C" {

PIXPEN_API void do_clear(Image image, Color color) {
    const std::size_t size = pixpen::detail::pixels_of(image) * sizeof(Color);
    if (size != 0) {
        pixpen::detail::fill_pattern(bytes_of(image), size, color);
    }
}

PIXPEN_API void do_invert(Image image) {
    const std::size_t size = pixpen::detail::pixels_of(image) * sizeof(Color);
    if (size != 0) {
        invert_bytes(bytes_of(image), size);
    }
}

PIXPEN_API void do_reverse_rgb(Image image) {
    const std::size_t size = pixpen::detail::pixels_of(image) * sizeof(Color);
    if (size != 0) {
        std::uint8_t *const bytes = bytes_of(image);
        pixpen::detail::reverse_rgb_copy(bytes, bytes, size);
    }
}

} // extern "C"
