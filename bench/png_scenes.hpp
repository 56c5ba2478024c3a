// The pictures the PNG measurements are made on, drawn with pixpen itself.
#pragma once

#include <cstdint>
#include <cstring>

#include "pixpen.hpp"

namespace png_scenes {

inline std::uint64_t next(std::uint64_t &state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// About 3000 random lines in four colours on a flat background: five colours.
// Both ends anywhere by default; with max_length, the second end at most that
// far from the first on each axis (sparser pictures, which compress better).
inline pixpen::Picture line_art(int side, int lines = 3000, std::uint64_t seed = 7,
                                int max_length = 0) {
    pixpen::Picture image = pixpen::Picture::create(side, side);
    do_clear(image.get(), Color{250, 248, 240});
    const Color ink[4] = {{20, 20, 20}, {200, 30, 40}, {30, 90, 200}, {20, 150, 60}};
    const auto pick = [&](unsigned range) { return static_cast<int>(next(seed) % range); };
    for (int i = 0; i < lines; ++i) {
        const int x0 = pick(static_cast<unsigned>(side));
        const int y0 = pick(static_cast<unsigned>(side));
        int x1 = pick(static_cast<unsigned>(side));
        int y1 = pick(static_cast<unsigned>(side));
        if (max_length > 0) {
            x1 = x0 + pick(2 * static_cast<unsigned>(max_length) + 1) - max_length;
            y1 = y0 + pick(2 * static_cast<unsigned>(max_length) + 1) - max_length;
        }
        do_line(image.get(), x0, y0, x1, y1, ink[i % 4]);
    }
    return image;
}

// Every byte from the generator: no deflate can shrink it.
inline pixpen::Picture noise(int side, std::uint64_t seed = 2) {
    pixpen::Picture image = pixpen::Picture::create(side, side);
    auto *bytes = reinterpret_cast<std::uint8_t *>(image->pixels);
    const std::size_t size = static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 3;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t v = next(seed);
        std::memcpy(bytes + i, &v, 8);
    }
    for (; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(next(seed));
    }
    return image;
}

// Smooth two-way gradients with a little grain, like a photograph of the sky:
// far more than 256 colours, and what the row filters are for.
inline pixpen::Picture gradient(int side, std::uint64_t seed = 3) {
    pixpen::Picture image = pixpen::Picture::create(side, side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const auto grain = static_cast<int>(next(seed) % 3) - 1;
            const auto clamp = [](int v) {
                return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            };
            image->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(side) +
                          static_cast<std::size_t>(x)] =
                Color{clamp(x * 255 / side + grain), clamp(y * 255 / side + grain),
                      clamp((x + y) * 255 / (2 * side) + grain)};
        }
    }
    return image;
}

} // namespace png_scenes
