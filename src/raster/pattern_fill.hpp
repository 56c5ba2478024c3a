#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixpen.h"

// The masked fill blends 16 bytes at a time where the target has vector
// registers of that size; elsewhere it goes pixel by pixel.
#if defined(__GNUC__) && (defined(__SSE2__) || defined(__ARM_NEON))
#define PIXPEN_VECTOR_BLEND 1
#else
#define PIXPEN_VECTOR_BLEND 0
#endif

namespace pixpen::detail {

// A colour repeated over a run of whole pixels, written as wide copies of a
// 48-byte pattern (16 pixels) instead of pixel by pixel. Because 16 = 1
// (mod 3), the pattern's three 16-byte blocks start at the three phases of a
// pixel: block j is what belongs at any byte offset o of a run with
// o % 3 == j. So a run needs no alignment and no per-byte head or tail: its
// last bytes are one more copy that overlaps the ones before it.
class PatternFill {
  public:
    static constexpr std::size_t kBlock = 16;

    explicit PatternFill(Color color) {
        const std::uint8_t channel[3] = {color.r, color.g, color.b};
        for (std::size_t k = 0; k < sizeof pattern_; ++k) {
            pattern_[k] = channel[k % 3];
        }
    }

    // The 16 bytes that belong at byte offset `offset` of a run.
    const std::uint8_t *block(std::size_t offset) const { return pattern_ + kBlock * (offset % 3); }

    // Sets `size` bytes (a multiple of 3) from `bytes` on to the colour.
    void fill(std::uint8_t *bytes, std::size_t size) const {
        if (size < kBlock) {
            fill_short(bytes, size);
            return;
        }
        const std::size_t i = size / sizeof pattern_ * sizeof pattern_;
        fill_groups(bytes, i);
        if (i + kBlock <= size) {
            std::memcpy(bytes + i, pattern_, kBlock);
        }
        if (i + 2 * kBlock <= size) {
            std::memcpy(bytes + i + kBlock, pattern_ + kBlock, kBlock);
        }
        copy_last<kBlock>(bytes, size);
    }

    // Sets `size` bytes, a multiple of 48, on to the colour.
    void fill_groups(std::uint8_t *bytes, std::size_t size) const {
        for (std::size_t i = 0; i < size; i += sizeof pattern_) {
            std::memcpy(bytes + i, pattern_, sizeof pattern_);
        }
    }

    // Sets those of the 16 pixels from `bytes` on whose bit in `mask` is set,
    // bit i for pixel i, and leaves the others as they are. Without a branch
    // on the bits: in a row crowded with short runs, each bit is as good as
    // random.
    void fill_masked(std::uint8_t *bytes, std::uint32_t mask) const {
#if PIXPEN_VECTOR_BLEND
        // Byte j of the 48 belongs to pixel j / 3: its mask byte is all ones
        // where that pixel's bit, picked from the mask's low or high byte,
        // is set.
        const Bytes low = Bytes{} + static_cast<std::uint8_t>(mask);
        const Bytes high = Bytes{} + static_cast<std::uint8_t>(mask >> 8);
        for (std::size_t j = 0; j < 3; ++j) {
            const Bytes pixel_bit = load(kPixelBits + kBlock * j);
            const Bytes from_high = load(kFromHigh + kBlock * j);
            const Bytes bits = ((low & ~from_high) | (high & from_high)) & pixel_bit;
            const auto equal = bits == pixel_bit; // all ones or zero, as signed bytes
            Bytes inside;
            std::memcpy(&inside, &equal, kBlock);
            const Bytes blended =
                (load(bytes + kBlock * j) & ~inside) | (load(pattern_ + kBlock * j) & inside);
            std::memcpy(bytes + kBlock * j, &blended, kBlock);
        }
#else
        for (std::size_t i = 0; i < 16; ++i) {
            if ((mask >> i & 1U) != 0) {
                std::memcpy(bytes + 3 * i, pattern_, 3);
            }
        }
#endif
    }

  private:
#if PIXPEN_VECTOR_BLEND
    using Bytes = std::uint8_t __attribute__((vector_size(kBlock)));

    static Bytes load(const std::uint8_t *bytes) {
        Bytes vector;
        std::memcpy(&vector, bytes, kBlock);
        return vector;
    }

    // For byte j of 16 pixels: the bit of pixel j / 3 within its mask byte,
    // and whether that is the high byte.
    static constexpr std::uint8_t kPixelBits[3 * kBlock] = {
        1, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16, 16, 16, 32, 32, 32, 64, 64, 64, 128, 128, 128,
        1, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16, 16, 16, 32, 32, 32, 64, 64, 64, 128, 128, 128};
    static constexpr std::uint8_t kFromHigh[3 * kBlock] = {
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
#endif

    // One to five pixels: two copies that meet or overlap in the middle.
    void fill_short(std::uint8_t *bytes, std::size_t size) const {
        if (size >= 8) {
            copy_ends<8>(bytes, size);
        } else if (size >= 4) {
            copy_ends<4>(bytes, size);
        } else if (size == 3) {
            std::memcpy(bytes, pattern_, 3);
        }
    }

    template <std::size_t N> void copy_ends(std::uint8_t *bytes, std::size_t size) const {
        std::memcpy(bytes, pattern_, N);
        copy_last<N>(bytes, size);
    }

    // The last N bytes of a run: as the run's size is a multiple of 3, their
    // offset size - N has the phase of -N, known without a division.
    template <std::size_t N> void copy_last(std::uint8_t *bytes, std::size_t size) const {
        constexpr std::size_t kPhase = (3 - N % 3) % 3;
        std::memcpy(bytes + size - N, pattern_ + kBlock * kPhase, N);
    }

    alignas(16) std::uint8_t pattern_[3 * kBlock];
};

} // namespace pixpen::detail
