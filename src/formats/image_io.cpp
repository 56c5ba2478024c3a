// The per-call family: reading with format detection, decoding from memory,
// writing and encoding in any format, each reporting to its caller's own
// PixpenError and never to the process-wide buffer.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"
#include "formats/png.hpp"
#include "pixpen.h"

namespace {

using pixpen::detail::ByteReader;
using pixpen::detail::ByteWriter;
using pixpen::detail::File;
using pixpen::detail::Refusal;
using pixpen::detail::refuse;

// Callers may pass NULL for the report: failures then go into a local one.
class Report {
  public:
    explicit Report(PixpenError *error) noexcept : error_(error != nullptr ? *error : local_) {
        pixpen::detail::clear_error(error_);
    }
    PixpenError &operator*() noexcept { return error_; }

  private:
    PixpenError local_{};
    PixpenError &error_;
};

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

// Picks the decoder by the first bytes: P3 and P6 by their magic, and any
// other "P<digit>" too, which the PPM reader refuses by its own rule; PNG by
// its signature; everything else is taken for TGA, whose header has no magic
// of its own.
Image detect_and_decode(ByteReader &in, PixpenError &error) {
    in.fill();
    const std::string_view head(reinterpret_cast<const char *>(in.window()), in.window_size());
    if (head.size() >= 2 && head[0] == 'P' && head[1] >= '0' && head[1] <= '9') {
        return pixpen::detail::ppm_decode(in, error);
    }
    if (head.substr(0, kPngSignature.size()) == kPngSignature) {
        return pixpen::detail::png_decode(in, error);
    }
    return pixpen::detail::tga_decode(in, error);
}

template <class Decode>
Image decode_memory(const void *data, std::size_t size, PixpenError *error, Decode decode) {
    Report report(error);
    if (data == nullptr && size != 0) {
        refuse(*report, Refusal::null_data);
        return nullptr;
    }
    ByteReader in(data, size);
    return decode(in, *report);
}

// Whether `image` can be written as `format`; the reason in `error` if not.
bool check_writable(Image image, ImageFormat format, PixpenError &error) {
    if (image == nullptr) {
        return refuse(error, Refusal::null_image);
    }
    if (format < IMAGE_FORMAT_TGA || format > IMAGE_FORMAT_PNG) {
        return refuse(error, Refusal::unknown_format);
    }
    if (!pixpen::detail::pixel_count(image->width, image->height)) {
        return refuse(error, Refusal::invalid_image);
    }
    if (format == IMAGE_FORMAT_TGA && (image->width > pixpen::detail::kTgaMaxSide ||
                                       image->height > pixpen::detail::kTgaMaxSide)) {
        return refuse(error, Refusal::tga_too_large);
    }
    if (format == IMAGE_FORMAT_PNG && (image->width == 0 || image->height == 0)) {
        return refuse(error, Refusal::png_empty);
    }
    if (format == IMAGE_FORMAT_PNG && *pixpen::detail::png_compressor_name() == '\0') {
        return refuse(error, Refusal::png_not_built);
    }
    return true;
}

// TGA and PPM go through a sink, which the caller made for a file or memory.
bool encode_to(Image image, ImageFormat format, ByteWriter &out) {
    return format == IMAGE_FORMAT_TGA
               ? pixpen::detail::tga_encode(image, out)
               : pixpen::detail::ppm_encode(image, format == IMAGE_FORMAT_PPM_ASCII, out);
}

// Bytes to reserve, in 64 bits; the sink refuses what memory cannot hold.
std::uint64_t memory_needed(Image image, ImageFormat format) {
    if (format == IMAGE_FORMAT_TGA) {
        return 18 + std::uint64_t{pixpen::detail::pixels_of(image)} * sizeof(Color);
    }
    return pixpen::detail::ppm_encoded_bound(image, format == IMAGE_FORMAT_PPM_ASCII);
}

bool encode_to_memory(Image image, ImageFormat format, std::uint8_t **data, std::size_t *size,
                      PixpenError &error) {
    if (format == IMAGE_FORMAT_PNG) {
        return pixpen::detail::encode_png(image, data, size, error);
    }
    ByteWriter out(memory_needed(image, format));
    if (!out.ready() || !encode_to(image, format, out)) {
        return refuse(error, Refusal::out_of_memory);
    }
    *data = out.release(*size);
    return true;
}

bool write_failed(File &file, PixpenError &error) {
    const int reason = file.write_error();
    return pixpen::detail::set_system_error(error, PIXPEN_ERROR_IO, reason != 0 ? reason : EIO);
}

bool write_to_file(File &file, Image image, ImageFormat format, PixpenError &error) {
    if (format == IMAGE_FORMAT_PNG) {
        std::uint8_t *bytes = nullptr;
        std::size_t size = 0;
        if (!pixpen::detail::encode_png(image, &bytes, &size, error)) {
            return false;
        }
        const bool written = file.write(bytes, size);
        std::free(bytes);
        return written && file.close() ? true : write_failed(file, error);
    }
    ByteWriter out(file);
    if (!out.ready()) {
        return refuse(error, Refusal::out_of_memory);
    }
    const bool written = encode_to(image, format, out);
    return written && file.close() ? true : write_failed(file, error);
}

} // namespace

extern "C" {

PIXPEN_API Image read_image(const char *filename, PixpenError *error) {
    Report report(error);
    if (filename == nullptr) {
        refuse(*report, Refusal::null_file_name);
        return nullptr;
    }
    return pixpen::detail::read_file(filename, *report, detect_and_decode);
}

PIXPEN_API Image decode_image(const void *data, size_t size, PixpenError *error) {
    return decode_memory(data, size, error, detect_and_decode);
}

PIXPEN_API Image decode_tga(const void *data, size_t size, PixpenError *error) {
    return decode_memory(data, size, error, pixpen::detail::tga_decode);
}

PIXPEN_API Image decode_ppm(const void *data, size_t size, PixpenError *error) {
    return decode_memory(data, size, error, pixpen::detail::ppm_decode);
}

PIXPEN_API Image decode_png(const void *data, size_t size, PixpenError *error) {
    return decode_memory(data, size, error, pixpen::detail::png_decode);
}

PIXPEN_API bool write_image(const char *filename, Image image, ImageFormat format,
                            PixpenError *error) {
    Report report(error);
    if (filename == nullptr) {
        return refuse(*report, Refusal::null_file_name);
    }
    // Checked before opening, so a refused image never truncates the file.
    if (!check_writable(image, format, *report)) {
        return false;
    }
    File file(filename, "wb");
    if (!file) {
        return pixpen::detail::set_system_error(*report, PIXPEN_ERROR_CANNOT_OPEN,
                                                file.open_error());
    }
    return write_to_file(file, image, format, *report);
}

PIXPEN_API bool encode_image(Image image, ImageFormat format, uint8_t **data, size_t *size,
                             PixpenError *error) {
    Report report(error);
    if (data == nullptr || size == nullptr) {
        return refuse(*report, Refusal::null_output);
    }
    *data = nullptr;
    *size = 0;
    return check_writable(image, format, *report) &&
           encode_to_memory(image, format, data, size, *report);
}

PIXPEN_API void free_buffer(void *data) {
    std::free(data);
}

} // extern "C"
