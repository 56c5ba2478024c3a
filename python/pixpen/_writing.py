"""What writing a picture needs, with the formats and PNG levels as plain
ints: pixpen.turtle's runner writes its picture through this alone, without
the Image class, whose enum and locks cost a tenth of a small script's run.
pixpen.image builds the public Format and PngLevel from the tables here."""

import ctypes
import os

from . import _native
from ._native import ErrorRecord, api

# ``ImageFormat`` and ``PixpenPngLevel`` from pixpen.h; the numbers are stable.
FORMATS = {"TGA": 1, "PPM_ASCII": 2, "PPM_BINARY": 3, "PNG": 4}
PNG_LEVELS = {"DEFAULT": 0, "FASTEST": 1, "SMALLEST": 2}
_FORMAT_NAMES_BY_CODE = {code: name for name, code in FORMATS.items()}

# Names a caller may give, and the suffixes recognised when writing; "ppm"
# means P6 unless ascii=True asks for P3.
FORMAT_NAMES = {
    "tga": FORMATS["TGA"],
    "ppm": FORMATS["PPM_BINARY"],
    "pnm": FORMATS["PPM_BINARY"],
    "p6": FORMATS["PPM_BINARY"],
    "p3": FORMATS["PPM_ASCII"],
    "png": FORMATS["PNG"],
}
SUFFIXES = {".tga": "tga", ".ppm": "ppm", ".pnm": "ppm", ".png": "png"}


def encode_options(png_level):
    """The ``PixpenEncodeOptions`` for a level given by name or PngLevel."""
    if isinstance(png_level, str):
        try:
            png_level = PNG_LEVELS[png_level.upper()]
        except KeyError:
            raise ValueError("unknown PNG level %r: 'default', 'fastest' or 'smallest'"
                             % png_level) from None
    elif not isinstance(png_level, int) or isinstance(png_level, bool):
        raise TypeError("png_level must be a str or pixpen.PngLevel, not %s"
                        % type(png_level).__name__)
    # Numbers the library does not know are refused there, with its message.
    return _native.EncodeOptionsRecord(ctypes.sizeof(_native.EncodeOptionsRecord), int(png_level))


def writing_format(format, ascii, path=None):
    """The format code for a name, a Format, or else the suffix of `path`."""
    if format is None:
        if path is None:
            raise TypeError("a format is needed: 'tga', 'ppm', 'png' or a pixpen.Format")
        suffix = os.path.splitext(os.fsdecode(path))[1].lower()
        if suffix not in SUFFIXES:
            raise ValueError(
                "cannot tell the format from %r: use a .tga, .ppm, .pnm or .png name, "
                "or pass format=" % os.fsdecode(path)
            )
        format = SUFFIXES[suffix]
    if isinstance(format, str):
        name = format.lower()
        if name not in FORMAT_NAMES:
            raise ValueError("unknown format %r: one of %s" % (format, ", ".join(FORMAT_NAMES)))
        result = FORMAT_NAMES[name]
        if ascii and name in ("ppm", "pnm"):
            result = FORMATS["PPM_ASCII"]
    elif isinstance(format, int) and not isinstance(format, bool):
        if format not in _FORMAT_NAMES_BY_CODE:
            raise ValueError("%r is not a valid Format" % (format,))
        result = int(format)
    else:
        raise TypeError("format must be a str or pixpen.Format, not %s" % type(format).__name__)
    if ascii and result != FORMATS["PPM_ASCII"]:
        raise ValueError("ascii=True asks for PPM P3, which format %s is not"
                         % _FORMAT_NAMES_BY_CODE[result])
    return result


def file_name(path):
    """`path` as the bytes C is given."""
    if not isinstance(path, (str, bytes, os.PathLike)):
        raise TypeError("a file name must be str, bytes or os.PathLike, not %s"
                        % type(path).__name__)
    encoded = os.fsencode(path)
    if b"\0" in encoded:  # C would stop at the first NUL and use another name
        raise ValueError("embedded null byte in file name %r" % (path,))
    return encoded


def failure(error, filename=None):
    """The exception for a failed call's ``PixpenError`` record."""
    from .errors import error_from_status

    return error_from_status(error.status, error.message.decode("utf-8", "replace"), filename)


def write(handle, file, format=None, *, ascii=False, png_level="default"):
    """Writes the image `handle` to the file name `file`, as Image.save does."""
    path = file_name(file)
    chosen = writing_format(format, ascii, path)
    options = encode_options(png_level)
    error = ErrorRecord()
    if not api.write_image_with_options(path, handle, chosen, ctypes.byref(options),
                                        ctypes.byref(error)):
        raise failure(error, file)


def new_handle(width, height):
    """A new black image's handle; the caller destroys it."""
    error = ErrorRecord()
    handle = api.create_image_checked(width, height, ctypes.byref(error))
    if not handle:
        raise failure(error)
    return handle
