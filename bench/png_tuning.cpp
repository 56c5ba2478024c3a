// The measurements behind the PNG encoder's choices: palette bit depth, row
// filter and compression level, on line art, a smooth gradient and noise.
// Prints Markdown tables of file size and median encoding time.
//
//   pixpen_png_tuning [--side=4096] [--runs=3]
//   pixpen_png_tuning [--side=4096] --ppm=FILE         (writes the line art as P6)
//   pixpen_png_tuning [--side=4096] --short-ppm=FILE   (the short lines)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/png.hpp"
#include "png_scenes.hpp"

namespace {

using pixpen::detail::PngFilter;
using pixpen::detail::PngTuning;

int g_runs = 3;

const char *filter_name(PngFilter f) {
    switch (f) {
    case PngFilter::none:
        return "None";
    case PngFilter::sub:
        return "Sub";
    case PngFilter::up:
        return "Up";
    case PngFilter::average:
        return "Average";
    case PngFilter::paeth:
        return "Paeth";
    case PngFilter::adaptive:
        return "per row (min. sum)";
    }
    return "?";
}

struct Measured {
    std::size_t bytes;
    double ms;
};

Measured measure(Image image, const PngTuning &tuning) {
    std::vector<double> times;
    std::size_t bytes = 0;
    for (int i = 0; i < g_runs; ++i) {
        std::uint8_t *data = nullptr;
        std::size_t size = 0;
        PixpenError error{};
        const auto start = std::chrono::steady_clock::now();
        const bool ok = pixpen::detail::encode_png(image, tuning, &data, &size, error);
        const auto stop = std::chrono::steady_clock::now();
        if (!ok) {
            std::fprintf(stderr, "encode_png failed: %s\n", error.message);
            std::exit(1);
        }
        std::free(data);
        bytes = size;
        times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    return {bytes, times[times.size() / 2]};
}

void row(const char *scene, const std::string &setting, Measured m) {
    std::printf("| %s | %s | %.3f | %.1f |\n", scene, setting.c_str(), m.bytes / 1e6, m.ms);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    int side = 4096;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--side=", 0) == 0) {
            side = std::atoi(arg.c_str() + 7);
        } else if (arg.rfind("--runs=", 0) == 0) {
            g_runs = std::max(1, std::atoi(arg.c_str() + 7));
        } else if (arg.rfind("--ppm=", 0) == 0 || arg.rfind("--short-ppm=", 0) == 0) {
            // The line art as P6, for running the other encoders on it.
            const bool short_lines = arg[2] == 's';
            const auto image = short_lines ? png_scenes::line_art(side, 3000, 7, side / 5)
                                           : png_scenes::line_art(side);
            return write_ppm(arg.substr(arg.find('=') + 1).c_str(), image.get(), false) ? 0 : 1;
        }
    }
    const PngTuning base = pixpen::detail::default_png_tuning();
    const auto line_art = png_scenes::line_art(side);
    const auto short_lines = png_scenes::line_art(side, 3000, 7, side / 5);
    const auto gradient = png_scenes::gradient(side);
    const auto noise = png_scenes::noise(side);
    const PngFilter filters[] = {PngFilter::none,    PngFilter::sub,   PngFilter::up,
                                 PngFilter::average, PngFilter::paeth, PngFilter::adaptive};
    const auto depth_name = [](int depth) { return depth == 0 ? "4-bit" : "8-bit"; };

    std::printf("%d x %d, %s, median of %d\n\n", side, side, pixpen::detail::png_compressor_name(),
                g_runs);
    std::printf("| image | setting | MB | ms |\n|---|---|---:|---:|\n");
    // Palette (five colours): bit depth and filter at the default level, then the level.
    for (const auto &[name, image] : {std::pair{"line art, palette", line_art.get()},
                                      std::pair{"short lines, palette", short_lines.get()}}) {
        for (int depth : {0, 8}) {
            for (PngFilter f : filters) {
                PngTuning t = base;
                t.palette_depth = depth;
                t.palette_filter = f;
                row(name,
                    std::string(depth_name(depth)) + ", " + filter_name(f) + ", level " +
                        std::to_string(t.palette_level),
                    measure(image, t));
            }
        }
        for (int level : {1, 2, 3, 4, 5, 7, 8, 9, 12}) {
            PngTuning t = base;
            t.palette_level = level;
            row(name,
                std::string(depth_name(0)) + ", " + filter_name(t.palette_filter) + ", level " +
                    std::to_string(level),
                measure(image, t));
        }
    }
    // Truecolour: the same line art forced to RGB, and the gradient.
    for (const auto &[name, image] :
         {std::pair{"line art, RGB", line_art.get()}, std::pair{"gradient, RGB", gradient.get()}}) {
        for (PngFilter f : filters) {
            PngTuning t = base;
            t.palette = false;
            t.truecolour_filter = f;
            row(name, std::string(filter_name(f)) + ", level " + std::to_string(t.truecolour_level),
                measure(image, t));
        }
        for (PngFilter f : {PngFilter::none, PngFilter::up}) {
            for (int level : {1, 3, 4, 6, 9}) {
                PngTuning t = base;
                t.palette = false;
                t.truecolour_filter = f;
                t.truecolour_level = level;
                row(name, std::string(filter_name(f)) + ", level " + std::to_string(level),
                    measure(image, t));
            }
        }
    }
    // Noise: stored (the library's level 0) after the sampled trial,
    // and compressed without the trial.
    {
        PngTuning t = base;
        row("noise, RGB", "sampled: stored by the library's level 0", measure(noise.get(), t));
        t.detect_incompressible = false;
        for (int level : {1, base.truecolour_level}) {
            t.truecolour_level = level;
            row("noise, RGB",
                std::string("not sampled: ") + filter_name(t.truecolour_filter) + ", level " +
                    std::to_string(level),
                measure(noise.get(), t));
        }
    }
    return 0;
}
