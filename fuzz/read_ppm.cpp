// Hands arbitrary bytes to read_ppm as a file, the way every caller does.
// An accepted image must be backed by the file and must survive write_ppm /
// read_ppm unchanged in both forms; a refusal must be one of the documented
// messages.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "pixpen.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    auto &scratch = fuzz::Scratch::get();
    const std::string input = scratch.file("input.ppm");
    fuzz::write_bytes(input, data, size);

    fuzz::poison_last_error();
    Image image = read_ppm(input.c_str());
    if (image == nullptr) {
        FUZZ_CHECK(fuzz::last_error_is_terminated());
        FUZZ_CHECK(fuzz::is_ppm_message(get_last_error()));
        return 0;
    }
    FUZZ_CHECK(size >= 2 && data[0] == 'P' && (data[1] == '3' || data[1] == '6'));
    FUZZ_CHECK(image->width >= 0 && image->height >= 0);
    // P6 needs a byte per sample, P3 at least two (a digit and a separator).
    FUZZ_CHECK(fuzz::pixel_bytes(image) <= (data[1] == '6' ? size : size / 2 + 1));
    FUZZ_CHECK(fuzz::has_new_turtle(image));

    for (const bool ascii : {false, true}) {
        const std::string copy = scratch.file("copy.ppm");
        FUZZ_CHECK(write_ppm(copy.c_str(), image, ascii));
        Image again = read_ppm(copy.c_str());
        FUZZ_CHECK(again != nullptr);
        FUZZ_CHECK(fuzz::same_pixels(image, again));
        destroy_image(again);
    }
    destroy_image(image);
    return 0;
}
