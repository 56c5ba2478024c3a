#pragma once

#include <string_view>

namespace pixpen::detail {

// Replaces the process-wide reader message, cut to what the buffer holds.
void set_last_error(std::string_view message) noexcept;

} // namespace pixpen::detail
