// A fractal tree: every branch ends in two shorter branches, turned 20 degrees
// left and 30 degrees right. The turtle draws each branch; its position and
// heading, read through the turtle view, are restored after each subtree.
#include "example_support.hpp"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 400;
constexpr int kDepth = 10;

const Color kBark{110, 70, 30};
const Color kLeaf{90, 210, 70};

int branches = 0;

void set_heading(pixpen::Turtle &turtle, int degrees) {
    turtle.face_north().left(degrees - 90);
}

bool branch(pixpen::Turtle &turtle, int length, int depth) {
    const int x = turtle.x();
    const int y = turtle.y();
    const int heading = turtle.heading();
    turtle.set_color(example::blend(kBark, kLeaf, 1.0 - static_cast<double>(depth) / kDepth));
    if (!turtle.forward(length).last_ok()) {
        return false;
    }
    ++branches;
    if (depth > 1) {
        const int next = length * 3 / 4;
        const int here_x = turtle.x();
        const int here_y = turtle.y();
        turtle.left(20);
        if (!branch(turtle, next, depth - 1)) {
            return false;
        }
        turtle.jump_to(here_x, here_y);
        set_heading(turtle, heading - 30);
        if (!branch(turtle, next, depth - 1)) {
            return false;
        }
    }
    // Back to where this branch started, pen untouched.
    turtle.jump_to(x, y);
    set_heading(turtle, heading);
    return true;
}

} // namespace

int main() {
    pixpen::Picture picture = example::make_picture(kWidth, kHeight);
    if (!picture) {
        return 1;
    }
    picture.clear(Color{235, 240, 250});
    pixpen::Turtle turtle = picture.turtle();
    turtle.jump_to(kWidth / 2, kHeight - 10);
    if (!branch(turtle, 96, kDepth)) {
        std::fprintf(stderr, "the tree grew out of the picture\n");
        return 1;
    }
    std::printf("fractal tree: %d branches, %d levels\n", branches, kDepth);
    return example::save_for_viewing(picture, "fractal_tree") ? 0 : 1;
}
