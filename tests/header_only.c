/* Compiled as C99 and C11: the header needs nothing included before it. */
#include "pixpen.h"

#if defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(Color) == 3, "Color is three bytes");
#endif

int pixpen_header_c_uses(void);
int pixpen_header_c_uses(void) {
    Image img = create_image(4, 3);
    int ok = img != 0 && img->width == 4 && img->pixels[0].r == 0;
    destroy_image(img);
    return ok;
}
