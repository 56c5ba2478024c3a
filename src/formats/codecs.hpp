#pragma once

// The readers and writers of each format over the byte source and sink, so
// that files and memory share one path; the exported functions only choose
// where the bytes come from or go.

#include <cstddef>
#include <cstdint>

#include "core/error.hpp"
#include "formats/file.hpp"
#include "pixpen.h"

namespace pixpen::detail {

// Decoders: a new image, or NULL with `error` filled.
::Image tga_decode(ByteReader &in, PixpenError &error);
::Image ppm_decode(ByteReader &in, PixpenError &error);
::Image png_decode(ByteReader &in, PixpenError &error);

// Encoders for an image whose size the caller has checked. false when the
// sink fails; the sink knows why.
bool tga_encode(::Image image, ByteWriter &out);
bool ppm_encode(::Image image, bool ascii, ByteWriter &out);

// The most bytes ppm_encode can produce, for sizing a memory sink.
std::uint64_t ppm_encoded_bound(::Image image, bool ascii);

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

// Largest side a TGA header can record.
constexpr int kTgaMaxSide = 0xFFFF;

} // namespace pixpen::detail
