// The Heighway dragon: 2^14 turtle steps, turning left or right by 90 degrees
// as the paper-folding sequence says. A first pass with the pen up measures
// the curve, so the second one can centre it.
#include <algorithm>

#include "example_support.hpp"

namespace {

constexpr int kOrder = 14;
constexpr int kSteps = 1 << kOrder;
constexpr int kStep = 3;
constexpr int kMargin = 12;

// Turn before step i (i >= 1) of the dragon: right when the bit above the
// lowest set bit of i is 1, else left.
bool turns_right(unsigned i) {
    return ((i & (~i + 1)) << 1 & i) != 0;
}

struct Box {
    int min_x = 0, max_x = 0, min_y = 0, max_y = 0;
};

// Walks the curve from (0, 0) without an image, with the turtle's arithmetic
// (90-degree turns are exact), and returns its bounding box.
Box measure() {
    Box box;
    int x = 0, y = 0, dx = 0, dy = -kStep; // facing north
    for (unsigned i = 0; i < kSteps; ++i) {
        if (i > 0) {
            const int old_dx = dx;
            dx = turns_right(i) ? -dy : dy;
            dy = turns_right(i) ? old_dx : -old_dx;
        }
        x += dx;
        y += dy;
        box = {std::min(box.min_x, x), std::max(box.max_x, x), std::min(box.min_y, y),
               std::max(box.max_y, y)};
    }
    return box;
}

} // namespace

int main() {
    const Box box = measure();
    pixpen::Picture picture = example::make_picture(box.max_x - box.min_x + 1 + 2 * kMargin,
                                                    box.max_y - box.min_y + 1 + 2 * kMargin);
    if (!picture) {
        return 1;
    }
    picture.clear(Color{250, 248, 240});
    pixpen::Turtle turtle = picture.turtle();
    turtle.jump_to(kMargin - box.min_x, kMargin - box.min_y);
    for (unsigned i = 0; i < kSteps; ++i) {
        if (i > 0) {
            if (turns_right(i)) {
                turtle.right(90);
            } else {
                turtle.left(90);
            }
        }
        // Dark blue to red along the curve, so the folds can be followed.
        turtle.set_color(example::blend(Color{20, 40, 160}, Color{200, 30, 40},
                                        static_cast<double>(i) / kSteps));
        if (!turtle.forward(kStep)) {
            std::fprintf(stderr, "step %u left the picture\n", i);
            return 1;
        }
    }
    std::printf("dragon curve: order %d, %d steps of %d pixels\n", kOrder, kSteps, kStep);
    return example::save_for_viewing(picture, "dragon_curve") ? 0 : 1;
}
