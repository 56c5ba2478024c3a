// The per-call family: format detection, memory against files, writers'
// statuses and reasons, arguments, the message table and the version.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "core/messages.hpp"
#include "test_support.hpp"

namespace {

using test::Bytes;

using pixpen::detail::status_of;

struct Detection {
    const char *name;
    std::string bytes;
    const char *message; // nullptr: read, as `width` x 1
    int width = 0;
};

void PrintTo(const Detection &c, std::ostream *os) {
    *os << c.name;
}

const std::string kTga2x1 = std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x18\x20", 18) + "abcdef";

class ReadImage : public testing::TestWithParam<Detection> {};

// From memory and from a file alike, and without a word in the shared buffer.
TEST_P(ReadImage, RecognisesTheFormatByItsFirstBytes) {
    const Detection &c = GetParam();
    test::TempDir dir;
    test::write_file(dir.file("in"), c.bytes);
    std::strcpy(last_error, "untouched");
    const test::GuardedBytes guarded(c.bytes);
    for (bool from_file : {false, true}) {
        PixpenError error;
        test::ImagePtr image(from_file ? read_image(dir.file("in").c_str(), &error)
                                       : decode_image(guarded.data(), c.bytes.size(), &error));
        if (c.message == nullptr) {
            ASSERT_NE(image, nullptr) << error.message;
            EXPECT_EQ(image->width, c.width);
            EXPECT_EQ(error.status, PIXPEN_OK);
            EXPECT_STREQ(error.message, "");
        } else {
            EXPECT_EQ(image, nullptr);
            EXPECT_STREQ(error.message, c.message) << (from_file ? "file" : "memory");
            EXPECT_EQ(error.status, status_of(c.message));
        }
    }
    EXPECT_STREQ(get_last_error(), "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadImage,
    testing::Values(
        Detection{"p6", "P6 2 1 255\nabcdef", nullptr, 2},
        Detection{"p3", "P3 1 1 255 1 2 3", nullptr, 1}, Detection{"tga", kTga2x1, nullptr, 2},
        Detection{"p5_is_refused_as_ppm", "P5 1 1 255\n", "Only P3 and P6 formats are supported"},
        Detection{"p1_is_refused_as_ppm", "P1\n", "Only P3 and P6 formats are supported"},
        Detection{"two_byte_p6_is_ppm", "P6", "Unable to read width and height"},
        Detection{"text_is_unrecognised", "PX" + std::string(20, ' '), "Unrecognised image format"},
        Detection{"png_is_read_as_png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR",
                  *PIXPEN_TEST_PNG_DECODER != '\0'
                      ? "PNG data ends early"
                      : "PNG reading not built in, rebuild with libspng installed"},
        Detection{"png_signature_cut_is_unrecognised", "\x89PNG\r\n", "Unrecognised image format"},
        Detection{"empty_is_unrecognised", "", "Unrecognised image format"},
        Detection{"tga_bit_depth_of_no_tga", kTga2x1.substr(0, 16) + "\x07\x20",
                  "Unrecognised image format"},
        Detection{"lone_p_is_tga", "P", "Unable to read TGA header"},
        Detection{"tga_header_cut", kTga2x1.substr(0, 10), "Unable to read TGA header"},
        Detection{"ppm_refusal_has_its_status", "P6 1 1 0\n",
                  "Invalid max value, must be between 1 and 65535"},
        Detection{"short_tga", kTga2x1.substr(0, 20), "Unable to read pixel data"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReadImage, MissingFilesAndBadArguments) {
    PixpenError error;
    EXPECT_EQ(read_image("/nonexistent-directory/a.tga", &error), nullptr);
    EXPECT_EQ(error.status, PIXPEN_ERROR_CANNOT_OPEN);
    EXPECT_STREQ(error.message, std::strerror(ENOENT));
    EXPECT_EQ(read_image(nullptr, &error), nullptr);
    EXPECT_EQ(error.status, PIXPEN_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(read_image(nullptr, nullptr), nullptr); // no report wanted: still no crash
    EXPECT_EQ(decode_tga(nullptr, 5, &error), nullptr);
    EXPECT_EQ(error.status, PIXPEN_ERROR_BAD_ARGUMENT);
    // NULL with size 0 is an empty input, refused as the file reader refuses one.
    EXPECT_EQ(decode_ppm(nullptr, 0, &error), nullptr);
    EXPECT_STREQ(error.message, "Improperly formatted PPM file");
    EXPECT_EQ(error.status, PIXPEN_ERROR_UNSUPPORTED_FORMAT);
}

const ImageFormat kFormats[] = {IMAGE_FORMAT_TGA, IMAGE_FORMAT_PPM_ASCII, IMAGE_FORMAT_PPM_BINARY,
                                IMAGE_FORMAT_PNG};

// What the specified writer of that format puts in a file, if it has one.
Bytes written_by_file_writer(Image image, ImageFormat format, const test::TempDir &dir) {
    const std::string path = dir.file("classic");
    const bool ok = format == IMAGE_FORMAT_TGA
                        ? write_tga(path.c_str(), image)
                        : write_ppm(path.c_str(), image, format == IMAGE_FORMAT_PPM_ASCII);
    EXPECT_TRUE(ok);
    return test::read_file(path);
}

// The memory encoder, write_image and the specified writers give the same
// bytes, and those bytes decode back to the image.
TEST(EncodeImage, SameBytesAsTheFileWritersAndBackAgain) {
    test::TempDir dir;
    for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {300, 1}, {1, 300}, {641, 479}}) {
        auto image = test::random_image(w, h, static_cast<std::uint32_t>(w * 7 + h));
        for (ImageFormat format : kFormats) {
            PixpenError error;
            std::uint8_t *data = nullptr;
            std::size_t size = 0;
            if (!encode_image(image.get(), format, &data, &size, &error)) {
                EXPECT_EQ(format, IMAGE_FORMAT_PNG) << error.message;
                EXPECT_EQ(error.status, PIXPEN_ERROR_UNSUPPORTED_FORMAT); // built without it
                continue;
            }
            const Bytes encoded(data, data + size);
            free_buffer(data);
            ASSERT_TRUE(write_image(dir.file("out").c_str(), image.get(), format, &error))
                << error.message;
            EXPECT_EQ(test::read_file(dir.file("out")), encoded) << w << "x" << h << " " << format;
            if (format == IMAGE_FORMAT_PNG) {
                continue; // read by the peers in the interop tests
            }
            EXPECT_EQ(written_by_file_writer(image.get(), format, dir), encoded);
            test::ImagePtr back(decode_image(encoded.data(), encoded.size(), &error));
            ASSERT_NE(back, nullptr) << error.message;
            EXPECT_EQ(test::pixel_bytes(back.get()), test::pixel_bytes(image.get()));
        }
    }
}

struct WriteFailure {
    const char *name;
    std::string path;
    int width, height;
    ImageFormat format;
    PixpenStatus status;
    std::string message;
};

void PrintTo(const WriteFailure &c, std::ostream *os) {
    *os << c.name;
}

class WriteImageFails : public testing::TestWithParam<WriteFailure> {};

TEST_P(WriteImageFails, WithTheStatusAndReason) {
    const WriteFailure &c = GetParam();
    if (c.format == IMAGE_FORMAT_PNG &&
        (c.status == PIXPEN_ERROR_IO || c.status == PIXPEN_ERROR_CANNOT_OPEN) &&
        std::string_view(PIXPEN_TEST_PNG_COMPRESSOR).empty()) {
        GTEST_SKIP() << "PNG output not built: refused before the file is opened";
    }
    test::TempDir dir;
    const std::string path = c.path.empty() ? dir.file("never") : c.path;
    auto image = test::make_image(c.width, c.height);
    std::strcpy(last_error, "untouched");
    PixpenError error;
    EXPECT_FALSE(write_image(path.c_str(), image.get(), c.format, &error));
    EXPECT_EQ(error.status, c.status);
    EXPECT_EQ(error.message, c.message);
    EXPECT_STREQ(get_last_error(), "untouched");
    if (c.path.empty()) {
        EXPECT_FALSE(std::filesystem::exists(path)) << "a refused image created the file";
    }
    if (c.status != PIXPEN_ERROR_IO && c.status != PIXPEN_ERROR_CANNOT_OPEN) {
        std::uint8_t *data = reinterpret_cast<std::uint8_t *>(&error); // must be reset
        std::size_t size = 1;
        EXPECT_FALSE(encode_image(image.get(), c.format, &data, &size, &error));
        EXPECT_EQ(error.status, c.status);
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(size, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteImageFails,
    testing::Values(WriteFailure{"full_disk_tga", "/dev/full", 64, 64, IMAGE_FORMAT_TGA,
                                 PIXPEN_ERROR_IO, std::strerror(ENOSPC)},
                    WriteFailure{"full_disk_p3", "/dev/full", 64, 64, IMAGE_FORMAT_PPM_ASCII,
                                 PIXPEN_ERROR_IO, std::strerror(ENOSPC)},
                    // Small enough that only the close can notice.
                    WriteFailure{"full_disk_p6_one_pixel", "/dev/full", 1, 1,
                                 IMAGE_FORMAT_PPM_BINARY, PIXPEN_ERROR_IO, std::strerror(ENOSPC)},
                    WriteFailure{"missing_directory", "/nonexistent-directory/a.tga", 2, 2,
                                 IMAGE_FORMAT_TGA, PIXPEN_ERROR_CANNOT_OPEN, std::strerror(ENOENT)},
                    WriteFailure{"tga_too_wide", "", 65536, 1, IMAGE_FORMAT_TGA,
                                 PIXPEN_ERROR_TOO_LARGE,
                                 "Image too large for TGA, width and height must be at most 65535"},
                    WriteFailure{"full_disk_png", "/dev/full", 64, 64, IMAGE_FORMAT_PNG,
                                 PIXPEN_ERROR_IO, std::strerror(ENOSPC)},
                    WriteFailure{"missing_directory_png", "/nonexistent-directory/a.png", 2, 2,
                                 IMAGE_FORMAT_PNG, PIXPEN_ERROR_CANNOT_OPEN, std::strerror(ENOENT)},
                    WriteFailure{"png_empty", "", 0, 5, IMAGE_FORMAT_PNG, PIXPEN_ERROR_BAD_ARGUMENT,
                                 "PNG cannot hold an empty image, width and height must be > 0"},
                    WriteFailure{"format_0", "", 2, 2, static_cast<ImageFormat>(0),
                                 PIXPEN_ERROR_BAD_ARGUMENT, "Unknown image format"},
                    WriteFailure{"format_5", "", 2, 2, static_cast<ImageFormat>(5),
                                 PIXPEN_ERROR_BAD_ARGUMENT, "Unknown image format"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WriteImage, NullArgumentsAreBadArguments) {
    test::TempDir dir;
    auto image = test::make_image(2, 2);
    PixpenError error;
    EXPECT_FALSE(write_image(dir.file("a").c_str(), nullptr, IMAGE_FORMAT_TGA, &error));
    EXPECT_STREQ(error.message, "Image is NULL");
    EXPECT_FALSE(write_image(nullptr, image.get(), IMAGE_FORMAT_TGA, &error));
    EXPECT_STREQ(error.message, "File name is NULL");
    // The output that is given reads "nothing", as on every failure.
    std::size_t size = 7;
    EXPECT_FALSE(encode_image(image.get(), IMAGE_FORMAT_TGA, nullptr, &size, nullptr));
    EXPECT_EQ(size, 0U);
    std::uint8_t stale = 0;
    std::uint8_t *data = &stale;
    EXPECT_FALSE(encode_image(image.get(), IMAGE_FORMAT_TGA, &data, nullptr, nullptr));
    EXPECT_EQ(data, nullptr);
    EXPECT_FALSE(encode_image(image.get(), IMAGE_FORMAT_TGA, nullptr, nullptr, &error));
    EXPECT_STREQ(error.message, "Output pointer is NULL");
    EXPECT_EQ(error.status, PIXPEN_ERROR_BAD_ARGUMENT);
    // A caller-built record with an impossible size is refused, not read.
    ImageRecord forged = *image;
    forged.width = -3;
    EXPECT_FALSE(write_image(dir.file("a").c_str(), &forged, IMAGE_FORMAT_PPM_BINARY, &error));
    EXPECT_EQ(error.status, PIXPEN_ERROR_BAD_ARGUMENT);
    free_buffer(nullptr);
}

// Every fixed message is distinct, fits the record, and is documented with
// its status; the per-call readers report each with exactly that status.
TEST(MessageTable, IsCompleteInTheDocs) {
    std::ifstream doc(PIXPEN_DOCS_DIR "/api.md");
    ASSERT_TRUE(doc) << PIXPEN_DOCS_DIR "/api.md";
    std::stringstream text;
    text << doc.rdbuf();
    const std::string docs = text.str();
    const char *const names[] = {"PIXPEN_OK",
                                 "PIXPEN_ERROR_CANNOT_OPEN",
                                 "PIXPEN_ERROR_UNSUPPORTED_FORMAT",
                                 "PIXPEN_ERROR_UNSUPPORTED_VARIANT",
                                 "PIXPEN_ERROR_BAD_HEADER",
                                 "PIXPEN_ERROR_TRUNCATED",
                                 "PIXPEN_ERROR_TOO_LARGE",
                                 "PIXPEN_ERROR_OUT_OF_MEMORY",
                                 "PIXPEN_ERROR_IO",
                                 "PIXPEN_ERROR_BAD_ARGUMENT"};
    std::set<std::string_view> seen;
    for (const auto &row : pixpen::detail::kMessages) {
        EXPECT_TRUE(seen.insert(row.text).second) << row.text;
        EXPECT_LE(row.text.size(), 127u);
        // The code table has one line per status, listing its messages.
        const std::string row_start = std::string("| `") + names[row.status] + "` |";
        const std::size_t at = docs.find(row_start);
        ASSERT_NE(at, std::string::npos) << "docs/api.md has no row for " << names[row.status];
        const std::string_view line(docs.data() + at, docs.find('\n', at) - at);
        // Appended, not "\"" + std::string(...): GCC 12 at -O2 warns about the
        // latter (-Wrestrict) on some targets.
        std::string quoted(1, '"');
        quoted.append(row.text).push_back('"');
        EXPECT_NE(line.find(quoted), std::string::npos)
            << "\"" << row.text << "\" is not on the line of " << names[row.status];
    }
}

TEST(Version, MatchesTheMacros) {
    EXPECT_EQ(get_version(),
              PIXPEN_VERSION_MAJOR * 10000 + PIXPEN_VERSION_MINOR * 100 + PIXPEN_VERSION_PATCH);
    EXPECT_EQ(std::string(get_version_string()), std::to_string(PIXPEN_VERSION_MAJOR) + "." +
                                                     std::to_string(PIXPEN_VERSION_MINOR) + "." +
                                                     std::to_string(PIXPEN_VERSION_PATCH));
}

} // namespace
