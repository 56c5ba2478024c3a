"""Turns the screen's items into pixels, bottom item first."""

import ctypes
import math

from .._native import ColorRecord, PointRecord, api
from ._colors_parse import parse_color_string


_FAR = float(1 << 30)


def _pixel(value):
    """The nearest pixel coordinate, halves up as on a canvas (round() would
    go to even); far-away points are pulled in to where C ints still hold
    them, so they clip like any other point outside."""
    if value != value:  # NaN
        return 0
    return int(math.floor(min(max(value, -_FAR), _FAR) + 0.5))


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

    def line(self, start, end, width, color):
        x0, y0 = self.point(start)
        x1, y1 = self.point(end)
        if (x0, y0) == (x1, y1) and width > 1:
            # A line of no length shows its round cap: a disc as wide as the pen.
            api.do_fill_circle(self.handle, x0, y0, max(0, _pixel(width / 2.0 - 0.5)), color)
            return
        api.do_thick_line(self.handle, x0, y0, x1, y1, max(1, _pixel(width)), color)

    def polygon(self, points, fill, outline, width):
        if fill is not None:
            pixels = (PointRecord * len(points))(*(self.point(p) for p in points))
            api.do_fill_polygon(self.handle, pixels, len(points), fill)
        if outline is not None and width:
            for start, end in zip(points, points[1:] + points[:1]):
                self.line(start, end, width, outline)

    def draw(self, item):
        if not item.alive:
            return
        if item.kind == "group":
            for part in item.items:
                self.draw(part)
        elif item.kind == "line":
            color = self.color(item.outline)
            if color is not None:
                self.line(item.points[0], item.points[1], item.width, color)
        elif item.kind == "poly":
            self.polygon(list(item.points), self.color(item.fill), self.color(item.outline),
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
