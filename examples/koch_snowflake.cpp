// A Koch snowflake drawn with the turtle: each side of a triangle is replaced,
// four levels deep, by the rule "forward, left 60, forward, right 120,
// forward, left 60, forward".
#include <initializer_list>

#include "example_support.hpp"

namespace {

constexpr int kLevels = 4;
constexpr int kStep = 4;                     // pixels per smallest segment
constexpr int kSide = kStep * 81;            // 3^kLevels segments per side
constexpr int kSegments = 3 * 4 * 4 * 4 * 4; // 4^kLevels per side, 3 sides
constexpr int kWidth = kSide + 76;
constexpr int kHeight = 410;

int drawn = 0;

// The turtle view remembers a refused move: the caller checks it once.
void koch(pixpen::Turtle &turtle, int level) {
    if (level == 0) {
        // Colour by position along the outline, once round the wheel.
        turtle.set_color(example::rainbow(static_cast<double>(drawn++) / kSegments)).forward(kStep);
        return;
    }
    koch(turtle, level - 1);
    for (const int turn : {60, -120, 60}) {
        turtle.left(turn);
        koch(turtle, level - 1);
    }
}

} // namespace

int main() {
    pixpen::Picture picture = example::make_picture(kWidth, kHeight);
    if (!picture) {
        return 1;
    }
    picture.clear(Color{16, 16, 32});
    // The top side runs east; turning right by 120 twice closes the triangle
    // below it, and every bump points outwards.
    pixpen::Turtle turtle = picture.turtle();
    turtle.jump_to((kWidth - kSide) / 2, 114).right(90); // from north to east
    for (int side = 0; side < 3; ++side) {
        koch(turtle, kLevels);
        turtle.right(120);
    }
    if (!turtle.ok()) {
        std::fprintf(stderr, "the snowflake left the picture\n");
        return 1;
    }
    std::printf("Koch snowflake: %d segments of %d pixels, back at (%d, %d)\n", drawn, kStep,
                turtle.x(), turtle.y());
    return example::save_for_viewing(picture, "koch_snowflake") ? 0 : 1;
}
