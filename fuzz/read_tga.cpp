// Hands arbitrary bytes to read_tga as a file, the way every caller does.
// An accepted image must be what its header declares, backed by the file,
// and must survive write_tga / read_tga unchanged; a refusal must be one of
// the documented messages.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "pixpen.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    auto &scratch = fuzz::Scratch::get();
    const std::string input = scratch.file("input.tga");
    fuzz::write_bytes(input, data, size);

    fuzz::poison_last_error();
    Image image = read_tga(input.c_str());
    if (image == nullptr) {
        FUZZ_CHECK(fuzz::last_error_is_terminated());
        FUZZ_CHECK(fuzz::is_tga_message(get_last_error()));
        return 0;
    }
    FUZZ_CHECK(image->width > 0 && image->width <= 0xFFFF);
    FUZZ_CHECK(image->height > 0 && image->height <= 0xFFFF);
    FUZZ_CHECK(size >= 18 && fuzz::pixel_bytes(image) <= size - 18);
    FUZZ_CHECK(fuzz::has_new_turtle(image));
    // The header is 18 bytes; the pixels follow in blue, green, red order.
    for (std::size_t i = 0; i < fuzz::pixel_bytes(image) / 3; ++i) {
        const std::uint8_t *bgr = data + 18 + 3 * i;
        FUZZ_CHECK(image->pixels[i].b == bgr[0] && image->pixels[i].g == bgr[1] &&
                   image->pixels[i].r == bgr[2]);
    }

    const std::string copy = scratch.file("copy.tga");
    FUZZ_CHECK(write_tga(copy.c_str(), image));
    Image again = read_tga(copy.c_str());
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(fuzz::same_pixels(image, again));
    destroy_image(again);
    destroy_image(image);
    return 0;
}
