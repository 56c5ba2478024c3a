// Hands arbitrary bytes to decode_ppm. An accepted image must be backed by
// the bytes and must survive encode_image / decode_ppm unchanged as P6 and
// as P3; a refusal must be one of the PPM reader's rows of the message table,
// with that row's status. decode_image must agree whenever the first bytes
// send it to the PPM reader.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.hpp"
#include "pixpen.h"

namespace {

void check_round_trips(Image image) {
    for (const ImageFormat format : {IMAGE_FORMAT_PPM_BINARY, IMAGE_FORMAT_PPM_ASCII}) {
        std::size_t size = 0;
        std::uint8_t *bytes = fuzz::encode_checked(image, format, size);
        FUZZ_CHECK(size >= 2 && bytes[0] == 'P' &&
                   bytes[1] == (format == IMAGE_FORMAT_PPM_BINARY ? '6' : '3'));
        if (format == IMAGE_FORMAT_PPM_BINARY) {
            // P6 at max value 255: the samples are the pixel array, last.
            FUZZ_CHECK(size >= fuzz::pixel_bytes(image) &&
                       (fuzz::pixel_bytes(image) == 0 ||
                        std::memcmp(bytes + size - fuzz::pixel_bytes(image), image->pixels,
                                    fuzz::pixel_bytes(image)) == 0));
        }
        fuzz::check_decodes_to(decode_ppm, bytes, size, image);
        free_buffer(bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    PixpenError error = fuzz::poisoned_error();
    Image image = decode_ppm(data, size, &error);
    if (fuzz::detected_format(data, size) == fuzz::Detected::ppm) {
        fuzz::check_decode_image_agrees(data, size, image, error);
    }

    if (image == nullptr) {
        FUZZ_CHECK(fuzz::reports_one_of(error, fuzz::kPpmRefusals));
        return 0;
    }
    FUZZ_CHECK(fuzz::reports_success(error));
    FUZZ_CHECK(size >= 2 && data[0] == 'P' && (data[1] == '3' || data[1] == '6'));
    FUZZ_CHECK(image->width >= 0 && image->height >= 0);
    // P6 needs a byte per sample, P3 at least two (a digit and a separator).
    FUZZ_CHECK(fuzz::pixel_bytes(image) <= (data[1] == '6' ? size : size / 2 + 1));
    FUZZ_CHECK(fuzz::has_new_turtle(image));
    check_round_trips(image);
    destroy_image(image);
    return 0;
}
