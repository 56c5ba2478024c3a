#!/usr/bin/env python3
"""Shapes from Python: a target of rings and arcs, a flood-filled field, a
polygon given as pairs and a regular polygon given as a numpy array (when
numpy is there), thick spokes and a frame. Written as PNG.

    python3 shapes.py [OUTPUT.png]      (default: shapes.png)
"""
import math
import os
import sys

import pixpen

SIZE = 300


def regular_polygon(cx, cy, radius, sides):
    points = [
        (round(cx + radius * math.cos(2 * math.pi * i / sides)),
         round(cy - radius * math.sin(2 * math.pi * i / sides)))
        for i in range(sides)
    ]
    try:
        import numpy
    except ImportError:
        return points
    return numpy.array(points)  # an N x 2 array is taken as it is


def main(output="shapes.png"):
    with pixpen.Image(SIZE, SIZE) as image:
        image.rectangle(0, 0, SIZE - 1, SIZE - 1, (230, 230, 230))
        image.flood_fill(SIZE // 2, SIZE // 2, (245, 240, 225))  # inside the frame
        for ring, colour in enumerate([(200, 40, 40), (245, 240, 225)] * 3):
            image.circle(150, 150, 110 - 18 * ring, colour, fill=True)
        for start in range(0, 360, 60):
            image.arc(150, 150, 126, start, start + 30, (40, 40, 120))
        for angle in range(0, 360, 45):
            x = round(150 + 140 * math.cos(math.radians(angle)))
            y = round(150 - 140 * math.sin(math.radians(angle)))
            image.thick_line(150, 150, x, y, 3, (40, 40, 120))
        image.polygon(regular_polygon(150, 150, 20, 6), (250, 200, 40), fill=True)
        image.polygon([(10, 290), (60, 240), (110, 290)], (40, 120, 60), fill=True)
        image.ellipse(240, 270, 50, 16, (40, 120, 60), fill=True)
        image.rectangle(190, 10, 290, 40, (40, 40, 120), fill=True)
        try:
            image.save(output)
        except pixpen.UnsupportedFormatError:  # a library built without PNG output
            output = os.path.splitext(output)[0] + ".ppm"
            image.save(output)
    print("wrote", output)


if __name__ == "__main__":
    main(*sys.argv[1:2])
