// What the PNG decoders in the interoperability tests cannot tell: which form
// the encoder chose. Decoders hand back the same pixels whether a picture was
// stored as a palette or as truecolour, and at any palette bit depth.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
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
