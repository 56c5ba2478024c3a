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

bool koch(Image image, int level) {
    if (level == 0) {
        // Colour by position along the outline, once round the wheel.
        turtle_set_color(image, example::rainbow(static_cast<double>(drawn++) / kSegments));
        return turtle_forward(image, kStep);
    }
    if (!koch(image, level - 1)) {
        return false;
    }
    for (const int turn : {60, -120, 60}) {
        turtle_left(image, turn);
        if (!koch(image, level - 1)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main() {
    auto image = example::make_image(kWidth, kHeight);
    if (!image) {
        return 1;
    }
    do_clear(image.get(), Color{16, 16, 32});
    // The top side runs east; turning right by 120 twice closes the triangle
    // below it, and every bump points outwards.
    turtle_set_xy(image.get(), (kWidth - kSide) / 2, 114);
    turtle_right(image.get(), 90); // from north to east
    for (int side = 0; side < 3; ++side) {
        if (!koch(image.get(), kLevels)) {
            std::fprintf(stderr, "the snowflake left the picture\n");
            return 1;
        }
        turtle_right(image.get(), 120);
    }
    std::printf("Koch snowflake: %d segments of %d pixels, back at (%d, %d)\n", drawn, kStep,
                image->turtle_x, image->turtle_y);
    return example::save_ppm("koch_snowflake.ppm", image) ? 0 : 1;
}
