// The fill that clears pictures larger than the cache holds. A clear takes it
// only past a size that depends on the machine's cache, which a test picture
// may not reach, so it is called here directly.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixpen.hpp"
#include "raster/whole_image.hpp"

namespace {

enum class Memory { fresh, touched_row, touched };

// Untouched memory is written through the cache and touched memory streamed
// around it, piece by piece; a run that starts and ends one pixel inside the
// picture also has unaligned ends.
TEST(FillPastCache, SetsExactlyTheRunInFreshAndTouchedMemory) {
    constexpr int kWidth = 2000, kHeight = 1500;
    constexpr std::size_t kBytes = std::size_t{kWidth} * kHeight * 3;
    for (const Memory memory : {Memory::fresh, Memory::touched_row, Memory::touched}) {
        pixpen::Picture picture(create_image(kWidth, kHeight));
        ASSERT_TRUE(picture);
        auto *const bytes = reinterpret_cast<std::uint8_t *>(picture.get()->pixels);
        if (memory == Memory::touched_row) {
            bytes[kBytes / 2] = 7;
        } else if (memory == Memory::touched) {
            std::memset(bytes, 0, kBytes);
        }
        pixpen::detail::fill_pattern_past_cache(bytes + 3, kBytes - 6, Color{1, 2, 3});
        for (std::size_t i = 0; i < kBytes; ++i) {
            const bool inside = i >= 3 && i + 3 < kBytes;
            ASSERT_EQ(bytes[i], inside ? i % 3 + 1 : 0)
                << "byte " << i << ", memory case " << static_cast<int>(memory);
        }
    }
}

} // namespace
