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
from .errors import (
    BadArgumentError,
    BadHeaderError,
    CannotOpenError,
    ClosedImageError,
    CorruptDataError,
    LimitError,
    PixpenError,
    PixpenFileNotFoundError,
    PixpenMemoryError,
    PixpenOSError,
    PixpenPermissionError,
    Status,
    TooLargeError,
    TruncatedError,
    UnsupportedError,
    UnsupportedFormatError,
    UnsupportedVariantError,
    WriteError,
)
from .image import BLACK, WHITE, Color, Format, Image, PngLevel

__version__ = _native.version_string
library_version = (_native.version // 10000, _native.version // 100 % 100, _native.version % 100)
library_path = _native.library_path

open = Image.open
decode = Image.decode

__all__ = [
    "BLACK", "WHITE", "Color", "Format", "Image", "PngLevel", "open", "decode", "Status",
    "PixpenError", "UnsupportedError", "UnsupportedFormatError", "UnsupportedVariantError",
    "CorruptDataError", "BadHeaderError", "TruncatedError", "PixpenOSError",
    "CannotOpenError", "PixpenFileNotFoundError", "PixpenPermissionError", "WriteError",
    "LimitError", "TooLargeError", "PixpenMemoryError", "BadArgumentError",
    "ClosedImageError", "LibraryNotFoundError",
    "package_version", "library_version", "library_path",
]
