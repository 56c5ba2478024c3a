// Each shape against a model written from its documented rule: brute force
// over the pixel centres of a small image, on a caller-made record whose
// pixels sit between guard bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "pixpen.h"
#include "reference_walk.hpp"
#include "test_support.hpp"

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

// Rectangle: corners inclusive; the outline is the box's border.
Inside rectangle_model(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                       bool filled) {
    return [=](std::int64_t x, std::int64_t y) {
        const bool in_x = std::min(x0, x1) <= x && x <= std::max(x0, x1);
        const bool in_y = std::min(y0, y1) <= y && y <= std::max(y0, y1);
        const bool border = x == x0 || x == x1 || y == y0 || y == y1;
        return in_x && in_y && (filled || border);
    };
}

// Ellipse fill: u^2 / (rx (rx + 1)) + v^2 / (ry (ry + 1)) <= 1; a zero radius
// allows only 0 along its axis. The outline: fill pixels with a 4-neighbour
// outside, or the circle when the radii are equal.
Inside fill_ellipse_model(std::int64_t cx, std::int64_t cy, std::int64_t rx, std::int64_t ry) {
    return [=](std::int64_t x, std::int64_t y) {
        const std::int64_t a = rx * (rx + 1), b = ry * (ry + 1), u = x - cx, v = y - cy;
        if (rx < 0 || ry < 0 || std::llabs(u) > rx || std::llabs(v) > ry) {
            return false;
        }
        return a == 0 || b == 0 || u * u * b + v * v * a <= a * b;
    };
}

Inside ellipse_model(std::int64_t cx, std::int64_t cy, std::int64_t rx, std::int64_t ry) {
    if (rx == ry) {
        return circle_model(cx, cy, rx);
    }
    const Inside fill = fill_ellipse_model(cx, cy, rx, ry);
    return [fill](std::int64_t x, std::int64_t y) {
        return fill(x, y) &&
               (!fill(x - 1, y) || !fill(x + 1, y) || !fill(x, y - 1) || !fill(x, y + 1));
    };
}

// Arc: circle pixels whose angle, counter-clockwise from east with y up, lies
// within the sweep from start. Angles within a hair of a boundary are left
// to the exact rows below.
Inside arc_model(std::int64_t cx, std::int64_t cy, std::int64_t r, int start, int end,
                 std::vector<std::pair<std::int64_t, std::int64_t>> &unsure) {
    const Inside circle = circle_model(cx, cy, r);
    const double sweep =
        end - start >= 360 ? 360.0 : std::fmod(std::fmod(end - start, 360) + 360, 360);
    return [=, &unsure](std::int64_t x, std::int64_t y) {
        if (!circle(x, y)) {
            return false;
        }
        if (x == cx && y == cy) {
            return true;
        }
        const double angle = std::atan2(double(cy - y), double(x - cx)) * 180.0 / M_PI;
        const double from_start = std::fmod(std::fmod(angle - start, 360.0) + 360.0, 360.0);
        const double to_end = std::fmod(std::fmod(end - angle, 360.0) + 360.0, 360.0);
        if (std::min({from_start, 360.0 - from_start, to_end, 360.0 - to_end}) < 1e-6) {
            unsure.emplace_back(x, y);
        }
        return sweep >= 360.0 || from_start <= sweep;
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
        // A quarter have so many edges that every row is crowded with
        // crossings, which the fill sweeps differently.
        std::vector<PixpenPoint> points(rng() % 4 == 0 ? 40 + rng() % 20 : 1 + rng() % 9);
        std::string what = "polygon";
        for (auto &p : points) {
            p = {pick(rng, -8, 30), pick(rng, -8, 26)};
            // Appended piece by piece: GCC 12 flags `" " + std::string` with a
            // false -Wrestrict in optimised cross builds.
            what.append(" ").append(std::to_string(p.x)).append(",").append(std::to_string(p.y));
        }
        do_fill_polygon(image, points.data(), points.size(), kInk);
        return Drawn{what, fill_polygon_model(points)};
    });
}

TEST(Shapes, RectanglesAndEllipsesMatchTheirRules) {
    expect_models(3000, 4, [](std::mt19937 &rng, Image image) {
        const int a = pick(rng, -8, 30), b = pick(rng, -8, 26), c = pick(rng, -8, 30),
                  d = pick(rng, -3, 26);
        const bool filled = rng() % 2 == 0;
        const std::string args = std::to_string(a) + "," + std::to_string(b) + " " +
                                 std::to_string(c) + "," + std::to_string(d);
        if (rng() % 3 == 0) {
            (filled ? do_fill_rectangle : do_rectangle)(image, a, b, c, d, kInk);
            return Drawn{"rectangle " + args, rectangle_model(a, b, c, d, filled)};
        }
        const int rx = c % 13, ry = rng() % 4 == 0 ? rx : d % 11; // equal radii too
        (filled ? do_fill_ellipse : do_ellipse)(image, a, b, rx, ry, kInk);
        return Drawn{(filled ? "filled ellipse " : "ellipse ") + std::to_string(a) + "," +
                         std::to_string(b) + " " + std::to_string(rx) + "x" + std::to_string(ry),
                     filled ? fill_ellipse_model(a, b, rx, ry) : ellipse_model(a, b, rx, ry)};
    });
}

// Runs of 64 pixels and more are painted in pieces: lengths and starts
// around a piece's size, and a disc several pieces wide.
TEST(Shapes, LongRunsMatchTheirRules) {
    for (const int width : {63, 64, 65, 66, 128, 130, 200}) {
        for (const int left : {-3, 0, 1, 2}) {
            const int right = width - 1 - left % 2;
            Canvas canvas(width, 3);
            do_fill_rectangle(canvas.image(), left, 0, right, 2, kInk);
            ASSERT_EQ(canvas.differences(rectangle_model(left, 0, right, 2, true)), "")
                << left << ".." << right << " of " << width;
        }
    }
    Canvas canvas(150, 150);
    do_fill_circle(canvas.image(), 70, 80, 68, kInk);
    ASSERT_EQ(canvas.differences(fill_circle_model(70, 80, 68)), "");
}

TEST(Shapes, ArcMatchesTheAngleRule) {
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        Canvas canvas(1 + pick(rng, 0, 30), 1 + pick(rng, 0, 30));
        const int cx = pick(rng, -5, 35), cy = pick(rng, -5, 35), r = pick(rng, -1, 25);
        const int start = pick(rng, -720, 720), end = start + pick(rng, -30, 400);
        do_arc(canvas.image(), cx, cy, r, start, end, kInk);
        std::vector<std::pair<std::int64_t, std::int64_t>> unsure;
        const Inside model = arc_model(cx, cy, r, start, end, unsure);
        const Inside firm = [&](std::int64_t x, std::int64_t y) {
            const bool expected = model(x, y);
            const bool on_boundary =
                std::find(unsure.begin(), unsure.end(), std::pair{x, y}) != unsure.end();
            return on_boundary ? test::pixel_at(canvas.image(), int(x), int(y)).g == kInk.g
                               : expected;
        };
        ASSERT_EQ(canvas.differences(firm), "")
            << "arc " << cx << "," << cy << " r" << r << " " << start << ".." << end;
    }
}

// Pixels exactly on a boundary direction are drawn; a zero sweep is one ray.
TEST(Shapes, ArcBoundariesAreIncluded) {
    struct Row {
        int start, end;
        Inside model; // on the circle of radius 6 around (8, 8)
    };
    const Row rows[] = {
        {0, 90, [](std::int64_t x, std::int64_t y) { return x >= 8 && y <= 8; }},
        {90, 90, [](std::int64_t x, std::int64_t y) { return x == 8 && y <= 8; }},
        {-45, -45, [](std::int64_t x, std::int64_t y) { return x - 8 == y - 8 && x >= 8; }},
        {180, 360, [](std::int64_t, std::int64_t y) { return y >= 8; }},
        {270, 90, [](std::int64_t x, std::int64_t) { return x >= 8; }},
        {10, 370, [](std::int64_t, std::int64_t) { return true; }},
    };
    const Inside circle = circle_model(8, 8, 6);
    for (const Row &row : rows) {
        Canvas canvas(17, 17);
        do_arc(canvas.image(), 8, 8, 6, row.start, row.end, kInk);
        EXPECT_EQ(canvas.differences([&](std::int64_t x, std::int64_t y) {
            return circle(x, y) && row.model(x, y);
        }),
                  "")
            << row.start << ".." << row.end;
    }
}

// Flood fill against a breadth-first search over 4-neighbours, on images of
// two or three colours (noise makes mazes), seeded anywhere.
TEST(Shapes, FloodFillRepaintsTheFourConnectedRegion) {
    std::mt19937 rng(6);
    const Color palette[] = {{0, 0, 0}, {255, 128, 1}, {9, 9, 9}};
    for (int i = 0; i < 1500; ++i) {
        const int w = 1 + pick(rng, 0, 30), h = 1 + pick(rng, 0, 30), colours = pick(rng, 1, 3);
        Canvas canvas(w, h);
        Image image = canvas.image();
        for (int p = 0; p < w * h; ++p) {
            image->pixels[p] = palette[pick(rng, 0, colours - 1)];
        }
        const int sx = pick(rng, -2, w + 1), sy = pick(rng, -2, h + 1);
        std::vector<Color> expected(image->pixels, image->pixels + w * h);
        if (sx >= 0 && sx < w && sy >= 0 && sy < h) {
            const Color target = expected[sy * w + sx];
            std::vector<bool> seen(expected.size());
            std::vector<std::pair<int, int>> queue{{sx, sy}};
            seen[sy * w + sx] = true;
            for (std::size_t q = 0; q < queue.size(); ++q) {
                const auto [x, y] = queue[q];
                for (auto [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
                    if (nx >= 0 && nx < w && ny >= 0 && ny < h && !seen[ny * w + nx] &&
                        test::same_color(expected[ny * w + nx], target)) {
                        seen[ny * w + nx] = true;
                        queue.emplace_back(nx, ny);
                    }
                }
            }
            for (auto [x, y] : queue) {
                expected[y * w + x] = kInk;
            }
        }
        PixpenError error;
        ASSERT_TRUE(do_flood_fill(image, sx, sy, kInk, &error));
        EXPECT_EQ(error.status, PIXPEN_OK);
        // kInk.g marks both drawn and pre-existing ink; compare whole colours.
        for (int p = 0; p < w * h; ++p) {
            ASSERT_TRUE(test::same_color(image->pixels[p], expected[p]))
                << w << "x" << h << " seed " << sx << "," << sy << " pixel " << p;
        }
        ASSERT_EQ(canvas.differences([&](std::int64_t x, std::int64_t y) {
            return expected[y * w + x].g == kInk.g;
        }),
                  "");
    }
}

// Full rows between rows of one-pixel teeth: every full row pushes a seed
// for every tooth above and below, so the pending seeds outgrow any small
// fixed stack and the fill must recover the dropped ones.
TEST(Shapes, FloodFillFinishesWhenSeedsOverflow) {
    const int w = 8192, h = 521;
    auto image = test::make_image(w, h);
    for (int y = 1; y < h; y += 2) {
        for (int x = 1; x < w; x += 2) {
            image->pixels[y * w + x] = Color{1, 1, 1};
        }
    }
    PixpenError error;
    ASSERT_TRUE(do_flood_fill(image.get(), 0, 0, kInk, &error));
    for (int p = 0; p < w * h; ++p) {
        ASSERT_EQ(image->pixels[p].r, image->pixels[p].g == 1 ? 1 : kInk.r) << p;
    }
    EXPECT_FALSE(do_flood_fill(nullptr, 0, 0, kInk, &error));
    EXPECT_EQ(error.status, PIXPEN_ERROR_BAD_ARGUMENT);
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
        {"polyline through far and NaN points",
         [](Image i) {
             const double xy[] = {-1e300, -5, 1e300, -5, std::nan(""), -5};
             do_thick_polyline(i, xy, 3, 0, 1, 4, -1, 7, kInk);
         },
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
        {"huge arc", [&](Image i) { do_arc(i, 12, static_cast<int>(big) + 5, big, 0, 180, kInk); },
         circle_model(12, big + 5, big)},
        {"huge ellipse rim",
         [&](Image i) { do_ellipse(i, -static_cast<int>(big) + 10, 7, big, INT_MAX, kInk); },
         [](std::int64_t x, std::int64_t y) { return x == 10 && y >= 0; }},
        {"rectangle at the int limits",
         [](Image i) { do_rectangle(i, INT_MIN, 3, INT_MAX, INT_MAX, kInk); },
         [](std::int64_t, std::int64_t y) { return y == 3; }},
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
