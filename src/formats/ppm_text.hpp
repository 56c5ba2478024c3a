#pragma once

// Decimal text as the PPM reader meets it: header numbers (netpbm rules:
// whitespace and #-comments between them) and P3 samples (formatted-read
// rules: whitespace, optional sign, digits; no comments).

#include <cstdint>
#include <limits>
#include <optional>

#include "formats/file.hpp"

namespace pixpen::detail {

// The C locale's isspace, without the locale lookup.
constexpr bool is_space(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

struct HeaderNumber {
    bool found = false;         // a sign (optional) and at least one digit
    bool negative = false;      // a minus sign and a non-zero value
    bool overflow = false;      // magnitude beyond INT_MAX
    std::int64_t magnitude = 0; // valid when !overflow
};

// Whitespace, and comments from # up to a newline or carriage return.
inline void skip_space_and_comments(ByteReader &in) {
    for (;;) {
        int c = in.get();
        if (c == '#') {
            do {
                c = in.get();
            } while (c != '\n' && c != '\r' && c != ByteReader::end_of_file);
        } else if (!is_space(c)) {
            if (c != ByteReader::end_of_file) {
                in.unget();
            }
            return;
        }
    }
}

// One header number. Digits are accumulated only while they fit, checked
// before each digit, so no input can overflow the arithmetic.
inline HeaderNumber read_header_number(ByteReader &in) {
    constexpr std::int64_t kLimit = std::numeric_limits<int>::max();
    skip_space_and_comments(in);
    HeaderNumber number;
    int c = in.get();
    bool minus = false;
    if (c == '-' || c == '+') {
        minus = c == '-';
        c = in.get();
    }
    for (; is_digit(c); c = in.get()) {
        number.found = true;
        const int digit = c - '0';
        if (number.overflow || number.magnitude > (kLimit - digit) / 10) {
            number.overflow = true;
        } else {
            number.magnitude = number.magnitude * 10 + digit;
        }
    }
    if (c != ByteReader::end_of_file) {
        in.unget();
    }
    number.negative = minus && (number.overflow || number.magnitude != 0);
    return number;
}

// One P3 sample as a formatted int read takes it; nothing when there is no
// number or it does not fit an int.
inline std::optional<int> read_sample(ByteReader &in) {
    int c = in.get();
    while (is_space(c)) {
        c = in.get();
    }
    bool minus = false;
    if (c == '-' || c == '+') {
        minus = c == '-';
        c = in.get();
    }
    if (!is_digit(c)) {
        return std::nullopt;
    }
    // Up to 2^31 for a negative sample, 2^31 - 1 for a positive one.
    const std::int64_t limit = std::int64_t{std::numeric_limits<int>::max()} + (minus ? 1 : 0);
    std::int64_t magnitude = 0;
    for (; is_digit(c); c = in.get()) {
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    if (c != ByteReader::end_of_file) {
        in.unget();
    }
    return static_cast<int>(minus ? -magnitude : magnitude);
}

// Low 8 bits of floor(sample * 255 / max_value), exact in 64 bits.
constexpr std::uint8_t scale_sample(int sample, int max_value) {
    const std::int64_t scaled = std::int64_t{sample} * 255;
    std::int64_t quotient = scaled / max_value;
    if (scaled % max_value != 0 && scaled < 0) {
        --quotient;
    }
    return static_cast<std::uint8_t>(quotient & 0xFF);
}

} // namespace pixpen::detail
