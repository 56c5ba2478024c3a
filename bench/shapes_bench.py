#!/usr/bin/env python3
"""Filled circles, filled polygons, thick lines and flood fill at 4096 x 4096:
pixpen against Pillow's ImageDraw and cairo (anti-aliasing off), and against
a memset of as many pixels as the shapes cover, all in one run.

    PIXPEN_LIBRARY=build/libpixpen.so python3 bench/shapes_bench.py [--rounds=N] [--table=FILE] [--only=TEXT]

--only keeps the workloads whose label contains TEXT ("polygon", "circles").

Every workload is drawn the same way by each tool; times are medians of
N rounds, taken in turn (pixpen, Pillow, cairo, memset, pixpen, ...) so that
drift on a busy machine hits all alike. pixpen is called through ctypes with
its point arrays built beforehand, as Pillow and cairo get their Python lists;
the per-call overhead is microseconds against milliseconds of drawing.
"""

import ctypes
import math
import os
import random
import statistics
import sys
import time

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import pixpen  # noqa: E402
from pixpen import _native  # noqa: E402

try:
    from PIL import Image as PILImage, ImageDraw
except ImportError:  # reported as missing in the table
    PILImage = ImageDraw = None
try:
    import cairo
except ImportError:
    cairo = None

SIZE = 4096
INK = (255, 128, 1)
api = _native.api
ink_record = _native.ColorRecord(*INK)


def star_polygon(rng, vertices):
    """A star-shaped polygon around the centre: sorted angles, random radii."""
    angles = sorted(rng.uniform(0, 2 * math.pi) for _ in range(vertices))
    return [
        (int(SIZE / 2 + r * math.cos(a)), int(SIZE / 2 + r * math.sin(a)))
        for a, r in ((a, rng.uniform(300, SIZE / 2 - 10)) for a in angles)
    ]


def workloads():
    rng = random.Random(19)
    circles = [(rng.randrange(SIZE), rng.randrange(SIZE), rng.randrange(50, 1500)) for _ in range(20)]
    yield "filled circles x20, r 50..1500", {"circles": circles}
    for n in (10, 100, 1000, 10000):
        yield "filled polygon, %d vertices" % n, {"polygon": star_polygon(rng, n)}
    for width in (2, 10, 50):
        lines = [tuple(rng.randrange(SIZE) for _ in range(4)) for _ in range(200)]
        yield "thick lines x200, width %d" % width, {"lines": lines, "width": width}
    yield "flood fill, grid of walls", {"flood": True}


def flood_scene():
    """Black with a white grid of one-pixel walls every 64 pixels, gaps in
    them, so the fill winds through every cell: the same start for all."""
    picture = numpy.zeros((SIZE, SIZE, 3), numpy.uint8)
    picture[::64, :, :] = 255
    picture[:, ::64, :] = 255
    picture[32::64, ::64, :] = 0  # doors in the vertical walls
    picture[::64, 32::64, :] = 0  # and in the horizontal ones
    return picture


class Pixpen:
    name = "pixpen"

    def __init__(self, work):
        self.work = work
        self.image = pixpen.Image(SIZE, SIZE)
        self.handle = self.image._live()
        if "polygon" in work:
            pts = numpy.array(work["polygon"], numpy.int32)
            self.points = (_native.PointRecord * len(pts)).from_buffer_copy(pts.tobytes())
        if "flood" in work:
            self.scene = flood_scene().tobytes()

    def reset(self):
        if "flood" in self.work:
            ctypes.memmove(self.handle.contents.pixels, self.scene, len(self.scene))
        else:
            self.image.clear()

    def draw(self):
        w = self.work
        if "circles" in w:
            for cx, cy, r in w["circles"]:
                api.do_fill_circle(self.handle, cx, cy, r, ink_record)
        elif "polygon" in w:
            api.do_fill_polygon(self.handle, self.points, len(self.points), ink_record)
        elif "lines" in w:
            for x0, y0, x1, y1 in w["lines"]:
                api.do_thick_line(self.handle, x0, y0, x1, y1, w["width"], ink_record)
        else:
            api.do_flood_fill(self.handle, 1, 1, ink_record, None)

    def covered(self):
        return int(numpy.count_nonzero(numpy.frombuffer(self.image.tobytes(), numpy.uint8)[1::3] == 128))


class Pillow:
    name = "Pillow"

    def __init__(self, work):
        self.work = work
        # Its flood fill is Python code that takes minutes here: timed once.
        self.rounds = 1 if "flood" in work else None
        self.image = PILImage.new("RGB", (SIZE, SIZE))
        self.drawing = ImageDraw.Draw(self.image)
        if "flood" in work:
            self.scene = PILImage.fromarray(flood_scene())

    def reset(self):
        if "flood" in self.work:
            self.image.paste(self.scene)
        else:
            self.image.paste((0, 0, 0), (0, 0, SIZE, SIZE))

    def draw(self):
        w, d = self.work, self.drawing
        if "circles" in w:
            for cx, cy, r in w["circles"]:
                d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=INK)
        elif "polygon" in w:
            d.polygon(w["polygon"], fill=INK)
        elif "lines" in w:
            for x0, y0, x1, y1 in w["lines"]:
                d.line((x0, y0, x1, y1), fill=INK, width=w["width"])
        else:
            ImageDraw.floodfill(self.image, (1, 1), INK)


class Cairo:
    name = "cairo"

    def __init__(self, work):
        self.work = work
        self.surface = cairo.ImageSurface(cairo.FORMAT_RGB24, SIZE, SIZE)
        self.context = cairo.Context(self.surface)
        self.context.set_antialias(cairo.ANTIALIAS_NONE)
        self.context.set_source_rgb(*(c / 255 for c in INK))

    def reset(self):
        self.context.save()
        self.context.set_source_rgb(0, 0, 0)
        self.context.paint()
        self.context.restore()

    def draw(self):
        w, c = self.work, self.context
        if "circles" in w:
            for cx, cy, r in w["circles"]:
                c.arc(cx + 0.5, cy + 0.5, r + 0.5, 0, 2 * math.pi)
                c.fill()
        elif "polygon" in w:
            c.set_fill_rule(cairo.FILL_RULE_EVEN_ODD)
            points = w["polygon"]
            c.move_to(points[0][0] + 0.5, points[0][1] + 0.5)
            for x, y in points[1:]:
                c.line_to(x + 0.5, y + 0.5)
            c.close_path()
            c.fill()
        elif "lines" in w:
            c.set_line_width(w["width"])
            c.set_line_cap(cairo.LINE_CAP_ROUND)
            for x0, y0, x1, y1 in w["lines"]:
                c.move_to(x0 + 0.5, y0 + 0.5)
                c.line_to(x1 + 0.5, y1 + 0.5)
                c.stroke()
        self.surface.flush()


class Memset:
    name = "memset"

    def __init__(self, pixels):
        self.buffer = ctypes.create_string_buffer(SIZE * SIZE * 3)
        self.bytes = pixels * 3

    def reset(self):
        pass

    def draw(self):
        ctypes.memset(self.buffer, 0x80, self.bytes)


def median_ms(tools, rounds):
    times = {tool.name: [] for tool in tools}
    for round_number in range(rounds):
        for tool in tools:
            if round_number >= (getattr(tool, "rounds", None) or rounds):
                continue
            tool.reset()
            start = time.perf_counter()
            tool.draw()
            times[tool.name].append((time.perf_counter() - start) * 1000)
    return {name: statistics.median(values) for name, values in times.items()}


def main():
    rounds = 7
    table = None
    only = ""
    for argument in sys.argv[1:]:
        if argument.startswith("--rounds="):
            rounds = int(argument.split("=", 1)[1])
        elif argument.startswith("--table="):
            table = argument.split("=", 1)[1]
        elif argument.startswith("--only="):
            only = argument.split("=", 1)[1]
    rows = [
        "| workload (4096 x 4096) | pixels | pixpen ms | Mpixels/s | x memset | Pillow ms | cairo ms"
        " | faster peer / pixpen |",
        "|---|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for label, work in workloads():
        if only not in label:
            continue
        mine = Pixpen(work)
        mine.reset()
        mine.draw()
        pixels = mine.covered()
        tools = [mine, Memset(pixels)]
        if PILImage is not None:
            tools.append(Pillow(work))
        if cairo is not None and "flood" not in work:
            tools.append(Cairo(work))
        ms = median_ms(tools, rounds)
        peers = [ms[name] for name in ("Pillow", "cairo") if name in ms]
        rows.append(
            "| %s | %d | %.2f | %.0f | %.1f | %s | %s | %s |"
            % (
                label,
                pixels,
                ms["pixpen"],
                pixels / ms["pixpen"] / 1000,
                ms["pixpen"] / ms["memset"],
                "%.2f" % ms["Pillow"] if "Pillow" in ms else "n/a",
                "%.2f" % ms["cairo"] if "cairo" in ms else "n/a",
                "%.1f" % (min(peers) / ms["pixpen"]) if peers else "n/a",
            )
        )
        print(rows[-1], flush=True)
    if table:
        with open(table, "w") as out:
            out.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
