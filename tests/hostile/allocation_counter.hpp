#pragma once

// Counts the heap bytes the process holds while armed: every malloc, calloc,
// realloc and free of the test binary and of the libraries it loads (the
// reader's own buffers, the FILE and its buffer, the image) goes through it,
// and so do the anonymous mappings that large images get.

#include <cstddef>

namespace hostile {

struct AllocationWindow {
    bool counted = false;     // false where another allocator owns malloc (sanitizers)
    long long peak_bytes = 0; // most bytes held at once while armed
    long long live_bytes = 0; // bytes allocated while armed and not yet freed
};

// Starts counting from zero.
void arm_allocation_counter();
// Stops counting and reports the window.
AllocationWindow disarm_allocation_counter();

} // namespace hostile
