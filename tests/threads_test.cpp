// The per-call functions from many threads at once: every thread decodes a
// mix of good and bad TGA and PPM buffers, each thread in its own order so
// that different refusals are being reported at the same moment, and encodes
// one shared image. A report that leaked between threads shows up as a wrong
// status or message; CI also runs this binary under ThreadSanitizer.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "core/messages.hpp"
#include "pixpen.h"
#include "test_support.hpp"

namespace {

using pixpen::detail::Refusal;
using test::Bytes;

enum class Decoder { tga, ppm, image };

struct Case {
    std::string name;
    Decoder decoder;
    Bytes bytes;
    bool null_data = false;   // pass NULL with the size of `bytes`
    Image expected = nullptr; // the pixels a good buffer decodes to
    Refusal refusal{};        // what a bad one is refused with
};

Bytes encoded(Image image, ImageFormat format) {
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    if (!encode_image(image, format, &data, &size, nullptr)) {
        ADD_FAILURE() << "encoding format " << format << " failed";
        return {};
    }
    Bytes bytes(data, data + size);
    free_buffer(data);
    return bytes;
}

Bytes tga_header(std::uint8_t color_map, std::uint8_t type, int width, int height,
                 std::uint8_t depth) {
    return {0,
            color_map,
            type,
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
            depth,
            0x20};
}

Image decode(const Case &c, PixpenError &error) {
    const void *data = c.null_data ? nullptr : c.bytes.data();
    switch (c.decoder) {
    case Decoder::tga:
        return decode_tga(data, c.bytes.size(), &error);
    case Decoder::ppm:
        return decode_ppm(data, c.bytes.size(), &error);
    case Decoder::image:
        break;
    }
    return decode_image(data, c.bytes.size(), &error);
}

// What went wrong with one decode, or "" if it gave exactly what was expected.
std::string check(const Case &c) {
    PixpenError error;
    std::memset(&error, 'x', sizeof error);
    Image image = decode(c, error);
    std::string problem;
    if (c.expected != nullptr) {
        if (image == nullptr) {
            problem = "refused: " + std::string(error.message);
        } else if (error.status != PIXPEN_OK || error.message[0] != '\0') {
            problem = "success reported as " + std::to_string(error.status);
        } else if (test::pixel_bytes(image) != test::pixel_bytes(c.expected) ||
                   image->width != c.expected->width) {
            problem = "wrong pixels";
        }
    } else {
        const auto &row = pixpen::detail::message_of(c.refusal);
        if (image != nullptr) {
            problem = "accepted";
        } else if (error.status != row.status ||
                   std::memchr(error.message, '\0', sizeof error.message) == nullptr ||
                   error.message != row.text) {
            problem = "reported " + std::to_string(error.status) + " \"" +
                      std::string(error.message, strnlen(error.message, sizeof error.message)) +
                      "\"";
        }
    }
    destroy_image(image);
    return problem.empty() ? problem : c.name + ": " + problem;
}

TEST(Threads, EachThreadGetsItsOwnReportsAndPixels) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 300;

    const test::ImagePtr picture = test::random_image(37, 23, 7);
    Image const image = picture.get();
    const Bytes tga = encoded(image, IMAGE_FORMAT_TGA);
    const Bytes p6 = encoded(image, IMAGE_FORMAT_PPM_BINARY);
    const Bytes p3 = encoded(image, IMAGE_FORMAT_PPM_ASCII);
    ASSERT_FALSE(tga.empty() || p6.empty() || p3.empty());

    Bytes short_pixels = tga;
    short_pixels.pop_back();
    Bytes color_mapped = tga_header(1, 2, 4, 4, 24);
    Bytes zero_width = tga_header(0, 2, 0, 4, 24);
    Bytes depth_32 = tga_header(0, 2, 4, 4, 32);
    Bytes run_length = tga_header(0, 10, 4, 4, 24);

    const std::vector<Case> cases = {
        {"TGA", Decoder::tga, tga, false, image},
        {"P6", Decoder::ppm, p6, false, image},
        {"P3", Decoder::ppm, p3, false, image},
        {"TGA detected", Decoder::image, tga, false, image},
        {"P3 detected", Decoder::image, p3, false, image},
        {"TGA short header", Decoder::tga, Bytes(tga.begin(), tga.begin() + 17), false, nullptr,
         Refusal::tga_header},
        {"TGA short pixels", Decoder::tga, short_pixels, false, nullptr, Refusal::pixel_data},
        {"TGA colour map", Decoder::tga, color_mapped, false, nullptr, Refusal::tga_color_map},
        {"TGA zero width", Decoder::tga, zero_width, false, nullptr, Refusal::tga_zero_width},
        {"TGA 32 bits", Decoder::tga, depth_32, false, nullptr, Refusal::tga_bit_depth},
        {"TGA RLE", Decoder::tga, run_length, false, nullptr, Refusal::tga_image_type},
        {"P5", Decoder::ppm, test::bytes_of("P5 1 1 255\n\x01"), false, nullptr,
         Refusal::ppm_variant},
        {"not PPM", Decoder::ppm, test::bytes_of("GIF89a"), false, nullptr, Refusal::ppm_magic},
        {"max value 0", Decoder::ppm, test::bytes_of("P3 1 1 0\n0 0 0\n"), false, nullptr,
         Refusal::ppm_max_value_range},
        {"P6 max value 300", Decoder::ppm, test::bytes_of("P6 1 1 300\n\x01\x02\x03"), false,
         nullptr, Refusal::ppm_max_value_p6},
        {"P3 letter", Decoder::ppm, test::bytes_of("P3 1 1 255\n1 x 3\n"), false, nullptr,
         Refusal::ppm_ascii_sample},
        {"P6 too large", Decoder::ppm, test::bytes_of("P6 65536 65536 255\n"), false, nullptr,
         Refusal::too_large},
        {"P6 detected, short", Decoder::image, Bytes(p6.begin(), p6.end() - 1), false, nullptr,
         Refusal::pixel_data},
        {"PNG detected", Decoder::image, test::bytes_of("\x89PNG\r\n\x1a\n"), false, nullptr,
         *PIXPEN_TEST_PNG_DECODER != '\0' ? Refusal::png_data_short : Refusal::png_read_not_built},
        {"NULL data", Decoder::ppm, Bytes(5), true, nullptr, Refusal::null_data},
    };
    // Each case alone first, so that a wrong row of the table is named
    // plainly rather than as a thread failure.
    for (const Case &c : cases) {
        EXPECT_EQ(check(c), "");
    }
    const std::string last_error_before = get_last_error();

    std::latch start(kThreads);
    std::vector<std::vector<std::string>> problems(kThreads);
    std::vector<int> checked(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) {
                // A different case in each thread at each step.
                for (std::size_t i = 0; i < cases.size(); ++i) {
                    const Case &c = cases[(i + static_cast<std::size_t>(t) * 3) % cases.size()];
                    std::string problem = check(c);
                    if (!problem.empty() && problems[t].size() < 5) {
                        problems[t].push_back(std::move(problem));
                    }
                    ++checked[t];
                }
                // Any number of threads may encode one image that nothing changes.
                if (encoded(image, round % 2 ? IMAGE_FORMAT_TGA : IMAGE_FORMAT_PPM_ASCII) !=
                        (round % 2 ? tga : p3) &&
                    problems[t].size() < 5) {
                    problems[t].push_back("concurrent encoding differs");
                }
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(checked[t], kRounds * static_cast<int>(cases.size()));
        for (const std::string &problem : problems[t]) {
            ADD_FAILURE() << "thread " << t << ": " << problem;
        }
    }
    // The per-call functions never write the process-wide buffer.
    EXPECT_EQ(get_last_error(), last_error_before);
}

} // namespace
