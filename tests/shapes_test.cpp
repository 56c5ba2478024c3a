// Each shape against a model written from its documented rule: brute force
// over the pixel centres of a small image, on a caller-made record whose
// pixels sit between guard bytes.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "pixpen.h"
#include "reference_walk.hpp"

namespace {

using Inside = std::function<bool(std::int64_t x, std::int64_t y)>;

constexpr Color kInk{255, 128, 1};
constexpr Color kGuard{0xA5, 0x5A, 0xC3};
constexpr int kPad = 64;

// A w x h record over memory of our own, with guard pixels on both sides.
class Canvas {
  public:
    Canvas(int w, int h) : storage_(static_cast<std::size_t>(w * h + 2 * kPad), kGuard), record_{} {
        record_.pixels = storage_.data() + kPad;
        record_.width = w;
        record_.height = h;
        for (int i = 0; i < w * h; ++i) {
            record_.pixels[i] = Color{0, 0, 0};
        }
    }
    Image image() { return &record_; }

    // "" when the drawing is exactly the pixels `inside` accepts and no guard
    // changed; otherwise the first difference.
    std::string differences(const Inside &inside) const {
        for (int i = 0; i < kPad; ++i) {
            const Color a = storage_[static_cast<std::size_t>(i)];
            const Color b = storage_[storage_.size() - 1 - static_cast<std::size_t>(i)];
            if (a.r != kGuard.r || b.r != kGuard.r || a.g != kGuard.g || b.g != kGuard.g) {
                return "a guard pixel was written";
            }
        }
        for (int y = 0; y < record_.height; ++y) {
            for (int x = 0; x < record_.width; ++x) {
                const bool drawn = record_.pixels[y * record_.width + x].g == kInk.g;
                if (drawn != inside(x, y)) {
                    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") " +
                           (drawn ? "drawn" : "missing");
                }
            }
        }
        return "";
    }

  private:
    std::vector<Color> storage_;
    ImageRecord record_;
};

std::int64_t sq(std::int64_t v) {
    return v * v;
}

// The do_line pixels of an edge, as a membership test.
Inside line_pixels(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    const auto points = test::reference_walk(x0, y0, x1, y1, {-1000, -1000, 1000, 1000});
    return [points](std::int64_t x, std::int64_t y) {
        return std::find(points.begin(), points.end(), test::Point{x, y}) != points.end();
    };
}

// Thick line: distance from the pixel centre to the segment at most w / 2.
Inside thick_line_model(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                        std::int64_t w) {
    if (w <= 1) {
        return line_pixels(x0, y0, x1, y1);
    }
    return [=](std::int64_t x, std::int64_t y) {
        const std::int64_t dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
        const std::int64_t along = (x - x0) * dx + (y - y0) * dy;
        if (length2 == 0 || along < 0) {
            return 4 * (sq(x - x0) + sq(y - y0)) <= w * w;
        }
        if (along > length2) {
            return 4 * (sq(x - x1) + sq(y - y1)) <= w * w;
        }
        return 4 * sq((x - x0) * dy - (y - y0) * dx) <= w * w * length2;
    };
}

// Filled circle: u^2 + v^2 <= r^2 + r.
Inside fill_circle_model(std::int64_t cx, std::int64_t cy, std::int64_t r) {
    return [=](std::int64_t x, std::int64_t y) {
        return r >= 0 && sq(x - cx) + sq(y - cy) <= r * r + r;
    };
}

// The integer nearest to sqrt(n): floor(sqrt(n)) or one more, whichever
// (2s + 1)^2 against 4n says is closer.
std::uint64_t nearest_root(std::uint64_t n) {
    auto s = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
    while (s * s > n) {
        --s;
    }
    while ((s + 1) * (s + 1) <= n) {
        ++s;
    }
    return 4 * n < (2 * s + 1) * (2 * s + 1) ? s : s + 1;
}

// Circle: in the octant 0 <= u <= v, v is the integer nearest sqrt(r^2 - u^2).
Inside circle_model(std::int64_t cx, std::int64_t cy, std::int64_t r) {
    return [=](std::int64_t x, std::int64_t y) {
        const std::int64_t u = std::min(std::llabs(x - cx), std::llabs(y - cy));
        const std::int64_t v = std::max(std::llabs(x - cx), std::llabs(y - cy));
        return r >= 0 && u <= r &&
               static_cast<std::int64_t>(nearest_root(static_cast<std::uint64_t>(r * r - u * u))) ==
                   v;
    };
}

// Polygon fill: inside by the even-odd rule, on an edge, or on the outline.
Inside fill_polygon_model(std::vector<PixpenPoint> points) {
    std::vector<Inside> outline;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PixpenPoint a = points[i], b = points[(i + 1) % points.size()];
        outline.push_back(line_pixels(a.x, a.y, b.x, b.y));
    }
    return [points, outline](std::int64_t x, std::int64_t y) {
        bool inside = false;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const PixpenPoint a = points[i], b = points[(i + 1) % points.size()];
            const std::int64_t cross =
                (std::int64_t{b.x} - a.x) * (y - a.y) - (std::int64_t{b.y} - a.y) * (x - a.x);
            const bool between_x = std::min(a.x, b.x) <= x && x <= std::max(a.x, b.x);
            const bool between_y = std::min(a.y, b.y) <= y && y <= std::max(a.y, b.y);
            if ((cross == 0 && between_x && between_y) || outline[i](x, y)) {
                return true;
            }
            // The ray to the right crosses the edge (half-open in y).
            if ((a.y <= y) != (b.y <= y)) {
                const std::int64_t num = (y - a.y) * (std::int64_t{b.x} - a.x);
                const std::int64_t den = std::int64_t{b.y} - a.y;
                // crossing x = a.x + num / den > x
                if (den > 0 ? num > (x - a.x) * den : num < (x - a.x) * den) {
                    inside = !inside;
                }
            }
        }
        return inside;
    };
}

struct Drawn {
    std::string what;
    Inside model;
};

// Draws `count` random shapes from `make` and compares each with its model.
void expect_models(int count, std::uint32_t seed,
                   const std::function<Drawn(std::mt19937 &, Image)> &make) {
    std::mt19937 rng(seed);
    for (int i = 0; i < count; ++i) {
        Canvas canvas(1 + static_cast<int>(rng() % 23), 1 + static_cast<int>(rng() % 19));
        const Drawn drawn = make(rng, canvas.image());
        ASSERT_EQ(canvas.differences(drawn.model), "") << drawn.what;
    }
}

int pick(std::mt19937 &rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

TEST(Shapes, ThickLineMatchesTheDistanceRule) {
    expect_models(3000, 1, [](std::mt19937 &rng, Image image) {
        const int x0 = pick(rng, -15, 35), y0 = pick(rng, -15, 30), x1 = pick(rng, -15, 35),
                  y1 = pick(rng, -15, 30), w = pick(rng, -2, 14);
        do_thick_line(image, x0, y0, x1, y1, w, kInk);
        return Drawn{"thick " + std::to_string(x0) + "," + std::to_string(y0) + " " +
                         std::to_string(x1) + "," + std::to_string(y1) + " w" + std::to_string(w),
                     thick_line_model(x0, y0, x1, y1, w)};
    });
}

TEST(Shapes, CirclesMatchTheirRules) {
    expect_models(2000, 2, [](std::mt19937 &rng, Image image) {
        const int cx = pick(rng, -10, 30), cy = pick(rng, -10, 25), r = pick(rng, -2, 30);
        const bool filled = rng() % 2 == 0;
        (filled ? do_fill_circle : do_circle)(image, cx, cy, r, kInk);
        return Drawn{(filled ? "disc " : "circle ") + std::to_string(cx) + "," +
                         std::to_string(cy) + " r" + std::to_string(r),
                     filled ? fill_circle_model(cx, cy, r) : circle_model(cx, cy, r)};
    });
}

TEST(Shapes, FilledPolygonMatchesTheEvenOddRule) {
    expect_models(1500, 3, [](std::mt19937 &rng, Image image) {
        std::vector<PixpenPoint> points(1 + rng() % 9);
        std::string what = "polygon";
        for (auto &p : points) {
            p = {pick(rng, -8, 30), pick(rng, -8, 26)};
            what += " " + std::to_string(p.x) + "," + std::to_string(p.y);
        }
        do_fill_polygon(image, points.data(), points.size(), kInk);
        return Drawn{what, fill_polygon_model(points)};
    });
}

// Arguments at the ends of the int range, or shapes far larger than the
// image: only the visible part is drawn, nothing overflows.
TEST(Shapes, ExtremeArgumentsDrawTheVisiblePart) {
    const std::int64_t big = 2'000'000'000;
    struct Row {
        const char *what;
        std::function<void(Image)> draw;
        Inside model;
    };
    const std::vector<PixpenPoint> corner_triangle = {
        {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}};
    const Row rows[] = {
        {"diagonal thick line",
         [](Image i) { do_thick_line(i, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 5, kInk); },
         [](std::int64_t x, std::int64_t y) { return 2 * sq(x - y) <= 25; }},
        {"horizontal thick line",
         [](Image i) { do_thick_line(i, INT_MIN, 9, INT_MAX, 9, 7, kInk); },
         [](std::int64_t, std::int64_t y) { return y >= 6 && y <= 12; }},
        {"very wide line", [](Image i) { do_thick_line(i, -5, -5, 40, 3, 1'000'000, kInk); },
         [](std::int64_t, std::int64_t) { return true; }},
        {"widest line far away",
         [](Image i) { do_thick_line(i, INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MAX, kInk); },
         [](std::int64_t, std::int64_t) { return false; }},
        {"huge circle rim",
         [&](Image i) { do_circle(i, -static_cast<int>(big) + 10, 7, big, kInk); },
         circle_model(-big + 10, 7, big)},
        {"huge disc edge",
         [&](Image i) { do_fill_circle(i, 5, static_cast<int>(big) + 8, big, kInk); },
         fill_circle_model(5, big + 8, big)},
        {"largest disc", [](Image i) { do_fill_circle(i, INT_MIN, INT_MIN, INT_MAX, kInk); },
         [](std::int64_t, std::int64_t) { return false; }},
        {"triangle at the int limits",
         [&](Image i) { do_fill_polygon(i, corner_triangle.data(), 3, kInk); },
         [](std::int64_t x, std::int64_t y) { return y >= x; }},
    };
    for (const Row &row : rows) {
        Canvas canvas(24, 17);
        row.draw(canvas.image());
        EXPECT_EQ(canvas.differences(row.model), "") << row.what;
    }
}

TEST(Shapes, RefusedArgumentsDrawNothing) {
    Canvas canvas(8, 8);
    const PixpenPoint one{3, 3};
    do_fill_polygon(canvas.image(), nullptr, 5, kInk);
    do_fill_polygon(canvas.image(), &one, 0, kInk);
    do_fill_circle(canvas.image(), 3, 3, -1, kInk);
    do_circle(canvas.image(), 3, 3, INT_MIN, kInk);
    do_fill_polygon(nullptr, &one, 1, kInk);
    do_thick_line(nullptr, 0, 0, 5, 5, 3, kInk);
    EXPECT_EQ(canvas.differences([](std::int64_t, std::int64_t) { return false; }), "");
}

} // namespace
