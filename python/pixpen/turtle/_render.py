"""Turns the screen's items into pixels, bottom item first."""

import math
from array import array
from ctypes import c_double

from .._native import ColorRecord, PointRecord, api
from ._colors_parse import parse_color_string


_FAR = float(1 << 30)
_floor = math.floor


def _pixel(value):
    """The nearest pixel coordinate, halves up as on a canvas (round() would
    go to even); far-away points are pulled in to where C ints still hold
    them, so they clip like any other point outside. do_thick_polyline
    rounds the same way."""
    if -_FAR <= value <= _FAR:  # the common case; NaN fails it
        return _floor(value + 0.5)
    if value != value:
        return 0
    return int(_FAR) if value > 0 else -int(_FAR)


def _width(value):
    """A pen width as a C double: huge ones held at the far limit."""
    return value if -_FAR <= value <= _FAR else (_FAR if value > 0 else -_FAR)


class _Painter:
    def __init__(self, handle, transform):
        self.handle = handle
        self.ox, self.oy, self.xs, self.ys = transform
        self.colors = {}

    def color(self, text):
        """The record for a colour string; None for '' (transparent)."""
        if text is None or text == "":
            return None
        record = self.colors.get(text)
        if record is None:
            record = self.colors[text] = ColorRecord(*parse_color_string(text))
        return record

    def point(self, vector):
        return _pixel(self.ox + vector[0] * self.xs), _pixel(self.oy - vector[1] * self.ys)

    def lines(self, coords, width, color):
        """Lines through the x, y pairs of `coords` (an array of doubles),
        mapped to pixels in C, all in one call. A line of no length shows
        its round cap: a disc as wide as the pen."""
        # A view, not the bare address: while it lives the array cannot
        # grow, so another thread drawing meanwhile gets a BufferError
        # instead of C reading freed memory.
        view = (c_double * len(coords)).from_buffer(coords)
        # y is flipped by a negative scale: oy + y * -ys is oy - y * ys exactly.
        api.do_thick_polyline(self.handle, view, len(coords) // 2, self.ox, self.xs, self.oy,
                              -self.ys, _width(width), color)

    def polygon(self, points, fill, outline, width):
        if fill is not None:
            pixels = [self.point(p) for p in points]
            api.do_fill_polygon(self.handle, (PointRecord * len(pixels))(*pixels), len(pixels),
                                fill)
        if outline is not None and width:
            self.lines(array("d", [c for p in points + points[:1] for c in p]), width, outline)

    def draw(self, item):
        if not item.alive:
            return
        if item.kind == "path":
            color = self.color(item.outline)
            if color is not None:
                self.lines(item.coords, item.width, color)
        elif item.kind == "group":
            for part in item.items:
                self.draw(part)
        elif item.kind == "poly":
            self.polygon(item.points, self.color(item.fill), self.color(item.outline),
                         item.width)


def render(handle, items, transform, background):
    """Clears the image `handle` to `background` and draws `items` on it in
    order; `transform` is (x origin, y origin, x scale, y scale) from world
    to pixels."""
    painter = _Painter(handle, transform)
    api.do_clear(handle, painter.color(background) or ColorRecord(255, 255, 255))
    for item in items:
        painter.draw(item)
