// Reads a PPM, TGA or PNG picture, swaps its red and blue channels, frames
// it, and writes it:
//
//   retouch square_spiral.ppm                -> square_spiral_retouched.tga
//   retouch line_art_inverted.tga            -> line_art_inverted_retouched.ppm
//   retouch dragon_curve.png                 -> dragon_curve_retouched.png
//   retouch in.tga out.ppm
//
// The input's format is recognised from its content. The output's follows
// its file name's extension (.ppm/.pnm, .tga or .png); without an output
// name, PPM and TGA turn into each other and PNG stays PNG.
#include <string>

#include "example_support.hpp"

namespace {

bool ends_with(const std::string &s, const std::string &suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool is_ppm(const std::string &name) {
    return ends_with(name, ".ppm") || ends_with(name, ".pnm");
}

std::string default_output(const std::string &input) {
    const std::string stem = input.substr(0, input.rfind('.')) + "_retouched";
    if (ends_with(input, ".png")) {
        return stem + ".png";
    }
    return stem + (is_ppm(input) ? ".tga" : ".ppm");
}

pixpen::Format format_of(const std::string &name) {
    if (ends_with(name, ".png")) {
        return pixpen::Format::png;
    }
    return is_ppm(name) ? pixpen::Format::p6 : pixpen::Format::tga;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s INPUT.ppm|INPUT.tga|INPUT.png [OUTPUT]\n", argv[0]);
        return 2;
    }
    const std::string input = argv[1];
    if (!is_ppm(input) && !ends_with(input, ".tga") && !ends_with(input, ".png")) {
        std::fprintf(stderr, "%s: expected a .ppm, .pnm, .tga or .png file name\n", input.c_str());
        return 2;
    }
    const std::string output = argc == 3 ? argv[2] : default_output(input);

    pixpen::Result<pixpen::Picture> loaded = pixpen::Picture::try_load(input);
    if (!loaded) {
        // The readers say why they refused a file.
        std::fprintf(stderr, "%s: %s\n", input.c_str(), loaded.error().c_str());
        return 1;
    }
    pixpen::Picture &picture = *loaded;
    picture.reverse_rgb();
    const int w = picture.width();
    const int h = picture.height();
    for (int inset = 0; inset < 4; ++inset) {
        const Color gold{230, 190, static_cast<std::uint8_t>(40 * inset)};
        picture.line(inset, inset, w - 1 - inset, inset, gold);
        picture.line(w - 1 - inset, inset, w - 1 - inset, h - 1 - inset, gold);
        picture.line(w - 1 - inset, h - 1 - inset, inset, h - 1 - inset, gold);
        picture.line(inset, h - 1 - inset, inset, inset, gold);
    }

    const pixpen::Result<void> written = picture.try_save(output, format_of(output));
    if (!written) {
        std::fprintf(stderr, "could not write %s: %s\n", output.c_str(), written.error().c_str());
        return 1;
    }
    std::printf("read %s (%d x %d), swapped red and blue, framed it, wrote %s\n", input.c_str(), w,
                h, output.c_str());
    return 0;
}
