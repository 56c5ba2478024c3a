#!/usr/bin/env python3
"""Draws a turtle star with libpixpen through ctypes and writes turtle_star.ppm.

    python3 turtle_star.py [PATH/TO/libpixpen.so]

Without an argument the library is looked for in $PIXPEN_LIBRARY, next to the
current directory's parent (build/examples -> build), in build*/ folders of the
source tree, and finally where the system keeps installed libraries. Only the
standard library is used.
"""
import ctypes
import ctypes.util
import glob
import os
import sys


class Color(ctypes.Structure):
    _fields_ = [("r", ctypes.c_uint8), ("g", ctypes.c_uint8), ("b", ctypes.c_uint8)]


class ImageRecord(ctypes.Structure):
    """struct Image from pixpen.h, field for field."""
    _fields_ = [
        ("pixels", ctypes.POINTER(Color)),
        ("width", ctypes.c_int32),
        ("height", ctypes.c_int32),
        ("turtle_x", ctypes.c_int32),
        ("turtle_y", ctypes.c_int32),
        ("turtle_angle", ctypes.c_int32),
        ("turtle_pen_down", ctypes.c_bool),
        ("turtle_color", Color),
    ]


Image = ctypes.POINTER(ImageRecord)

SIGNATURES = {
    "create_image": (Image, [ctypes.c_int, ctypes.c_int]),
    "destroy_image": (None, [Image]),
    "get_last_error": (ctypes.c_char_p, []),
    "do_clear": (None, [Image, Color]),
    "turtle_set_xy": (ctypes.c_bool, [Image, ctypes.c_int, ctypes.c_int]),
    "turtle_forward": (ctypes.c_bool, [Image, ctypes.c_int]),
    "turtle_right": (None, [Image, ctypes.c_int]),
    "turtle_set_color": (None, [Image, Color]),
    "write_ppm": (ctypes.c_bool, [ctypes.c_char_p, Image, ctypes.c_bool]),
}


def find_library():
    if len(sys.argv) > 1:
        return sys.argv[1]
    if os.environ.get("PIXPEN_LIBRARY"):
        return os.environ["PIXPEN_LIBRARY"]
    here = os.path.dirname(os.path.abspath(__file__))
    candidates = [os.path.join(os.getcwd(), "..", "libpixpen.so")]
    candidates += sorted(glob.glob(os.path.join(here, "..", "build*", "libpixpen.so")))
    for path in candidates:
        if os.path.exists(path):
            return path
    return ctypes.util.find_library("pixpen")


def load(path):
    lib = ctypes.CDLL(path)
    for name, (restype, argtypes) in SIGNATURES.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


def main():
    path = find_library()
    if path is None:
        sys.exit("libpixpen.so not found: build it first, or pass its path as the argument")
    pp = load(path)

    size, length, points = 320, 280, 36
    image = pp.create_image(size, size)
    if not image:
        sys.exit("create_image failed")
    try:
        pp.do_clear(image, Color(12, 10, 30))
        # 36 strokes turning 170 degrees each: 36 * 170 = 17 full turns, so
        # the star closes. Each stroke's chord passes close to the centre.
        pp.turtle_set_xy(image, (size - length) // 2, size // 2 - 12)
        pp.turtle_right(image, 90)  # face east
        for i in range(points):
            t = i / points
            pp.turtle_set_color(image, Color(255, int(80 + 175 * t), int(200 * (1 - t))))
            if not pp.turtle_forward(image, length):
                sys.exit("stroke %d left the picture" % i)
            pp.turtle_right(image, 170)
        record = image.contents
        lit = sum(1 for i in range(record.width * record.height) if record.pixels[i].r == 255)
        print("turtle star: %d strokes, %d pixels drawn, turtle back at (%d, %d)"
              % (points, lit, record.turtle_x, record.turtle_y))
        if not pp.write_ppm(b"turtle_star.ppm", image, False):
            sys.exit("could not write turtle_star.ppm")
        print("wrote turtle_star.ppm (%d x %d) using %s" % (record.width, record.height, path))
    finally:
        pp.destroy_image(image)


if __name__ == "__main__":
    main()
