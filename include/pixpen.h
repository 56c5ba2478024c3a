/*
 * pixpen: 24-bit RGB pictures in memory, a turtle to draw on them, and
 * uncompressed TGA and PPM (P3/P6) files to store them.
 *
 * Conventions for every function below:
 * - A NULL `Image` handle is accepted everywhere: drawing, turtle and
 *   whole-image operations then do nothing, bool results are false, readers
 *   and `create_image` return NULL on failure.
 * - Only the two readers write the error channel (`get_last_error`).
 * - Thread safety: distinct images may be used from distinct threads at once;
 *   one image must be used by one thread at a time. The error channel is a
 *   single process-wide buffer, so concurrent failing reads overwrite each
 *   other's message.
 */
#ifndef PIXPEN_H
#define PIXPEN_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#define PIXPEN_VERSION_MAJOR 0
#define PIXPEN_VERSION_MINOR 1
#define PIXPEN_VERSION_PATCH 0

#if defined(_WIN32)
#if defined(PIXPEN_BUILDING) && !defined(PIXPEN_STATIC)
#define PIXPEN_API __declspec(dllexport)
#elif !defined(PIXPEN_STATIC)
#define PIXPEN_API __declspec(dllimport)
#else
#define PIXPEN_API
#endif
#elif defined(__GNUC__)
#define PIXPEN_API __attribute__((visibility("default")))
#else
#define PIXPEN_API
#endif

/* One pixel: red, green, blue, exactly three bytes with no padding. */
typedef struct Color {
    uint8_t r;
    uint8_t g;
    uint8_t b;
} Color;

#ifdef __cplusplus
/* In C++ a class and a typedef may not share a name in one scope, so the
 * record lives in a namespace there; `Image` is the handle in both languages. */
namespace pixpen {
#endif

/* The image record. Fields are public and may be read directly; `pixels`
 * holds width * height colours, row 0 (top) first, pixel (x, y) at
 * index y * width + x. The turtle_ fields are the image's pen. */
struct Image {
    Color *pixels;
    int32_t width;
    int32_t height;
    int32_t turtle_x;
    int32_t turtle_y;
    int32_t turtle_angle; /* whole degrees, counter-clockwise, 90 = up; never normalised */
    bool turtle_pen_down;
    Color turtle_color;
};

#ifdef __cplusplus
} /* namespace pixpen */
typedef pixpen::Image *Image;
extern "C" {
#else
typedef struct Image *Image;
#endif

/* (255, 255, 255). */
PIXPEN_API extern const Color WHITE;

/* The most recent reader failure, NUL-terminated, at most 127 characters;
 * empty until a read fails. Prefer get_last_error(). */
PIXPEN_API extern char last_error[128];

/* ---- image lifetime -------------------------------------------------- */

/* New black width x height image, turtle at (width/2, height/2) facing up,
 * pen down, white. NULL if a size is negative, width*height exceeds INT32_MAX,
 * or memory runs out. 0 x 0 is a valid image with no pixels. */
PIXPEN_API Image create_image(int width, int height);

/* Frees the image and its pixels. NULL does nothing. */
PIXPEN_API void destroy_image(Image image);

/* ---- error channel --------------------------------------------------- */

/* Text of the last failed read_tga/read_ppm; "" before any. Never NULL.
 * Successful calls leave it unchanged. */
PIXPEN_API const char *get_last_error(void);

/* ---- drawing primitives ---------------------------------------------- */

/* Sets pixel (x, y) to color; points outside the image are ignored. */
PIXPEN_API void do_pixel(Image image, int x, int y, Color color);

/* Draws the Bresenham line from (x0, y0) to (x1, y1), both ends included;
 * any int coordinates are fine, the parts outside the image are skipped. */
PIXPEN_API void do_line(Image image, int x0, int y0, int x1, int y1, Color color);

/* ---- whole-image operations ------------------------------------------ */

/* Sets every pixel to color. */
PIXPEN_API void do_clear(Image image, Color color);

/* Replaces every channel value v by 255 - v. */
PIXPEN_API void do_invert(Image image);

/* Swaps red and blue in every pixel, in place. */
PIXPEN_API void do_reverse_rgb(Image image);

/* ---- turtle ------------------------------------------------------------ */

/* Places the turtle without drawing; accepts 0 <= x <= width, 0 <= y <= height
 * (one past the last pixel included). false, and no change, otherwise. */
PIXPEN_API bool turtle_set_xy(Image image, int x, int y);

/* Moves to (x, y), drawing a line in the turtle colour if the pen is down.
 * false, drawing nothing and staying put, if (x, y) is not a pixel. */
PIXPEN_API bool turtle_move(Image image, int x, int y);

/* Moves d pixels along the heading (backwards if d < 0) via turtle_move;
 * false, changing nothing, if the end point is outside the image. */
PIXPEN_API bool turtle_forward(Image image, int d);

/* Sets the heading to 90 degrees (towards row 0). */
PIXPEN_API void turtle_face_north(Image image);

/* Turns counter-clockwise by delta degrees; the heading wraps, never traps. */
PIXPEN_API void turtle_left(Image image, int delta);

/* Turns clockwise by delta degrees; the heading wraps, never traps. */
PIXPEN_API void turtle_right(Image image, int delta);

/* Lifts the pen: later moves do not draw. */
PIXPEN_API void turtle_pen_up(Image image);

/* Lowers the pen: later moves draw. */
PIXPEN_API void turtle_pen_down(Image image);

/* Sets the colour later moves draw in. */
PIXPEN_API void turtle_set_color(Image image, Color color);

/* ---- files --------------------------------------------------------------
 * Writers create or truncate the file and return false on any failure (open,
 * every write, close), leaving no message. Readers return a new image owned
 * by the caller, or NULL with the reason in get_last_error(). A NULL file
 * name fails like a file that cannot be opened. */

/* Writes an uncompressed 24-bit top-left TGA. false, without touching the
 * file, if a side exceeds 65535. `image` is only read, never modified. */
PIXPEN_API bool write_tga(const char *filename, Image image);

/* Reads an uncompressed 24-bit top-left TGA; every other variant is refused,
 * naming the first unsupported feature. */
PIXPEN_API Image read_tga(const char *filename);

/* Writes a PPM with max value 255: P3 text if ascii is true, else binary P6. */
PIXPEN_API bool write_ppm(const char *filename, Image image, bool ascii);

/* Reads a P3 or P6 PPM (max value 1..65535; P6 at most 255, taken raw;
 * P3 samples scaled to 0..255). */
PIXPEN_API Image read_ppm(const char *filename);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* PIXPEN_H */
