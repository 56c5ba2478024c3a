#pragma once

#include <string_view>

#include "pixpen.h"

namespace pixpen::detail {

// Replaces the process-wide reader message, cut to what the buffer holds.
void set_last_error(std::string_view message) noexcept;

// How a reader gives up: the reason goes to the error channel, the caller gets NULL.
inline ::Image fail_read(std::string_view message) noexcept {
    set_last_error(message);
    return nullptr;
}

} // namespace pixpen::detail
