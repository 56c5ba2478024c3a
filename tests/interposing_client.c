/* An application that defines create_image, destroy_image and do_line of its
 * own (interposing_namesakes.c) and still uses the shared library's readers,
 * writers and turtle, which must keep calling their own functions. Its own
 * images are freed through the library's destroy_image, found past the
 * application's namesake. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "pixpen.h"

extern int namesake_calls;

static int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static void (*library_destroy)(Image);

static int same_pixel(Color c, int r, int g, int b) {
    return c.r == r && c.g == g && c.b == b;
}

static void check_turtle_draws(Image image) {
    CHECK(image->turtle_x == 1 && image->turtle_y == 1);
    CHECK(turtle_forward(image, 1)); /* (1, 1) up to (1, 0) */
    CHECK(same_pixel(image->pixels[1], 255, 255, 255));
}

static void check_file_round_trip(const char *folder, Image image) {
    char path[4096];
    PixpenError error;
    Image back;
    snprintf(path, sizeof path, "%s/interposing_client.tga", folder);
    CHECK(write_image(path, image, IMAGE_FORMAT_TGA, &error));
    back = read_image(path, &error);
    CHECK(back != NULL);
    if (back != NULL) {
        CHECK(memcmp(back->pixels, image->pixels, 6 * sizeof(Color)) == 0);
        library_destroy(back);
    }
    snprintf(path, sizeof path, "%s/interposing_client.ppm", folder);
    CHECK(write_ppm(path, image, false));
    back = read_ppm(path);
    CHECK(back != NULL);
    if (back != NULL) {
        CHECK(memcmp(back->pixels, image->pixels, 6 * sizeof(Color)) == 0);
        library_destroy(back);
    }
}

int main(int argc, char **argv) {
    static const char p6[] = "P6\n3 2\n255\n"
                             "\1\2\3\4\5\6\7\10\11\12\13\14\15\16\17\20\21\22";
    static const char short_p6[] = "P6\n3 2\n255\n\1\2\3";
    PixpenError error;
    Image image;
    void *symbol = dlsym(RTLD_NEXT, "destroy_image");

    memcpy(&library_destroy, &symbol, sizeof symbol);
    if (library_destroy == NULL || argc < 2) {
        fprintf(stderr, "usage: %s folder (and a shared libpixpen)\n", argv[0]);
        return 2;
    }

    image = decode_image(p6, sizeof p6 - 1, &error);
    CHECK(image != NULL);
    if (image == NULL) {
        fprintf(stderr, "decode_image: %s\n", error.message);
        return 1;
    }
    CHECK(same_pixel(image->pixels[5], 16, 17, 18));
    /* A failed read frees its half-built image with the library's destroy_image. */
    CHECK(decode_image(short_p6, sizeof short_p6 - 1, &error) == NULL);
    CHECK(error.status == PIXPEN_ERROR_TRUNCATED);

    check_turtle_draws(image);
    check_file_round_trip(argv[1], image);
    library_destroy(image);

    CHECK(namesake_calls == 0);
    return failures == 0 ? 0 : 1;
}
