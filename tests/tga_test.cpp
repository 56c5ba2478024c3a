#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "test_support.hpp"

namespace {

using test::Bytes;

Bytes tga_header(int width, int height, std::uint8_t bpp = 24, std::uint8_t descriptor = 0x20) {
    return Bytes{0,
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
                 static_cast<std::uint8_t>(width & 0xFF),
                 static_cast<std::uint8_t>(width >> 8),
                 static_cast<std::uint8_t>(height & 0xFF),
                 static_cast<std::uint8_t>(height >> 8),
                 bpp,
                 descriptor};
}

Bytes with_pixels(Bytes bytes, std::size_t pixel_bytes) {
    for (std::size_t i = 0; i < pixel_bytes; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i * 7));
    }
    return bytes;
}

TEST(WriteTga, TwoPixelExampleIsByteExact) {
    test::TempDir dir;
    auto image = test::make_image(2, 1);
    image->pixels[0] = Color{255, 0, 0};
    image->pixels[1] = Color{0, 0, 255};
    ASSERT_TRUE(write_tga(dir.file("a.tga").c_str(), image.get()));
    EXPECT_EQ(test::read_file(dir.file("a.tga")),
              (Bytes{0, 0, 2, 0, 0,    0,    0, 0, 0,    0,    0, 0,
                     2, 0, 1, 0, 0x18, 0x20, 0, 0, 0xFF, 0xFF, 0, 0}));
    EXPECT_TRUE(test::same_color(image->pixels[0], Color{255, 0, 0}));
    EXPECT_TRUE(test::same_color(image->pixels[1], Color{0, 0, 255}));
}

TEST(WriteTga, HeaderOf640x480) {
    test::TempDir dir;
    auto image = test::make_image(640, 480);
    ASSERT_TRUE(write_tga(dir.file("a.tga").c_str(), image.get()));
    const Bytes file = test::read_file(dir.file("a.tga"));
    ASSERT_EQ(file.size(), 18u + 640u * 480u * 3u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18),
              (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x02, 0xE0, 0x01, 0x18, 0x20}));
}

TEST(WriteTga, RoundTripsOddSizesAndLeavesTheCallersImageAlone) {
    test::TempDir dir;
    for (auto [w, h] : {std::pair{1, 1}, {3, 7}, {641, 479}, {65535, 1}}) {
        auto image = test::random_image(w, h, static_cast<std::uint32_t>(w * 31 + h));
        const Bytes original = test::pixel_bytes(image.get());
        const std::string path = dir.file("round.tga");
        ASSERT_TRUE(write_tga(path.c_str(), image.get()));
        EXPECT_EQ(test::pixel_bytes(image.get()), original);
        test::ImagePtr back(read_tga(path.c_str()));
        ASSERT_NE(back, nullptr) << get_last_error();
        EXPECT_EQ(back->width, w);
        EXPECT_EQ(back->height, h);
        EXPECT_EQ(test::pixel_bytes(back.get()), original);
        EXPECT_EQ(back->turtle_x, w / 2);
        EXPECT_EQ(back->turtle_y, h / 2);
        EXPECT_EQ(back->turtle_angle, 90);
        EXPECT_TRUE(back->turtle_pen_down);
        EXPECT_TRUE(test::same_color(back->turtle_color, WHITE));
    }
}

TEST(WriteTga, EmptyImagesGiveAHeaderThatIsRefusedOnReading) {
    test::TempDir dir;
    for (auto [w, h, message] : {std::tuple{0, 0, "Invalid width, must be > 0"},
                                 std::tuple{5, 0, "Invalid height, must be > 0"}}) {
        auto image = test::make_image(w, h);
        ASSERT_TRUE(write_tga(dir.file("e.tga").c_str(), image.get()));
        EXPECT_EQ(test::read_file(dir.file("e.tga")), tga_header(w, h));
        EXPECT_EQ(read_tga(dir.file("e.tga").c_str()), nullptr);
        EXPECT_STREQ(get_last_error(), message);
    }
}

TEST(WriteTga, TooWideImagesAreRefusedWithoutTouchingTheFile) {
    test::TempDir dir;
    const std::string existing = dir.file("keep.tga");
    test::write_file(existing, "precious");
    for (auto [w, h] : {std::pair{65536, 1}, {1, 65536}}) {
        auto image = test::make_image(w, h);
        ASSERT_NE(image, nullptr);
        EXPECT_FALSE(write_tga(existing.c_str(), image.get()));
        EXPECT_EQ(test::read_file(existing), test::bytes_of("precious"));
        EXPECT_FALSE(write_tga(dir.file("new.tga").c_str(), image.get()));
        EXPECT_FALSE(std::filesystem::exists(dir.file("new.tga")));
    }
}

TEST(WriteTga, FailedWritesReturnFalseAndLeaveTheImageAlone) {
    auto image = test::random_image(64, 64, 3);
    const Bytes original = test::pixel_bytes(image.get());
    EXPECT_FALSE(write_tga("/dev/full", image.get()));
    EXPECT_EQ(test::pixel_bytes(image.get()), original);
    EXPECT_FALSE(write_tga("/nonexistent-directory/a.tga", image.get()));
    auto tiny = test::make_image(1, 1);
    EXPECT_FALSE(write_tga("/dev/full", tiny.get())); // only the close can notice
}

// The writer converts pixel order on the way out, so the image may even sit
// in read-only memory: any store into it would fault.
TEST(WriteTga, OnlyReadsTheImage) {
    test::TempDir dir;
    auto image = test::random_image(61, 37, 21);
    const std::size_t bytes = 61 * 37 * 3;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t length = (bytes + page - 1) / page * page;
    void *read_only =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(read_only, MAP_FAILED);
    std::memcpy(read_only, image->pixels, bytes);
    ASSERT_EQ(mprotect(read_only, length, PROT_READ), 0);
    Color *const own = image->pixels;
    image->pixels = static_cast<Color *>(read_only);
    const bool written = write_tga(dir.file("ro.tga").c_str(), image.get());
    image->pixels = own;
    munmap(read_only, length);
    ASSERT_TRUE(written);
    test::ImagePtr back(read_tga(dir.file("ro.tga").c_str()));
    ASSERT_NE(back, nullptr) << get_last_error();
    EXPECT_EQ(test::pixel_bytes(back.get()), test::pixel_bytes(image.get()));
}

struct TgaRefusal {
    const char *name;
    Bytes bytes;
    const char *message;
};

void PrintTo(const TgaRefusal &c, std::ostream *os) {
    *os << c.name;
}

Bytes patched(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

class ReadTgaRefuses : public testing::TestWithParam<TgaRefusal> {};

TEST_P(ReadTgaRefuses, WithTheRightMessage) {
    test::TempDir dir;
    const std::string path = dir.file("in.tga");
    test::write_file(path, GetParam().bytes);
    const int descriptors = test::open_descriptor_count();
    EXPECT_EQ(read_tga(path.c_str()), nullptr);
    EXPECT_STREQ(get_last_error(), GetParam().message);
    EXPECT_EQ(test::open_descriptor_count(), descriptors);
    PixpenError error;
    EXPECT_EQ(decode_tga(GetParam().bytes.data(), GetParam().bytes.size(), &error), nullptr);
    EXPECT_STREQ(error.message, GetParam().message);
}

const Bytes kValid2x1 = with_pixels(tga_header(2, 1), 6);

INSTANTIATE_TEST_SUITE_P(
    Headers, ReadTgaRefuses,
    testing::Values(
        TgaRefusal{"empty", {}, "Unable to read TGA header"},
        TgaRefusal{"short_header", Bytes(kValid2x1.begin(), kValid2x1.begin() + 17),
                   "Unable to read TGA header"},
        TgaRefusal{"id_field", patched(kValid2x1, 0, 1), "TGA id field not supported"},
        TgaRefusal{"id_field_and_color_map", patched(patched(kValid2x1, 0, 3), 1, 1),
                   "TGA id field not supported"},
        TgaRefusal{"color_map", patched(kValid2x1, 1, 1), "TGA color map not supported"},
        TgaRefusal{"run_length_encoded", patched(kValid2x1, 2, 10),
                   "Unsupported image type, only uncompressed RGB is supported"},
        TgaRefusal{"grey", patched(kValid2x1, 2, 3),
                   "Unsupported image type, only uncompressed RGB is supported"},
        // Each byte of the colour map's offset and length on its own.
        TgaRefusal{"cmap_offset_low", patched(kValid2x1, 3, 1), "TGA color map not supported"},
        TgaRefusal{"cmap_offset_high", patched(kValid2x1, 4, 1), "TGA color map not supported"},
        TgaRefusal{"cmap_entries_low", patched(kValid2x1, 5, 1), "TGA color map not supported"},
        TgaRefusal{"cmap_entries_high", patched(kValid2x1, 6, 1), "TGA color map not supported"},
        TgaRefusal{"zero_width", with_pixels(tga_header(0, 1), 6), "Invalid width, must be > 0"},
        TgaRefusal{"zero_height", with_pixels(tga_header(1, 0), 6), "Invalid height, must be > 0"},
        TgaRefusal{"bpp_32", patched(kValid2x1, 16, 32),
                   "Unsupported image type, bit depth must be 24"},
        TgaRefusal{"bpp_16", patched(kValid2x1, 16, 16),
                   "Unsupported image type, bit depth must be 24"},
        TgaRefusal{"bottom_left", patched(kValid2x1, 17, 0x00),
                   "Unsupported image format, TGA image descriptor must be 0x20"},
        TgaRefusal{"attribute_bits", patched(kValid2x1, 17, 0x28),
                   "Unsupported image format, TGA image descriptor must be 0x20"},
        TgaRefusal{"bpp_32_before_attribute_bits", patched(patched(kValid2x1, 16, 32), 17, 0x28),
                   "Unsupported image type, bit depth must be 24"},
        TgaRefusal{"short_pixels", with_pixels(tga_header(2, 1), 5), "Unable to read pixel data"},
        TgaRefusal{"header_only", tga_header(3, 3), "Unable to read pixel data"},
        TgaRefusal{"too_large", with_pixels(tga_header(65535, 65535), 40),
                   "Image dimensions too large"},
        TgaRefusal{"huge_but_short", with_pixels(tga_header(30000, 30000), 22),
                   "Unable to read pixel data"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReadTga, AcceptsAnyOriginAndColourMapDepthAndIgnoresTrailingBytes) {
    test::TempDir dir;
    Bytes bytes = patched(patched(patched(kValid2x1, 7, 24), 8, 5), 11, 9);
    bytes.push_back(0xAB); // trailing garbage
    test::write_file(dir.file("a.tga"), bytes);
    test::ImagePtr image(read_tga(dir.file("a.tga").c_str()));
    ASSERT_NE(image, nullptr) << get_last_error();
    // File order is blue, green, red.
    EXPECT_TRUE(test::same_color(image->pixels[0], Color{14, 7, 0}));
    EXPECT_TRUE(test::same_color(image->pixels[1], Color{35, 28, 21}));
}

TEST(ReadTga, MissingFileGivesTheSystemsWording) {
    EXPECT_EQ(read_tga("/nonexistent-directory/none.tga"), nullptr);
    EXPECT_STREQ(get_last_error(), std::strerror(ENOENT));
}

} // namespace
