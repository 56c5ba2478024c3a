#pragma once

// Shared by the fuzz targets: checks that abort loudly, the refusals each
// decoder may give (texts and statuses from the library's own table), and
// image comparisons. Everything stays in memory: no files are involved.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "core/messages.hpp"
#include "pixpen.h"

namespace fuzz {

using pixpen::detail::Refusal;

[[noreturn]] inline void check_failed(const char *condition, const char *file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::fuzz::check_failed(#condition, __FILE__, __LINE__))

// Every refusal decode_tga may give for bytes that are there.
constexpr std::initializer_list<Refusal> kTgaRefusals = {
    Refusal::tga_header,     Refusal::tga_id_field,   Refusal::tga_color_map,
    Refusal::tga_image_type, Refusal::tga_zero_width, Refusal::tga_zero_height,
    Refusal::tga_bit_depth,  Refusal::tga_descriptor, Refusal::pixel_data,
    Refusal::too_large,      Refusal::out_of_memory};

// Every refusal decode_ppm may give for bytes that are there.
constexpr std::initializer_list<Refusal> kPpmRefusals = {
    Refusal::ppm_magic,           Refusal::ppm_variant,         Refusal::ppm_size,
    Refusal::ppm_negative_width,  Refusal::ppm_negative_height, Refusal::ppm_max_value,
    Refusal::ppm_max_value_range, Refusal::ppm_max_value_p6,    Refusal::ppm_ascii_sample,
    Refusal::pixel_data,          Refusal::too_large,           Refusal::out_of_memory};

// Garbage in every byte, so that a call must write a whole, terminated report
// for the checks below to pass.
inline PixpenError poisoned_error() {
    PixpenError error;
    std::memset(&error, 'x', sizeof error);
    return error;
}

inline bool is_terminated(const PixpenError &error) {
    return std::memchr(error.message, '\0', sizeof error.message) != nullptr;
}

inline bool reports_success(const PixpenError &error) {
    return error.status == PIXPEN_OK && error.message[0] == '\0';
}

// The report is exactly `refusal`'s row of the table: its text and its status.
inline bool reports(const PixpenError &error, Refusal refusal) {
    const auto &row = pixpen::detail::message_of(refusal);
    return is_terminated(error) && error.status == row.status && error.message == row.text;
}

// The report is exactly one of the rows named in `allowed`.
inline bool reports_one_of(const PixpenError &error, std::initializer_list<Refusal> allowed) {
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](Refusal refusal) { return reports(error, refusal); });
}

inline bool same_report(const PixpenError &a, const PixpenError &b) {
    return a.status == b.status && std::strcmp(a.message, b.message) == 0;
}

// What decode_image picks for bytes starting like `data`: TGA, which has no
// signature, only when the colour map type, image type and bits per pixel
// that the input has are ones some TGA file could hold.
enum class Detected { ppm, png, tga, unrecognised };

inline Detected detected_format(const std::uint8_t *data, std::size_t size) {
    static constexpr std::string_view png_signature("\x89PNG\r\n\x1a\n", 8);
    if (size >= 2 && data[0] == 'P' && data[1] >= '0' && data[1] <= '9') {
        return Detected::ppm;
    }
    if (size >= png_signature.size() &&
        std::memcmp(data, png_signature.data(), png_signature.size()) == 0) {
        return Detected::png;
    }
    const auto any_of = [](std::initializer_list<int> values, int value) {
        return std::find(values.begin(), values.end(), value) != values.end();
    };
    const bool could_be_tga = size > 0 && (size < 2 || data[1] <= 1) &&
                              (size < 3 || any_of({0, 1, 2, 3, 9, 10, 11, 32, 33}, data[2])) &&
                              (size < 17 || data[2] == 0 || any_of({8, 15, 16, 24, 32}, data[16]));
    return could_be_tga ? Detected::tga : Detected::unrecognised;
}

inline std::size_t pixel_bytes(Image image) {
    return static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
}

inline bool same_pixels(Image a, Image b) {
    return a->width == b->width && a->height == b->height &&
           (pixel_bytes(a) == 0 || std::memcmp(a->pixels, b->pixels, pixel_bytes(a)) == 0);
}

// A freshly decoded image carries a freshly created turtle.
inline bool has_new_turtle(Image image) {
    return image->turtle_x == image->width / 2 && image->turtle_y == image->height / 2 &&
           image->turtle_angle == 90 && image->turtle_pen_down && image->turtle_color.r == 255 &&
           image->turtle_color.g == 255 && image->turtle_color.b == 255;
}

// decode_image on the same bytes as a decoder that gave `image` and `error`
// must give the same report and, on success, the same pixels.
inline void check_decode_image_agrees(const std::uint8_t *data, std::size_t size, Image image,
                                      const PixpenError &error) {
    PixpenError detected_error = poisoned_error();
    Image detected = decode_image(data, size, &detected_error);
    FUZZ_CHECK(same_report(detected_error, error));
    FUZZ_CHECK((detected == nullptr) == (image == nullptr));
    if (detected != nullptr) {
        FUZZ_CHECK(same_pixels(detected, image) && has_new_turtle(detected));
        destroy_image(detected);
    }
}

// Encodes `image` as `format`, which must succeed; the bytes are the caller's
// (free_buffer).
inline std::uint8_t *encode_checked(Image image, ImageFormat format, std::size_t &size) {
    std::uint8_t *bytes = nullptr;
    size = 1;
    PixpenError error = poisoned_error();
    FUZZ_CHECK(encode_image(image, format, &bytes, &size, &error));
    FUZZ_CHECK(reports_success(error));
    FUZZ_CHECK(bytes != nullptr);
    return bytes;
}

// Decodes bytes that an encoder produced from `image`: they must give it back.
template <class Decode>
void check_decodes_to(Decode decode, const std::uint8_t *bytes, std::size_t size, Image image) {
    PixpenError error = poisoned_error();
    Image back = decode(bytes, size, &error);
    FUZZ_CHECK(back != nullptr && reports_success(error));
    FUZZ_CHECK(same_pixels(image, back) && has_new_turtle(back));
    destroy_image(back);
}

} // namespace fuzz
