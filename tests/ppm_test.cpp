#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace {

using test::Bytes;

std::string two_pixels_raw() {
    return std::string("\xFF\x00\x00\x00\x00\xFF", 6);
}

TEST(WritePpm, BinaryExampleIsByteExact) {
    test::TempDir dir;
    auto image = test::make_image(2, 1);
    image->pixels[0] = Color{255, 0, 0};
    image->pixels[1] = Color{0, 0, 255};
    ASSERT_TRUE(write_ppm(dir.file("a.ppm").c_str(), image.get(), false));
    EXPECT_EQ(test::read_file(dir.file("a.ppm")),
              test::bytes_of("P6\n2 1\n255\n" + two_pixels_raw()));
    ASSERT_TRUE(write_ppm(dir.file("b.ppm").c_str(), image.get(), true));
    EXPECT_EQ(test::read_file(dir.file("b.ppm")),
              test::bytes_of("P3\n2 1\n255\n255 0 0\n0 0 255\n"));
}

// The text writer must produce exactly what one printf per pixel would.
TEST(WritePpm, AsciiMatchesPrintfForEveryValue) {
    test::TempDir dir;
    auto image = test::random_image(256, 300, 99);
    for (int v = 0; v < 256; ++v) {
        image->pixels[v] = Color{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(255 - v),
                                 static_cast<std::uint8_t>(v * 7)};
    }
    ASSERT_TRUE(write_ppm(dir.file("a.ppm").c_str(), image.get(), true));
    std::string expected = "P3\n256 300\n255\n";
    char line[32];
    for (int i = 0; i < 256 * 300; ++i) {
        const Color c = image->pixels[i];
        std::snprintf(line, sizeof line, "%d %d %d\n", c.r, c.g, c.b);
        expected += line;
    }
    EXPECT_EQ(test::read_file(dir.file("a.ppm")), test::bytes_of(expected));
}

TEST(WritePpm, RoundTripsOddSizesInBothForms) {
    test::TempDir dir;
    for (bool ascii : {false, true}) {
        for (auto [w, h] : {std::pair{1, 1}, {3, 7}, {641, 479}, {0, 0}, {0, 5}}) {
            auto image = test::random_image(w, h, static_cast<std::uint32_t>(w + h * 1000));
            const std::string path = dir.file("round.ppm");
            ASSERT_TRUE(write_ppm(path.c_str(), image.get(), ascii));
            test::ImagePtr back(read_ppm(path.c_str()));
            ASSERT_NE(back, nullptr) << get_last_error();
            EXPECT_EQ(back->width, w);
            EXPECT_EQ(back->height, h);
            EXPECT_EQ(test::pixel_bytes(back.get()), test::pixel_bytes(image.get()))
                << ascii << " " << w << "x" << h;
            EXPECT_EQ(back->turtle_angle, 90);
        }
    }
}

TEST(WritePpm, EveryFailedWriteIsReported) {
    auto image = test::random_image(100, 100, 5);
    auto tiny = test::make_image(1, 1);
    for (bool ascii : {false, true}) {
        EXPECT_FALSE(write_ppm("/dev/full", image.get(), ascii));
        EXPECT_FALSE(write_ppm("/dev/full", tiny.get(), ascii));
        EXPECT_FALSE(write_ppm("/nonexistent-directory/a.ppm", image.get(), ascii));
    }
}

// A file that reads successfully: its text and the pixels expected.
struct PpmRead {
    const char *name;
    std::string file;
    int width, height;
    std::vector<Color> pixels;
};

void PrintTo(const PpmRead &c, std::ostream *os) {
    *os << c.name;
}

class ReadPpmAccepts : public testing::TestWithParam<PpmRead> {};

TEST_P(ReadPpmAccepts, ToTheExpectedPixels) {
    const auto &c = GetParam();
    test::TempDir dir;
    test::write_file(dir.file("in.ppm"), c.file);
    PixpenError error;
    for (bool from_file : {true, false}) {
        test::ImagePtr image(from_file ? read_ppm(dir.file("in.ppm").c_str())
                                       : decode_ppm(c.file.data(), c.file.size(), &error));
        ASSERT_NE(image, nullptr) << (from_file ? get_last_error() : error.message);
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        ASSERT_EQ(static_cast<std::size_t>(image->width * image->height), c.pixels.size());
        for (std::size_t i = 0; i < c.pixels.size(); ++i) {
            EXPECT_TRUE(test::same_color(image->pixels[i], c.pixels[i]))
                << "pixel " << i << " is " << +image->pixels[i].r << " " << +image->pixels[i].g
                << " " << +image->pixels[i].b << (from_file ? "" : " from memory");
        }
    }
}

const std::vector<Color> kRedBlue{{255, 0, 0}, {0, 0, 255}};

INSTANTIATE_TEST_SUITE_P(
    Headers, ReadPpmAccepts,
    testing::Values(
        PpmRead{"written_form", "P6\n2 1\n255\n" + two_pixels_raw(), 2, 1, kRedBlue},
        PpmRead{"one_line_binary", "P6 2 1 255\n" + two_pixels_raw(), 2, 1, kRedBlue},
        PpmRead{"one_line_ascii", "P3 2 1 255\n255 0 0\n0 0 255\n", 2, 1, kRedBlue},
        PpmRead{"comments_at_both_old_places",
                "P3\n# made by hand\n2 1\n# another\n255\n1 2 3 4 5 6\n",
                2,
                1,
                {{1, 2, 3}, {4, 5, 6}}},
        PpmRead{"comments_between_every_number", "P6#a\n2#b\r1 #c\n#d\n255\n" + two_pixels_raw(), 2,
                1, kRedBlue},
        PpmRead{"comment_ended_by_carriage_return", "P6 2 1 #x\r255\n" + two_pixels_raw(), 2, 1,
                kRedBlue},
        PpmRead{"carriage_returns_as_space", "P6\r2\r1\r255\r" + two_pixels_raw(), 2, 1, kRedBlue},
        PpmRead{"tabs_and_form_feeds", "P6\t2\v1\f255\t" + two_pixels_raw(), 2, 1, kRedBlue},
        PpmRead{"data_starting_with_whitespace_byte", "P6\n1 1\n255\n\n\n\n", 1, 1, {{10, 10, 10}}},
        PpmRead{"data_starting_with_hash_byte", "P6\n1 1\n255\n###", 1, 1, {{35, 35, 35}}},
        PpmRead{"trailing_garbage_ignored", "P6\n2 1\n255\n" + two_pixels_raw() + "junk", 2, 1,
                kRedBlue},
        PpmRead{"zero_by_zero", "P6\n0 0\n255\n", 0, 0, {}},
        PpmRead{"zero_by_zero_without_separator", "P3 0 0 255", 0, 0, {}},
        PpmRead{"signed_sizes", "P3 +2 -0 255 ", 2, 0, {}},
        PpmRead{"p6_small_max_is_raw", "P6\n1 1\n15\n\x0F\x01\x02", 1, 1, {{15, 1, 2}}},
        PpmRead{"p3_samples_in_any_layout",
                "P3\n2 1\n255\n  1\n2\t3\r\n4 +5\n\n-0",
                2,
                1,
                {{1, 2, 3}, {4, 5, 0}}},
        PpmRead{"p3_scaled_from_15", "P3 1 1 15\n15 7 0\n", 1, 1, {{255, 119, 0}}},
        PpmRead{"p3_full_scale_is_255",
                "P3 2 1 7\n7 1 3 0 6 2\n",
                2,
                1,
                {{255, 36, 109}, {0, 218, 72}}},
        PpmRead{"p3_scaled_from_100", "P3 1 1 100\n50 100 0\n", 1, 1, {{127, 255, 0}}},
        PpmRead{"p3_out_of_range_samples_wrap", "P3 1 1 255\n-1 256 511\n", 1, 1, {{255, 0, 255}}},
        PpmRead{"p3_negative_samples_floor", "P3 1 1 2\n-1 -2 3\n", 1, 1, {{128, 1, 126}}},
        PpmRead{"p3_sixteen_bit", "P3 1 1 65535\n65535 32768 0\n", 1, 1, {{255, 127, 0}}},
        PpmRead{"p3_int_limits", "P3 1 1 255\n2147483647 -2147483648 0\n", 1, 1, {{255, 0, 0}}},
        PpmRead{"p3_samples_glued_by_signs",
                "P3 2 1 255\n1-2+3-4-5-6",
                2,
                1,
                {{1, 254, 3}, {252, 251, 250}}}),
    [](const auto &info) { return std::string(info.param.name); });

struct PpmRefusal {
    const char *name;
    std::string file;
    const char *message;
};

void PrintTo(const PpmRefusal &c, std::ostream *os) {
    *os << c.name;
}

class ReadPpmRefuses : public testing::TestWithParam<PpmRefusal> {};

TEST_P(ReadPpmRefuses, WithTheRightMessage) {
    test::TempDir dir;
    test::write_file(dir.file("in.ppm"), GetParam().file);
    const int descriptors = test::open_descriptor_count();
    EXPECT_EQ(read_ppm(dir.file("in.ppm").c_str()), nullptr);
    EXPECT_STREQ(get_last_error(), GetParam().message);
    EXPECT_EQ(test::open_descriptor_count(), descriptors);
    PixpenError error;
    EXPECT_EQ(decode_ppm(GetParam().file.data(), GetParam().file.size(), &error), nullptr);
    EXPECT_STREQ(error.message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadPpmRefuses,
    testing::Values(
        PpmRefusal{"empty", "", "Improperly formatted PPM file"},
        PpmRefusal{"wrong_letter", "Q6\n1 1\n255\n", "Improperly formatted PPM file"},
        PpmRefusal{"p5", "P5\n1 1\n255\n", "Only P3 and P6 formats are supported"},
        PpmRefusal{"only_p", "P", "Only P3 and P6 formats are supported"},
        PpmRefusal{"ends_after_magic", "P6", "Unable to read width and height"},
        PpmRefusal{"ends_after_width", "P6 2", "Unable to read width and height"},
        PpmRefusal{"junk_on_magic_line", "P6 junk\n2 1\n255\n", "Unable to read width and height"},
        PpmRefusal{"letters_for_width", "P3\nabc 1\n255\n", "Unable to read width and height"},
        PpmRefusal{"comment_never_ends", "P6 # 2 1 255", "Unable to read width and height"},
        PpmRefusal{"negative_width", "P6\n-2 1\n255\n", "Invalid width, must be >= 0"},
        PpmRefusal{"negative_height", "P6\n2 -1\n255\n", "Invalid height, must be >= 0"},
        PpmRefusal{"width_beyond_int", "P6\n2147483648 1\n255\n", "Image dimensions too large"},
        PpmRefusal{"height_far_beyond_int", "P6\n1 99999999999999999999999\n255\n",
                   "Image dimensions too large"},
        PpmRefusal{"product_beyond_int", "P6\n65536 32768\n255\n", "Image dimensions too large"},
        PpmRefusal{"missing_max", "P6\n2 1\n", "Unable to read max value"},
        PpmRefusal{"letters_for_max", "P6\n2 1\nmax\n", "Unable to read max value"},
        PpmRefusal{"max_glued_to_data", "P6\n1 1\n255x\x01\x02", "Unable to read max value"},
        PpmRefusal{"max_zero", "P3\n1 1\n0\n1 2 3\n",
                   "Invalid max value, must be between 1 and 65535"},
        PpmRefusal{"max_negative", "P3\n1 1\n-1\n1 2 3\n",
                   "Invalid max value, must be between 1 and 65535"},
        PpmRefusal{"max_65536", "P3\n1 1\n65536\n1 2 3\n",
                   "Invalid max value, must be between 1 and 65535"},
        PpmRefusal{"max_2_pow_31", "P6\n1 1\n2147483648\nabc",
                   "Invalid max value, must be between 1 and 65535"},
        PpmRefusal{"p6_sixteen_bit", "P6\n1 1\n65535\n123456",
                   "Unsupported max value, P6 must be at most 255"},
        PpmRefusal{"p6_max_256", "P6\n1 1\n256\n123456",
                   "Unsupported max value, P6 must be at most 255"},
        PpmRefusal{"p6_short", "P6\n2 1\n255\n\xFF\x00\x00\x00\x00", "Unable to read pixel data"},
        PpmRefusal{"p6_huge_but_short", "P6\n30000 30000\n255\n0123456789abcdef012",
                   "Unable to read pixel data"},
        PpmRefusal{"p3_short", "P3\n2 1\n255\n1 2 3 4 5", "Error while reading ASCII color value"},
        PpmRefusal{"p3_huge_but_short", "P3 30000 30000 255\n1 2 3 4 5 6 7 8 9 10 11",
                   "Error while reading ASCII color value"},
        PpmRefusal{"p3_comment_in_samples", "P3\n1 1\n255\n1 # 2 3\n",
                   "Error while reading ASCII color value"},
        PpmRefusal{"p3_comment_after_max", "P3\n1 1\n255\n#c\n1 2 3\n",
                   "Error while reading ASCII color value"},
        PpmRefusal{"p3_letter_sample", "P3\n1 1\n255\n1 x 3 4 5 6 7\n",
                   "Error while reading ASCII color value"},
        PpmRefusal{"p3_sample_beyond_int", "P3\n1 1\n255\n2147483648 1 1\n",
                   "Error while reading ASCII color value"},
        PpmRefusal{"p3_sample_below_int", "P3\n1 1\n255\n-2147483649 1 1\n",
                   "Error while reading ASCII color value"},
        PpmRefusal{"p3_lone_sign", "P3\n1 1\n255\n1 - 3 4 5 6\n",
                   "Error while reading ASCII color value"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReadPpm, FilesThatAreNotRegularFiles) {
    test::TempDir dir;
    EXPECT_EQ(read_ppm(dir.path().c_str()), nullptr); // a directory opens but cannot be read
    EXPECT_STREQ(get_last_error(), "Improperly formatted PPM file");
    EXPECT_EQ(read_ppm("/dev/null"), nullptr);
    EXPECT_STREQ(get_last_error(), "Improperly formatted PPM file");
    EXPECT_EQ(read_ppm("/nonexistent-directory/none.ppm"), nullptr);
    EXPECT_STREQ(get_last_error(), std::strerror(ENOENT));
}

} // namespace
