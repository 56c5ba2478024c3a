// A fractal tree: every branch ends in two shorter branches, turned 20 degrees
// left and 30 degrees right. The turtle draws each branch; its position and
// heading, read from the image record, are restored after each subtree.
#include "example_support.hpp"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 400;
constexpr int kDepth = 10;

const Color kBark{110, 70, 30};
const Color kLeaf{90, 210, 70};

int branches = 0;

void set_heading(Image image, int degrees) {
    turtle_face_north(image);
    turtle_left(image, degrees - 90);
}

bool branch(Image image, int length, int depth) {
    const int x = image->turtle_x;
    const int y = image->turtle_y;
    const int heading = image->turtle_angle;
    turtle_set_color(image,
                     example::blend(kBark, kLeaf, 1.0 - static_cast<double>(depth) / kDepth));
    if (!turtle_forward(image, length)) {
        return false;
    }
    ++branches;
    if (depth > 1) {
        const int next = length * 3 / 4;
        const int here_x = image->turtle_x;
        const int here_y = image->turtle_y;
        turtle_left(image, 20);
        if (!branch(image, next, depth - 1)) {
            return false;
        }
        turtle_set_xy(image, here_x, here_y);
        set_heading(image, heading - 30);
        if (!branch(image, next, depth - 1)) {
            return false;
        }
    }
    // Back to where this branch started, pen untouched.
    turtle_set_xy(image, x, y);
    set_heading(image, heading);
    return true;
}

} // namespace

int main() {
    auto image = example::make_image(kWidth, kHeight);
    if (!image) {
        return 1;
    }
    do_clear(image.get(), Color{235, 240, 250});
    turtle_set_xy(image.get(), kWidth / 2, kHeight - 10);
    if (!branch(image.get(), 96, kDepth)) {
        std::fprintf(stderr, "the tree grew out of the picture\n");
        return 1;
    }
    std::printf("fractal tree: %d branches, %d levels\n", branches, kDepth);
    return example::save_ppm("fractal_tree.ppm", image) ? 0 : 1;
}
