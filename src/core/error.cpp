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

namespace pixpen::detail {

void set_last_error(std::string_view message) noexcept {
    const std::size_t length = std::min(message.size(), sizeof last_error - 1);
    std::memcpy(last_error, message.data(), length);
    last_error[length] = '\0';
}

} // namespace pixpen::detail
