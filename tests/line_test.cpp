#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "raster/line_walk.hpp"
#include "reference_walk.hpp"
#include "test_support.hpp"

namespace {

using pixpen::detail::ClipRect;
using test::Point;
using test::reference_walk;

std::vector<Point> clipped_walk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                                const ClipRect &clip) {
    std::vector<Point> points;
    if (const auto segment = pixpen::detail::clip_line(x0, y0, x1, y1, clip)) {
        pixpen::detail::for_each_point(
            *segment, [&](std::int64_t x, std::int64_t y) { points.emplace_back(x, y); });
    }
    return points;
}

// The same, through the portable 128-bit arithmetic that targets without a
// native one use; forced here so that x86-64 runs check it too.
std::vector<Point> portable_walk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                                 const ClipRect &clip) {
    std::vector<Point> points;
    if (const auto segment =
            pixpen::detail::clip_line_with<pixpen::detail::PortableWide>(x0, y0, x1, y1, clip)) {
        pixpen::detail::for_each_point(
            *segment, [&](std::int64_t x, std::int64_t y) { points.emplace_back(x, y); });
    }
    return points;
}

std::vector<Point> walk(int x0, int y0, int x1, int y1) {
    return reference_walk(x0, y0, x1, y1, ClipRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
}

TEST(LineWalk, DocumentedExamples) {
    EXPECT_EQ(walk(3, 3, 3, 3), (std::vector<Point>{{3, 3}}));
    EXPECT_EQ(walk(0, 0, 3, 3), (std::vector<Point>{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(walk(0, 0, 4, 2), (std::vector<Point>{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(walk(4, 2, 0, 0), (std::vector<Point>{{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}));
    EXPECT_EQ(walk(0, 0, 1, 3), (std::vector<Point>{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));
    EXPECT_EQ(walk(0, 0, 2, 1), (std::vector<Point>{{0, 0}, {1, 0}, {2, 1}}));
    EXPECT_EQ(walk(2, 1, 0, 0), (std::vector<Point>{{2, 1}, {1, 1}, {0, 0}}));
}

struct LineFamily {
    const char *name;
    std::int64_t span;   // endpoints are drawn within the clip widened by this much
    std::int64_t origin; // where the clip rectangle sits
};

void PrintTo(const LineFamily &family, std::ostream *os) {
    *os << family.name;
}

// The skipping walk against the reference on many random lines per family:
// inside, crossing, entering, leaving, missing, near the int limits.
class SkippingWalk : public testing::TestWithParam<LineFamily> {};

TEST_P(SkippingWalk, VisitsExactlyTheVisiblePointsOfTheFullWalkInOrder) {
    const LineFamily family = GetParam();
    std::mt19937_64 rng(0x5eed + static_cast<std::uint64_t>(family.span));
    for (int i = 0; i < 40000; ++i) {
        const std::int64_t w = 1 + static_cast<std::int64_t>(rng() % 40);
        const std::int64_t h = 1 + static_cast<std::int64_t>(rng() % 40);
        const ClipRect clip{family.origin, family.origin, family.origin + w - 1,
                            family.origin + h - 1};
        std::uniform_int_distribution<std::int64_t> pick(family.origin - family.span,
                                                         family.origin + w + family.span);
        const auto clamp = [](std::int64_t v) {
            return std::clamp<std::int64_t>(v, INT_MIN, INT_MAX);
        };
        const std::int64_t x0 = clamp(pick(rng)), y0 = clamp(pick(rng)), x1 = clamp(pick(rng)),
                           y1 = clamp(pick(rng));
        const auto expected = reference_walk(x0, y0, x1, y1, clip);
        ASSERT_EQ(clipped_walk(x0, y0, x1, y1, clip), expected)
            << family.name << ": (" << x0 << ", " << y0 << ") -> (" << x1 << ", " << y1
            << ") clip [" << clip.x_min << ", " << clip.x_max << "] x [" << clip.y_min << ", "
            << clip.y_max << "]";
        ASSERT_EQ(portable_walk(x0, y0, x1, y1, clip), expected)
            << "portable " << family.name << ": (" << x0 << ", " << y0 << ") -> (" << x1 << ", "
            << y1 << ") clip [" << clip.x_min << ", " << clip.x_max << "] x [" << clip.y_min << ", "
            << clip.y_max << "]";
    }
}

INSTANTIATE_TEST_SUITE_P(Families, SkippingWalk,
                         testing::Values(LineFamily{"inside", 0, 0}, LineFamily{"around", 6, 0},
                                         LineFamily{"far", 900, 0},
                                         LineFamily{"near_int_min", 50, std::int64_t{INT_MIN}},
                                         LineFamily{"near_int_max", 50, std::int64_t{INT_MAX} - 40},
                                         // Ends on both sides of the 64-bit path's limit.
                                         LineFamily{"near_narrow_limit", 50,
                                                    pixpen::detail::kNarrowLineLimit - 40},
                                         LineFamily{"near_minus_narrow_limit", 50,
                                                    -pixpen::detail::kNarrowLineLimit - 10}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SkippingWalk, LongLinesMatchTheReference) {
    const ClipRect clip{0, 0, 999, 999};
    const std::int64_t lines[][4] = {
        {-3'000'000, -2'999'993, 3'000'000, 3'000'000},
        {3'000'000, 3'000'000, -3'000'000, -2'999'993},
        {-1'000'000, 500, 2'000'000, 501},
        {500, -4'000'000, 499, 4'000'000},
        {-2'500'000, 2'500'999, 2'500'999, -2'500'000},
    };
    for (const auto &l : lines) {
        const auto expected = reference_walk(l[0], l[1], l[2], l[3], clip);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(clipped_walk(l[0], l[1], l[2], l[3], clip), expected);
        EXPECT_EQ(portable_walk(l[0], l[1], l[2], l[3], clip), expected);
    }
}

#if defined(__SIZEOF_INT128__)
// The 64-bit path on the longest lines it takes, ends anywhere up to its
// limit and clips anywhere: the same segment as 128-bit arithmetic (and,
// under UBSan, no overflow on the way).
TEST(SkippingWalk, NarrowArithmeticAgreesWithTheWideUpToItsLimit) {
    using pixpen::detail::kNarrowLineLimit;
    using pixpen::detail::LineSegment;
    std::mt19937_64 rng(0x11fe);
    std::uniform_int_distribution<std::int64_t> end(-kNarrowLineLimit + 1, kNarrowLineLimit - 1);
    std::uniform_int_distribution<std::int64_t> corner(-(std::int64_t{1} << 31), INT_MAX);
    const auto fields = [](const std::optional<LineSegment> &s) {
        return s ? std::vector<std::int64_t>{s->x,         s->y,          s->count,
                                             s->remainder, s->two_dminor, s->two_dmajor,
                                             s->major_dx,  s->major_dy,   s->minor_dx,
                                             s->minor_dy}
                 : std::vector<std::int64_t>{};
    };
    for (int i = 0; i < 200000; ++i) {
        const std::int64_t x0 = end(rng), y0 = end(rng), x1 = end(rng), y1 = end(rng);
        // Half the clips sit on the line's own span, so that most lines are visible.
        const std::int64_t cx =
            i % 2 ? corner(rng) : std::min(x0, x1) + (x1 > x0 ? x1 - x0 : x0 - x1) / 3;
        const std::int64_t cy =
            i % 2 ? corner(rng) : std::min(y0, y1) + (y1 > y0 ? y1 - y0 : y0 - y1) / 3;
        const ClipRect clip{cx, cy, cx + static_cast<std::int64_t>(rng() % 5000),
                            cy + static_cast<std::int64_t>(rng() % 5000)};
        ASSERT_EQ(
            fields(pixpen::detail::clip_line_with<std::int64_t>(x0, y0, x1, y1, clip)),
            fields(pixpen::detail::clip_line_with<pixpen::detail::wide_int>(x0, y0, x1, y1, clip)))
            << "(" << x0 << ", " << y0 << ") -> (" << x1 << ", " << y1 << ")";
    }
}

// The portable arithmetic against the native one, on operands of every size
// the clipping can produce and beyond, signs mixed.
TEST(PortableWide, AgreesWithTheNativeInt128) {
    using pixpen::detail::PortableWide;
    __extension__ typedef __int128 native;
    std::mt19937_64 rng(7);
    const auto operand = [&](bool nonzero) {
        const int bits = static_cast<int>(rng() % 63) + 1;
        auto v = static_cast<std::int64_t>(rng() >> (64 - bits));
        if (rng() % 2 == 0) {
            v = -v;
        }
        return nonzero && v == 0 ? std::int64_t{1} : v;
    };
    // Both 64-bit halves: the low one directly, the high one shifted down by
    // two truncating divisions, which the native side does the same way.
    const auto same = [](PortableWide p, native n) {
        const PortableWide p_shift(std::int64_t{1} << 32);
        const native n_shift = native{1} << 32;
        return static_cast<std::int64_t>(p) == static_cast<std::int64_t>(n) &&
               static_cast<std::int64_t>(p / p_shift / p_shift) ==
                   static_cast<std::int64_t>(n / n_shift / n_shift);
    };
    for (int i = 0; i < 200000; ++i) {
        const std::int64_t a = operand(false), b = operand(false), c = operand(true);
        const PortableWide pa(a), pb(b), pc(c);
        const native na = a, nb = b, nc = c;
        // Products of two 63-bit values exceed 64 bits, as 2 * n * dminor may.
        const PortableWide product = pa * pb;
        const native exact = na * nb;
        ASSERT_TRUE(same(product, exact)) << a << " * " << b;
        ASSERT_TRUE(same(product + pc, exact + nc)) << a << " * " << b << " + " << c;
        ASSERT_TRUE(same(product - pc, exact - nc)) << a << " * " << b << " - " << c;
        ASSERT_TRUE(same(product / pc, exact / nc)) << a << " * " << b << " / " << c;
        ASSERT_TRUE(same(product % pc, exact % nc)) << a << " * " << b << " % " << c;
        ASSERT_EQ(product < pc, exact < nc);
        ASSERT_EQ(pa <= pb, a <= b);
        ASSERT_EQ(static_cast<std::int64_t>(pa + pb), static_cast<std::int64_t>(na + nb));
    }
}
#endif

TEST(DoLine, DrawsTheReferencePixelsOnRealImages) {
    std::mt19937 rng(42);
    for (int i = 0; i < 20000; ++i) {
        const int w = 1 + static_cast<int>(rng() % 24);
        const int h = 1 + static_cast<int>(rng() % 24);
        std::uniform_int_distribution<int> pick(-30, 54);
        const int x0 = pick(rng), y0 = pick(rng), x1 = pick(rng), y1 = pick(rng);
        auto image = test::make_image(w, h);
        do_line(image.get(), x0, y0, x1, y1, WHITE);
        std::vector<std::uint8_t> expected(static_cast<std::size_t>(w * h) * 3, 0);
        for (auto [x, y] : reference_walk(x0, y0, x1, y1, ClipRect{0, 0, w - 1, h - 1})) {
            for (int c = 0; c < 3; ++c) {
                expected[static_cast<std::size_t>((y * w + x) * 3 + c)] = 255;
            }
        }
        ASSERT_EQ(test::pixel_bytes(image.get()), expected)
            << w << "x" << h << ": (" << x0 << ", " << y0 << ") -> (" << x1 << ", " << y1 << ")";
    }
}

TEST(DoLine, ClipsAtTheEdges) {
    auto image = test::make_image(3, 3);
    do_line(image.get(), -5, 2, 5, 2, Color{1, 2, 3});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_TRUE(test::same_color(test::pixel_at(image.get(), x, y),
                                         y == 2 ? Color{1, 2, 3} : Color{0, 0, 0}))
                << x << ", " << y;
        }
    }
}

// A walk spanning the whole int range: no overflow, and the few visible
// points lie on the row where the ideal line crosses x = 0..15 (y = 2.5
// exactly at x = -1/2, so the walk rounds to row 3 there).
TEST(DoLine, ExtremeCoordinatesDrawOnlyTheVisiblePart) {
    for (bool reversed : {false, true}) {
        auto image = test::make_image(16, 8);
        if (reversed) {
            do_line(image.get(), INT_MAX, 5, INT_MIN, 0, WHITE);
        } else {
            do_line(image.get(), INT_MIN, 0, INT_MAX, 5, WHITE);
        }
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) {
                EXPECT_EQ(test::pixel_at(image.get(), x, y).r, y == 3 ? 255 : 0) << x << ", " << y;
            }
        }
    }
    auto image = test::make_image(4, 4);
    do_line(image.get(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, WHITE);
    do_line(image.get(), INT_MAX, INT_MIN, INT_MIN, INT_MAX, WHITE);
    do_line(image.get(), INT_MIN, INT_MAX, INT_MIN, INT_MIN, WHITE);
    // Only the main diagonal crosses the image; the other two miss it.
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(test::pixel_at(image.get(), x, y).g, x == y ? 255 : 0) << x << ", " << y;
        }
    }
}

TEST(DoPixel, SetsOnlyPixelsInside) {
    auto image = test::make_image(4, 3);
    const Color c{9, 8, 7};
    for (auto [x, y] :
         {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}, {INT_MIN, INT_MAX}, {INT_MAX, 0}}) {
        do_pixel(image.get(), x, y, c);
    }
    EXPECT_EQ(test::pixel_bytes(image.get()), std::vector<std::uint8_t>(36, 0));
    do_pixel(image.get(), 3, 2, c);
    EXPECT_TRUE(test::same_color(image->pixels[11], c));
    do_pixel(image.get(), 1, 2, c);
    EXPECT_TRUE(test::same_color(image->pixels[2 * 4 + 1], c));
}

} // namespace
