// Compiled as C++17 and C++20: the header needs nothing included before it.
#include "pixpen.h"

static_assert(sizeof(Color) == 3);

int pixpen_header_cxx_uses();
int pixpen_header_cxx_uses() {
    Image img = create_image(4, 3);
    const int ok = img != nullptr && img->width == 4 && img->pixels[0].r == 0;
    destroy_image(img);
    return ok;
}
