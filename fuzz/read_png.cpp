// Hands arbitrary bytes to decode_png. An accepted image must have the size
// its IHDR declares and survive encode_image / decode_png unchanged; a
// refusal must be one of the PNG reader's rows of the message table, with
// that row's status. decode_image must agree whenever the bytes start with
// the PNG signature.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "pixpen.h"

namespace {

// Every refusal decode_png may give.
constexpr std::initializer_list<fuzz::Refusal> kPngRefusals = {
    fuzz::Refusal::png_signature,      fuzz::Refusal::png_header,
    fuzz::Refusal::png_critical_crc,   fuzz::Refusal::png_unknown_critical,
    fuzz::Refusal::png_chunk,          fuzz::Refusal::png_chunk_limit,
    fuzz::Refusal::png_data_short,     fuzz::Refusal::png_data_corrupt,
    fuzz::Refusal::png_read_not_built, fuzz::Refusal::too_large,
    fuzz::Refusal::out_of_memory};

// IHDR's fields follow the signature, the chunk's length and its type.
constexpr std::size_t kWidthAt = 16;
constexpr std::size_t kHeightAt = 20;
// The reader may allocate any image the data can back (deflate shrinks at
// most 1032-fold); the fuzzer's memory limit is smaller, so larger declared
// images are not tried.
constexpr std::uint64_t kMaxTriedPixels = std::uint64_t{4} << 20;

std::uint32_t be32(const std::uint8_t *p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void check_round_trip(Image image) {
#if defined(PIXPEN_FUZZ_PNG_BUILT)
    std::size_t size = 0;
    std::uint8_t *bytes = fuzz::encode_checked(image, IMAGE_FORMAT_PNG, size);
    fuzz::check_decodes_to(decode_png, bytes, size, image);
    free_buffer(bytes);
#else
    static_cast<void>(image);
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size >= kHeightAt + 4 &&
        std::uint64_t{be32(data + kWidthAt)} * be32(data + kHeightAt) > kMaxTriedPixels) {
        return 0;
    }
    PixpenError error = fuzz::poisoned_error();
    Image image = decode_png(data, size, &error);
    if (fuzz::detected_format(data, size) == fuzz::Detected::png) {
        fuzz::check_decode_image_agrees(data, size, image, error);
    }
    if (image == nullptr) {
        FUZZ_CHECK(fuzz::reports_one_of(error, kPngRefusals));
        return 0;
    }
    FUZZ_CHECK(fuzz::reports_success(error));
    FUZZ_CHECK(size >= kHeightAt + 4);
    FUZZ_CHECK(static_cast<std::uint32_t>(image->width) == be32(data + kWidthAt));
    FUZZ_CHECK(static_cast<std::uint32_t>(image->height) == be32(data + kHeightAt));
    FUZZ_CHECK(image->width > 0 && image->height > 0);
    FUZZ_CHECK(fuzz::has_new_turtle(image));
    check_round_trip(image);
    destroy_image(image);
    return 0;
}
