/* An application with create_image, destroy_image and do_line of its own
 * (interposing_namesakes.c) still gets working readers, writers and turtle
 * from the shared library. It frees images through the library's
 * destroy_image, found past its own namesake. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "c_check.h"
#include "pixpen.h"

extern int namesake_calls;

int main(int argc, char **argv) {
    static const char p6[] = "P6\n3 2\n255\n\1\2\3\4\5\6\7\10\11\12\13\14\15\16\17\20\21\22";
    char tga[4096], ppm[4096];
    PixpenError error;
    Image image, back[2];
    void (*library_destroy)(Image);
    void *symbol = dlsym(RTLD_NEXT, "destroy_image");

    memcpy(&library_destroy, &symbol, sizeof symbol);
    if (library_destroy == NULL || argc < 2) {
        fprintf(stderr, "usage: %s folder (with a shared libpixpen)\n", argv[0]);
        return 2;
    }
    image = decode_image(p6, sizeof p6 - 1, &error);
    if (image == NULL) {
        fprintf(stderr, "decode_image: %s\n", error.message);
        return 1;
    }
    /* A failed read frees its half-built image itself. */
    CHECK(decode_image(p6, 14, &error) == NULL && error.status == PIXPEN_ERROR_TRUNCATED);
    CHECK(turtle_forward(image, 1)); /* (1, 1) up to (1, 0), in white */
    CHECK(image->pixels[1].r == 255 && image->pixels[4].r == 255 && image->pixels[5].r == 16);

    snprintf(tga, sizeof tga, "%s/interposing_client.tga", argv[1]);
    snprintf(ppm, sizeof ppm, "%s/interposing_client.ppm", argv[1]);
    CHECK(write_tga(tga, image) && write_ppm(ppm, image, false));
    back[0] = read_tga(tga);
    back[1] = read_ppm(ppm);
    for (int i = 0; i < 2; ++i) {
        CHECK(back[i] != NULL && memcmp(back[i]->pixels, image->pixels, 6 * sizeof(Color)) == 0);
        library_destroy(back[i]);
    }
    library_destroy(image);
    CHECK(namesake_calls == 0);
    return failures == 0 ? 0 : 1;
}
