// Creation with a reason for every refusal, for the per-call family and the
// C++ and Python faces, which would otherwise have to guess it.

#include "core/error.hpp"
#include "core/limits.hpp"
#include "pixpen.h"

extern "C" {

PIXPEN_API Image create_image_checked(int width, int height, PixpenError *error) {
    using pixpen::detail::Refusal;
    pixpen::detail::Report report(error);
    if (width < 0 || height < 0) {
        refuse(*report, width < 0 ? Refusal::negative_width : Refusal::negative_height);
        return nullptr;
    }
    if (!pixpen::detail::pixel_count(width, height)) {
        refuse(*report, Refusal::too_large);
        return nullptr;
    }
    Image image = create_image(width, height);
    if (image == nullptr) {
        refuse(*report, Refusal::out_of_memory);
    }
    return image;
}

} // extern "C"
