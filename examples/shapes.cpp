// Every shape in one picture: a framed night scene with a flood-filled sky,
// a moon of discs, arcs around it, houses of rectangles and polygons, an
// ellipse pond, a star polygon filled by the even-odd rule, and thick lines
// for a fence. Writes shapes.png (shapes.ppm without PNG output).
#include <array>
#include <cmath>
#include <vector>

#include "example_support.hpp"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr int kGround = 230;

// A five-pointed star drawn in one stroke: its centre pentagon is crossed
// twice, so the even-odd rule leaves it empty.
std::vector<pixpen::Point> star(int cx, int cy, int radius) {
    std::vector<pixpen::Point> points;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 5; ++i) {
        const double a = pi / 2 + i * 4 * pi / 5;
        points.push_back({static_cast<std::int32_t>(std::lround(cx + radius * std::cos(a))),
                          static_cast<std::int32_t>(std::lround(cy - radius * std::sin(a)))});
    }
    return points;
}

void house(pixpen::Picture &picture, int left, int width, Color wall, Color roof) {
    const int top = kGround - width * 3 / 4;
    picture.fill_rectangle(left, top, left + width, kGround, wall);
    picture.rectangle(left, top, left + width, kGround, Color{40, 30, 30});
    const std::array<pixpen::Point, 3> gable = {pixpen::Point{left - 8, top},
                                                pixpen::Point{left + width / 2, top - width / 2},
                                                pixpen::Point{left + width + 8, top}};
    picture.fill_polygon(gable, roof);
    picture.polygon(gable, Color{40, 30, 30});
    picture.fill_rectangle(left + width / 2 - 8, kGround - 30, left + width / 2 + 8, kGround,
                           Color{90, 60, 40});
    picture.fill_rectangle(left + 10, top + 12, left + 28, top + 28, Color{255, 220, 120});
}

} // namespace

int main() try {
    pixpen::Picture picture = pixpen::Picture::create(kWidth, kHeight);
    // The ground first, then the sky floods everything above it that is still black.
    picture.fill_rectangle(0, kGround, kWidth - 1, kHeight - 1, Color{40, 90, 50});
    picture.flood_fill(0, 0, Color{20, 24, 60});

    picture.fill_circle(380, 70, 34, Color{250, 240, 200});
    picture.fill_circle(395, 60, 30, Color{20, 24, 60}); // the shadow makes a crescent
    for (int r = 44; r <= 60; r += 8) {
        picture.arc(380, 70, r, 120, 300, Color{120, 120, 170});
    }
    picture.circle(380, 70, 70, Color{60, 60, 110});
    const auto big_star = star(90, 70, 40);
    picture.fill_polygon(big_star, Color{255, 230, 90});
    for (int i = 0; i < 12; ++i) {
        picture.fill_circle(30 + i * 37 % 430, 20 + i * 53 % 140, 1 + i % 2, WHITE);
    }

    house(picture, 150, 70, Color{200, 170, 140}, Color{150, 50, 40});
    house(picture, 260, 90, Color{180, 190, 210}, Color{70, 70, 90});

    picture.fill_ellipse(100, 275, 70, 22, Color{60, 110, 180});
    picture.ellipse(100, 275, 70, 22, Color{180, 210, 240});
    picture.ellipse(100, 275, 40, 10, Color{120, 160, 220});

    // A fence of thick lines with round caps; the rail runs past both edges.
    for (int x = 360; x < kWidth; x += 22) {
        picture.thick_line(x, kGround + 40, x, kGround - 5, 7, Color{220, 210, 190});
    }
    picture.thick_line(-50, kGround + 12, kWidth + 50, kGround + 6, 5, Color{200, 190, 170});
    picture.rectangle(0, 0, kWidth - 1, kHeight - 1, WHITE);

    return example::save_for_viewing(picture, "shapes") ? 0 : 1;
} catch (const pixpen::Exception &e) {
    std::fprintf(stderr, "shapes: %s\n", e.what());
    return 1;
}
