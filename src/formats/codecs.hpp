#pragma once

// The readers and writers of each format over the byte source and sink, so
// that files and memory share one path; the exported functions only choose
// where the bytes come from or go.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/file.hpp"
#include "pixpen.h"

namespace pixpen::detail {

// What a caller chose for encoding (PixpenEncodeOptions, read and checked);
// each encoder takes what concerns its format.
struct EncodeChoices {
    PixpenPngLevel png_level = PIXPEN_PNG_LEVEL_DEFAULT;
};

// ---- the formats' own code, one codec file each --------------------------------

// Decoders: a new image, or NULL with `error` filled.
::Image tga_decode(ByteReader &in, PixpenError &error);
::Image ppm_decode(ByteReader &in, PixpenError &error);
::Image png_decode(ByteReader &in, PixpenError &error);

// Encoders for an image that the format's row accepts. false when they fail:
// `error` says why when the encoder itself refused or ran out of memory, and
// is left alone when the sink failed (the sink knows why).
bool tga_encode(::Image image, const EncodeChoices &choices, ByteWriter &out, PixpenError &error);
bool ppm_encode_ascii(::Image image, const EncodeChoices &choices, ByteWriter &out,
                      PixpenError &error);
bool ppm_encode_binary(::Image image, const EncodeChoices &choices, ByteWriter &out,
                       PixpenError &error);

// Bytes a memory sink should start with: the most the encoder produces.
std::uint64_t tga_encoded_bound(::Image image);
std::uint64_t ppm_ascii_encoded_bound(::Image image);
std::uint64_t ppm_binary_encoded_bound(::Image image);

// ---- the codec table -----------------------------------------------------------

// Everything the per-call functions know about one format. Detection asks
// the rows in order, with the first bytes of the input; writing finds the
// row of its ImageFormat.
struct Codec {
    ImageFormat format;
    // Whether the first bytes (as many as the input has, up to a reader's
    // block) are this format's. A format without a signature judges whether
    // they could be its header at all.
    bool (*recognise)(std::string_view head) noexcept;
    // nullptr for a format that is written but not read: `not_read` then.
    ::Image (*decode)(ByteReader &in, PixpenError &error) = nullptr;
    std::optional<Refusal> not_read{};
    // The largest width and height the format records, and the refusal past it.
    std::int64_t max_side = kMaxPixels;
    Refusal too_large = Refusal::too_large;
    // The refusal of an image with no pixels, for a format that cannot hold one.
    std::optional<Refusal> refuses_empty{};
    // The refusal when this build cannot write the format; nullptr: always can.
    std::optional<Refusal> (*unavailable)() noexcept = nullptr;
    bool (*encode)(::Image image, const EncodeChoices &choices, ByteWriter &out,
                   PixpenError &error) = nullptr;
    // The bytes a memory sink starts with; nullptr: unknown, memory grows.
    std::uint64_t (*encoded_bound)(::Image image) = nullptr;
    // Encoded into memory before the file is opened: the encoder allocates as
    // much as the image, so that its failures come before the first byte.
    bool staged = false;
};

// The row that writes `format`; NULL for a number no format has.
const Codec *codec_of(ImageFormat format) noexcept;

// The row whose format the first bytes are; NULL when none recognises them.
const Codec *recognise_codec(std::string_view head) noexcept;

// Whether `image` can be written as `codec`'s format; the reason if not.
bool check_writable(::Image image, const Codec &codec, PixpenError &error) noexcept;

// ---- the per-call path, which the classic functions wrap -----------------------

// Recognises the format from the first bytes, and decodes.
::Image detect_and_decode(ByteReader &in, PixpenError &error);

// The choices `options` ask for (NULL: the defaults); refused when they hold
// a value no choice has. A caller's struct shorter than ours leaves the
// fields it does not have at their defaults.
bool read_choices(const PixpenEncodeOptions *options, EncodeChoices &choices,
                  PixpenError &error) noexcept;

// Writes a checked image to `filename`; a refused one never truncates it.
bool write_checked(const char *filename, ::Image image, const Codec &codec,
                   const EncodeChoices &choices, PixpenError &error);

// Opens `filename` and decodes it; a failed open reports the system's reason.
template <class Decode>
::Image read_file(const char *filename, PixpenError &error, Decode decode) noexcept {
    File file(filename, "rb");
    if (!file) {
        set_system_error(error, PIXPEN_ERROR_CANNOT_OPEN, file.open_error());
        return nullptr;
    }
    ByteReader in(file.get());
    if (!in.ready()) {
        refuse(error, Refusal::out_of_memory);
        return nullptr;
    }
    return decode(in, error);
}

// The same for the two readers that explain a failure in the process-wide
// buffer instead.
template <class Decode>
::Image read_file_reporting_globally(const char *filename, Decode decode) noexcept {
    PixpenError error{};
    ::Image image = read_file(filename, error, decode);
    if (image == nullptr) {
        set_last_error(error.message);
    }
    return image;
}

} // namespace pixpen::detail
