/* The smallest real user of an installed pixpen: draws with the turtle,
 * writes a P6 file, reads it back and checks what it drew. Built in plain C
 * so that a static libpixpen.a must bring its C++ runtime along. */
#include <stdio.h>
#include <string.h>

#include <pixpen.h>

/* The build passes the version that the package files (pixpenConfigVersion.cmake
 * or pixpen.pc) announce; the installed header must agree with it. */
#if !defined(EXPECTED_MAJOR) || !defined(EXPECTED_MINOR) || !defined(EXPECTED_PATCH)
#error "build with -DEXPECTED_MAJOR=.. -DEXPECTED_MINOR=.. -DEXPECTED_PATCH=.."
#endif
#if PIXPEN_VERSION_MAJOR != EXPECTED_MAJOR || PIXPEN_VERSION_MINOR != EXPECTED_MINOR ||            \
    PIXPEN_VERSION_PATCH != EXPECTED_PATCH
#error "the installed header's version differs from the package's"
#endif

int main(int argc, char **argv) {
    char path[4096];
    Image image;
    Image back;
    const Color red = {255, 0, 0};
    int ok;

    if (argc != 2 || strlen(argv[1]) > sizeof path - 16) {
        fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    snprintf(path, sizeof path, "%s/consumer.ppm", argv[1]);

    image = create_image(20, 10);
    if (image == NULL) {
        fprintf(stderr, "create_image failed\n");
        return 1;
    }
    /* Turtle from the centre (10, 5) to (10, 1), then a red line along row 9. */
    ok = turtle_forward(image, 4);
    do_line(image, 0, 9, 19, 9, red);
    ok = ok && write_ppm(path, image, false);
    destroy_image(image);
    if (!ok) {
        fprintf(stderr, "drawing or writing %s failed\n", path);
        return 1;
    }

    back = read_ppm(path);
    if (back == NULL) {
        fprintf(stderr, "read_ppm: %s\n", get_last_error());
        return 1;
    }
    ok = back->width == 20 && back->height == 10 && back->pixels[1 * 20 + 10].g == 255 &&
         back->pixels[0 * 20 + 10].g == 0 && back->pixels[9 * 20 + 19].r == 255 &&
         back->pixels[9 * 20 + 19].g == 0;
    destroy_image(back);
    if (!ok) {
        fprintf(stderr, "the picture read back is not the one drawn\n");
        return 1;
    }
    printf("pixpen %d.%d.%d works from C\n", PIXPEN_VERSION_MAJOR, PIXPEN_VERSION_MINOR,
           PIXPEN_VERSION_PATCH);
    return 0;
}
