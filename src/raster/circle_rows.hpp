#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

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

// Calls visit(y, first, last) for every run of the outline of the circle of
// `radius` around (cx, cy) in the rows 0 .. height - 1; single pixels come as
// runs of one, and runs may overlap.
template <class Visit>
void for_each_outline_run(std::int64_t height, std::int64_t cx, std::int64_t cy,
                          std::int64_t radius, Visit &&visit) {
    const std::int64_t first = std::max<std::int64_t>(0, cy - radius);
    const std::int64_t last = std::min(height - 1, cy + radius);
    for (std::int64_t y = first; y <= last; ++y) {
        const OutlineRow row = circle_outline_row(radius, std::llabs(y - cy));
        if (row.run_first <= row.run_last) {
            visit(y, cx - row.run_last, cx - row.run_first);
            visit(y, cx + row.run_first, cx + row.run_last);
        }
        if (row.side >= 0) {
            visit(y, cx - row.side, cx - row.side);
            visit(y, cx + row.side, cx + row.side);
        }
    }
}

} // namespace pixpen::detail
