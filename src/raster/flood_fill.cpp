// Flood fill: the 4-connected region of pixels that have the seed's colour,
// repainted, without recursion and in bounded memory.
//
// A scanline fill: a pending seed grows into the whole run of its row, which
// is painted, and the runs touching it in the rows above and below become new
// seeds. Seeds wait on a stack of fixed capacity. When the stack is full, new
// seeds are dropped and a bitmap of the painted pixels (one bit per pixel)
// remembers the region so far; once the stack runs dry, a sweep over the
// bitmap finds the unpainted pixels of the seed's colour next to painted ones
// and seeds them again, until a sweep finds none. The memory used is thus at
// most the stack plus width * height / 8 bytes, whatever the picture.

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "core/error.hpp"
#include "core/image.hpp"
#include "pixpen.h"

namespace {

constexpr std::size_t kMaxSeeds = std::size_t{1} << 20;

bool same(Color a, Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

struct Seed {
    std::int32_t x, y;
};

class Filler {
  public:
    Filler(Image image, Color target, Color color)
        : pixels_(image->pixels), width_(image->width), height_(image->height), target_(target),
          color_(color) {}

    // Allocates the stack and the bitmap; false when memory runs out.
    bool prepare() {
        try {
            seeds_.reserve(kMaxSeeds);
            const std::size_t count = static_cast<std::size_t>(width_) * height_;
            painted_.assign((count + 63) / 64, 0);
        } catch (const std::bad_alloc &) {
            return false;
        }
        return true;
    }

    void fill(std::int32_t x, std::int32_t y) {
        push(x, y);
        for (;;) {
            while (!seeds_.empty()) {
                const Seed seed = seeds_.back();
                seeds_.pop_back();
                grow(seed);
            }
            if (!dropped_) {
                return;
            }
            dropped_ = false;
            sweep();
        }
    }

  private:
    std::size_t index(std::int64_t x, std::int64_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }
    bool fillable(std::int64_t x, std::int64_t y) const {
        return same(pixels_[index(x, y)], target_);
    }
    bool painted(std::int64_t x, std::int64_t y) const {
        const std::size_t i = index(x, y);
        return (painted_[i / 64] >> (i % 64) & 1) != 0;
    }

    void push(std::int32_t x, std::int32_t y) {
        if (seeds_.size() < kMaxSeeds) {
            seeds_.push_back({x, y}); // within the reserved capacity: cannot throw
        } else {
            dropped_ = true;
        }
    }

    void grow(Seed seed) {
        if (!fillable(seed.x, seed.y)) {
            return; // painted since it was pushed
        }
        std::int32_t left = seed.x, right = seed.x;
        while (left > 0 && fillable(left - 1, seed.y)) {
            --left;
        }
        while (right + 1 < width_ && fillable(right + 1, seed.y)) {
            ++right;
        }
        for (std::int32_t x = left; x <= right; ++x) {
            const std::size_t i = index(x, seed.y);
            pixels_[i] = color_;
            painted_[i / 64] |= std::uint64_t{1} << (i % 64);
        }
        for (const std::int32_t y : {seed.y - 1, seed.y + 1}) {
            if (y >= 0 && y < height_) {
                seed_runs(left, right, y);
            }
        }
    }

    // Pushes the start of every fillable run of row y within [left, right].
    void seed_runs(std::int32_t left, std::int32_t right, std::int32_t y) {
        bool in_run = false;
        for (std::int32_t x = left; x <= right; ++x) {
            const bool here = fillable(x, y);
            if (here && !in_run) {
                push(x, y);
            }
            in_run = here;
        }
    }

    bool next_to_painted(std::int32_t x, std::int32_t y) const {
        return (x > 0 && painted(x - 1, y)) || (x + 1 < width_ && painted(x + 1, y)) ||
               (y > 0 && painted(x, y - 1)) || (y + 1 < height_ && painted(x, y + 1));
    }

    void sweep() {
        for (std::int32_t y = 0; y < height_; ++y) {
            for (std::int32_t x = 0; x < width_; ++x) {
                if (fillable(x, y) && next_to_painted(x, y)) {
                    push(x, y);
                }
            }
        }
    }

    Color *pixels_;
    std::int32_t width_, height_;
    Color target_, color_;
    std::vector<Seed> seeds_;
    std::vector<std::uint64_t> painted_;
    bool dropped_ = false;
};

} // namespace

extern "C" {

PIXPEN_API bool do_flood_fill(Image image, int x, int y, Color color, PixpenError *error) {
    PixpenError ignored;
    PixpenError &report = error != nullptr ? *error : ignored;
    pixpen::detail::clear_error(report);
    if (image == nullptr) {
        return pixpen::detail::refuse(report, pixpen::detail::Refusal::null_image);
    }
    if (pixpen::detail::pixels_of(image) == 0) {
        if (image->width == 0 || image->height == 0) {
            return true; // no pixel, no seed
        }
        return pixpen::detail::refuse(report, pixpen::detail::Refusal::invalid_image);
    }
    if (x < 0 || x >= image->width || y < 0 || y >= image->height) {
        return true;
    }
    const Color target = image->pixels[static_cast<std::size_t>(y) * image->width + x];
    if (same(target, color)) {
        return true;
    }
    Filler filler(image, target, color);
    if (!filler.prepare()) {
        return pixpen::detail::refuse(report, pixpen::detail::Refusal::out_of_memory);
    }
    filler.fill(x, y);
    return true;
}

} // extern "C"
