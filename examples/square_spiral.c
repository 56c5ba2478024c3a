/* Draws a square spiral with the turtle and saves it as PPM and TGA. */
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
    printf("wrote square_spiral.ppm and square_spiral.tga (open them with any image viewer,\n"
           "e.g. `display square_spiral.ppm`, or convert: `convert square_spiral.ppm "
           "square_spiral.png`)\n");
    destroy_image(image);
    return 0;
}
