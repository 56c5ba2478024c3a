#!/usr/bin/env python3
"""A fractal tree: each branch grows two smaller ones, and the turtle walks
back by reading its own position and heading. Written as PNG.

    python3 fractal_tree.py [OUTPUT.png]      (default: fractal_tree.png)
"""
import os
import sys

import pixpen

BARK, LEAF = (110, 70, 30), (60, 200, 70)


def branch(image, length, depth):
    if depth == 0 or length < 2:
        return
    # Thin branches take the leaf colour, thick ones the bark's.
    mix = 1 / depth
    image.set_color(tuple(round(b + (l - b) * mix) for b, l in zip(BARK, LEAF)))
    start, heading = image.position, image.heading
    image.forward(length)
    for turn in (25, -35):
        image.left(turn)
        branch(image, length * 3 // 4, depth - 1)
        image.right(turn)
    # Back to where this branch started, without drawing over it again.
    image.pen_up()
    image.set_position(*start)
    image.face_north()
    image.left(heading - 90)
    image.pen_down()


def main(output="fractal_tree.png"):
    with pixpen.Image(480, 400) as image:
        image.clear((235, 240, 250))
        image.pen_up()
        image.set_position(240, 395)
        image.pen_down()
        branch(image, 95, 10)
        try:
            image.save(output)
        except pixpen.UnsupportedFormatError:  # a library built without PNG output
            output = os.path.splitext(output)[0] + ".ppm"
            image.save(output)
    print("wrote", output)


if __name__ == "__main__":
    main(*sys.argv[1:2])
