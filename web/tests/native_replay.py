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


class ImageRecord(ctypes.Structure):
    _fields_ = [("pixels", ctypes.POINTER(ctypes.c_uint8)), ("width", ctypes.c_int32),
                ("height", ctypes.c_int32)]


# Larger than PixpenTurtle on any platform we build; ctypes aligns it for doubles.
TURTLE_BYTES = 128
ARGUMENT_TYPES = {"i": ctypes.c_int, "d": ctypes.c_double, "c": ColorRecord,
                  "p": ctypes.c_void_p, "P": ctypes.c_void_p, "t": ctypes.c_void_p}
RESULT_TYPES = {"v": None, "b": ctypes.c_bool, "p": ctypes.c_void_p}


def main():
    library = ctypes.CDLL(os.environ["PIXPEN_LIBRARY"])
    images = {}
    turtles = {}

    def argument(kind, value):
        if kind == "c":
            return ColorRecord(*value)
        if kind in "pP":
            return images[value] if value else None
        if kind == "t":
            if value not in turtles:
                turtles[value] = ctypes.create_string_buffer(TURTLE_BYTES)
            return ctypes.addressof(turtles[value])
        return value

    for entry in json.load(sys.stdin):
        name, signature, args = entry[0], entry[1], entry[2:]
        result, kinds = signature.split(":")
        function = getattr(library, name)
        function.restype = RESULT_TYPES[result]
        if name == "create_image":
            function.argtypes = [ctypes.c_int, ctypes.c_int]
            images[args[0]] = function(*args[1:])
            continue
        function.argtypes = [ARGUMENT_TYPES[k] for k in kinds]
        function(*(argument(k, v) for k, v in zip(kinds, args)))

    pictures = {}
    for image_id, handle in images.items():
        record = ctypes.cast(handle, ctypes.POINTER(ImageRecord)).contents
        size = record.width * record.height * 3
        pictures[image_id] = base64.b64encode(ctypes.string_at(record.pixels, size)).decode()
    json.dump(pictures, sys.stdout)


if __name__ == "__main__":
    main()
