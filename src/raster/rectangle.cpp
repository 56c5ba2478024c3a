// Axis-aligned rectangles, corners included, given by any two opposite
// corners in any order.

#include <algorithm>
#include <cstdint>

#include "pixpen.h"
#include "raster/span.hpp"

namespace {

struct Box {
    std::int64_t left, top, right, bottom;
};

Box box_of(int x0, int y0, int x1, int y1) {
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

} // namespace

extern "C" {

PIXPEN_API void do_fill_rectangle(Image image, int x0, int y0, int x1, int y1, Color color) {
    const pixpen::detail::SpanPainter painter(image, color);
    const Box box = box_of(x0, y0, x1, y1);
    const auto rows = painter.visible_rows(box.top, box.bottom);
    for (std::int64_t y = rows.first; y <= rows.last; ++y) {
        painter.run(y, box.left, box.right);
    }
}

PIXPEN_API void do_rectangle(Image image, int x0, int y0, int x1, int y1, Color color) {
    const pixpen::detail::SpanPainter painter(image, color);
    const Box box = box_of(x0, y0, x1, y1);
    painter.run(box.top, box.left, box.right);
    painter.run(box.bottom, box.left, box.right);
    const auto sides = painter.visible_rows(box.top + 1, box.bottom - 1);
    for (std::int64_t y = sides.first; y <= sides.last; ++y) {
        painter.pixel(box.left, y);
        painter.pixel(box.right, y);
    }
}

} // extern "C"
