#!/usr/bin/env python3
"""Drives libpixpen through ctypes, declaring the records by hand as any FFI
user must, and checks that the layout and behaviour match the C header."""
import ctypes
import os
import sys
import tempfile


class Color(ctypes.Structure):
    _fields_ = [("r", ctypes.c_uint8), ("g", ctypes.c_uint8), ("b", ctypes.c_uint8)]


class ImageRecord(ctypes.Structure):
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
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def bind(lib):
    signatures = {
        "create_image": (Image, [ctypes.c_int, ctypes.c_int]),
        "destroy_image": (None, [Image]),
        "get_last_error": (ctypes.c_char_p, []),
        "do_pixel": (None, [Image, ctypes.c_int, ctypes.c_int, Color]),
        "do_line": (None, [Image, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_int, Color]),
        "do_clear": (None, [Image, Color]),
        "do_invert": (None, [Image]),
        "do_reverse_rgb": (None, [Image]),
        "turtle_forward": (ctypes.c_bool, [Image, ctypes.c_int]),
        "turtle_left": (None, [Image, ctypes.c_int]),
        "turtle_right": (None, [Image, ctypes.c_int]),
        "turtle_set_color": (None, [Image, Color]),
        "turtle_pen_up": (None, [Image]),
        "turtle_pen_down": (None, [Image]),
        "turtle_move": (ctypes.c_bool, [Image, ctypes.c_int, ctypes.c_int]),
        "write_ppm": (ctypes.c_bool, [ctypes.c_char_p, Image, ctypes.c_bool]),
        "read_ppm": (Image, [ctypes.c_char_p]),
        "write_tga": (ctypes.c_bool, [ctypes.c_char_p, Image]),
        "read_tga": (Image, [ctypes.c_char_p]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes


def lit(img, x, y):
    c = img.contents.pixels[y * img.contents.width + x]
    return (c.r, c.g, c.b)


def main():
    if len(sys.argv) < 2:
        print("usage: python_client.py LIBRARY [WORKDIR]", file=sys.stderr)
        return 2
    lib = ctypes.CDLL(os.path.abspath(sys.argv[1]))
    bind(lib)

    check(ctypes.sizeof(Color) == 3, "Color is 3 bytes")
    check(ctypes.sizeof(ImageRecord) == 32, "struct Image is 32 bytes")
    offsets = [getattr(ImageRecord, f).offset for f, _ in ImageRecord._fields_]
    check(offsets == [0, 8, 12, 16, 20, 24, 28, 29], "field offsets %s" % offsets)
    white = Color.in_dll(lib, "WHITE")
    check((white.r, white.g, white.b) == (255, 255, 255), "WHITE")
    check(lib.get_last_error() == b"", "no error before any failure")
    check(ctypes.string_at(ctypes.addressof(ctypes.c_char.in_dll(lib, "last_error"))) == b"",
          "last_error is exported and empty")

    img = lib.create_image(8, 6)
    check(bool(img), "create_image")
    rec = img.contents
    check((rec.turtle_x, rec.turtle_y, rec.turtle_angle, rec.turtle_pen_down) == (4, 3, 90, True),
          "initial turtle")

    # A line, read back through the pixel pointer.
    red = Color(255, 0, 0)
    lib.do_line(img, 0, 0, 4, 2, red)
    drawn = sorted((x, y) for y in range(6) for x in range(8) if lit(img, x, y) == (255, 0, 0))
    check(drawn == [(0, 0), (1, 0), (2, 1), (3, 1), (4, 2)], "line pixels %s" % drawn)

    # The turtle, through the same ABI: a 3 x 3 square from (4, 3).
    lib.turtle_set_color(img, Color(0, 255, 0))
    for _ in range(4):
        check(lib.turtle_forward(img, 2), "turtle step inside")
        lib.turtle_left(img, 90)
    square = sorted((x, y) for y in range(6) for x in range(8) if lit(img, x, y) == (0, 255, 0))
    expected = sorted((x, y) for x in (2, 3, 4) for y in (1, 2, 3) if (x, y) != (3, 2))
    check(square == expected, "turtle square %s" % square)
    check((rec.turtle_x, rec.turtle_y, rec.turtle_angle) == (4, 3, 450), "turtle back home")
    check(not lib.turtle_forward(img, 100), "move outside refused")

    with tempfile.TemporaryDirectory() as tmp:
        for name, writer, reader in (
            ("a.ppm", lambda p: lib.write_ppm(p, img, False), lib.read_ppm),
            ("a.txt.ppm", lambda p: lib.write_ppm(p, img, True), lib.read_ppm),
            ("a.tga", lambda p: lib.write_tga(p, img), lib.read_tga),
        ):
            path = os.path.join(tmp, name).encode()
            check(writer(path), "write " + name)
            back = reader(path)
            check(bool(back), "read " + name)
            if back:
                same = ctypes.string_at(back.contents.pixels, 8 * 6 * 3) == ctypes.string_at(rec.pixels, 8 * 6 * 3)
                check(same, "round trip " + name)
                lib.destroy_image(back)
        check(not lib.read_ppm(os.path.join(tmp, "missing.ppm").encode()), "missing file")
        check(len(lib.get_last_error()) > 0, "message after failure")

    lib.destroy_image(img)
    lib.destroy_image(None)
    check(not lib.create_image(-1, 1), "negative size refused")

    if failures:
        print("%d passed, %d failed" % (0, len(failures)))
        return 1
    print("python client: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
