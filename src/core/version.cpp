#include "pixpen.h"

#define PIXPEN_STRINGIFY_(x) #x
#define PIXPEN_STRINGIFY(x) PIXPEN_STRINGIFY_(x)

extern "C" {

PIXPEN_API int get_version(void) {
    return PIXPEN_VERSION_MAJOR * 10000 + PIXPEN_VERSION_MINOR * 100 + PIXPEN_VERSION_PATCH;
}

PIXPEN_API const char *get_version_string(void) {
    return PIXPEN_STRINGIFY(PIXPEN_VERSION_MAJOR) "." PIXPEN_STRINGIFY(
        PIXPEN_VERSION_MINOR) "." PIXPEN_STRINGIFY(PIXPEN_VERSION_PATCH);
}

} // extern "C"
