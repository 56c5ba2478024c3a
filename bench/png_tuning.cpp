// The measurements behind the PNG encoder's choices: palette bit depth, row
// filter and compression level, on line art, a smooth gradient and noise.
// Prints Markdown tables of file size and median encoding time.
//
//   pixpen_png_tuning [--side=4096] [--runs=3]
//   pixpen_png_tuning [--side=4096] --ppm=FILE   (writes the line art as P6)

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
        } else if (arg.rfind("--ppm=", 0) == 0) {
            // The line art as P6, for running the other encoders on it.
            const auto image = png_scenes::line_art(side);
            return write_ppm(arg.c_str() + 6, image.get(), false) ? 0 : 1;
        }
    }
    const PngTuning base = pixpen::detail::default_png_tuning();
    const auto line_art = png_scenes::line_art(side);
    const auto gradient = png_scenes::gradient(side);
    const auto noise = png_scenes::noise(side);
    const PngFilter filters[] = {PngFilter::none,    PngFilter::sub,   PngFilter::up,
                                 PngFilter::average, PngFilter::paeth, PngFilter::adaptive};

    std::printf("%d x %d, %s, median of %d\n\n", side, side, pixpen::detail::png_compressor_name(),
                g_runs);
    std::printf("| image | setting | MB | ms |\n|---|---|---:|---:|\n");
    // Palette: bit depth and filter at the default level.
    for (int depth : {0, 8}) {
        for (PngFilter f : filters) {
            PngTuning t = base;
            t.palette_depth = depth;
            t.palette_filter = f;
            row("line art, palette",
                std::string(depth == 0 ? "4-bit" : "8-bit") + ", " + filter_name(f) + ", level " +
                    std::to_string(t.level),
                measure(line_art.get(), t));
        }
    }
    for (int depth : {0, 8}) {
        for (int level :
             depth == 0 ? std::vector{1, 2, 3, 4, 5, 6, 7, 8, 9, 12} : std::vector{1, 9}) {
            PngTuning t = base;
            t.palette_depth = depth;
            t.level = level;
            row("line art, palette",
                std::string(depth == 0 ? "4-bit" : "8-bit") + ", " + filter_name(t.palette_filter) +
                    ", level " + std::to_string(level),
                measure(line_art.get(), t));
        }
    }
    // Truecolour: the same line art forced to RGB, and the gradient.
    for (const auto &[name, image] :
         {std::pair{"line art, RGB", line_art.get()}, std::pair{"gradient, RGB", gradient.get()}}) {
        for (PngFilter f : filters) {
            PngTuning t = base;
            t.palette = false;
            t.truecolour_filter = f;
            row(name, std::string(filter_name(f)) + ", level " + std::to_string(t.level),
                measure(image, t));
        }
        for (int level : {1, 3, 6, 9}) {
            PngTuning t = base;
            t.palette = false;
            t.level = level;
            row(name,
                std::string(filter_name(t.truecolour_filter)) + ", level " + std::to_string(level),
                measure(image, t));
        }
    }
    // Noise: with and without the sampled compressibility check.
    for (bool detect : {true, false}) {
        for (int level : {1, 6}) {
            PngTuning t = base;
            t.detect_incompressible = detect;
            t.level = level;
            row("noise, RGB",
                std::string(detect ? "sampled, stored" : "not sampled") + ", " +
                    filter_name(t.truecolour_filter) + ", level " + std::to_string(level),
                measure(noise.get(), t));
            if (detect) {
                break; // the level is not used once the sample says noise
            }
        }
    }
    return 0;
}
