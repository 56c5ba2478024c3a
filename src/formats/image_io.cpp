// The per-call family: reading with format detection, decoding from memory,
// writing and encoding in any format, each reporting to its caller's own
// PixpenError and never to the process-wide buffer. The classic readers and
// writers are thin wrappers over the same path. What a format is lives in
// its row of the codec table.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"
#include "pixpen.h"

namespace {

using pixpen::detail::ByteReader;
using pixpen::detail::ByteWriter;
using pixpen::detail::Codec;
using pixpen::detail::codec_of;
using pixpen::detail::EncodeChoices;
using pixpen::detail::File;
using pixpen::detail::Refusal;
using pixpen::detail::refuse;
using pixpen::detail::Report;

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

struct FreeBuffer {
    void operator()(std::uint8_t *bytes) const noexcept { std::free(bytes); }
};
using Buffer = std::unique_ptr<std::uint8_t, FreeBuffer>;

// An encoder that fails without a word was failed by its memory sink.
bool encode_to_memory(Image image, const Codec &codec, const EncodeChoices &choices, Buffer &data,
                      std::size_t &size, PixpenError &error) {
    ByteWriter out(codec.encoded_bound != nullptr ? codec.encoded_bound(image) : 0);
    if (!out.ready() || !codec.encode(image, choices, out, error)) {
        if (error.status == PIXPEN_OK) {
            refuse(error, Refusal::out_of_memory);
        }
        return false;
    }
    data.reset(out.release(size));
    return true;
}

bool write_failed(File &file, PixpenError &error) {
    const int reason = file.write_error();
    return pixpen::detail::set_system_error(error, PIXPEN_ERROR_IO, reason != 0 ? reason : EIO);
}

bool open_failed(File &file, PixpenError &error) {
    return pixpen::detail::set_system_error(error, PIXPEN_ERROR_CANNOT_OPEN, file.open_error());
}

// The whole encoding first, so that a failure before the first byte keeps
// the old file.
bool write_staged(const char *filename, Image image, const Codec &codec,
                  const EncodeChoices &choices, PixpenError &error) {
    Buffer bytes;
    std::size_t size = 0;
    if (!encode_to_memory(image, codec, choices, bytes, size, error)) {
        return false;
    }
    File file(filename, "wb");
    if (!file) {
        return open_failed(file, error);
    }
    const bool written = file.write(bytes.get(), size);
    return written && file.close() ? true : write_failed(file, error);
}

bool write_streamed(const char *filename, Image image, const Codec &codec,
                    const EncodeChoices &choices, PixpenError &error) {
    File file(filename, "wb");
    if (!file) {
        return open_failed(file, error);
    }
    ByteWriter out(file);
    if (!out.ready()) {
        return refuse(error, Refusal::out_of_memory);
    }
    if (!codec.encode(image, choices, out, error)) {
        if (error.status == PIXPEN_OK) {
            write_failed(file, error);
        }
        return false;
    }
    return file.close() ? true : write_failed(file, error);
}

// The classic writers: the same path, and nothing but the result.
bool write_quietly(const char *filename, Image image, ImageFormat format) {
    PixpenError ignored{};
    return pixpen::detail::write_checked(filename, image, *codec_of(format), EncodeChoices{},
                                         ignored);
}

} // namespace

namespace pixpen::detail {

Image detect_and_decode(ByteReader &in, PixpenError &error) {
    in.fill();
    const std::string_view head(reinterpret_cast<const char *>(in.window()), in.window_size());
    const Codec *codec = recognise_codec(head);
    if (codec == nullptr) {
        refuse(error, Refusal::unrecognised_format);
        return nullptr;
    }
    if (codec->decode == nullptr) {
        refuse(error, *codec->not_read);
        return nullptr;
    }
    return codec->decode(in, error);
}

bool read_choices(const PixpenEncodeOptions *options, EncodeChoices &choices,
                  PixpenError &error) noexcept {
    choices = EncodeChoices{};
    if (options == nullptr) {
        return true;
    }
    if (options->size >= offsetof(PixpenEncodeOptions, png_level) + sizeof options->png_level) {
        const int level = options->png_level;
        if (level != PIXPEN_PNG_LEVEL_DEFAULT && level != PIXPEN_PNG_LEVEL_FASTEST &&
            level != PIXPEN_PNG_LEVEL_SMALLEST) {
            return refuse(error, Refusal::png_level);
        }
        choices.png_level = static_cast<PixpenPngLevel>(level);
    }
    return true;
}

bool write_checked(const char *filename, Image image, const Codec &codec,
                   const EncodeChoices &choices, PixpenError &error) {
    // Checked before opening, so a refused image never truncates the file.
    if (!check_writable(image, codec, error)) {
        return false;
    }
    return codec.staged ? write_staged(filename, image, codec, choices, error)
                        : write_streamed(filename, image, codec, choices, error);
}

} // namespace pixpen::detail

extern "C" {

PIXPEN_API Image read_image(const char *filename, PixpenError *error) {
    Report report(error);
    if (filename == nullptr) {
        refuse(*report, Refusal::null_file_name);
        return nullptr;
    }
    return pixpen::detail::read_file(filename, *report, pixpen::detail::detect_and_decode);
}

PIXPEN_API Image decode_image(const void *data, size_t size, PixpenError *error) {
    return decode_memory(data, size, error, pixpen::detail::detect_and_decode);
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
    return write_image_with_options(filename, image, format, nullptr, error);
}

PIXPEN_API bool write_image_with_options(const char *filename, Image image, ImageFormat format,
                                         const PixpenEncodeOptions *options, PixpenError *error) {
    Report report(error);
    if (filename == nullptr) {
        return refuse(*report, Refusal::null_file_name);
    }
    const Codec *codec = codec_of(format);
    if (codec == nullptr) {
        return image == nullptr ? refuse(*report, Refusal::null_image)
                                : refuse(*report, Refusal::unknown_format);
    }
    EncodeChoices choices;
    return pixpen::detail::read_choices(options, choices, *report) &&
           pixpen::detail::write_checked(filename, image, *codec, choices, *report);
}

PIXPEN_API bool encode_image(Image image, ImageFormat format, uint8_t **data, size_t *size,
                             PixpenError *error) {
    return encode_image_with_options(image, format, nullptr, data, size, error);
}

PIXPEN_API bool encode_image_with_options(Image image, ImageFormat format,
                                          const PixpenEncodeOptions *options, uint8_t **data,
                                          size_t *size, PixpenError *error) {
    Report report(error);
    // Whichever output is given reads "nothing" on every failure.
    if (data != nullptr) {
        *data = nullptr;
    }
    if (size != nullptr) {
        *size = 0;
    }
    if (data == nullptr || size == nullptr) {
        return refuse(*report, Refusal::null_output);
    }
    const Codec *codec = codec_of(format);
    if (codec == nullptr) {
        return image == nullptr ? refuse(*report, Refusal::null_image)
                                : refuse(*report, Refusal::unknown_format);
    }
    EncodeChoices choices;
    Buffer bytes;
    if (!pixpen::detail::read_choices(options, choices, *report) ||
        !pixpen::detail::check_writable(image, *codec, *report) ||
        !encode_to_memory(image, *codec, choices, bytes, *size, *report)) {
        return false;
    }
    *data = bytes.release();
    return true;
}

PIXPEN_API void free_buffer(void *data) {
    std::free(data);
}

PIXPEN_API bool write_tga(const char *filename, Image image) {
    return write_quietly(filename, image, IMAGE_FORMAT_TGA);
}

PIXPEN_API bool write_ppm(const char *filename, Image image, bool ascii) {
    return write_quietly(filename, image, ascii ? IMAGE_FORMAT_PPM_ASCII : IMAGE_FORMAT_PPM_BINARY);
}

PIXPEN_API Image read_tga(const char *filename) {
    return pixpen::detail::read_file_reporting_globally(filename, pixpen::detail::tga_decode);
}

PIXPEN_API Image read_ppm(const char *filename) {
    return pixpen::detail::read_file_reporting_globally(filename, pixpen::detail::ppm_decode);
}

} // extern "C"
