#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixpen.h"

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

  private:
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
