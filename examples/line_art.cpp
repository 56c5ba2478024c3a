// Line art with the drawing primitives and the whole-image operations: string
// art in the four corners, a starfield of single pixels, then the whole
// picture inverted. Writes line_art.ppm and line_art_inverted.tga, throwing
// pixpen::Exception if it cannot.
#include <cstdint>

#include "example_support.hpp"

namespace {

constexpr int kSize = 320;
constexpr int kStrings = 32;

// Straight strings between two edges meeting at a corner: the envelope they
// trace is a curve, although every one of them is a straight line.
void corner(pixpen::Picture &picture, int cx, int cy, int dx, int dy, Color from, Color to) {
    for (int i = 0; i <= kStrings; ++i) {
        const int a = i * (kSize / 2) / kStrings;
        const int b = kSize / 2 - a;
        picture.line(cx + dx * a, cy, cx, cy + dy * b,
                     example::blend(from, to, static_cast<double>(i) / kStrings));
    }
}

} // namespace

int main() try {
    pixpen::Picture picture = pixpen::Picture::create(kSize, kSize);
    picture.clear(Color{10, 12, 40});

    // A small deterministic generator scatters the stars.
    std::uint32_t state = 2463534242u;
    for (int i = 0; i < 400; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const std::uint8_t shine = static_cast<std::uint8_t>(120 + state % 136);
        picture.pixel(static_cast<int>(state % kSize), static_cast<int>((state >> 12) % kSize),
                      Color{shine, shine, shine});
    }

    const int m = kSize / 2;
    corner(picture, m, m, 1, -1, Color{255, 80, 60}, Color{255, 220, 60});
    corner(picture, m, m, -1, -1, Color{60, 200, 255}, Color{120, 80, 255});
    corner(picture, m, m, -1, 1, Color{60, 255, 140}, Color{60, 200, 255});
    corner(picture, m, m, 1, 1, Color{255, 220, 60}, Color{60, 255, 140});
    // A frame, and diagonals that run far outside the picture: lines are clipped.
    picture.line(0, 0, kSize - 1, 0, WHITE);
    picture.line(kSize - 1, 0, kSize - 1, kSize - 1, WHITE);
    picture.line(kSize - 1, kSize - 1, 0, kSize - 1, WHITE);
    picture.line(0, kSize - 1, 0, 0, WHITE);
    picture.line(-100000, -100000, 100000, 100000, Color{90, 90, 110});
    picture.line(-100000, 100000 + kSize - 1, 100000, -100000 + kSize - 1, Color{90, 90, 110});

    if (!example::save_for_viewing(picture, "line_art")) {
        return 1;
    }
    picture.invert();
    picture.save("line_art_inverted.tga", pixpen::Format::tga);
    std::printf("wrote line_art_inverted.tga (the same picture, every channel v -> 255 - v)\n");
    return 0;
} catch (const pixpen::Exception &e) {
    std::fprintf(stderr, "line_art: %s\n", e.what());
    return 1;
}
