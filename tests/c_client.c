/* A client written in C, built by the C compiler against the public header
 * and linked to the library: the record is read directly, as C callers do. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "c_check.h"
#include "pixpen.h"

int main(int argc, char **argv) {
    char path[4096];
    Image img;
    Image back;
    int x;

    CHECK(strcmp(get_last_error(), "") == 0); /* nothing has failed yet */
    CHECK(sizeof(Color) == 3);
    /* the record's documented size for 64-bit and for 32-bit pointers */
    CHECK(sizeof(struct Image) == (sizeof(void *) == 8 ? 32 : 28));
    CHECK(offsetof(struct Image, turtle_color) == (sizeof(void *) == 8 ? 29 : 25));

    img = create_image(4, 3);
    CHECK(img != NULL);
    if (img == NULL) {
        return 1;
    }
    CHECK(img->width == 4 && img->height == 3);
    CHECK(img->turtle_x == 2 && img->turtle_y == 1 && img->turtle_angle == 90);
    CHECK(img->turtle_pen_down);
    CHECK(img->turtle_color.r == WHITE.r && img->turtle_color.g == WHITE.g &&
          img->turtle_color.b == WHITE.b);
    CHECK(img->pixels[0].r == 0);

    do_line(img, -10, 0, 10, 0, WHITE);
    for (x = 0; x < 4; ++x) {
        CHECK(img->pixels[x].r == 255 && img->pixels[x].g == 255 && img->pixels[x].b == 255);
    }
    CHECK(img->pixels[4].r == 0);

    CHECK(turtle_forward(img, 1));
    CHECK(img->turtle_y == 0);
    CHECK(!turtle_forward(img, 1));

    CHECK(create_image(-1, 5) == NULL);
    CHECK(!turtle_move(NULL, 0, 0));

    if (argc > 1) {
        snprintf(path, sizeof path, "%s/c_client.ppm", argv[1]);
        CHECK(write_ppm(path, img, false));
        back = read_ppm(path);
        CHECK(back != NULL);
        if (back != NULL) {
            CHECK(memcmp(back->pixels, img->pixels, 4 * 3 * sizeof(Color)) == 0);
        }
        destroy_image(back);
        remove(path);
    }
    CHECK(read_tga("/nonexistent-directory/x.tga") == NULL);
    CHECK(strlen(get_last_error()) > 0);

    destroy_image(img);
    destroy_image(NULL);
    if (failures == 0) {
        printf("c client: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
