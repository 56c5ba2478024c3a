"""Finding libpixpen, and the C declarations every other module calls through.

The library is looked for, in this order:

1. ``$PIXPEN_LIBRARY``, a path to the shared library; when it is set nothing
   else is tried, so a wrong value is reported instead of quietly bypassed;
2. inside this package (a wheel built by ``pip install ./python`` carries it);
3. the library folder that ``cmake --install`` wrote into ``_install_paths``
   beside this file, relative to the package, so the installed tree may move;
4. the system's loader: ``ctypes.util.find_library("pixpen")`` and then the
   plain SONAME, which honours ``LD_LIBRARY_PATH`` and ``ldconfig``.
"""

import ctypes
import os

SONAME = "libpixpen.so.0"
ENVIRONMENT_VARIABLE = "PIXPEN_LIBRARY"
# The first release whose library has the shapes, checked creation and PNG levels.
REQUIRED_VERSION = (0, 3)


class LibraryNotFoundError(ImportError):
    """libpixpen could not be loaded; the message says where it was looked for."""


class ColorRecord(ctypes.Structure):
    _fields_ = [("r", ctypes.c_uint8), ("g", ctypes.c_uint8), ("b", ctypes.c_uint8)]


class ImageRecord(ctypes.Structure):
    """``struct Image`` (``ImageRecord``) from pixpen.h, field for field."""

    _fields_ = [
        ("pixels", ctypes.POINTER(ColorRecord)),
        ("width", ctypes.c_int32),
        ("height", ctypes.c_int32),
        ("turtle_x", ctypes.c_int32),
        ("turtle_y", ctypes.c_int32),
        ("turtle_angle", ctypes.c_int32),
        ("turtle_pen_down", ctypes.c_bool),
        ("turtle_color", ColorRecord),
    ]


class PointRecord(ctypes.Structure):
    """``PixpenPoint``: a polygon vertex."""

    _fields_ = [("x", ctypes.c_int32), ("y", ctypes.c_int32)]


class ErrorRecord(ctypes.Structure):
    """``PixpenError``: the enum is an int in the C ABI on every platform we build."""

    _fields_ = [("status", ctypes.c_int), ("message", ctypes.c_char * 128)]


class EncodeOptionsRecord(ctypes.Structure):
    """``PixpenEncodeOptions``: ``size`` tells the library which fields it holds."""

    _fields_ = [("size", ctypes.c_uint32), ("png_level", ctypes.c_int)]


Handle = ctypes.POINTER(ImageRecord)
_int = ctypes.c_int
_bool = ctypes.c_bool
_error = ctypes.POINTER(ErrorRecord)
_bytes = ctypes.POINTER(ctypes.c_uint8)
_points = ctypes.POINTER(PointRecord)

SIGNATURES = {
    "create_image": (Handle, [_int, _int]),
    "create_image_checked": (Handle, [_int, _int, _error]),
    "destroy_image": (None, [Handle]),
    "do_pixel": (None, [Handle, _int, _int, ColorRecord]),
    "do_line": (None, [Handle, _int, _int, _int, _int, ColorRecord]),
    "do_thick_line": (None, [Handle, _int, _int, _int, _int, _int, ColorRecord]),
    "do_thick_polyline": (
        None,
        [Handle, ctypes.c_void_p, ctypes.c_size_t] + [ctypes.c_double] * 5 + [ColorRecord],
    ),
    "do_polygon": (None, [Handle, _points, ctypes.c_size_t, ColorRecord]),
    "do_fill_polygon": (None, [Handle, _points, ctypes.c_size_t, ColorRecord]),
    "do_circle": (None, [Handle, _int, _int, _int, ColorRecord]),
    "do_fill_circle": (None, [Handle, _int, _int, _int, ColorRecord]),
    "do_arc": (None, [Handle, _int, _int, _int, _int, _int, ColorRecord]),
    "do_ellipse": (None, [Handle, _int, _int, _int, _int, ColorRecord]),
    "do_fill_ellipse": (None, [Handle, _int, _int, _int, _int, ColorRecord]),
    "do_rectangle": (None, [Handle, _int, _int, _int, _int, ColorRecord]),
    "do_fill_rectangle": (None, [Handle, _int, _int, _int, _int, ColorRecord]),
    "do_flood_fill": (_bool, [Handle, _int, _int, ColorRecord, _error]),
    "do_clear": (None, [Handle, ColorRecord]),
    "do_invert": (None, [Handle]),
    "do_reverse_rgb": (None, [Handle]),
    "turtle_set_xy": (_bool, [Handle, _int, _int]),
    "turtle_move": (_bool, [Handle, _int, _int]),
    "turtle_forward": (_bool, [Handle, _int]),
    "turtle_face_north": (None, [Handle]),
    "turtle_left": (None, [Handle, _int]),
    "turtle_right": (None, [Handle, _int]),
    "turtle_pen_up": (None, [Handle]),
    "turtle_pen_down": (None, [Handle]),
    "turtle_set_color": (None, [Handle, ColorRecord]),
    "read_image": (Handle, [ctypes.c_char_p, _error]),
    "decode_image": (Handle, [ctypes.c_void_p, ctypes.c_size_t, _error]),
    "decode_tga": (Handle, [ctypes.c_void_p, ctypes.c_size_t, _error]),
    "decode_ppm": (Handle, [ctypes.c_void_p, ctypes.c_size_t, _error]),
    "decode_png": (Handle, [ctypes.c_void_p, ctypes.c_size_t, _error]),
    "write_image": (_bool, [ctypes.c_char_p, Handle, _int, _error]),
    "encode_image": (
        _bool,
        [Handle, _int, ctypes.POINTER(_bytes), ctypes.POINTER(ctypes.c_size_t), _error],
    ),
    "write_image_with_options": (
        _bool,
        [ctypes.c_char_p, Handle, _int, ctypes.POINTER(EncodeOptionsRecord), _error],
    ),
    "encode_image_with_options": (
        _bool,
        [Handle, _int, ctypes.POINTER(EncodeOptionsRecord), ctypes.POINTER(_bytes),
         ctypes.POINTER(ctypes.c_size_t), _error],
    ),
    "free_buffer": (None, [ctypes.c_void_p]),
    "get_version": (_int, []),
    "get_version_string": (ctypes.c_char_p, []),
}

# Exported names this package does not call: the process-wide error buffer
# and the classic readers and writers that report through it or not at all;
# every call here reports to a PixpenError of its own instead.
# pixpen.turtle keeps the standard turtle module's own geometry in Python and
# draws through the shapes, so the C fractional turtle is not bound here.
NOT_BOUND = frozenset(
    {"WHITE", "last_error", "get_last_error", "read_tga", "write_tga", "read_ppm", "write_ppm"}
    | {"pixpen_turtle_" + name for name in (
        "init", "release", "forward", "backward", "goto", "home", "circle", "left", "right",
        "set_heading", "pen_up", "pen_down", "set_width", "set_pen_color", "set_fill_color", "dot",
        "begin_fill", "end_fill", "position", "heading", "distance", "towards")}
)


def _candidates():
    """(description, argument for CDLL) pairs, in search order."""
    here = os.path.dirname(os.path.abspath(__file__))
    for name in (SONAME, "libpixpen.so"):
        yield "inside the package", os.path.join(here, name)
    try:
        from . import _install_paths  # written by cmake --install only
    except ImportError:
        pass
    else:
        folder = os.path.normpath(os.path.join(here, _install_paths.LIBRARY_DIR))
        yield "the cmake --install prefix", os.path.join(folder, _install_paths.LIBRARY_NAME)
    # Imported here: it pulls in subprocess, which a library found earlier
    # never needs, and start-up time matters to short scripts.
    import ctypes.util

    found = ctypes.util.find_library("pixpen")
    if found:
        yield "ctypes.util.find_library", found
    yield "the system loader (LD_LIBRARY_PATH, ldconfig)", SONAME


def _load():
    explicit = os.environ.get(ENVIRONMENT_VARIABLE)
    if explicit:
        try:
            return ctypes.CDLL(explicit), explicit
        except OSError as exc:
            raise LibraryNotFoundError(
                "%s=%s cannot be loaded: %s\nPoint it at a built libpixpen.so "
                "(e.g. build/libpixpen.so) or unset it." % (ENVIRONMENT_VARIABLE, explicit, exc)
            ) from None
    tried = []
    for where, path in _candidates():
        if os.path.isabs(path) and not os.path.exists(path):
            tried.append("  %s: %s (no such file)" % (where, path))
            continue
        try:
            return ctypes.CDLL(path), path
        except OSError as exc:
            tried.append("  %s: %s (%s)" % (where, path, exc))
    raise LibraryNotFoundError(
        "libpixpen was not found. Looked in:\n%s\nTo fix it, either\n"
        "  - set %s=/path/to/libpixpen.so (a build folder's libpixpen.so works), or\n"
        "  - install the library and this package together: "
        "cmake --install BUILD --prefix PREFIX, then add the Python folder it names to "
        "PYTHONPATH, or\n"
        "  - pip install ./python from the source tree, which builds the library into the "
        "package, or\n"
        "  - add the library's folder to LD_LIBRARY_PATH."
        % ("\n".join(tried), ENVIRONMENT_VARIABLE)
    )


def _bind(lib, path):
    missing = [name for name in SIGNATURES if not hasattr(lib, name)]
    if missing:
        version = "unknown"
        if hasattr(lib, "get_version_string"):
            lib.get_version_string.restype = ctypes.c_char_p
            version = lib.get_version_string().decode("ascii", "replace")
        raise LibraryNotFoundError(
            "%s (version %s) lacks %s: this package needs libpixpen %d.%d or later"
            % (path, version, ", ".join(missing), *REQUIRED_VERSION)
        )
    for name, (restype, argtypes) in SIGNATURES.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


api, library_path = _load()
_bind(api, library_path)
version_string = api.get_version_string().decode("ascii")
version = api.get_version()

