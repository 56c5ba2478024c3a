#pragma once

// Every fixed message the library reports, with the one status it maps to.
// The readers, the per-call functions, the fuzz targets and the tests all
// take their texts from this table, and docs/api.md lists it.

#include <array>
#include <cstddef>
#include <string_view>

#include "pixpen.h"

namespace pixpen::detail {

enum class Refusal : unsigned char {
    // TGA reader
    tga_header,
    tga_id_field,
    tga_color_map,
    tga_image_type,
    tga_zero_width,
    tga_zero_height,
    tga_bit_depth,
    tga_descriptor,
    // PPM reader
    ppm_magic,
    ppm_variant,
    ppm_size,
    ppm_negative_width,
    ppm_negative_height,
    ppm_max_value,
    ppm_max_value_range,
    ppm_max_value_p6,
    ppm_ascii_sample,
    // both readers
    pixel_data,
    too_large,
    out_of_memory,
    // PNG reader
    png_signature,
    png_header,
    png_critical_crc,
    png_unknown_critical,
    png_chunk,
    png_chunk_limit,
    png_data_short,
    png_data_corrupt,
    png_read_not_built,
    // format detection
    unrecognised_format,
    // arguments of the per-call functions
    negative_width,
    negative_height,
    null_image,
    null_file_name,
    null_data,
    null_output,
    unknown_format,
    invalid_image,
    tga_too_large,
    png_empty,
    png_not_built,
    png_level,
};

struct Message {
    Refusal refusal;
    PixpenStatus status;
    std::string_view text;
};

inline constexpr std::array kMessages = {
    Message{Refusal::tga_header, PIXPEN_ERROR_TRUNCATED, "Unable to read TGA header"},
    Message{Refusal::tga_id_field, PIXPEN_ERROR_UNSUPPORTED_VARIANT, "TGA id field not supported"},
    Message{Refusal::tga_color_map, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "TGA color map not supported"},
    Message{Refusal::tga_image_type, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "Unsupported image type, only uncompressed RGB is supported"},
    Message{Refusal::tga_zero_width, PIXPEN_ERROR_BAD_HEADER, "Invalid width, must be > 0"},
    Message{Refusal::tga_zero_height, PIXPEN_ERROR_BAD_HEADER, "Invalid height, must be > 0"},
    Message{Refusal::tga_bit_depth, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "Unsupported image type, bit depth must be 24"},
    Message{Refusal::tga_descriptor, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "Unsupported image format, TGA image descriptor must be 0x20"},
    Message{Refusal::ppm_magic, PIXPEN_ERROR_UNSUPPORTED_FORMAT, "Improperly formatted PPM file"},
    Message{Refusal::ppm_variant, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "Only P3 and P6 formats are supported"},
    Message{Refusal::ppm_size, PIXPEN_ERROR_BAD_HEADER, "Unable to read width and height"},
    Message{Refusal::ppm_negative_width, PIXPEN_ERROR_BAD_HEADER, "Invalid width, must be >= 0"},
    Message{Refusal::ppm_negative_height, PIXPEN_ERROR_BAD_HEADER, "Invalid height, must be >= 0"},
    Message{Refusal::ppm_max_value, PIXPEN_ERROR_BAD_HEADER, "Unable to read max value"},
    Message{Refusal::ppm_max_value_range, PIXPEN_ERROR_BAD_HEADER,
            "Invalid max value, must be between 1 and 65535"},
    Message{Refusal::ppm_max_value_p6, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "Unsupported max value, P6 must be at most 255"},
    Message{Refusal::ppm_ascii_sample, PIXPEN_ERROR_TRUNCATED,
            "Error while reading ASCII color value"},
    Message{Refusal::pixel_data, PIXPEN_ERROR_TRUNCATED, "Unable to read pixel data"},
    Message{Refusal::too_large, PIXPEN_ERROR_TOO_LARGE, "Image dimensions too large"},
    Message{Refusal::out_of_memory, PIXPEN_ERROR_OUT_OF_MEMORY, "Out of memory"},
    Message{Refusal::png_signature, PIXPEN_ERROR_UNSUPPORTED_FORMAT,
            "Not a PNG file, the signature is wrong"},
    Message{Refusal::png_header, PIXPEN_ERROR_BAD_HEADER,
            "Invalid PNG header, IHDR is missing or malformed"},
    Message{Refusal::png_critical_crc, PIXPEN_ERROR_TRUNCATED, "PNG critical chunk has a bad CRC"},
    Message{Refusal::png_unknown_critical, PIXPEN_ERROR_UNSUPPORTED_VARIANT,
            "PNG has an unknown critical chunk"},
    Message{Refusal::png_chunk, PIXPEN_ERROR_BAD_HEADER, "Invalid PNG chunk structure"},
    Message{Refusal::png_chunk_limit, PIXPEN_ERROR_TOO_LARGE,
            "PNG metadata chunks exceed the memory limit"},
    Message{Refusal::png_data_short, PIXPEN_ERROR_TRUNCATED, "PNG data ends early"},
    Message{Refusal::png_data_corrupt, PIXPEN_ERROR_TRUNCATED,
            "PNG image data does not inflate to the image"},
    Message{Refusal::png_read_not_built, PIXPEN_ERROR_UNSUPPORTED_FORMAT,
            "PNG reading not built in, rebuild with libspng installed"},
    Message{Refusal::unrecognised_format, PIXPEN_ERROR_UNSUPPORTED_FORMAT,
            "Unrecognised image format"},
    Message{Refusal::negative_width, PIXPEN_ERROR_BAD_ARGUMENT, "Negative width, must be >= 0"},
    Message{Refusal::negative_height, PIXPEN_ERROR_BAD_ARGUMENT, "Negative height, must be >= 0"},
    Message{Refusal::null_image, PIXPEN_ERROR_BAD_ARGUMENT, "Image is NULL"},
    Message{Refusal::null_file_name, PIXPEN_ERROR_BAD_ARGUMENT, "File name is NULL"},
    Message{Refusal::null_data, PIXPEN_ERROR_BAD_ARGUMENT, "Data is NULL but size is not 0"},
    Message{Refusal::null_output, PIXPEN_ERROR_BAD_ARGUMENT, "Output pointer is NULL"},
    Message{Refusal::unknown_format, PIXPEN_ERROR_BAD_ARGUMENT, "Unknown image format"},
    Message{Refusal::invalid_image, PIXPEN_ERROR_BAD_ARGUMENT,
            "Image record has invalid dimensions"},
    Message{Refusal::tga_too_large, PIXPEN_ERROR_TOO_LARGE,
            "Image too large for TGA, width and height must be at most 65535"},
    Message{Refusal::png_empty, PIXPEN_ERROR_BAD_ARGUMENT,
            "PNG cannot hold an empty image, width and height must be > 0"},
    Message{Refusal::png_not_built, PIXPEN_ERROR_UNSUPPORTED_FORMAT,
            "PNG writing not built in, rebuild with libdeflate or zlib installed"},
    Message{Refusal::png_level, PIXPEN_ERROR_BAD_ARGUMENT,
            "Unknown PNG level, must be default, fastest or smallest"},
};

// The table is indexed by Refusal; a row out of place fails the build.
constexpr bool table_in_order() {
    for (std::size_t i = 0; i < kMessages.size(); ++i) {
        if (static_cast<std::size_t>(kMessages[i].refusal) != i || kMessages[i].text.size() > 127) {
            return false;
        }
    }
    return true;
}
static_assert(table_in_order());

// Each text names one status: no two rows share one.
constexpr bool texts_unique() {
    for (std::size_t i = 0; i < kMessages.size(); ++i) {
        for (std::size_t j = i + 1; j < kMessages.size(); ++j) {
            if (kMessages[i].text == kMessages[j].text) {
                return false;
            }
        }
    }
    return true;
}
static_assert(texts_unique());

constexpr const Message &message_of(Refusal refusal) {
    return kMessages[static_cast<std::size_t>(refusal)];
}

// The status of a fixed message; the system's texts, the only others, come
// from a failed open here.
constexpr PixpenStatus status_of(std::string_view text) {
    for (const Message &m : kMessages) {
        if (m.text == text) {
            return m.status;
        }
    }
    return PIXPEN_ERROR_CANNOT_OPEN;
}

} // namespace pixpen::detail
