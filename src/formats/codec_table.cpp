// The codec table: one row per ImageFormat, in the order detection asks them.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/png.hpp"
#include "pixpen.h"

namespace pixpen::detail {

namespace {

// "P" and a digit: P3 and P6 are read, and every other digit gets the PPM
// reader's own refusal.
bool looks_like_ppm(std::string_view head) noexcept {
    return head.size() >= 2 && head[0] == 'P' && head[1] >= '0' && head[1] <= '9';
}

bool looks_like_png(std::string_view head) noexcept {
    constexpr std::string_view signature("\x89PNG\r\n\x1a\n", 8);
    return head.substr(0, signature.size()) == signature;
}

// TGA has no signature, but three of its header's bytes take few values in
// any file of the format: the colour map type (0 or 1), the image type
// (none, colour-mapped, true-colour or grey, raw or run-length, or the two
// old Huffman kinds) and the bits per pixel. Bytes an input lacks cannot
// rule it out: a short TGA is still told that its header is cut.
bool could_be_tga(std::string_view head) noexcept {
    if (head.empty()) {
        return false;
    }
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(head[at]); };
    constexpr std::array<std::uint8_t, 9> kImageTypes = {0, 1, 2, 3, 9, 10, 11, 32, 33};
    constexpr std::array<std::uint8_t, 5> kPixelSizes = {8, 15, 16, 24, 32};
    const auto one_of = [](const auto &values, std::uint8_t value) {
        for (const std::uint8_t v : values) {
            if (v == value) {
                return true;
            }
        }
        return false;
    };
    return (head.size() <= 1 || byte(1) <= 1) &&
           (head.size() <= 2 || one_of(kImageTypes, byte(2))) &&
           (head.size() <= 16 || byte(2) == 0 || one_of(kPixelSizes, byte(16)));
}

std::optional<Refusal> png_unavailable() noexcept {
    return *png_compressor_name() == '\0' ? std::optional(Refusal::png_not_built) : std::nullopt;
}

// Detection asks the rows in this order: TGA, having no signature, last.
constexpr std::array kCodecs = {
    Codec{.format = IMAGE_FORMAT_PPM_ASCII,
          .recognise = looks_like_ppm,
          .decode = ppm_decode,
          .encode = ppm_encode_ascii,
          .encoded_bound = ppm_ascii_encoded_bound},
    Codec{.format = IMAGE_FORMAT_PPM_BINARY,
          .recognise = looks_like_ppm,
          .decode = ppm_decode,
          .encode = ppm_encode_binary,
          .encoded_bound = ppm_binary_encoded_bound},
    Codec{.format = IMAGE_FORMAT_PNG,
          .recognise = looks_like_png,
          .decode = png_decode,
          .refuses_empty = Refusal::png_empty,
          .unavailable = png_unavailable,
          .encode = png_encode,
          .staged = true},
    Codec{.format = IMAGE_FORMAT_TGA,
          .recognise = could_be_tga,
          .decode = tga_decode,
          .max_side = kTgaMaxSide,
          .too_large = Refusal::tga_too_large,
          .encode = tga_encode,
          .encoded_bound = tga_encoded_bound},
};

} // namespace

const Codec *codec_of(ImageFormat format) noexcept {
    for (const Codec &codec : kCodecs) {
        if (codec.format == format) {
            return &codec;
        }
    }
    return nullptr;
}

const Codec *recognise_codec(std::string_view head) noexcept {
    for (const Codec &codec : kCodecs) {
        if (codec.recognise(head)) {
            return &codec;
        }
    }
    return nullptr;
}

bool check_writable(::Image image, const Codec &codec, PixpenError &error) noexcept {
    if (image == nullptr) {
        return refuse(error, Refusal::null_image);
    }
    if (!pixel_count(image->width, image->height)) {
        return refuse(error, Refusal::invalid_image);
    }
    if (image->width > codec.max_side || image->height > codec.max_side) {
        return refuse(error, codec.too_large);
    }
    if (codec.refuses_empty && (image->width == 0 || image->height == 0)) {
        return refuse(error, *codec.refuses_empty);
    }
    if (const auto refusal = codec.unavailable != nullptr ? codec.unavailable() : std::nullopt) {
        return refuse(error, *refusal);
    }
    return true;
}

} // namespace pixpen::detail
