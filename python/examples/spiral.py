#!/usr/bin/env python3
"""A rainbow spiral drawn by the turtle, written as PNG.

    python3 spiral.py [OUTPUT.png]      (default: spiral.png)
"""
import colorsys
import os
import sys

import pixpen


def main(output="spiral.png"):
    with pixpen.Image(400, 400) as image:
        image.clear((12, 12, 28))
        for step in range(1, 360):
            red, green, blue = colorsys.hsv_to_rgb(step / 360, 0.85, 1.0)
            image.set_color((round(red * 255), round(green * 255), round(blue * 255)))
            # 91 degrees, not 90: each square turns a little, so the squares wind.
            if not image.forward(step // 2 + 1):
                break
            image.left(91)
        try:
            image.save(output)
        except pixpen.UnsupportedFormatError:  # a library built without PNG output
            output = os.path.splitext(output)[0] + ".ppm"
            image.save(output)
    print("wrote", output)


if __name__ == "__main__":
    main(*sys.argv[1:2])
