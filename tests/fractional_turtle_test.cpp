#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "pixpen.hpp"
#include "test_support.hpp"

namespace {

using test::make_image;
using test::pixel_at;

constexpr Color kRed{255, 0, 0};
constexpr Color kBlue{0, 0, 255};
constexpr Color kBlack{0, 0, 0};

struct Step {
    char op; // f forward, b backward, l left, r right, h set heading, g goto, c circle
    double a;
    double b = 0;
};

struct Sequence {
    std::string name;
    std::vector<Step> steps;
    int repeat;
    double x, y, heading; // where the turtle stands, from the maths, on a 100 x 100 image
};

// GoogleTest would otherwise print a row as raw bytes, padding included,
// which valgrind rightly reports as uninitialised.
void PrintTo(const Sequence &sequence, std::ostream *out) {
    *out << sequence.name;
}

// The heading counts counter-clockwise from +x with rows growing downwards,
// so forward(d) moves by (d cos h, -d sin h); circle(r) walks an inscribed
// polygon about the point r to the left.
const double kRoot2 = std::sqrt(2.0);
const std::vector<Sequence> kSequences = {
    {"square", {{'f', 30}, {'l', 90}}, 4, 50, 50, 0},
    {"fifth turns 10000 sides", {{'f', 40}, {'l', 72}}, 10000, 50, 50, 0},
    {"pentagram 10000 points", {{'f', 70}, {'r', 144}}, 10000, 50, 50, 0},
    {"heptagon 10004 sides", {{'f', 25}, {'l', 360.0 / 7}}, 10004, 75, 50, 360.0 / 7},
    {"up is minus y", {{'l', 90}, {'f', 10}}, 1, 50, 40, 90},
    {"backward on a diagonal", {{'l', 45}, {'b', kRoot2}}, 1, 49, 51, 45},
    {"right wraps below zero", {{'r', 90}, {'f', 5}}, 1, 50, 55, 270},
    {"far outside goes on", {{'f', 1e6}, {'b', 1e6}}, 1, 50, 50, 0},
    {"goto then heading", {{'g', -20.25, 300.5}, {'h', -450}}, 1, -20.25, 300.5, 270},
    {"quarter circle", {{'c', 20, 90}}, 1, 70, 30, 90},
    {"clockwise quarter", {{'c', -20, 90}}, 1, 70, 70, 270},
    {"backwards arc", {{'c', 20, -90}}, 1, 30, 30, 270},
    {"full circles 2000x", {{'c', 33, 360}}, 2000, 50, 50, 0},
};

void play(PixpenTurtle *turtle, Image image, const Step &step) {
    switch (step.op) {
    case 'f':
        pixpen_turtle_forward(turtle, image, step.a);
        break;
    case 'b':
        pixpen_turtle_backward(turtle, image, step.a);
        break;
    case 'l':
        pixpen_turtle_left(turtle, step.a);
        break;
    case 'r':
        pixpen_turtle_right(turtle, step.a);
        break;
    case 'h':
        pixpen_turtle_set_heading(turtle, step.a);
        break;
    case 'g':
        pixpen_turtle_goto(turtle, image, step.a, step.b);
        break;
    case 'c':
        pixpen_turtle_circle(turtle, image, step.a, step.b, 0);
        break;
    default:
        FAIL() << "unknown step " << step.op;
    }
}

class FractionalTurtleSequence : public testing::TestWithParam<Sequence> {};

TEST_P(FractionalTurtleSequence, EndsWhereTheMathsSays) {
    const Sequence &sequence = GetParam();
    auto image = make_image(100, 100);
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, image.get());
    for (int i = 0; i < sequence.repeat; ++i) {
        for (const Step &step : sequence.steps) {
            play(&turtle, image.get(), step);
        }
    }
    EXPECT_NEAR(turtle.x, sequence.x, 1e-9);
    EXPECT_NEAR(turtle.y, sequence.y, 1e-9);
    const double turn = std::fabs(pixpen_turtle_heading(&turtle) - sequence.heading);
    EXPECT_LT(std::min(turn, 360 - turn), 1e-9);
    EXPECT_GE(turtle.heading, 0);
    EXPECT_LT(turtle.heading, 360);
}

INSTANTIATE_TEST_SUITE_P(Table, FractionalTurtleSequence, testing::ValuesIn(kSequences),
                         [](const testing::TestParamInfo<Sequence> &info) {
                             std::string name = info.param.name;
                             for (char &c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

std::vector<std::uint8_t> circle_pixels(double radius, double extent, int steps) {
    auto image = make_image(300, 300);
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, image.get());
    pixpen_turtle_circle(&turtle, image.get(), radius, extent, steps);
    return test::pixel_bytes(image.get());
}

TEST(FractionalTurtle, CircleDefaultStepsFollowTheRadiusRule) {
    // 1 + min(11 + |r| / 6, 59) * |extent| / 360 sides, truncated.
    struct Case {
        double radius, extent;
        int steps;
    };
    for (const Case c :
         {Case{60, 360, 22}, Case{-120, 270, 24}, Case{400, 360, 60}, Case{30, 180, 9}}) {
        const auto by_default = circle_pixels(c.radius, c.extent, 0);
        EXPECT_EQ(by_default, circle_pixels(c.radius, c.extent, c.steps)) << c.radius;
        EXPECT_NE(by_default, circle_pixels(c.radius, c.extent, c.steps + 1)) << c.radius;
    }
}

TEST(FractionalTurtle, CircleCornersLieOnTheCircle) {
    for (double radius : {50.0, -120.0, 7.5}) {
        PixpenTurtle turtle;
        pixpen_turtle_init(&turtle, nullptr);
        // One side at a time: the corners of circle(r, 300, 9), centre r to the left.
        for (int i = 0; i < 9; ++i) {
            pixpen_turtle_circle(&turtle, nullptr, radius, 300.0 / 9, 1);
            EXPECT_NEAR(pixpen_turtle_distance(&turtle, 0, -radius), std::fabs(radius), 1e-9);
        }
        EXPECT_NEAR(pixpen_turtle_heading(&turtle), radius > 0 ? 300 : 60, 1e-9);
    }
}

TEST(FractionalTurtle, QueriesFollowTheImageAxes) {
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, nullptr);
    pixpen_turtle_goto(&turtle, nullptr, 10, 10);
    EXPECT_DOUBLE_EQ(pixpen_turtle_towards(&turtle, 10, 0), 90); // up
    EXPECT_DOUBLE_EQ(pixpen_turtle_towards(&turtle, 0, 20), 225);
    EXPECT_DOUBLE_EQ(pixpen_turtle_distance(&turtle, 13, 14), 5);
    EXPECT_EQ(pixpen_turtle_towards(&turtle, 10, 10), 0);
    double x = 0, y = 0;
    pixpen_turtle_position(&turtle, &x, &y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 10);
}

TEST(FractionalTurtle, DrawsRoundedEndsOnlyAndClipsOffImageLines) {
    auto image = make_image(20, 20);
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, image.get());
    pixpen_turtle_set_pen_color(&turtle, kRed);
    // Ten steps of 0.4: positions 10.4 .. 14.0; the line ends at pixel 14.
    for (int i = 0; i < 10; ++i) {
        pixpen_turtle_forward(&turtle, image.get(), 0.4);
    }
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 14, 10), kRed));
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 15, 10), kBlack));
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 10, 10), kRed));
    pixpen_turtle_goto(&turtle, image.get(), 14, -1e9); // far off the top, then back
    pixpen_turtle_goto(&turtle, image.get(), 14, 19);
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 14, 0), kRed));
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 14, 19), kRed));
}

TEST(FractionalTurtle, FillIsEvenOddWithTheOutlineOnTop) {
    auto image = make_image(120, 120);
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, image.get());
    pixpen_turtle_pen_up(&turtle);
    pixpen_turtle_goto(&turtle, image.get(), 10, 40);
    pixpen_turtle_pen_down(&turtle);
    pixpen_turtle_set_pen_color(&turtle, kBlue);
    pixpen_turtle_set_fill_color(&turtle, kRed);
    ASSERT_TRUE(pixpen_turtle_begin_fill(&turtle));
    for (int i = 0; i < 5; ++i) { // a pentagram: the centre is inside twice
        pixpen_turtle_forward(&turtle, image.get(), 100);
        pixpen_turtle_right(&turtle, 144);
    }
    ASSERT_TRUE(pixpen_turtle_end_fill(&turtle, image.get()));
    EXPECT_FALSE(turtle.filling);
    EXPECT_EQ(turtle.path, nullptr);
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 60, 56), kBlack)); // the centre
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 60, 20), kRed));   // the top arm
    EXPECT_TRUE(
        test::same_color(pixel_at(image.get(), 30, 40), kBlue)); // the outline, over the fill
    EXPECT_FALSE(pixpen_turtle_end_fill(&turtle, image.get()));  // none open
}

TEST(FractionalTurtle, DotDefaultsToTheWidthRule) {
    auto image = make_image(40, 40);
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, image.get());
    pixpen_turtle_set_width(&turtle, 3);
    pixpen_turtle_pen_up(&turtle);                    // dots do not care
    pixpen_turtle_dot(&turtle, image.get(), 0, kRed); // max(3 + 4, 6) = 7 across
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 23, 20), kRed));
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 24, 20), kBlack));
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 17, 20), kRed));
}

TEST(FractionalTurtle, NullArgumentsAreHarmless) {
    EXPECT_FALSE(pixpen_turtle_forward(nullptr, nullptr, 1));
    EXPECT_FALSE(pixpen_turtle_begin_fill(nullptr));
    EXPECT_EQ(pixpen_turtle_heading(nullptr), 0);
    pixpen_turtle_release(nullptr);
    PixpenTurtle turtle;
    pixpen_turtle_init(&turtle, nullptr);
    EXPECT_TRUE(pixpen_turtle_forward(&turtle, nullptr, std::nan("")));
    EXPECT_TRUE(pixpen_turtle_circle(&turtle, nullptr, std::nan(""), 1e300, 0));
    pixpen_turtle_release(&turtle);
}

TEST(FractionalTurtle, CppClassChainsAndOwnsItsFill) {
    auto image = make_image(50, 50);
    pixpen::FractionalTurtle turtle(image.get());
    turtle.pen_color(kRed).begin_fill().forward(10).left(90).forward(10).left(90).forward(10);
    pixpen::FractionalTurtle moved(std::move(turtle)); // the open fill moves along
    EXPECT_TRUE(moved.filling());
    moved.fill_color(kBlue).end_fill();
    EXPECT_TRUE(moved.fill_ok());
    EXPECT_TRUE(test::same_color(pixel_at(image.get(), 33, 22), kBlue));
    EXPECT_NEAR(moved.x(), 25, 1e-12);
    EXPECT_NEAR(moved.heading(), 180, 1e-12);
}

} // namespace
