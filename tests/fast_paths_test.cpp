// The vectorised whole-image passes, the staged TGA and P3 paths and the
// skipping line walk, each against a straightforward version of itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "raster/line_walk.hpp"
#include "reference_walk.hpp"
#include "test_support.hpp"

namespace {

using test::Bytes;

// PIXPEN_PROPERTY_SCALE multiplies the number of random cases (default 1).
int scaled(int n) {
    const char *knob = std::getenv("PIXPEN_PROPERTY_SCALE");
    const double scale = knob != nullptr ? std::atof(knob) : 1.0;
    return std::max(1, static_cast<int>(n * (scale > 0 ? scale : 1.0)));
}

// Widths around the 16-, 48- and 64-byte blocks and the 64 KiB staging block.
std::vector<std::pair<int, int>> sizes() {
    std::vector<std::pair<int, int>> out;
    for (int w = 1; w <= 70; ++w) {
        out.emplace_back(w, 1 + w % 3);
    }
    for (auto s : {std::pair{21845, 1}, {21846, 1}, {21851, 3}, {1000, 333}, {641, 479}}) {
        out.push_back(s);
    }
    return out;
}

// Moves an image's pixels `offset` bytes past a 64-byte boundary, as a
// record a caller builds around memory of its own may place them, with guard
// bytes on both sides; the image gets its own pointer back at the end.
class OffsetPixels {
  public:
    static constexpr std::uint8_t kGuard = 0xA5;

    OffsetPixels(Image image, std::size_t offset)
        : image_(image), own_(image->pixels), size_(static_cast<std::size_t>(image->width) *
                                                    static_cast<std::size_t>(image->height) * 3),
          storage_(size_ + offset + 128, kGuard) {
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
        at_ = storage_.data() + (64 - address % 64) % 64 + offset;
        std::memcpy(at_, own_, size_);
        image->pixels = reinterpret_cast<Color *>(at_);
    }
    OffsetPixels(const OffsetPixels &) = delete;
    OffsetPixels &operator=(const OffsetPixels &) = delete;
    ~OffsetPixels() { image_->pixels = own_; }

    // No byte outside the pixels was written.
    bool guards_intact() const {
        const auto untouched = [](std::uint8_t b) { return b == kGuard; };
        const std::uint8_t *const at = at_;
        return std::all_of(storage_.data(), at, untouched) &&
               std::all_of(at + size_, storage_.data() + storage_.size(), untouched);
    }

  private:
    Image image_;
    Color *own_;
    std::size_t size_;
    std::vector<std::uint8_t> storage_;
    std::uint8_t *at_;
};

// Each pass against its byte loop, with the pixels at 0, 1 and 2 bytes past
// an aligned address: the vector loops must not assume where they start.
TEST(FastWholeImage, MatchesTheByteLoopsAtAnyAlignment) {
    std::uint32_t seed = 1;
    for (std::size_t offset : {0, 1, 2}) {
        for (auto [w, h] : sizes()) {
            auto image = test::random_image(w, h, seed++);
            const OffsetPixels placed(image.get(), offset);
            Bytes expected = test::pixel_bytes(image.get());
            for (std::size_t i = 0; i + 2 < expected.size(); i += 3) {
                expected[i] ^= expected[i + 2];
                expected[i + 2] ^= expected[i];
                expected[i] ^= expected[i + 2];
            }
            do_reverse_rgb(image.get());
            ASSERT_EQ(test::pixel_bytes(image.get()), expected)
                << "reverse " << w << "x" << h << " at +" << offset;

            for (auto &b : expected) {
                b = static_cast<std::uint8_t>(255 - b);
            }
            do_invert(image.get());
            ASSERT_EQ(test::pixel_bytes(image.get()), expected)
                << "invert " << w << "x" << h << " at +" << offset;

            const Color c{static_cast<std::uint8_t>(seed), static_cast<std::uint8_t>(seed * 7),
                          static_cast<std::uint8_t>(seed * 13)};
            for (std::size_t i = 0; i < expected.size(); i += 3) {
                expected[i] = c.r;
                expected[i + 1] = c.g;
                expected[i + 2] = c.b;
            }
            do_clear(image.get(), c);
            ASSERT_EQ(test::pixel_bytes(image.get()), expected)
                << "clear " << w << "x" << h << " at +" << offset;
            ASSERT_TRUE(placed.guards_intact()) << w << "x" << h << " at +" << offset;
        }
        // Large enough for the streaming fill.
        auto big = test::random_image(2000, 1500, 3);
        const OffsetPixels placed(big.get(), offset);
        do_clear(big.get(), Color{1, 2, 3});
        const Bytes bytes = test::pixel_bytes(big.get());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            ASSERT_EQ(bytes[i], i % 3 + 1) << i << " at +" << offset;
        }
        ASSERT_TRUE(placed.guards_intact()) << "big at +" << offset;
    }
}

TEST(FastFiles, TgaAndP3WritersMatchTheStraightforwardBytes) {
    test::TempDir dir;
    std::uint32_t seed = 100;
    for (auto [w, h] : sizes()) {
        auto image = test::random_image(w, h, seed++);
        const Bytes before = test::pixel_bytes(image.get());

        Bytes tga = {0,
                     0,
                     2,
                     0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     static_cast<std::uint8_t>(w & 0xFF),
                     static_cast<std::uint8_t>(w >> 8),
                     static_cast<std::uint8_t>(h & 0xFF),
                     static_cast<std::uint8_t>(h >> 8),
                     24,
                     0x20};
        std::string p3 = "P3\n";
        p3.append(std::to_string(w)).append(" ").append(std::to_string(h)).append("\n255\n");
        for (std::size_t i = 0; i < before.size(); i += 3) {
            tga.insert(tga.end(), {before[i + 2], before[i + 1], before[i]});
            char line[16];
            std::snprintf(line, sizeof line, "%d %d %d\n", before[i], before[i + 1], before[i + 2]);
            p3 += line;
        }
        const std::string tga_path = dir.file("a.tga");
        const std::string p3_path = dir.file("a.ppm");
        ASSERT_TRUE(write_tga(tga_path.c_str(), image.get()));
        ASSERT_TRUE(write_ppm(p3_path.c_str(), image.get(), true));
        EXPECT_EQ(test::pixel_bytes(image.get()), before) << "the writer changed the image";
        ASSERT_EQ(test::read_file(tga_path), tga) << w << "x" << h;
        ASSERT_EQ(test::read_file(p3_path), test::bytes_of(p3)) << w << "x" << h;

        for (const std::string &path : {tga_path, p3_path}) {
            test::ImagePtr back(path == tga_path ? read_tga(path.c_str()) : read_ppm(path.c_str()));
            ASSERT_NE(back, nullptr) << get_last_error();
            ASSERT_EQ(test::pixel_bytes(back.get()), before) << path << " " << w << "x" << h;
        }
    }
}

TEST(FastFiles, ShortTgaDataIsRefusedAtEveryLength) {
    test::TempDir dir;
    auto image = test::random_image(30000, 3, 9);
    const std::string path = dir.file("a.tga");
    ASSERT_TRUE(write_tga(path.c_str(), image.get()));
    const Bytes whole = test::read_file(path);
    for (std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{65536},
                            whole.size() - 18 - 65518}) {
        test::write_file(path, Bytes(whole.begin(), whole.end() - static_cast<long>(cut)));
        EXPECT_EQ(read_tga(path.c_str()), nullptr) << cut;
        EXPECT_STREQ(get_last_error(), "Unable to read pixel data");
    }
}

// ---- P3 samples against the formatted-read rules --------------------------------

// One sample as a formatted int read takes it: C-locale whitespace, an
// optional sign, digits, and the value must fit an int.
std::optional<int> reference_sample(const std::string &text, std::size_t &at) {
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (at < text.size() && space(text[at])) {
        ++at;
    }
    bool minus = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        minus = text[at++] == '-';
    }
    if (at >= text.size() || text[at] < '0' || text[at] > '9') {
        return std::nullopt;
    }
    long long value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = std::min(value * 10 + (text[at++] - '0'), 1LL << 40);
    }
    value = minus ? -value : value;
    if (value < INT_MIN || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::uint8_t reference_scale(long long v, long long max) {
    long long q = v * 255 / max;
    if ((v * 255) % max != 0 && v < 0) {
        --q;
    }
    return static_cast<std::uint8_t>(q & 0xFF);
}

// Random sample text: mostly what the writer produces, with long numbers,
// signs, odd whitespace, long whitespace runs and the occasional bad byte.
std::string random_samples(std::mt19937 &rng, int count) {
    std::string text;
    const char *spaces = " \t\n\v\f\r";
    for (int i = 0; i < count; ++i) {
        const unsigned kind = rng() % 100;
        if (kind < 2) {
            text += std::string(1 + rng() % 70000, spaces[rng() % 6]);
        } else {
            text += spaces[rng() % 6];
        }
        if (kind == 2) {
            text += "+-x#"[rng() % 4];
        }
        if (kind == 3) {
            text += std::to_string(static_cast<std::int64_t>(rng()) - (1LL << 31));
        } else if (kind == 4) {
            text.append(rng() % 12, '0').append(std::to_string(rng() % 1000));
        } else if (kind < 8) {
            text.append(1, "-+"[rng() % 2]).append(std::to_string(rng() % 300));
        } else {
            text += std::to_string(rng() % 256);
        }
    }
    return text;
}

TEST(FastFiles, P3ReaderMatchesTheFormattedReadRules) {
    test::TempDir dir;
    const std::string path = dir.file("in.ppm");
    std::mt19937 rng(2024);
    const int files = scaled(60);
    for (int f = 0; f < files; ++f) {
        const int w = 1 + static_cast<int>(rng() % 3000);
        const int max = f % 3 == 0 ? 255 : 1 + static_cast<int>(rng() % 65535);
        const bool clean = f % 2 == 0; // half the files fail somewhere, half read whole
        std::string body;
        if (clean) {
            for (int i = 0; i < w * 3; ++i) {
                body.append(i % 3 == 2 ? "\n" : " ").append(std::to_string(rng() % (max + 1)));
            }
        } else {
            body = random_samples(rng, w * 3);
        }
        if (f % 5 == 1) {
            body.resize(body.size() - rng() % std::min<std::size_t>(body.size(), 40));
        }
        std::string header = "P3\n";
        header.append(std::to_string(w)).append(" 1\n").append(std::to_string(max));
        test::write_file(path, header + body);

        Bytes expected;
        std::size_t at = 0;
        bool ok = true;
        for (int i = 0; i < w * 3 && ok; ++i) {
            const auto v = reference_sample(body, at);
            ok = v.has_value();
            if (ok) {
                expected.push_back(reference_scale(*v, max));
            }
        }
        // The reader also refuses text that cannot hold the samples before
        // it parses anything; the message is the same.
        test::ImagePtr image(read_ppm(path.c_str()));
        if (ok) {
            ASSERT_NE(image, nullptr) << f << ": " << get_last_error();
            ASSERT_EQ(test::pixel_bytes(image.get()), expected) << f;
        } else {
            ASSERT_EQ(image, nullptr) << f;
            ASSERT_STREQ(get_last_error(), "Error while reading ASCII color value") << f;
        }
    }
}

// ---- the skipping line walk against the plain walk -----------------------------------

using pixpen::detail::ClipRect;
using test::Point;

// Random lines around a small rectangle placed anywhere in the int range,
// the ends chosen on every side of it so that lines enter, leave, cross
// corners, start and end outside, in all octants and both directions.
TEST(FastLineWalk, SkippingWalkEqualsThePlainWalkOnMillionsOfLines) {
    const int lines = scaled(1'000'000);
    std::mt19937_64 rng(99);
    std::vector<Point> plain;
    std::vector<Point> skipping;
    const std::int64_t origins[] = {0, -500, INT_MIN, std::int64_t{INT_MAX} - 24, 1'000'000};
    for (int i = 0; i < lines; ++i) {
        const std::int64_t origin = origins[i % 5];
        const std::int64_t w = 1 + static_cast<std::int64_t>(rng() % 24);
        const std::int64_t h = 1 + static_cast<std::int64_t>(rng() % 24);
        const ClipRect clip{origin, origin, origin + w - 1, origin + h - 1};
        const std::int64_t span = i % 3 == 0 ? 4 : 40;
        auto pick = [&](std::int64_t lo, std::int64_t hi) {
            const std::int64_t v = lo - span +
                                   static_cast<std::int64_t>(
                                       rng() % static_cast<std::uint64_t>(hi - lo + 1 + 2 * span));
            return std::clamp<std::int64_t>(v, INT_MIN, INT_MAX);
        };
        const std::int64_t x0 = pick(clip.x_min, clip.x_max), y0 = pick(clip.y_min, clip.y_max);
        const std::int64_t x1 = pick(clip.x_min, clip.x_max), y1 = pick(clip.y_min, clip.y_max);
        test::reference_walk(x0, y0, x1, y1, clip, plain);
        skipping.clear();
        if (const auto segment = pixpen::detail::clip_line(x0, y0, x1, y1, clip)) {
            pixpen::detail::for_each_point(
                *segment, [&](std::int64_t x, std::int64_t y) { skipping.emplace_back(x, y); });
        }
        ASSERT_EQ(skipping, plain)
            << "(" << x0 << ", " << y0 << ") -> (" << x1 << ", " << y1 << ") clip [" << clip.x_min
            << ", " << clip.x_max << "] x [" << clip.y_min << ", " << clip.y_max << "]";
    }
}

// The far line of the benchmark on a real image: the pixels drawn are those
// of the walk clipped to a larger rectangle, which enters the line elsewhere.
TEST(FastLineWalk, FarLineDrawsTheSamePixelsWhateverTheClip) {
    const std::int64_t l[4] = {-1'000'000'000, -999'999'993, 1'000'000'000, 1'000'000'000};
    auto image = test::make_image(1000, 1000);
    do_line(image.get(), static_cast<int>(l[0]), static_cast<int>(l[1]), static_cast<int>(l[2]),
            static_cast<int>(l[3]), WHITE);
    Bytes want(1000 * 1000 * 3, 0);
    std::size_t visible = 0;
    pixpen::detail::for_each_point(
        *pixpen::detail::clip_line(l[0], l[1], l[2], l[3], ClipRect{-57, -31, 1049, 1093}),
        [&](std::int64_t x, std::int64_t y) {
            if (x >= 0 && x < 1000 && y >= 0 && y < 1000) {
                std::fill_n(want.begin() + (y * 1000 + x) * 3, 3, 255);
                ++visible;
            }
        });
    EXPECT_GT(visible, 900u);
    EXPECT_EQ(test::pixel_bytes(image.get()), want);
}

} // namespace
