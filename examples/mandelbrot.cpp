// The Mandelbrot set, computed row by row straight into the picture's pixels
// (each row a pixpen::Span<Color>, std::span in C++20), framed with the
// turtle and saved as PNG (as P6 by a library built without PNG output).
// Failures throw pixpen::Exception and end in the one catch below.
#include <cmath>
#include <cstddef>

#include "example_support.hpp"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 360;
constexpr int kMaxIterations = 256;

// The escape count of c = (re, im), smoothed so that the bands blend into
// each other; negative inside the set.
double escape(double re, double im) {
    double x = 0.0, y = 0.0;
    for (int i = 0; i < kMaxIterations; ++i) {
        const double xx = x * x, yy = y * y;
        if (xx + yy > 256.0) {
            return i + 1.0 - std::log2(std::log2(xx + yy) / 2.0);
        }
        y = 2.0 * x * y + im;
        x = xx - yy + re;
    }
    return -1.0;
}

} // namespace

int main() try {
    pixpen::Picture picture = pixpen::Picture::create(kWidth, kHeight);
    const double scale = 3.0 / kWidth; // the real axis from -2.2 to 0.8
    long inside = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const double im = (y - kHeight / 2.0) * scale;
        pixpen::Span<Color> row = picture.row(y);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const double n = escape(-2.2 + static_cast<double>(x) * scale, im);
            if (n < 0) {
                ++inside;
                row[x] = Color{8, 8, 24};
            } else {
                const double hue = std::fmod(0.6 + n / 32.0, 1.0);
                row[x] =
                    example::blend(Color{0, 0, 0}, example::rainbow(hue), std::fmin(1.0, n / 8.0));
            }
        }
    }
    // A white frame, drawn by the turtle round the picture's edge.
    pixpen::Turtle turtle = picture.turtle();
    turtle.jump_to(0, kHeight - 1).right(90);
    for (int side = 0; side < 4; ++side) {
        turtle.forward(side % 2 == 0 ? kWidth - 1 : kHeight - 1).left(90);
    }
    if (!turtle.ok()) {
        std::fprintf(stderr, "the frame left the picture\n");
        return 1;
    }

    const char *file = "mandelbrot.png";
    const pixpen::Result<void> png = picture.try_save(file, pixpen::Format::png);
    if (!png && png.error().status() == PIXPEN_ERROR_UNSUPPORTED_FORMAT) {
        // A library built without a compressor writes no PNG: P6 instead.
        file = "mandelbrot.ppm";
        picture.save(file, pixpen::Format::p6);
    } else {
        png.value(); // throws any other failure
    }
    std::printf("wrote %s (%d x %d, %ld pixels inside the set) with pixpen %s\n", file,
                picture.width(), picture.height(), inside, pixpen::library_version_string().data());
    return 0;
} catch (const pixpen::Exception &e) {
    std::fprintf(stderr, "mandelbrot: %s\n", e.what());
    return 1;
}
