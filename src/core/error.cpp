#include "core/error.hpp"

#include <algorithm>
#include <cstring>

#include "pixpen.h"

extern "C" {

PIXPEN_API char last_error[128] = {};

PIXPEN_API const char *get_last_error(void) {
    return last_error;
}

} // extern "C"

namespace {

template <std::size_t N> void copy_message(char (&to)[N], std::string_view message) noexcept {
    const std::size_t length = std::min(message.size(), N - 1);
    std::memcpy(to, message.data(), length);
    to[length] = '\0';
}

// strerror_r comes in two shapes: the XSI one returns 0 and fills the buffer,
// the GNU one returns the text, which may or may not be in the buffer.
[[maybe_unused]] const char *system_text(int result, const char *buffer) noexcept {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char *system_text(const char *result, const char *) noexcept {
    return result;
}

} // namespace

namespace pixpen::detail {

void set_last_error(std::string_view message) noexcept {
    copy_message(last_error, message);
}

bool set_error(PixpenError &error, PixpenStatus status, std::string_view message) noexcept {
    error.status = status;
    copy_message(error.message, message);
    return false;
}

bool set_system_error(PixpenError &error, PixpenStatus status, int system_error) noexcept {
    char text[128];
    return set_error(error, status, system_text(strerror_r(system_error, text, sizeof text), text));
}

} // namespace pixpen::detail
