// Small helpers shared by the C++ examples: creating and saving a picture
// with a message on failure, and colour blends. Only the public headers are
// used, as any client would.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "pixpen.hpp"

namespace example {

// A black picture, or an empty one after saying why there is none.
inline pixpen::Picture make_picture(int width, int height) {
    pixpen::Result<pixpen::Picture> made = pixpen::Picture::try_create(width, height);
    if (!made) {
        std::fprintf(stderr, "cannot create a %d x %d picture: %s\n", width, height,
                     made.error().c_str());
        return {};
    }
    return std::move(made).value();
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

// Writes the picture and reports it; false (with the reason) on failure.
inline bool save(const pixpen::Picture &picture, const char *file, pixpen::Format format) {
    const pixpen::Result<void> saved = picture.try_save(file, format);
    if (!saved) {
        std::fprintf(stderr, "could not write %s: %s\n", file, saved.error().c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", file, picture.width(), picture.height());
    return true;
}

// Writes the picture for a person to look at: `stem`.png, or `stem`.ppm (P6)
// when the library was built without PNG output (no libdeflate or zlib).
inline bool save_for_viewing(const pixpen::Picture &picture, const std::string &stem) {
    const std::string png = stem + ".png";
    const pixpen::Result<void> saved = picture.try_save(png.c_str(), pixpen::Format::png);
    if (!saved && saved.error().status() == PIXPEN_ERROR_UNSUPPORTED_FORMAT) {
        return save(picture, (stem + ".ppm").c_str(), pixpen::Format::p6);
    }
    if (!saved) {
        std::fprintf(stderr, "could not write %s: %s\n", png.c_str(), saved.error().c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", png.c_str(), picture.width(), picture.height());
    return true;
}

} // namespace example
