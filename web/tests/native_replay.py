"""Replays drawing calls recorded by pixpen.mjs (recordCalls) through the
native library with ctypes, and prints the pixels of every image it made.

stdin:  a JSON list of entries [name, "r:kinds", arg, ...] as recorded, where
        create_image's entries carry the new image's id first;
stdout: a JSON object {image id: base64 of its width * height * 3 bytes}.
The library is $PIXPEN_LIBRARY.
"""

import base64
import ctypes
import json
import os
import sys


class ColorRecord(ctypes.Structure):
    _fields_ = [("r", ctypes.c_uint8), ("g", ctypes.c_uint8), ("b", ctypes.c_uint8)]


class PointRecord(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int32), ("y", ctypes.c_int32)]


class ImageRecord(ctypes.Structure):
    _fields_ = [("pixels", ctypes.POINTER(ctypes.c_uint8)), ("width", ctypes.c_int32),
                ("height", ctypes.c_int32)]


# Larger than PixpenTurtle on any platform we build; ctypes aligns it for doubles.
TURTLE_BYTES = 128
RESULT_TYPES = {"v": None, "b": ctypes.c_bool, "p": ctypes.c_void_p}


def main():
    library = ctypes.CDLL(os.environ["PIXPEN_LIBRARY"])
    images = {}
    turtles = {}

    def turtle(value):
        if value not in turtles:
            turtles[value] = ctypes.create_string_buffer(TURTLE_BYTES)
        return ctypes.addressof(turtles[value])

    def c_arguments(kind, value):
        """The C arguments, typed, that one recorded argument stands for."""
        if kind == "i":
            return [ctypes.c_int(value)]
        if kind == "d":
            return [ctypes.c_double(value)]
        if kind == "c":
            return [ColorRecord(*value)]
        if kind in "pP":
            return [ctypes.c_void_p(images[value] if value else None)]
        if kind == "t":
            return [ctypes.c_void_p(turtle(value))]
        if kind == "a":
            count = len(value) // 2
            points = (PointRecord * max(count, 1))(
                *(PointRecord(value[2 * i], value[2 * i + 1]) for i in range(count)))
            return [points, ctypes.c_size_t(count)]
        raise ValueError("unknown argument kind %r" % kind)

    for entry in json.load(sys.stdin):
        name, signature, args = entry[0], entry[1], entry[2:]
        result, kinds = signature.split(":")
        function = getattr(library, name)
        function.restype = RESULT_TYPES[result]
        if name == "create_image":
            function.argtypes = [ctypes.c_int, ctypes.c_int]
            images[args[0]] = function(*args[1:])
            continue
        function.argtypes = None
        function(*(item for kind, value in zip(kinds, args) for item in c_arguments(kind, value)))

    pictures = {}
    for image_id, handle in images.items():
        record = ctypes.cast(handle, ctypes.POINTER(ImageRecord)).contents
        size = record.width * record.height * 3
        pictures[image_id] = base64.b64encode(ctypes.string_at(record.pixels, size)).decode()
    json.dump(pictures, sys.stdout)


if __name__ == "__main__":
    main()
