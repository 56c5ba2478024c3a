#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "formats/ppm_text.hpp"

namespace {

using pixpen::detail::scale_sample;

// floor(v * 255 / max) in long double, exact at these magnitudes, then the
// low 8 bits: an independent statement of the scaling rule.
std::uint8_t reference_scale(long long v, long long max) {
    const long long scaled =
        static_cast<long long>(std::floor(static_cast<long double>(v) * 255 / max));
    return static_cast<std::uint8_t>(scaled & 0xFF);
}

TEST(ScaleSample, FullScaleIsAlways255AndZeroIs0) {
    for (int max = 1; max <= 65535; ++max) {
        ASSERT_EQ(scale_sample(max, max), 255) << max;
        ASSERT_EQ(scale_sample(0, max), 0) << max;
    }
}

TEST(ScaleSample, DocumentedExamples) {
    EXPECT_EQ(scale_sample(7, 15), 119);
    EXPECT_EQ(scale_sample(15, 15), 255);
    EXPECT_EQ(scale_sample(50, 100), 127);
    EXPECT_EQ(scale_sample(100, 100), 255);
    EXPECT_EQ(scale_sample(7, 7), 255);
    EXPECT_EQ(scale_sample(-1, 255), 255);
    EXPECT_EQ(scale_sample(256, 255), 0);
    EXPECT_EQ(scale_sample(-1, 2), 128); // floor, not truncation
}

TEST(ScaleSample, MatchesTheFloorRuleForAnyIntSample) {
    std::mt19937_64 rng(77);
    for (int i = 0; i < 200000; ++i) {
        const int max = 1 + static_cast<int>(rng() % 65535);
        const int v = i % 2 == 0 ? static_cast<int>(rng() % static_cast<unsigned>(max + 1))
                                 : static_cast<int>(static_cast<std::uint32_t>(rng()));
        ASSERT_EQ(scale_sample(v, max), reference_scale(v, max)) << v << " / " << max;
    }
    for (int v : {INT32_MIN, INT32_MIN + 1, -1, INT32_MAX, INT32_MAX - 1}) {
        for (int max : {1, 2, 7, 255, 65535}) {
            EXPECT_EQ(scale_sample(v, max), reference_scale(v, max)) << v << " / " << max;
        }
    }
}

TEST(ScaleSample, IsMonotoneWithinRange) {
    for (int max : {1, 2, 3, 7, 15, 100, 254, 255, 256, 1000, 4095, 65535}) {
        int previous = -1;
        for (int v = 0; v <= max; ++v) {
            const int scaled = scale_sample(v, max);
            ASSERT_GE(scaled, previous) << v << " / " << max;
            previous = scaled;
        }
    }
}

TEST(TextRules, WhitespaceIsTheCLocaleSet) {
    for (int c = -1; c < 256; ++c) {
        const bool expected =
            c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
        EXPECT_EQ(pixpen::detail::is_space(c), expected) << c;
    }
}

} // namespace
