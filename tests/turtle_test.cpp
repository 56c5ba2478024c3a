#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "test_support.hpp"

namespace {

using test::make_image;
using test::pixel_at;

int count_lit(Image image) {
    int lit = 0;
    for (std::uint8_t byte : test::pixel_bytes(image)) {
        lit += byte != 0;
    }
    return lit / 3;
}

TEST(Turtle, TypicalUseDrawsAnL) {
    auto image = make_image(200, 100);
    ASSERT_TRUE(turtle_forward(image.get(), 30));
    EXPECT_EQ(image->turtle_x, 100);
    EXPECT_EQ(image->turtle_y, 20);
    turtle_left(image.get(), 90);
    EXPECT_EQ(image->turtle_angle, 180);
    ASSERT_TRUE(turtle_forward(image.get(), 40));
    EXPECT_EQ(image->turtle_x, 60);
    EXPECT_EQ(image->turtle_y, 20);
    for (int y = 20; y <= 50; ++y) {
        EXPECT_TRUE(test::same_color(pixel_at(image.get(), 100, y), WHITE)) << y;
    }
    for (int x = 60; x <= 100; ++x) {
        EXPECT_TRUE(test::same_color(pixel_at(image.get(), x, 20), WHITE)) << x;
    }
    EXPECT_EQ(count_lit(image.get()), 31 + 40); // the corner is shared
}

struct ForwardCase {
    int heading, distance, dx, dy;
};

void PrintTo(const ForwardCase &c, std::ostream *os) {
    *os << c.heading << " " << c.distance << " " << c.dx << " " << c.dy;
}

class ForwardFromCentre : public testing::TestWithParam<ForwardCase> {};

TEST_P(ForwardFromCentre, EndsWhereTheRoundedComponentsSay) {
    const auto c = GetParam();
    auto image = make_image(200, 100);
    image->turtle_angle = c.heading;
    ASSERT_TRUE(turtle_forward(image.get(), c.distance));
    EXPECT_EQ(image->turtle_x, 100 + c.dx);
    EXPECT_EQ(image->turtle_y, 50 + c.dy);
    EXPECT_EQ(image->turtle_angle, c.heading); // never normalised
}

INSTANTIATE_TEST_SUITE_P(Headings, ForwardFromCentre,
                         testing::Values(ForwardCase{180, 5, -5, 0}, ForwardCase{0, 5, 5, 0},
                                         ForwardCase{270, 5, 0, 5}, ForwardCase{-90, 5, 0, 5},
                                         ForwardCase{450, 5, 0, -5}, ForwardCase{45, 10, 7, -7},
                                         ForwardCase{30, 10, 9, -5}, ForwardCase{30, 1, 1, 0},
                                         ForwardCase{-310, 10, 6, -8}, ForwardCase{90, -20, 0, 20},
                                         ForwardCase{720 + 135, 10, -7, -7}));

// The documented arithmetic, step by step: double precision, multiply then
// divide, the math library's round, range decided before any conversion.
struct Expected {
    bool moved;
    int x, y;
};

Expected model_forward(int x, int y, int heading, int d, int width, int height) {
    const double rads = heading * 3.141592653589793 / 180;
    const double nx = x + std::round(std::cos(rads) * d);
    const double ny = y - std::round(std::sin(rads) * d);
    if (!(nx >= 0 && nx < width && ny >= 0 && ny < height)) {
        return {false, x, y};
    }
    return {true, static_cast<int>(nx), static_cast<int>(ny)};
}

TEST(Turtle, ForwardMatchesTheModelOverManyHeadingsAndDistances) {
    std::mt19937 rng(2024);
    const int distances[] = {0,  1,    -1,    7,       -13,     49,         -50,
                             99, 1000, -1000, INT_MAX, INT_MIN, INT_MAX / 2};
    std::uniform_int_distribution<int> heading_pick(-2000, 2000);
    int moves = 0;
    for (int i = 0; i < 20000; ++i) {
        const int heading = i % 7 == 0 ? static_cast<int>(rng()) : heading_pick(rng);
        const int d = i % 3 == 0 ? distances[rng() % std::size(distances)]
                                 : static_cast<int>(rng() % 121) - 60;
        auto image = make_image(100, 60);
        image->turtle_x = static_cast<int>(rng() % 100);
        image->turtle_y = static_cast<int>(rng() % 60);
        image->turtle_angle = heading;
        const int x0 = image->turtle_x, y0 = image->turtle_y;
        const Expected expected = model_forward(x0, y0, heading, d, 100, 60);

        ASSERT_EQ(turtle_forward(image.get(), d), expected.moved) << heading << " " << d;
        ASSERT_EQ(image->turtle_x, expected.x);
        ASSERT_EQ(image->turtle_y, expected.y);
        ASSERT_EQ(image->turtle_angle, heading);
        auto drawn = make_image(100, 60);
        if (expected.moved) {
            do_line(drawn.get(), x0, y0, expected.x, expected.y, WHITE);
            ++moves;
        }
        ASSERT_EQ(test::pixel_bytes(image.get()), test::pixel_bytes(drawn.get()))
            << heading << " " << d;
    }
    EXPECT_GT(moves, 5000); // the table exercises both outcomes
}

TEST(Turtle, RefusedMoveChangesNothing) {
    auto image = make_image(20, 20);
    image->turtle_angle = 45;
    EXPECT_FALSE(turtle_forward(image.get(), 100)); // most of the line would be inside
    EXPECT_EQ(image->turtle_x, 10);
    EXPECT_EQ(image->turtle_y, 10);
    EXPECT_EQ(image->turtle_angle, 45);
    EXPECT_EQ(count_lit(image.get()), 0);
    for (auto [x, y] : {std::pair{20, 0}, {0, 20}, {-1, 0}, {0, -1}, {INT_MIN, INT_MAX}}) {
        EXPECT_FALSE(turtle_move(image.get(), x, y));
    }
    EXPECT_EQ(count_lit(image.get()), 0);
}

TEST(Turtle, SetXyAcceptsOnePastTheEdgeButMoveDoesNot) {
    auto image = make_image(8, 6);
    EXPECT_TRUE(turtle_set_xy(image.get(), 8, 6));
    EXPECT_EQ(image->turtle_x, 8);
    EXPECT_EQ(image->turtle_y, 6);
    EXPECT_FALSE(turtle_forward(image.get(), 0));
    EXPECT_FALSE(turtle_move(image.get(), 8, 6));
    EXPECT_FALSE(turtle_set_xy(image.get(), -1, 0));
    EXPECT_FALSE(turtle_set_xy(image.get(), 0, 7));
    EXPECT_EQ(image->turtle_x, 8);
    // From the bound a move is drawn with the outside end clipped.
    EXPECT_TRUE(turtle_move(image.get(), 0, 0));
    EXPECT_GT(count_lit(image.get()), 0);
}

TEST(Turtle, PenUpMovesWithoutDrawingAndColourIsUsed) {
    auto image = make_image(10, 10);
    turtle_pen_up(image.get());
    EXPECT_FALSE(image->turtle_pen_down);
    EXPECT_TRUE(turtle_move(image.get(), 1, 1));
    EXPECT_EQ(count_lit(image.get()), 0);
    EXPECT_EQ(image->turtle_x, 1);
    turtle_pen_down(image.get());
    turtle_set_color(image.get(), Color{10, 20, 30});
    EXPECT_TRUE(turtle_forward(image.get(), 0));
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 1, 1), Color{10, 20, 30}));
    EXPECT_EQ(count_lit(image.get()), 1);
}

TEST(Turtle, TurningWrapsWithoutOverflow) {
    auto image = make_image(4, 4);
    turtle_right(image.get(), 400);
    EXPECT_EQ(image->turtle_angle, -310);
    turtle_face_north(image.get());
    EXPECT_EQ(image->turtle_angle, 90);
    image->turtle_angle = INT_MAX;
    turtle_left(image.get(), 1);
    EXPECT_EQ(image->turtle_angle, INT_MIN);
    turtle_right(image.get(), 1);
    EXPECT_EQ(image->turtle_angle, INT_MAX);
    image->turtle_angle = 0;
    turtle_right(image.get(), INT_MIN); // -INT_MIN wraps to INT_MIN
    EXPECT_EQ(image->turtle_angle, INT_MIN);
    turtle_left(image.get(), INT_MIN);
    EXPECT_EQ(image->turtle_angle, 0);
}

} // namespace
