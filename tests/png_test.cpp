// What the PNG decoders in the interoperability tests cannot tell: which form
// the encoder chose. Decoders hand back the same pixels whether a picture was
// stored as a palette or as truecolour, and at any palette bit depth.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.hpp"

// The compression library PNG output was built with; empty without one (a
// cross build for a target that has neither libdeflate nor zlib).
#ifndef PIXPEN_TEST_PNG_COMPRESSOR
#define PIXPEN_TEST_PNG_COMPRESSOR ""
#endif

namespace {

bool png_built() {
    return std::string(PIXPEN_TEST_PNG_COMPRESSOR) != "";
}

struct Form {
    int colours;
    int colour_type; // 3: palette, 2: truecolour
    int bit_depth;
};

void PrintTo(const Form &f, std::ostream *out) {
    *out << f.colours << " colours";
}

std::uint32_t be32(const std::uint8_t *p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

class PngForm : public testing::TestWithParam<Form> {};

// The smallest palette depth that holds the colours, up to 256 colours;
// truecolour from the 257th on. The palette lists each colour once.
TEST_P(PngForm, FollowsTheColourCount) {
    if (!png_built()) {
        GTEST_SKIP() << "PNG output not built: no libdeflate or zlib for this target";
    }
    const Form f = GetParam();
    constexpr int kWidth = 33; // odd: packed rows end in a partial byte
    constexpr int kHeight = 9;
    auto image = test::make_image(kWidth, kHeight);
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const int c = i % f.colours;
        image->pixels[i] = Color{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                 static_cast<std::uint8_t>(255 - c)};
    }
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    PixpenError error{};
    ASSERT_TRUE(encode_image(image.get(), IMAGE_FORMAT_PNG, &data, &size, &error)) << error.message;
    const std::vector<std::uint8_t> file(data, data + size);
    free_buffer(data);

    ASSERT_GT(file.size(), 33u + 12u);
    ASSERT_EQ(std::string(file.begin() + 12, file.begin() + 16), "IHDR");
    EXPECT_EQ(be32(&file[16]), static_cast<std::uint32_t>(kWidth));
    EXPECT_EQ(be32(&file[20]), static_cast<std::uint32_t>(kHeight));
    EXPECT_EQ(file[24], f.bit_depth);
    EXPECT_EQ(file[25], f.colour_type);
    EXPECT_EQ(file[28], 0) << "interlaced";
    // The chunk after IHDR: PLTE with every colour once for a palette, else
    // straight to the image data.
    const std::string next(file.begin() + 37, file.begin() + 41);
    if (f.colour_type == 3) {
        EXPECT_EQ(next, "PLTE");
        EXPECT_EQ(be32(&file[33]), static_cast<std::uint32_t>(3 * f.colours));
    } else {
        EXPECT_EQ(next, "IDAT");
    }
}

INSTANTIATE_TEST_SUITE_P(Colours, PngForm,
                         testing::Values(Form{1, 3, 1}, Form{2, 3, 1}, Form{3, 3, 2}, Form{4, 3, 2},
                                         Form{5, 3, 4}, Form{16, 3, 4}, Form{17, 3, 8},
                                         Form{256, 3, 8}, Form{257, 2, 8}),
                         [](const auto &info) { return std::to_string(info.param.colours); });

// Pictures that deflate shrinks are compressed; noise, which it cannot
// shrink, is stored, and then its rows are not filtered (filter type 0).
struct Storage {
    const char *name;
    int width;
    int height;
    Color (*paint)(int x, int y);
    bool stored;
};

void PrintTo(const Storage &s, std::ostream *out) {
    *out << s.name;
}

class PngStorage : public testing::TestWithParam<Storage> {};

TEST_P(PngStorage, CompressesWhatDeflateCanShrink) {
    if (!png_built()) {
        GTEST_SKIP() << "PNG output not built: no libdeflate or zlib for this target";
    }
    const Storage s = GetParam();
    auto image = test::make_image(s.width, s.height);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            image->pixels[static_cast<std::size_t>(y) * s.width + x] = s.paint(x, y);
        }
    }
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    PixpenError error{};
    ASSERT_TRUE(encode_image(image.get(), IMAGE_FORMAT_PNG, &data, &size, &error)) << error.message;
    const std::vector<std::uint8_t> file(data, data + size);
    free_buffer(data);
    // Chunks from byte 8: length, type, data, CRC. The first IDAT's data opens
    // with the 2-byte zlib header, then the first deflate block, whose bits 1-2
    // give its type (0: stored, then LEN and NLEN after the header byte).
    std::size_t at = 8;
    while (at + 8 <= file.size() &&
           std::string(file.begin() + at + 4, file.begin() + at + 8) != "IDAT") {
        at += 12 + be32(&file[at]);
    }
    ASSERT_LE(at + 8 + 8, file.size()) << "no IDAT";
    const std::uint8_t *block = &file[at + 8 + 2];
    const bool stored = ((block[0] >> 1) & 3) == 0;
    EXPECT_EQ(stored, s.stored);
    if (stored) {
        EXPECT_EQ(block[5], 0) << "the first row of a stored image is filtered";
    }
}

Color line_art(int x, int y) {
    const bool on = x == y || x == 3 * y / 2 || y == 40;
    return on ? Color{255, 255, 255} : Color{0, 0, 0};
}

Color noise(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(y * 7919 + x) * 2654435761U;
    h ^= h >> 15;
    h *= 2246822519U;
    h ^= h >> 13;
    return Color{static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8),
                 static_cast<std::uint8_t>(h >> 16)};
}

// Five colours in bands of 1000 rows: a one-pixel row is far too short for
// a few rows to show that the picture compresses.
Color narrow_bands(int, int y) {
    const auto c = static_cast<std::uint8_t>(y / 1000 % 5 * 60);
    return Color{c, static_cast<std::uint8_t>(255 - c), 7};
}

INSTANTIATE_TEST_SUITE_P(Pictures, PngStorage,
                         testing::Values(Storage{"line_art", 256, 256, line_art, false},
                                         Storage{"noise", 256, 256, noise, true},
                                         Storage{"narrow_five_colours", 1, 3'000'000, narrow_bands,
                                                 false}),
                         [](const auto &info) { return std::string(info.param.name); });

std::vector<std::uint8_t> encoded(Image image, ImageFormat format,
                                  const PixpenEncodeOptions *options, PixpenError &error) {
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    if (!encode_image_with_options(image, format, options, &data, &size, &error)) {
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(size, 0u);
        return {};
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    free_buffer(data);
    return bytes;
}

test::ImagePtr drawing(int side) {
    auto image = test::make_image(side, side);
    for (int i = 0; i < 200; ++i) {
        const auto c = static_cast<std::uint8_t>(60 * (i % 4) + 60);
        do_line(image.get(), (i * 97) % side, (i * 31) % side, (i * 53) % side, (i * 71) % side,
                Color{c, static_cast<std::uint8_t>(255 - c), 9});
    }
    return image;
}

// On a drawing, each level that spends more time gives a smaller file.
TEST(PngLevel, SmallerFilesForMoreTime) {
    if (!png_built()) {
        GTEST_SKIP() << "PNG output not built: no libdeflate or zlib for this target";
    }
    const auto image = drawing(512);
    std::size_t sizes[3] = {};
    for (const int level :
         {PIXPEN_PNG_LEVEL_FASTEST, PIXPEN_PNG_LEVEL_DEFAULT, PIXPEN_PNG_LEVEL_SMALLEST}) {
        const PixpenEncodeOptions options{sizeof(PixpenEncodeOptions), level};
        PixpenError error{};
        sizes[level] = encoded(image.get(), IMAGE_FORMAT_PNG, &options, error).size();
        EXPECT_EQ(error.status, PIXPEN_OK) << error.message;
    }
    EXPECT_GT(sizes[PIXPEN_PNG_LEVEL_FASTEST], sizes[PIXPEN_PNG_LEVEL_DEFAULT]);
    EXPECT_GT(sizes[PIXPEN_PNG_LEVEL_DEFAULT], sizes[PIXPEN_PNG_LEVEL_SMALLEST]);
}

// Options are read only as far as their `size` reaches; what they hold is
// checked before anything is encoded or any file opened.
struct OptionsCase {
    const char *name;
    std::uint32_t size;
    int png_level;
    ImageFormat format;
    bool refused; // else: the bytes of encode_image
};

void PrintTo(const OptionsCase &c, std::ostream *out) {
    *out << c.name;
}

class EncodeOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(EncodeOptions, AreCheckedOrTakeTheirDefaults) {
    const OptionsCase c = GetParam();
    if (c.format == IMAGE_FORMAT_PNG && !png_built()) {
        GTEST_SKIP() << "PNG output not built: no libdeflate or zlib for this target";
    }
    const auto image = drawing(64);
    const PixpenEncodeOptions options{c.size, c.png_level};
    PixpenError error{};
    const std::vector<std::uint8_t> got = encoded(image.get(), c.format, &options, error);
    test::TempDir dir;
    const std::string path = dir.file("kept");
    { std::ofstream(path) << "old"; }
    const bool written =
        write_image_with_options(path.c_str(), image.get(), c.format, &options, nullptr);
    if (c.refused) {
        EXPECT_EQ(error.status, PIXPEN_ERROR_BAD_ARGUMENT);
        EXPECT_STREQ(error.message, "Unknown PNG level, must be default, fastest or smallest");
        EXPECT_FALSE(written);
        EXPECT_EQ(std::filesystem::file_size(path), 3u) << "a refused write touched the file";
        return;
    }
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(encode_image(image.get(), c.format, &data, &size, nullptr));
    const std::vector<std::uint8_t> plain(data, data + size);
    free_buffer(data);
    EXPECT_EQ(got, plain);
    EXPECT_TRUE(written);
    EXPECT_EQ(std::filesystem::file_size(path), plain.size());
}

constexpr std::uint32_t kWhole = sizeof(PixpenEncodeOptions);

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeOptions,
    testing::Values(OptionsCase{"level_3", kWhole, 3, IMAGE_FORMAT_PNG, true},
                    OptionsCase{"level_minus_1", kWhole, -1, IMAGE_FORMAT_PNG, true},
                    OptionsCase{"level_3_for_tga", kWhole, 3, IMAGE_FORMAT_TGA, true},
                    // Older callers' structs end before the level: it is not read.
                    OptionsCase{"size_only", 4, 99, IMAGE_FORMAT_PNG, false},
                    OptionsCase{"size_0", 0, 2, IMAGE_FORMAT_PNG, false},
                    OptionsCase{"default_level", kWhole, 0, IMAGE_FORMAT_PNG, false},
                    OptionsCase{"smallest_tga", kWhole, 2, IMAGE_FORMAT_TGA, false},
                    OptionsCase{"fastest_p6", kWhole, 1, IMAGE_FORMAT_PPM_BINARY, false}),
    [](const auto &info) { return std::string(info.param.name); });

// Built without a compression library, the encoder says so and what to install.
TEST(PngNotBuilt, IsAnUnsupportedFormat) {
    if (png_built()) {
        GTEST_SKIP() << "PNG output built with " PIXPEN_TEST_PNG_COMPRESSOR;
    }
    auto image = test::make_image(2, 2);
    std::uint8_t *data = reinterpret_cast<std::uint8_t *>(&image); // must be reset
    std::size_t size = 1;
    PixpenError error{};
    EXPECT_FALSE(encode_image(image.get(), IMAGE_FORMAT_PNG, &data, &size, &error));
    EXPECT_EQ(error.status, PIXPEN_ERROR_UNSUPPORTED_FORMAT);
    EXPECT_NE(std::string(error.message).find("libdeflate"), std::string::npos) << error.message;
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    // Refused before the file is opened, so an existing one keeps its bytes.
    const test::TempDir dir;
    test::write_file(dir.file("a.png"), "precious");
    EXPECT_FALSE(write_image(dir.file("a.png").c_str(), image.get(), IMAGE_FORMAT_PNG, &error));
    EXPECT_EQ(error.status, PIXPEN_ERROR_UNSUPPORTED_FORMAT);
    EXPECT_EQ(test::read_file(dir.file("a.png")), test::bytes_of("precious"));
}

} // namespace
