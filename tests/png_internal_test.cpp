// The encoder's IDAT splitting, which real pictures reach only with a stream
// over 1 GiB: with the chunk limit lowered, the chunks must carry exactly the
// stream that one chunk carries by default, each with its own length and CRC,
// and everything around them must stay as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(PIXPEN_PNG_LIBDEFLATE)
#include <libdeflate.h>
#elif defined(PIXPEN_PNG_ZLIB)
#include <zlib.h>
#endif

#include "formats/png.hpp"
#include "pixpen.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crc_of(const std::uint8_t *bytes, std::size_t size) {
#if defined(PIXPEN_PNG_LIBDEFLATE)
    return libdeflate_crc32(0, bytes, size);
#else
    return static_cast<std::uint32_t>(crc32_z(0, bytes, size));
#endif
}

std::uint32_t be32(const std::uint8_t *p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

struct Chunk {
    std::string type;
    Bytes data;
};

// The chunks after the signature; fails the test on a bad length or CRC.
std::vector<Chunk> chunks_of(const Bytes &file) {
    std::vector<Chunk> chunks;
    std::size_t at = 8;
    while (at < file.size()) {
        EXPECT_LE(at + 12, file.size());
        if (at + 12 > file.size()) {
            break;
        }
        const std::size_t length = be32(&file[at]);
        EXPECT_LE(at + 12 + length, file.size()) << "chunk " << chunks.size() << " overruns";
        if (at + 12 + length > file.size()) {
            break;
        }
        Chunk chunk{std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                file.begin() + static_cast<std::ptrdiff_t>(at + 8)),
                    Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length))};
        EXPECT_EQ(be32(&file[at + 8 + length]), crc_of(&file[at + 4], length + 4))
            << chunk.type << " chunk " << chunks.size();
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    return chunks;
}

// Seeded noise (stored blocks) or drawn lines (compressed, with a palette).
pixpen::Picture picture(bool noise) {
    pixpen::Picture image = pixpen::Picture::create(97, 61);
    std::uint32_t state = 12345;
    const auto next = [&] { return state = state * 1664525u + 1013904223u; };
    if (noise) {
        auto *bytes = reinterpret_cast<std::uint8_t *>(image->pixels);
        for (std::size_t i = 0; i < 97 * 61 * 3; ++i) {
            bytes[i] = static_cast<std::uint8_t>(next() >> 24);
        }
    } else {
        for (int i = 0; i < 40; ++i) {
            do_line(image.get(), static_cast<int>(next() % 97), static_cast<int>(next() % 61),
                    static_cast<int>(next() % 97), static_cast<int>(next() % 61),
                    Color{static_cast<std::uint8_t>(i * 60), 90, 200});
        }
    }
    return image;
}

Bytes encode(Image image, std::size_t max_idat) {
    pixpen::detail::PngTuning tuning = pixpen::detail::default_png_tuning();
    tuning.max_idat_size = max_idat;
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    PixpenError error{};
    EXPECT_TRUE(pixpen::detail::encode_png(image, tuning, &data, &size, error)) << error.message;
    Bytes bytes(data, data + size);
    std::free(data);
    return bytes;
}

struct Split {
    bool noise;
    std::size_t max_idat;
};

void PrintTo(const Split &s, std::ostream *out) {
    *out << (s.noise ? "noise" : "lines") << ", chunks of at most " << s.max_idat;
}

class IdatSplit : public testing::TestWithParam<Split> {};

TEST_P(IdatSplit, CarriesTheSameStream) {
    const Split s = GetParam();
    const auto image = picture(s.noise);
    const std::vector<Chunk> whole = chunks_of(encode(image.get(), std::size_t{1} << 30));
    const std::vector<Chunk> split = chunks_of(encode(image.get(), s.max_idat));

    Bytes stream;
    std::vector<std::string> around_whole;
    std::vector<std::string> around_split;
    std::size_t idats = 0;
    for (const Chunk &c : whole) {
        if (c.type == "IDAT") {
            stream = c.data;
            ++idats;
        } else {
            around_whole.push_back(c.type + std::string(c.data.begin(), c.data.end()));
        }
    }
    ASSERT_EQ(idats, 1u);
    ASSERT_GT(stream.size(), s.max_idat) << "nothing to split";

    Bytes joined;
    idats = 0;
    for (const Chunk &c : split) {
        if (c.type == "IDAT") {
            EXPECT_LE(c.data.size(), s.max_idat);
            EXPECT_FALSE(c.data.empty());
            joined.insert(joined.end(), c.data.begin(), c.data.end());
            ++idats;
        } else {
            EXPECT_EQ(idats == 0 || c.type == "IEND", true) << c.type << " among the IDATs";
            around_split.push_back(c.type + std::string(c.data.begin(), c.data.end()));
        }
    }
    EXPECT_EQ(idats, (stream.size() + s.max_idat - 1) / s.max_idat);
    EXPECT_EQ(joined, stream);
    EXPECT_EQ(around_split, around_whole);
}

INSTANTIATE_TEST_SUITE_P(Limits, IdatSplit,
                         testing::Values(Split{true, 1000}, Split{true, 4096}, Split{true, 7},
                                         Split{false, 100}, Split{false, 1}),
                         [](const auto &info) {
                             return std::string(info.param.noise ? "Noise" : "Lines") + "_" +
                                    std::to_string(info.param.max_idat);
                         });

} // namespace
