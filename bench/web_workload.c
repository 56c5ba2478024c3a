/* The native side of bench/web_bench.mjs: the benchmark's line and turtle
 * workload (256 random lines, then 1000 turtle moves of a quarter side),
 * timed here so that process start-up is left out.
 *
 *   pixpen_web_workload SIDE ROUNDS
 *
 * prints each round's milliseconds on one line, then the FNV-1a hash of the
 * last round's pixels, which the WebAssembly side must reproduce. One round
 * more runs first, untimed, so that symbols are bound and code is cached; each
 * image is cleared before its round so that no page is first touched inside
 * the timing (the wasm side's memory is reused, so its pages never are). The random
 * lines come from xorshift32, written the same way in web_bench.mjs. */
#define _POSIX_C_SOURCE 199309L /* clock_gettime */

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "pixpen.h"

enum { LINES = 256, TURTLE_MOVES = 1000 };

static uint32_t next_random(uint32_t *state) {
    *state ^= *state << 13;
    *state ^= *state >> 17;
    *state ^= *state << 5;
    return *state;
}

/* CPU time, not wall time: on a shared machine the wall clock also counts the
 * time other programs hold the processor. web_bench.mjs measures alike. */
static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static void draw(Image image, int side) {
    uint32_t state = 2463534242u;
    const Color color = {200, 100, 50};
    for (int i = 0; i < LINES; ++i) {
        const int x0 = (int)(next_random(&state) % (uint32_t)side);
        const int y0 = (int)(next_random(&state) % (uint32_t)side);
        const int x1 = (int)(next_random(&state) % (uint32_t)side);
        const int y1 = (int)(next_random(&state) % (uint32_t)side);
        do_line(image, x0, y0, x1, y1, color);
    }
    turtle_face_north(image);
    turtle_left(image, 30);
    for (int i = 0; i < TURTLE_MOVES / 2; ++i) {
        turtle_forward(image, side / 4);
        turtle_forward(image, -(side / 4));
    }
}

int main(int argc, char **argv) {
    const int side = argc > 1 ? atoi(argv[1]) : 1024;
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    Image image = NULL;
    for (int round = -1; round < rounds; ++round) {
        destroy_image(image);
        image = create_image(side, side);
        if (image == NULL) {
            fprintf(stderr, "no %d x %d image\n", side, side);
            return 1;
        }
        do_clear(image, (Color){0, 0, 0});
        const double start = now_ms();
        draw(image, side);
        const double elapsed = now_ms() - start;
        if (round >= 0) {
            printf("%s%.4f", round ? " " : "", elapsed);
        }
    }
    uint32_t hash = 2166136261u;
    const uint8_t *bytes = (const uint8_t *)image->pixels;
    for (size_t i = 0; i < (size_t)side * (size_t)side * 3; ++i) {
        hash = (hash ^ bytes[i]) * 16777619u;
    }
    printf("\n%u\n", hash);
    destroy_image(image);
    return 0;
}
