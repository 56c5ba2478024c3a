"""Turns the screen's items into pixels, bottom item first."""

import math

from .._native import ColorRecord, PointRecord, api
from ._colors_parse import parse_color_string


_FAR = float(1 << 30)
_floor = math.floor


def _pixel(value):
    """The nearest pixel coordinate, halves up as on a canvas (round() would
    go to even); far-away points are pulled in to where C ints still hold
    them, so they clip like any other point outside."""
    if -_FAR <= value <= _FAR:  # the common case; NaN fails it
        return math.floor(value + 0.5)
    if value != value:
        return 0
    return int(_FAR) if value > 0 else -int(_FAR)


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
        x = self.ox + vector[0] * self.xs
        y = self.oy - vector[1] * self.ys
        # _pixel inlined for the common case: rendering is mostly this.
        if -_FAR <= x <= _FAR and -_FAR <= y <= _FAR:
            return _floor(x + 0.5), _floor(y + 0.5)
        return _pixel(x), _pixel(y)

    def segment(self, start, end, width, color):
        """A line between two pixels, `width` wide."""
        if start == end and width > 1:
            # A line of no length shows its round cap: a disc as wide as the pen.
            api.do_fill_circle(self.handle, start[0], start[1],
                               max(0, _pixel(width / 2.0 - 0.5)), color)
            return
        api.do_thick_line(self.handle, start[0], start[1], end[0], end[1],
                          max(1, _pixel(width)), color)

    def polygon(self, points, fill, outline, width):
        pixels = [self.point(p) for p in points]
        if fill is not None:
            api.do_fill_polygon(self.handle, (PointRecord * len(pixels))(*pixels), len(pixels),
                                fill)
        if outline is not None and width:
            for start, end in zip(pixels, pixels[1:] + pixels[:1]):
                self.segment(start, end, width, outline)

    def draw(self, item):
        if not item.alive:
            return
        if item.kind == "group":
            for part in item.items:
                self.draw(part)
        elif item.kind == "line":
            color = self.color(item.outline)
            if color is not None:
                self.segment(self.point(item.points[0]), self.point(item.points[1]),
                             item.width, color)
        elif item.kind == "poly":
            self.polygon(item.points, self.color(item.fill), self.color(item.outline),
                         item.width)


def render(picture, items, transform, background):
    """Clears `picture` to `background` and draws `items` on it in order;
    `transform` is (x origin, y origin, x scale, y scale) from world to pixels."""

    def paint(handle):
        painter = _Painter(handle, transform)
        api.do_clear(handle, painter.color(background) or ColorRecord(255, 255, 255))
        for item in items:
            painter.draw(item)

    picture._call(paint)
