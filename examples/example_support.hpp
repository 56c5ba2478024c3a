// Small helpers shared by the C++ examples: an owning image handle and a
// colour wheel. Only the public header is used, as any client would.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "pixpen.h"

namespace example {

// Owns an image and destroys it when it goes out of scope.
struct ImageDeleter {
    void operator()(ImageRecord *image) const { destroy_image(image); }
};
using ImagePtr = std::unique_ptr<ImageRecord, ImageDeleter>;

inline ImagePtr make_image(int width, int height) {
    ImagePtr image(create_image(width, height));
    if (!image) {
        std::fprintf(stderr, "create_image(%d, %d) failed\n", width, height);
    }
    return image;
}

// A fully saturated colour, t in [0, 1) going once round the colour wheel.
inline Color rainbow(double t) {
    const double pi = std::acos(-1.0);
    auto channel = [&](double phase) {
        const double v = 0.5 + 0.5 * std::cos(2.0 * pi * (t - phase));
        return static_cast<std::uint8_t>(std::lround(255.0 * v));
    };
    return Color{channel(0.0), channel(1.0 / 3.0), channel(2.0 / 3.0)};
}

// Linear blend from a to b, t in [0, 1].
inline Color blend(Color a, Color b, double t) {
    auto mix = [t](std::uint8_t x, std::uint8_t y) {
        return static_cast<std::uint8_t>(std::lround(x + (y - x) * t));
    };
    return Color{mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

// Writes the picture as P6 and reports it; false (with a message) on failure.
inline bool save_ppm(const char *file, const ImagePtr &image) {
    if (!write_ppm(file, image.get(), false)) {
        std::fprintf(stderr, "could not write %s\n", file);
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", file, image->width, image->height);
    return true;
}

} // namespace example
