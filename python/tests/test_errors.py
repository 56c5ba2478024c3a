"""Failures become exceptions with the library's status and message, of the
class a caller branches on; wrong arguments stop in Python, before C."""
import errno
import os
import re
import struct

import pytest

import pixpen
from conftest import reads_png
from pixpen import Status

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "include", "pixpen.h")


def tga_header(width, height, colormap=0, kind=2, depth=24):
    return struct.pack("<BBBHHBHHHHBB", 0, colormap, kind, 0, 0, 0, 0, 0, width, height,
                       depth, 0x20)


DECODE_FAILURES = [
    # data, exception classes it must be, status, message
    (b"", [pixpen.UnsupportedFormatError, pixpen.UnsupportedError], Status.UNSUPPORTED_FORMAT,
     "Unrecognised image format"),
    (tga_header(1, 1)[:10], [pixpen.TruncatedError, pixpen.CorruptDataError], Status.TRUNCATED,
     "Unable to read TGA header"),
    (b"\x89PNG\r\n\x1a\n" + bytes(20), [pixpen.TruncatedError, pixpen.CorruptDataError],
     Status.TRUNCATED, "PNG data ends early") if reads_png() else
    (b"\x89PNG\r\n\x1a\n" + bytes(20), [pixpen.UnsupportedFormatError, pixpen.UnsupportedError],
     Status.UNSUPPORTED_FORMAT, "PNG reading not built in, rebuild with libspng installed"),
    (b"P7\n", [pixpen.UnsupportedVariantError, pixpen.UnsupportedError],
     Status.UNSUPPORTED_VARIANT, "Only P3 and P6 formats are supported"),
    (tga_header(1, 1, kind=10), [pixpen.UnsupportedVariantError], Status.UNSUPPORTED_VARIANT,
     None),
    (tga_header(1, 1, colormap=1, kind=1), [pixpen.UnsupportedVariantError],
     Status.UNSUPPORTED_VARIANT, "TGA color map not supported"),
    (b"P6\nx 2\n255\n", [pixpen.BadHeaderError, pixpen.CorruptDataError], Status.BAD_HEADER,
     "Unable to read width and height"),
    (b"P6\n2 2\n255\n" + bytes(3), [pixpen.TruncatedError], Status.TRUNCATED,
     "Unable to read pixel data"),
    (tga_header(2, 2) + bytes(5), [pixpen.TruncatedError], Status.TRUNCATED, None),
    (b"P6\n70000 70000\n255\n", [pixpen.TooLargeError, pixpen.LimitError], Status.TOO_LARGE,
     "Image dimensions too large"),
]


@pytest.mark.parametrize("data, classes, status, message", DECODE_FAILURES)
def test_decode_failures_map_by_status(data, classes, status, message, tmp_path):
    with pytest.raises(pixpen.PixpenError) as caught:
        pixpen.decode(data)
    error = caught.value
    assert all(isinstance(error, cls) for cls in classes)
    assert error.status == status and error.message and str(error) == error.message
    assert message is None or error.message == message
    # The same bytes from a file: same class and message, with the file name.
    path = tmp_path / "input"
    path.write_bytes(data)
    with pytest.raises(type(error)) as from_file:
        pixpen.open(path)
    assert from_file.value.message == error.message and from_file.value.filename == path
    assert str(from_file.value) == "%s: %s" % (path, error.message)


@pytest.mark.parametrize("action, path, cls, number", [
    ("open", "/nonexistent/in.ppm", pixpen.PixpenFileNotFoundError, errno.ENOENT),
    ("open_as_ppm", "/nonexistent/in.ppm", pixpen.PixpenFileNotFoundError, errno.ENOENT),
    ("save", "/nonexistent/out.ppm", pixpen.PixpenFileNotFoundError, errno.ENOENT),
    ("save", "/", pixpen.CannotOpenError, errno.EISDIR),
    ("save", "/dev/full", pixpen.WriteError, errno.ENOSPC),
])
def test_file_failures_are_os_errors(action, path, cls, number):
    if path == "/dev/full" and not os.path.exists(path):
        pytest.skip("no /dev/full here")
    with pytest.raises(cls) as caught:
        if action == "save":
            pixpen.Image(2, 2).save(path, "ppm")
        else:
            pixpen.open(path, format="ppm" if action == "open_as_ppm" else None)
    error = caught.value
    assert isinstance(error, OSError) and isinstance(error, pixpen.PixpenOSError)
    assert error.errno == number and error.strerror == os.strerror(number)
    assert error.status == (Status.IO if cls is pixpen.WriteError else Status.CANNOT_OPEN)


ARGUMENT_ERRORS = [
    (TypeError, lambda: pixpen.Image(None, 2)),
    (TypeError, lambda: pixpen.Image(2.5, 2)),
    (ValueError, lambda: pixpen.Image(-1, 2)),
    (OverflowError, lambda: pixpen.Image(2**40, 1)),
    (pixpen.TooLargeError, lambda: pixpen.Image(65536, 65536)),
    (TypeError, lambda: pixpen.decode(None)),
    (TypeError, lambda: pixpen.decode("P6 1 1 255 abc")),
    (TypeError, lambda: pixpen.decode(12)),
    (TypeError, lambda: pixpen.open(None)),
    (TypeError, lambda: pixpen.open(3)),
    (ValueError, lambda: pixpen.open("a\0b.ppm")),
    (ValueError, lambda: pixpen.decode(b"", format="gif")),
    (TypeError, lambda: pixpen.Image(2, 2).save(None)),
    (ValueError, lambda: pixpen.Image(2, 2).save("picture.bmp")),
    (ValueError, lambda: pixpen.Image(2, 2).encode("gif")),
    (ValueError, lambda: pixpen.Image(2, 2).encode("tga", ascii=True)),
    (ValueError, lambda: pixpen.Image(2, 2).encode(99)),
    (TypeError, lambda: pixpen.Image(2, 2).encode(None)),
    (TypeError, lambda: pixpen.Image(2, 2).pixel(0, 0, None)),
    (TypeError, lambda: pixpen.Image(2, 2).pixel(0, 0, "red")),
    (TypeError, lambda: pixpen.Image(2, 2).pixel(0.0, 0, (1, 2, 3))),
    (ValueError, lambda: pixpen.Image(2, 2).set_color((1, 2))),
    (ValueError, lambda: pixpen.Image(2, 2).set_color((0, 256, 0))),
    (ValueError, lambda: pixpen.Color(-1, 0, 0)),
    (TypeError, lambda: pixpen.Color(1.0, 0, 0)),
    (ValueError, lambda: pixpen.Color(0, 0, 0)._replace(b=300)),
    (TypeError, lambda: pixpen.Image(2, 2).forward("3")),
    (OverflowError, lambda: pixpen.Image(2, 2).left(2**31)),
    (OverflowError, lambda: pixpen.Image(2, 2).backward(-2**31)),
    (ValueError, lambda: pixpen.Image.frombytes(2, 2, b"short")),
    (IndexError, lambda: pixpen.Image(2, 2)[2, 0]),
    (TypeError, lambda: pixpen.Image(2, 2)[0]),
    (TypeError, lambda: pixpen.Image.from_array(None)),
    (TypeError, lambda: pixpen.Image.from_array("pixels")),
    (TypeError, lambda: pixpen.Image.from_array(7)),
]


@pytest.mark.parametrize("cls, call", ARGUMENT_ERRORS)
def test_bad_arguments_raise_in_python(cls, call, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(cls):
        call()
    assert list(tmp_path.iterdir()) == []


def test_enums_match_the_header():
    with open(HEADER) as stream:
        header = stream.read()
    statuses = dict(re.findall(r"PIXPEN_(?!PNG_LEVEL_)(?:ERROR_)?(\w+) = (\d+)", header))
    formats = dict(re.findall(r"IMAGE_FORMAT_(\w+) = (\d+)", header))
    levels = dict(re.findall(r"PIXPEN_PNG_LEVEL_(\w+) = (\d+)", header))
    assert {s.name: s.value for s in Status} == {k: int(v) for k, v in statuses.items()}
    assert {f.name: f.value for f in pixpen.Format} == {k: int(v) for k, v in formats.items()}
    assert {v.name: v.value for v in pixpen.PngLevel} == {k: int(v) for k, v in levels.items()}
    version = tuple(int(n) for n in re.findall(r"PIXPEN_VERSION_\w+ (\d+)", header))
    assert pixpen.library_version == version
    assert pixpen.__version__ == pixpen.package_version == "%d.%d.%d" % version
