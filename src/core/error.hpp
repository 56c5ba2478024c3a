#pragma once

#include <string_view>

#include "core/messages.hpp"
#include "pixpen.h"

namespace pixpen::detail {

// Replaces the process-wide reader message, cut to what the buffer holds.
void set_last_error(std::string_view message) noexcept;

// Fills a per-call report: the status and the message, cut to 127 bytes and
// terminated. Returns false, so that failing paths can `return fail(...)`.
bool set_error(PixpenError &error, PixpenStatus status, std::string_view message) noexcept;

// The system's text for an errno value, thread-safe, into `error`.
bool set_system_error(PixpenError &error, PixpenStatus status, int system_error) noexcept;

// Fills a per-call report with a message of the table and its status.
inline bool refuse(PixpenError &error, Refusal refusal) noexcept {
    const Message &m = message_of(refusal);
    return set_error(error, m.status, m.text);
}

// A report that reads PIXPEN_OK and an empty message.
inline void clear_error(PixpenError &error) noexcept {
    error.status = PIXPEN_OK;
    error.message[0] = '\0';
}

// The report of a per-call function, cleared on entry. Callers may pass NULL
// for it: failures then go into a local one.
class Report {
  public:
    explicit Report(PixpenError *error) noexcept : error_(error != nullptr ? *error : local_) {
        clear_error(error_);
    }
    Report(const Report &) = delete;
    Report &operator=(const Report &) = delete;
    PixpenError &operator*() noexcept { return error_; }

  private:
    PixpenError local_{};
    PixpenError &error_;
};

} // namespace pixpen::detail
