/* An application's own functions that happen to share names with pixpen's;
 * this file never sees pixpen.h. Each counts its calls, so the client can
 * tell whether the library ever reached one instead of its own. */
struct Image;
struct Rgb {
    unsigned char r, g, b;
};

int namesake_calls = 0;

struct Image *create_image(int width, int height) {
    (void)width, (void)height;
    ++namesake_calls;
    return 0;
}

void destroy_image(struct Image *image) {
    (void)image;
    ++namesake_calls;
}

void do_line(struct Image *image, int x0, int y0, int x1, int y1, struct Rgb color) {
    (void)image, (void)x0, (void)y0, (void)x1, (void)y1, (void)color;
    ++namesake_calls;
}
