// Hands arbitrary bytes to decode_tga. An accepted image must be what its
// header declares and be backed by the bytes, and must survive encode_image /
// decode_tga unchanged; a refusal must be one of the TGA reader's rows of the
// message table, with that row's status. decode_image must agree whenever
// the first bytes send it to the TGA reader, and call
// bytes that no TGA header could start with unrecognised.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.hpp"
#include "pixpen.h"

namespace {

// The header is 18 bytes; the pixels follow in blue, green, red order.
constexpr std::size_t kHeader = 18;

void check_round_trip(const std::uint8_t *data, Image image) {
    std::size_t size = 0;
    std::uint8_t *bytes = fuzz::encode_checked(image, IMAGE_FORMAT_TGA, size);
    // The writer stores the same byte order the reader took, so the pixel
    // bytes come out as they went in, whatever the rest of the header held.
    FUZZ_CHECK(size == kHeader + fuzz::pixel_bytes(image));
    FUZZ_CHECK(std::memcmp(bytes + kHeader, data + kHeader, fuzz::pixel_bytes(image)) == 0);
    fuzz::check_decodes_to(decode_tga, bytes, size, image);
    free_buffer(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    PixpenError error = fuzz::poisoned_error();
    Image image = decode_tga(data, size, &error);

    switch (fuzz::detected_format(data, size)) {
    case fuzz::Detected::tga:
        fuzz::check_decode_image_agrees(data, size, image, error);
        break;
    case fuzz::Detected::png:
        break; // read_png's target checks that path
    case fuzz::Detected::unrecognised: {
        PixpenError unknown_error = fuzz::poisoned_error();
        FUZZ_CHECK(decode_image(data, size, &unknown_error) == nullptr);
        FUZZ_CHECK(fuzz::reports(unknown_error, fuzz::Refusal::unrecognised_format));
        break;
    }
    case fuzz::Detected::ppm:
        break; // read_ppm's target checks that path
    }

    if (image == nullptr) {
        FUZZ_CHECK(fuzz::reports_one_of(error, fuzz::kTgaRefusals));
        return 0;
    }
    FUZZ_CHECK(fuzz::reports_success(error));
    FUZZ_CHECK(image->width > 0 && image->width <= 0xFFFF);
    FUZZ_CHECK(image->height > 0 && image->height <= 0xFFFF);
    FUZZ_CHECK(size >= kHeader && fuzz::pixel_bytes(image) <= size - kHeader);
    FUZZ_CHECK(fuzz::has_new_turtle(image));
    for (std::size_t i = 0; i < fuzz::pixel_bytes(image) / 3; ++i) {
        const std::uint8_t *bgr = data + kHeader + 3 * i;
        FUZZ_CHECK(image->pixels[i].b == bgr[0] && image->pixels[i].g == bgr[1] &&
                   image->pixels[i].r == bgr[2]);
    }
    check_round_trip(data, image);
    destroy_image(image);
    return 0;
}
