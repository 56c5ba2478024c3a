/* pixpen.mjs reads the image record and the error report straight from wasm
 * memory at these byte offsets; the module does not link if they move. */
#include <stddef.h>

#include "pixpen.h"

_Static_assert(sizeof(void *) == 4, "pixpen.mjs expects wasm32 pointers");
_Static_assert(offsetof(ImageRecord, pixels) == 0, "pixels");
_Static_assert(offsetof(ImageRecord, width) == 4, "width");
_Static_assert(offsetof(ImageRecord, height) == 8, "height");
_Static_assert(offsetof(ImageRecord, turtle_x) == 12, "turtle_x");
_Static_assert(offsetof(ImageRecord, turtle_y) == 16, "turtle_y");
_Static_assert(offsetof(ImageRecord, turtle_angle) == 20, "turtle_angle");
_Static_assert(offsetof(ImageRecord, turtle_pen_down) == 24, "turtle_pen_down");
_Static_assert(offsetof(ImageRecord, turtle_color) == 25, "turtle_color");
_Static_assert(sizeof(Color) == 3, "Color");
_Static_assert(offsetof(PixpenError, status) == 0 && sizeof(PixpenStatus) == 4, "status");
_Static_assert(offsetof(PixpenError, message) == 4 && sizeof(PixpenError) == 132, "message");
