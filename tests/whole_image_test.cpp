#include <gtest/gtest.h>

#include <cstdint>

#include "test_support.hpp"

namespace {

using test::Bytes;

// The documented byte-by-byte three-step exclusive-or exchange.
Bytes reference_reverse(Bytes bytes) {
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
        bytes[i] ^= bytes[i + 2];
        bytes[i + 2] ^= bytes[i];
        bytes[i] ^= bytes[i + 2];
    }
    return bytes;
}

void expect_turtle_untouched(Image image, const ImageRecord &before) {
    EXPECT_EQ(image->turtle_x, before.turtle_x);
    EXPECT_EQ(image->turtle_y, before.turtle_y);
    EXPECT_EQ(image->turtle_angle, before.turtle_angle);
    EXPECT_EQ(image->turtle_pen_down, before.turtle_pen_down);
    EXPECT_TRUE(test::same_color(image->turtle_color, before.turtle_color));
}

// Sizes around the 16-byte registers, the 48-byte pixel groups and the
// 64-byte blocks the vectorised passes use.
const std::pair<int, int> kSizes[] = {{1, 1},  {2, 2}, {5, 1},  {16, 1},
                                      {17, 1}, {3, 7}, {33, 5}, {641, 479}};

TEST(WholeImage, ClearSetsEveryPixelAndNothingElse) {
    for (auto [w, h] : kSizes) {
        auto image = test::random_image(w, h, 7);
        image->turtle_angle = 1234;
        const ImageRecord before = *image;
        do_clear(image.get(), Color{1, 2, 3});
        const Bytes bytes = test::pixel_bytes(image.get());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            ASSERT_EQ(bytes[i], i % 3 + 1) << w << "x" << h << " byte " << i;
        }
        expect_turtle_untouched(image.get(), before);
    }
}

TEST(WholeImage, InvertComplementsEveryByteAndTwiceRestores) {
    for (auto [w, h] : kSizes) {
        auto image = test::random_image(w, h, 11);
        const ImageRecord before = *image;
        const Bytes original = test::pixel_bytes(image.get());
        do_invert(image.get());
        const Bytes inverted = test::pixel_bytes(image.get());
        for (std::size_t i = 0; i < original.size(); ++i) {
            ASSERT_EQ(inverted[i], 255 - original[i]) << w << "x" << h << " byte " << i;
        }
        do_invert(image.get());
        EXPECT_EQ(test::pixel_bytes(image.get()), original);
        expect_turtle_untouched(image.get(), before);
    }
    auto black = test::make_image(2, 1);
    do_invert(black.get());
    EXPECT_EQ(test::pixel_bytes(black.get()), Bytes(6, 255));
}

TEST(WholeImage, ReverseRgbMatchesTheXorExchange) {
    for (auto [w, h] : kSizes) {
        auto image = test::random_image(w, h, 13);
        const ImageRecord before = *image;
        const Bytes original = test::pixel_bytes(image.get());
        do_reverse_rgb(image.get());
        ASSERT_EQ(test::pixel_bytes(image.get()), reference_reverse(original)) << w << "x" << h;
        do_reverse_rgb(image.get());
        EXPECT_EQ(test::pixel_bytes(image.get()), original);
        expect_turtle_untouched(image.get(), before);
    }
    auto image = test::make_image(2, 1);
    image->pixels[0] = Color{1, 2, 3};
    image->pixels[1] = Color{7, 7, 7};
    do_reverse_rgb(image.get());
    EXPECT_TRUE(test::same_color(image->pixels[0], Color{3, 2, 1}));
    EXPECT_TRUE(test::same_color(image->pixels[1], Color{7, 7, 7}));
}

} // namespace
