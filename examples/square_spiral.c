/* Draws a square spiral with the turtle and saves it as PNG, PPM and TGA. */
#include <stdio.h>

#include "pixpen.h"

int main(void) {
    const int size = 256;
    Image image = create_image(size, size);
    int steps = 0;
    int length;

    if (image == NULL) {
        fprintf(stderr, "out of memory\n");
        return 1;
    }
    /* Start near the centre and grow each side by 4 pixels, shading from
     * orange to blue as the spiral widens. */
    for (length = 4; length < size - 8; length += 4) {
        Color shade;
        shade.r = (uint8_t)(255 - length);
        shade.g = (uint8_t)(128 - length / 2);
        shade.b = (uint8_t)length;
        turtle_set_color(image, shade);
        if (!turtle_forward(image, length)) {
            break;
        }
        turtle_left(image, 90);
        ++steps;
    }
    printf("drew a square spiral of %d sides on a %d x %d image, ending at (%d, %d)\n", steps, size,
           size, image->turtle_x, image->turtle_y);

    if (!write_ppm("square_spiral.ppm", image, false) || !write_tga("square_spiral.tga", image)) {
        fprintf(stderr, "could not write the pictures\n");
        destroy_image(image);
        return 1;
    }
    /* PNG for looking at; a library built without libdeflate or zlib cannot write it. */
    PixpenError error;
    if (write_image("square_spiral.png", image, IMAGE_FORMAT_PNG, &error)) {
        printf("wrote square_spiral.png, square_spiral.ppm and square_spiral.tga\n");
    } else if (error.status == PIXPEN_ERROR_UNSUPPORTED_FORMAT) {
        printf("wrote square_spiral.ppm and square_spiral.tga (%s)\n", error.message);
    } else {
        fprintf(stderr, "could not write square_spiral.png: %s\n", error.message);
        destroy_image(image);
        return 1;
    }
    destroy_image(image);
    return 0;
}
