/*
 * pixpen: 24-bit RGB pictures in memory, a turtle to draw on them,
 * uncompressed TGA and PPM (P3/P6) files to store and read them, and PNG
 * output (files or memory) when the library is built with a deflate library.
 *
 * Conventions for every function below:
 * - A NULL `Image` handle is accepted everywhere: drawing, turtle and
 *   whole-image operations then do nothing, bool results are false, readers
 *   and `create_image` return NULL on failure.
 * - Two ways to learn why something failed. `read_tga` and `read_ppm` leave
 *   their reason in one process-wide buffer (`get_last_error`). Every other
 *   function that can fail takes an optional `PixpenError *` and writes its
 *   status and reason there, and nowhere else; pass NULL to ignore it.
 * - Thread safety: distinct images may be used from distinct threads at once;
 *   one image must be used by one thread at a time, except that any number
 *   of threads may encode or write one image that nothing changes. The
 *   functions with a `PixpenError *` are safe from any thread. The
 *   process-wide buffer is not: two reads that fail at the same time in
 *   different threads race on it (a data race, whose result is undefined).
 *   Threads that read files concurrently should use `read_image` or the
 *   `decode_` functions, or serialise their `read_tga`/`read_ppm` calls
 *   together with the `get_last_error` that follows.
 * - Platforms: 64-bit and 32-bit Linux with GCC or Clang, little- and
 *   big-endian (x86-64, i686, aarch64 and s390x are built and tested).
 */
#ifndef PIXPEN_H
#define PIXPEN_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#define PIXPEN_VERSION_MAJOR 0
#define PIXPEN_VERSION_MINOR 3
#define PIXPEN_VERSION_PATCH 0

/* Marks the exported names; everything else in the library stays hidden. The
 * same for building, static and shared use: on ELF the attribute is harmless
 * in a caller and in a static archive. */
#if defined(__GNUC__)
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

/* In C the record is `struct Image` and `Image` the pointer to it. C++ allows
 * no class and typedef of one name in one scope, so there the record is
 * `ImageRecord`; that spelling works in both languages. */
#ifdef __cplusplus
#define PIXPEN_RECORD ImageRecord
#else
#define PIXPEN_RECORD Image
#endif

/* The image record. Fields are public and may be read directly; `pixels`
 * holds width * height colours, row 0 (top) first, pixel (x, y) at
 * index y * width + x. The turtle_ fields are the image's pen. */
struct PIXPEN_RECORD {
    Color *pixels;
    int32_t width;
    int32_t height;
    int32_t turtle_x;
    int32_t turtle_y;
    int32_t turtle_angle; /* whole degrees, counter-clockwise, 90 = up; never normalised */
    bool turtle_pen_down;
    Color turtle_color;
};

typedef struct PIXPEN_RECORD ImageRecord;
typedef struct PIXPEN_RECORD *Image;
#undef PIXPEN_RECORD

/* Why a call failed. The numbers are stable. */
typedef enum PixpenStatus {
    PIXPEN_OK = 0,
    PIXPEN_ERROR_CANNOT_OPEN = 1,        /* the file could not be opened: the system's reason */
    PIXPEN_ERROR_UNSUPPORTED_FORMAT = 2, /* not a format this library reads or was built to write */
    PIXPEN_ERROR_UNSUPPORTED_VARIANT = 3, /* a known format, in a variant that is not read */
    PIXPEN_ERROR_BAD_HEADER = 4,          /* the header is malformed or invalid */
    PIXPEN_ERROR_TRUNCATED = 5,           /* the data ends early (or cannot be read as samples) */
    PIXPEN_ERROR_TOO_LARGE = 6,           /* the size exceeds what the library or format allows */
    PIXPEN_ERROR_OUT_OF_MEMORY = 7,       /* an allocation failed */
    PIXPEN_ERROR_IO = 8,                  /* a write, flush or close failed: the system's reason */
    PIXPEN_ERROR_BAD_ARGUMENT = 9         /* a NULL or invalid argument */
} PixpenStatus;

/* A per-call error report: filled by the function it is passed to, on
 * success (PIXPEN_OK, empty message) and on failure. */
typedef struct PixpenError {
    PixpenStatus status;
    char message[128]; /* NUL-terminated, at most 127 characters */
} PixpenError;

/* The encoded forms an image can be written in. The numbers are stable. */
typedef enum ImageFormat {
    IMAGE_FORMAT_TGA = 1,        /* uncompressed 24-bit TGA, top-left origin */
    IMAGE_FORMAT_PPM_ASCII = 2,  /* PPM P3 */
    IMAGE_FORMAT_PPM_BINARY = 3, /* PPM P6 */
    IMAGE_FORMAT_PNG = 4         /* PNG: palette when the image has at most 256 colours */
} ImageFormat;

#ifdef __cplusplus
extern "C" {
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

/* The same as create_image, with the reason for a NULL result in `error`
 * (NULL: no report): PIXPEN_ERROR_BAD_ARGUMENT for a negative size,
 * PIXPEN_ERROR_TOO_LARGE beyond the pixel limit (which on 32-bit targets also
 * keeps the bytes within the address space), PIXPEN_ERROR_OUT_OF_MEMORY.
 * Never touches get_last_error(); safe from any thread. */
PIXPEN_API Image create_image_checked(int width, int height, PixpenError *error);

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

/* ---- shapes ----------------------------------------------------------------
 * Stateless like do_line: any int arguments, clipped to the image, never
 * touching the turtle; a NULL image draws nothing. Each shape's exact pixel
 * rule is in docs/api.md. Negative widths and radii, and NULL or empty point
 * arrays, draw nothing. */

/* A vertex of a polygon, in pixel coordinates. */
typedef struct PixpenPoint {
    int32_t x;
    int32_t y;
} PixpenPoint;

/* Every pixel whose centre lies within width / 2 of the segment (round caps);
 * width <= 1 draws exactly what do_line draws. */
PIXPEN_API void do_thick_line(Image image, int x0, int y0, int x1, int y1, int width, Color color);

/* do_thick_line from each of `count` points to the next. Point i is xy[2i],
 * xy[2i + 1], drawn at the pixel nearest (x_origin + x * x_scale, y_origin +
 * y * y_scale), halves up (NaN is 0, far points clip); width is rounded
 * likewise, at least 1. A segment whose ends meet, wider than 1, is the
 * do_fill_circle of radius width / 2 - 1/2 rounded. NULL or count < 2: nothing. */
PIXPEN_API void do_thick_polyline(Image image, const double *xy, size_t count, double x_origin,
                                  double x_scale, double y_origin, double y_scale, double width,
                                  Color color);

/* The outline of a polygon: do_line along every edge, the closing edge too. */
PIXPEN_API void do_polygon(Image image, const PixpenPoint *points, size_t count, Color color);

/* A polygon filled by the even-odd rule, with its edges and outline. Any
 * number of vertices, self-intersecting or degenerate. */
PIXPEN_API void do_fill_polygon(Image image, const PixpenPoint *points, size_t count, Color color);

/* The midpoint circle of the given radius around (cx, cy). */
PIXPEN_API void do_circle(Image image, int cx, int cy, int radius, Color color);

/* Every pixel (x, y) with (x - cx)^2 + (y - cy)^2 <= radius^2 + radius. */
PIXPEN_API void do_fill_circle(Image image, int cx, int cy, int radius, Color color);

/* The midpoint circle's pixels whose direction from the centre lies between
 * start_degrees and end_degrees, counter-clockwise from east on screen
 * (90 = up), both boundaries included; a sweep of 360 or more is the circle. */
PIXPEN_API void do_arc(Image image, int cx, int cy, int radius, int start_degrees, int end_degrees,
                       Color color);

/* The outline of an axis-aligned ellipse with radii rx, ry: the filled
 * ellipse's pixels with a 4-neighbour outside it; rx == ry is do_circle. */
PIXPEN_API void do_ellipse(Image image, int cx, int cy, int rx, int ry, Color color);

/* Every pixel (x, y) with u^2 / (rx (rx + 1)) + v^2 / (ry (ry + 1)) <= 1 for
 * u = x - cx, v = y - cy (a zero radius leaves a segment); rx == ry is
 * do_fill_circle. */
PIXPEN_API void do_fill_ellipse(Image image, int cx, int cy, int rx, int ry, Color color);

/* The outline of the rectangle with opposite corners (x0, y0) and (x1, y1),
 * given in any order, corners included. */
PIXPEN_API void do_rectangle(Image image, int x0, int y0, int x1, int y1, Color color);

/* The rectangle with those corners, filled. */
PIXPEN_API void do_fill_rectangle(Image image, int x0, int y0, int x1, int y1, Color color);

/* Repaints the 4-connected region of pixels that have the colour of pixel
 * (x, y). No recursion; extra memory at most 8 MiB plus one bit per pixel.
 * A seed outside the image changes nothing and succeeds. false if image is
 * NULL (PIXPEN_ERROR_BAD_ARGUMENT) or memory runs out (nothing is changed).
 * Safe from any thread for distinct images. */
PIXPEN_API bool do_flood_fill(Image image, int x, int y, Color color, PixpenError *error);

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

/* ---- fractional turtle -------------------------------------------------
 * A second turtle whose state lives in a record the caller owns, not in the
 * image: position and heading are doubles, so moves of any length and turns
 * of any angle keep their exact value and rounding to pixels happens only
 * when a line is drawn. Coordinates are the image's (x right, y down); the
 * heading is in degrees, counter-clockwise, 0 = +x, 90 = up. Moves are never
 * refused: what falls outside the image is clipped and the turtle goes on.
 * The record may be read directly; write it only through these functions
 * while a fill is open. One record must be used by one thread at a time. */

/* The points of an open fill; owned by the record, freed by end_fill and
 * pixpen_turtle_release. */
typedef struct PixpenTurtlePath PixpenTurtlePath;

typedef struct PixpenTurtle {
    double x;               /* column, fractional */
    double y;               /* row, fractional */
    double heading;         /* degrees in [0, 360), counter-clockwise, 0 = +x, 90 = up */
    double pen_width;       /* line width in pixels (rounded when drawing, at least 1) */
    Color pen_color;        /* lines and the default dot colour */
    Color fill_color;       /* the inside of a fill */
    bool pen_down;          /* true: moves draw */
    bool filling;           /* between begin_fill and end_fill */
    PixpenTurtlePath *path; /* NULL unless filling */
} PixpenTurtle;

/* Puts the turtle at the centre of `image` (the origin for a NULL image),
 * heading 0, pen down, width 1, white pen and fill, no fill open. Call it
 * first. It frees nothing: release a record with an open fill before reusing it. */
PIXPEN_API void pixpen_turtle_init(PixpenTurtle *turtle, Image image);

/* Drops an open fill without drawing and frees its memory. NULL is fine. */
PIXPEN_API void pixpen_turtle_release(PixpenTurtle *turtle);

/* The moves draw on `image` (NULL: move without drawing). They return false
 * only when a fill is open and its path could not grow (out of memory): the
 * turtle has still moved and drawn, but the fill lacks the point. A NULL
 * turtle does nothing and returns false. */

/* distance pixels along the heading; negative goes backwards. */
PIXPEN_API bool pixpen_turtle_forward(PixpenTurtle *turtle, Image image, double distance);
PIXPEN_API bool pixpen_turtle_backward(PixpenTurtle *turtle, Image image, double distance);

/* To (x, y), drawing if the pen is down. */
PIXPEN_API bool pixpen_turtle_goto(PixpenTurtle *turtle, Image image, double x, double y);

/* To the centre of `image`, then heading 0. */
PIXPEN_API bool pixpen_turtle_home(PixpenTurtle *turtle, Image image);

/* An inscribed regular polygon of `steps` sides (0 or less: as many as
 * 1 + min(11 + |radius| / 6, 59) * |extent| / 360, truncated) over `extent`
 * degrees of a circle of `radius`; the centre is `radius` to the left, so a
 * positive radius turns counter-clockwise. A negative extent goes backwards. */
PIXPEN_API bool pixpen_turtle_circle(PixpenTurtle *turtle, Image image, double radius,
                                     double extent, int steps);

/* Turns counter-clockwise (left) or clockwise (right) by `degrees`. */
PIXPEN_API void pixpen_turtle_left(PixpenTurtle *turtle, double degrees);
PIXPEN_API void pixpen_turtle_right(PixpenTurtle *turtle, double degrees);
/* Sets the heading, reduced to [0, 360). */
PIXPEN_API void pixpen_turtle_set_heading(PixpenTurtle *turtle, double degrees);

PIXPEN_API void pixpen_turtle_pen_up(PixpenTurtle *turtle);
PIXPEN_API void pixpen_turtle_pen_down(PixpenTurtle *turtle);
/* Line width in pixels; values below 1 draw 1 pixel wide. */
PIXPEN_API void pixpen_turtle_set_width(PixpenTurtle *turtle, double width);
PIXPEN_API void pixpen_turtle_set_pen_color(PixpenTurtle *turtle, Color color);
PIXPEN_API void pixpen_turtle_set_fill_color(PixpenTurtle *turtle, Color color);

/* A filled disc of diameter `size` (0 or less: max(width + 4, 2 * width))
 * centred on the turtle, whatever the pen's state. */
PIXPEN_API void pixpen_turtle_dot(PixpenTurtle *turtle, Image image, double size, Color color);

/* Starts collecting the path from the turtle's position (an open fill is
 * dropped first). false if memory runs out: then no fill is open. */
PIXPEN_API bool pixpen_turtle_begin_fill(PixpenTurtle *turtle);

/* Fills the path's polygon with fill_color by the even-odd rule, draws the
 * lines made since begin_fill over it, and closes the fill. false if no fill
 * was open or its path lost a point for want of memory (nothing filled). */
PIXPEN_API bool pixpen_turtle_end_fill(PixpenTurtle *turtle, Image image);

/* Stores the position in *x and *y (each may be NULL); (0, 0) for a NULL turtle. */
PIXPEN_API void pixpen_turtle_position(const PixpenTurtle *turtle, double *x, double *y);

/* The heading in [0, 360); 0 for a NULL turtle. */
PIXPEN_API double pixpen_turtle_heading(const PixpenTurtle *turtle);

/* Distance from the turtle to (x, y); 0 for a NULL turtle. */
PIXPEN_API double pixpen_turtle_distance(const PixpenTurtle *turtle, double x, double y);

/* The heading that would face (x, y), in [0, 360); 0 when (x, y) is the
 * turtle's own position or the turtle is NULL. */
PIXPEN_API double pixpen_turtle_towards(const PixpenTurtle *turtle, double x, double y);

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

/* ---- memory, detection and per-call errors --------------------------------
 * Every function here fills `error` (when it is not NULL) with PIXPEN_OK or
 * the reason for its failure, never touches get_last_error(), and is safe to
 * call from any thread. Images returned are owned by the caller
 * (destroy_image); buffers returned are owned by the caller (free_buffer). */

/* Reads a file, recognising the format from its first bytes: P3 and P6 by
 * their magic, any other "P<digit>" gets the PPM reader's refusal, PNG by its
 * signature, bytes that could start a TGA header of any type
 * are read as TGA, and anything else (empty input too) is
 * PIXPEN_ERROR_UNSUPPORTED_FORMAT. NULL on failure; a NULL filename is
 * PIXPEN_ERROR_BAD_ARGUMENT. */
PIXPEN_API Image read_image(const char *filename, PixpenError *error);

/* The same as read_image, from `size` bytes at `data`; never reads past them.
 * NULL data is taken as empty when size is 0, and is a bad argument otherwise. */
PIXPEN_API Image decode_image(const void *data, size_t size, PixpenError *error);

/* Decodes TGA bytes exactly as read_tga reads a file: same results, same
 * messages. NULL on failure. NULL data as for decode_image. */
PIXPEN_API Image decode_tga(const void *data, size_t size, PixpenError *error);

/* Decodes PPM (P3/P6) bytes exactly as read_ppm reads a file. NULL on failure.
 * NULL data as for decode_image. */
PIXPEN_API Image decode_ppm(const void *data, size_t size, PixpenError *error);

/* Decodes PNG bytes of any colour type, bit depth and interlace to 24-bit
 * RGB: palettes expanded, grey copied to r, g and b, 16-bit samples reduced
 * to their high byte; alpha, tRNS, gAMA, sRGB and iCCP ignored. NULL on
 * failure (PIXPEN_ERROR_UNSUPPORTED_FORMAT when built without libspng).
 * NULL data as for decode_image. */
PIXPEN_API Image decode_png(const void *data, size_t size, PixpenError *error);

/* Writes `image` to `filename` in `format`, creating or truncating it. false
 * on failure, with the system's reason for a failed open, write or close.
 * A NULL image or filename, or an unknown format, is a bad argument. */
PIXPEN_API bool write_image(const char *filename, Image image, ImageFormat format,
                            PixpenError *error);

/* Encodes `image` in `format` into a new buffer: the bytes write_image
 * would write. On success *data and *size are set (free *data with
 * free_buffer); on failure they are NULL and 0, and the result is false.
 * NULL data or size pointers are a bad argument. */
PIXPEN_API bool encode_image(Image image, ImageFormat format, uint8_t **data, size_t *size,
                             PixpenError *error);

/* How PNG output trades time for size. The numbers are stable. */
typedef enum PixpenPngLevel {
    PIXPEN_PNG_LEVEL_DEFAULT = 0, /* what write_image and encode_image use */
    PIXPEN_PNG_LEVEL_FASTEST = 1, /* least time; files up to a fifth larger */
    PIXPEN_PNG_LEVEL_SMALLEST = 2 /* smallest files; several times the default's time */
} PixpenPngLevel;

/* Choices for the *_with_options encoders. Set `size` to
 * sizeof(PixpenEncodeOptions): later versions may append fields, and a field
 * that does not fit in `size` takes its default. Zero the struct first. */
typedef struct PixpenEncodeOptions {
    uint32_t size;
    int png_level; /* a PixpenPngLevel; other formats ignore it */
} PixpenEncodeOptions;

/* write_image with `options`; NULL options are the defaults, so the call is
 * then write_image. An unknown png_level is a bad argument, refused before
 * the file is opened. */
PIXPEN_API bool write_image_with_options(const char *filename, Image image, ImageFormat format,
                                         const PixpenEncodeOptions *options, PixpenError *error);

/* encode_image with `options`, as write_image_with_options takes them. On
 * failure *data and *size are NULL and 0. */
PIXPEN_API bool encode_image_with_options(Image image, ImageFormat format,
                                          const PixpenEncodeOptions *options, uint8_t **data,
                                          size_t *size, PixpenError *error);

/* Frees a buffer from encode_image or encode_image_with_options. NULL does
 * nothing. */
PIXPEN_API void free_buffer(void *data);

/* ---- version ------------------------------------------------------------ */

/* The library's version as MAJOR * 10000 + MINOR * 100 + PATCH, for callers
 * that cannot see the PIXPEN_VERSION_ macros. */
PIXPEN_API int get_version(void);

/* The library's version as "MAJOR.MINOR.PATCH"; a static string, never NULL. */
PIXPEN_API const char *get_version_string(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* PIXPEN_H */
