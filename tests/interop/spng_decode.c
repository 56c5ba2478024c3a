/* Decodes a PNG with libspng to an 8-bit binary PPM on stdout, for the
 * interoperability tests. libspng checks every CRC and the zlib checksum, and
 * the chunks after the image data are read too, so a broken IEND fails. */
#include <spng.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    FILE *file = fopen(argv[1], "rb");
    if (file == NULL) {
        perror(argv[1]);
        return 1;
    }
    spng_ctx *ctx = spng_ctx_new(0);
    unsigned char *pixels = NULL;
    int status = ctx == NULL ? SPNG_EMEM : spng_set_png_file(ctx, file);
    struct spng_ihdr ihdr;
    size_t size = 0;
    if (status == 0) {
        status = spng_get_ihdr(ctx, &ihdr);
    }
    if (status == 0) {
        status = spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
    }
    if (status == 0) {
        pixels = malloc(size);
        status =
            pixels == NULL ? SPNG_EMEM : spng_decode_image(ctx, pixels, size, SPNG_FMT_RGB8, 0);
    }
    if (status == 0) {
        status = spng_decode_chunks(ctx);
    }
    if (status != 0) {
        fprintf(stderr, "libspng: %s\n", spng_strerror(status));
    } else {
        printf("P6\n%u %u\n255\n", (unsigned)ihdr.width, (unsigned)ihdr.height);
        if (fwrite(pixels, 1, size, stdout) != size || fflush(stdout) != 0) {
            status = -1;
        }
    }
    free(pixels);
    spng_ctx_free(ctx);
    fclose(file);
    return status == 0 ? 0 : 1;
}
