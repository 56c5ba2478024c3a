"""pixpen for Python: 24-bit RGB pictures drawn with a turtle, read and written
as TGA, PPM and PNG, over the libpixpen shared library.

    import pixpen
    with pixpen.Image(200, 200) as image:
        for _ in range(5):
            image.forward(80)
            image.left(144)
        image.save("star.png")

``pixpen.__version__`` is the loaded library's version, ``package_version``
this package's, and ``library_path`` the library file that was loaded.
"""

from . import _native
from ._native import LibraryNotFoundError
from ._version import __version__ as package_version

__version__ = _native.version_string
library_version = (_native.version // 10000, _native.version // 100 % 100, _native.version % 100)
library_path = _native.library_path

# The image and error names are loaded on first use (PEP 562), so that
# `python3 -m pixpen.turtle`, which needs neither, starts without their
# imports (enum, threading, weakref, collections).
_LAZY = {name: "errors" for name in (
    "BadArgumentError", "BadHeaderError", "CannotOpenError", "ClosedImageError",
    "CorruptDataError", "LimitError", "PixpenError", "PixpenFileNotFoundError",
    "PixpenMemoryError", "PixpenOSError", "PixpenPermissionError", "Status", "TooLargeError",
    "TruncatedError", "UnsupportedError", "UnsupportedFormatError", "UnsupportedVariantError",
    "WriteError")}
_LAZY.update((name, "image") for name in ("BLACK", "WHITE", "Color", "Format", "Image",
                                           "PngLevel", "open", "decode"))


def __getattr__(name):
    if name not in _LAZY and name not in ("errors", "image"):
        raise AttributeError("module %r has no attribute %r" % (__name__, name))
    # import_module, not `from . import`, which would ask this function again.
    import importlib

    errors = importlib.import_module(".errors", __name__)
    image = importlib.import_module(".image", __name__)

    if name in ("errors", "image"):
        value = image if name == "image" else errors
    elif name in ("open", "decode"):
        value = getattr(image.Image, name)
    else:
        value = getattr(image if _LAZY[name] == "image" else errors, name)
    globals()[name] = value
    return value


def __dir__():
    return sorted(set(globals()) | set(_LAZY))

__all__ = [
    "BLACK", "WHITE", "Color", "Format", "Image", "PngLevel", "open", "decode", "Status",
    "PixpenError", "UnsupportedError", "UnsupportedFormatError", "UnsupportedVariantError",
    "CorruptDataError", "BadHeaderError", "TruncatedError", "PixpenOSError",
    "CannotOpenError", "PixpenFileNotFoundError", "PixpenPermissionError", "WriteError",
    "LimitError", "TooLargeError", "PixpenMemoryError", "BadArgumentError",
    "ClosedImageError", "LibraryNotFoundError",
    "package_version", "library_version", "library_path",
]
