#pragma once

#include <cstdint>

namespace pixpen::detail {

// The outline pixels of a circle of radius r >= 0 in the row v >= 0 rows
// from its centre, as offsets u >= 0 from the centre column: the run
// [run_first, run_last] (empty when first > last) and the single pixel
// `side` (none when negative). Both appear mirrored on the left.
struct OutlineRow {
    std::int64_t run_first = 1, run_last = 0;
    std::int64_t side = -1;
};

OutlineRow circle_outline_row(std::int64_t radius, std::int64_t v);

// The integer nearest to sqrt(n), n >= 0 (never a tie for integer n).
std::int64_t round_sqrt(std::int64_t n);

} // namespace pixpen::detail
