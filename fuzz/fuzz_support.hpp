#pragma once

// Shared by the fuzz targets: a private scratch folder in RAM for the files
// handed to the readers, checks that abort loudly, and the readers' messages.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "pixpen.h"

namespace fuzz {

[[noreturn]] inline void check_failed(const char *condition, const char *file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s (last error: \"%s\")\n", file, line, condition,
                 get_last_error());
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::fuzz::check_failed(#condition, __FILE__, __LINE__))

// One folder per process, under /dev/shm when it exists (so file round trips
// never touch a disk), else under TMPDIR or /tmp; removed at exit.
class Scratch {
  public:
    static Scratch &get() {
        static Scratch scratch;
        return scratch;
    }
    std::string file(std::string_view name) const { return dir_ + "/" + std::string(name); }

  private:
    Scratch() {
        std::string base = "/dev/shm";
        if (access(base.c_str(), W_OK) != 0) {
            const char *tmp = std::getenv("TMPDIR");
            base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        }
        std::string pattern = base + "/pixpen-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        dir_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string dir_;
};

inline void write_bytes(const std::string &path, const std::uint8_t *data, std::size_t size) {
    std::FILE *out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, out) == size);
    FUZZ_CHECK(std::fclose(out) == 0);
}

inline bool one_of(const char *message, std::initializer_list<const char *> allowed) {
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](const char *m) { return std::strcmp(m, message) == 0; });
}

// Every refusal read_tga may give for a file that exists and can be read.
inline bool is_tga_message(const char *message) {
    return one_of(
        message,
        {"Unable to read TGA header", "TGA id field not supported", "TGA color map not supported",
         "Unsupported image type, only uncompressed RGB is supported", "Invalid width, must be > 0",
         "Invalid height, must be > 0", "Unsupported image type, bit depth must be 24",
         "Unsupported image format, TGA image descriptor must be 0x20", "Unable to read pixel data",
         "Image dimensions too large", "Out of memory"});
}

// Every refusal read_ppm may give for a file that exists and can be read.
inline bool is_ppm_message(const char *message) {
    return one_of(message,
                  {"Improperly formatted PPM file", "Only P3 and P6 formats are supported",
                   "Unable to read width and height", "Invalid width, must be >= 0",
                   "Invalid height, must be >= 0", "Image dimensions too large",
                   "Unable to read max value", "Invalid max value, must be between 1 and 65535",
                   "Unsupported max value, P6 must be at most 255",
                   "Error while reading ASCII color value", "Unable to read pixel data",
                   "Out of memory"});
}

// Resets the message buffer to garbage so that a refusal must write a fresh,
// terminated message for the checks below to pass.
inline void poison_last_error() {
    std::memset(last_error, 'x', sizeof last_error);
}

inline bool last_error_is_terminated() {
    return std::memchr(last_error, '\0', sizeof last_error) != nullptr;
}

inline std::size_t pixel_bytes(Image image) {
    return static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
}

inline bool same_pixels(Image a, Image b) {
    return a->width == b->width && a->height == b->height &&
           (pixel_bytes(a) == 0 || std::memcmp(a->pixels, b->pixels, pixel_bytes(a)) == 0);
}

// A freshly read image carries a freshly created turtle.
inline bool has_new_turtle(Image image) {
    return image->turtle_x == image->width / 2 && image->turtle_y == image->height / 2 &&
           image->turtle_angle == 90 && image->turtle_pen_down && image->turtle_color.r == 255 &&
           image->turtle_color.g == 255 && image->turtle_color.b == 255;
}

} // namespace fuzz
