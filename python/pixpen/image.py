"""The Image class, colours and formats over libpixpen's C functions."""

import collections
import copy
import ctypes
import enum
import operator
import threading
import weakref

from . import _native, _writing
from ._native import ColorRecord, ErrorRecord, api
from .errors import (
    ClosedImageError,
    PixpenError,
    Status,
    error_from_status,
)

_INT_BITS = 8 * ctypes.sizeof(ctypes.c_int)
INT_MIN, INT_MAX = -(2 ** (_INT_BITS - 1)), 2 ** (_INT_BITS - 1) - 1


def _integer(value, name):
    """``value`` as a Python int that fits a C int: ctypes would silently wrap."""
    try:
        number = operator.index(value)
    except TypeError:
        raise TypeError("%s must be an integer, not %s" % (name, type(value).__name__)) from None
    if not INT_MIN <= number <= INT_MAX:
        raise OverflowError("%s=%d does not fit in a C int" % (name, number))
    return number


def _channel(value, name):
    try:
        number = operator.index(value)
    except TypeError:
        raise TypeError(
            "colour channel %s must be an integer, not %s" % (name, type(value).__name__)
        ) from None
    if not 0 <= number <= 255:
        raise ValueError("colour channel %s=%d is outside 0..255" % (name, number))
    return number


class Color(collections.namedtuple("Color", "r g b")):
    """An RGB colour, each channel an integer 0..255. Anywhere a colour is
    taken, any sequence of three such integers (a tuple, a list) works too."""

    __slots__ = ()

    def __new__(cls, r, g, b):
        return super().__new__(cls, _channel(r, "r"), _channel(g, "g"), _channel(b, "b"))

    @classmethod
    def _make(cls, iterable):
        return cls(*iterable)

    @classmethod
    def coerce(cls, value):
        """``value`` as a Color, or TypeError/ValueError saying what is wrong."""
        if isinstance(value, cls):
            return value
        if isinstance(value, (str, bytes)) or not hasattr(value, "__len__"):
            raise TypeError("a colour is (r, g, b), not %r" % (value,))
        if len(value) != 3:
            raise ValueError("a colour has 3 channels, not %d: %r" % (len(value), value))
        return cls(*value)


BLACK = Color(0, 0, 0)
WHITE = Color(255, 255, 255)


def _color_record(value):
    return ColorRecord(*Color.coerce(value))


# ``ImageFormat`` and ``PixpenPngLevel`` from pixpen.h; the numbers are stable.
Format = enum.IntEnum("Format", _writing.FORMATS, module=__name__)
Format.__doc__ = "``ImageFormat`` from pixpen.h; the numbers are stable."
PngLevel = enum.IntEnum("PngLevel", _writing.PNG_LEVELS, module=__name__)
PngLevel.__doc__ = "``PixpenPngLevel`` from pixpen.h: how PNG output trades time for size."
_options = _writing.encode_options


def _writing_format(format, ascii, path=None):
    return Format(_writing.writing_format(format, ascii, path))


_DECODERS = {"tga": "decode_tga", "ppm": "decode_ppm", "pnm": "decode_ppm",
             "p3": "decode_ppm", "p6": "decode_ppm", "png": "decode_png"}


def _decoder(format):
    if format is None:
        return api.decode_image
    if isinstance(format, Format):
        format = "tga" if format == Format.TGA else "png" if format == Format.PNG else "ppm"
    if not isinstance(format, str):
        raise TypeError("format must be a str or pixpen.Format, not %s" % type(format).__name__)
    if format.lower() not in _DECODERS:
        raise ValueError("unknown format %r: one of %s" % (format, ", ".join(_DECODERS)))
    return getattr(api, _DECODERS[format.lower()])


_path = _writing.file_name


def _readable(data):
    """(object ctypes can pass as const void *, size), without copying when it can."""
    if isinstance(data, bytes):
        return data, len(data)
    if isinstance(data, str) or data is None:
        raise TypeError("expected a bytes-like object, not %s" % type(data).__name__)
    try:
        view = memoryview(data)
    except TypeError:
        raise TypeError("expected a bytes-like object, not %s" % type(data).__name__) from None
    if view.readonly or not view.c_contiguous:
        copy = view.tobytes()
        return copy, len(copy)
    return (ctypes.c_char * view.nbytes).from_buffer(view.cast("B")), view.nbytes


def _array_like(value):
    """Whether numpy could make an array of ``value``: what it converts by
    protocol, or nested lists and tuples."""
    protocols = ("__array__", "__array_interface__", "__array_struct__")
    return isinstance(value, (list, tuple)) or any(hasattr(value, name) for name in protocols)


_failure = _writing.failure


def _point_records(points):
    """``points`` as a PixpenPoint array and its length. A numpy array is
    converted in one step; anything else is read as a sequence of pairs."""
    if hasattr(points, "__array_interface__"):
        import numpy

        array = numpy.asarray(points)
        if array.ndim != 2 or array.shape[1] != 2:
            raise ValueError("points must be an N x 2 array, not %r" % (array.shape,))
        if array.size and not numpy.issubdtype(array.dtype, numpy.integer):
            raise TypeError("points must hold integers, not %s" % array.dtype)
        if array.size and (array.min() < -(2**31) or array.max() > 2**31 - 1):
            raise OverflowError("a point does not fit in 32-bit coordinates")
        array = numpy.ascontiguousarray(array, dtype=numpy.int32)
        records = (_native.PointRecord * len(array)).from_buffer_copy(array.tobytes())
        return records, len(array)
    pairs = list(points)
    records = (_native.PointRecord * len(pairs))()
    for i, pair in enumerate(pairs):
        try:
            x, y = pair
        except (TypeError, ValueError):
            raise TypeError("point %d is not an (x, y) pair: %r" % (i, pair)) from None
        records[i].x = _integer(x, "x")
        records[i].y = _integer(y, "y")
    return records, len(pairs)


def _destroy(handle):
    # Looked up at call time, so that tests can count the calls.
    _native.api.destroy_image(handle)


def _optional(module, purpose, package):
    try:
        return __import__(module, fromlist=["_"])
    except ImportError:
        raise ImportError("%s needs %s (Debian: %s)" % (purpose, module, package)) from None


class Image:
    """A 24-bit RGB picture owned by this object, with its turtle.

    ``Image(width, height)`` is black, its turtle in the middle facing up
    (heading 90), pen down, white. Free it with ``close()`` or a ``with``
    block; an image dropped without either is freed when it is collected.
    Using a closed image raises :class:`pixpen.ClosedImageError`. While a
    numpy array or memoryview of the pixels is alive, ``close()`` and the end
    of a ``with`` block raise ``BufferError`` and leave the image open.
    ``copy()``, ``copy.copy`` and ``copy.deepcopy`` give an independent image
    (pixels and turtle); pickles carry the pixels as P6 plus the turtle.
    """

    def __init__(self, width, height):
        width = _integer(width, "width")
        height = _integer(height, "height")
        self._adopt(_writing.new_handle(width, height))

    def _adopt(self, handle):
        self._handle = handle
        # C allows one thread per image at a time, and close() must never free
        # an image that another thread is still drawing on.
        self._lock = threading.RLock()
        self._pixel_owner = None
        self._finalizer = weakref.finalize(self, _destroy, handle)

    @classmethod
    def _from_handle(cls, handle):
        image = cls.__new__(cls)
        image._adopt(handle)
        return image

    # ---- copies and pickles ----------------------------------------------------
    # Each copy owns a C image of its own: sharing the handle would let one
    # close() free the pixels under the other.

    _OWN_FIELDS = frozenset(("_handle", "_lock", "_pixel_owner", "_finalizer"))

    def _extra_state(self):
        """A subclass's own attributes, which copies carry along."""
        return {k: v for k, v in self.__dict__.items() if k not in Image._OWN_FIELDS}

    def _turtle_state(self):
        record = self._live().contents
        color = record.turtle_color
        return (record.turtle_x, record.turtle_y, record.turtle_angle,
                bool(record.turtle_pen_down), (color.r, color.g, color.b))

    def _set_turtle_state(self, state):
        x, y, angle, pen_down, color = state
        # Through the turtle's own functions, which refuse a position that no
        # turtle could reach, except the heading: any int is valid, and turning
        # by the difference could overflow.
        if not self.set_position(x, y):
            raise ValueError("turtle position (%s, %s) is outside the %d x %d image"
                             % (x, y, self.width, self.height))
        self._live().contents.turtle_angle = _integer(angle, "angle")
        (self.pen_down if pen_down else self.pen_up)()
        self.set_color(color)

    def copy(self):
        """A new image with the same pixels and turtle, independent of this one."""
        with self._lock:
            record = self._live().contents
            duplicate = type(self).frombytes(record.width, record.height, self.tobytes())
            duplicate._set_turtle_state(self._turtle_state())
        duplicate.__dict__.update(self._extra_state())
        return duplicate

    def __copy__(self):
        return self.copy()

    def __deepcopy__(self, memo):
        duplicate = self.copy()
        memo[id(self)] = duplicate
        duplicate.__dict__.update(copy.deepcopy(self._extra_state(), memo))
        return duplicate

    def __reduce__(self):
        # Pickled as a P6 file plus the turtle, so that loading goes through the
        # library's own reader and checks whatever the pickle holds.
        with self._lock:
            state = (self.encode(Format.PPM_BINARY), self._turtle_state())
        return (_unpickle_image, (type(self),) + state, self._extra_state() or None)

    # ---- lifetime ----------------------------------------------------------

    def close(self):
        """Frees the image; later calls do nothing. Raises BufferError, leaving
        the image open, while arrays or memoryviews of its pixels exist."""
        with self._lock:
            if self._handle is None:
                return
            if self._pixel_owner is not None and self._pixel_owner() is not None:
                raise BufferError(
                    "cannot close an image while numpy arrays or memoryviews of its pixels exist"
                )
            self._handle = None
            self._finalizer()

    @property
    def closed(self):
        return self._handle is None

    def __enter__(self):
        self._live()
        return self

    def __exit__(self, *exc_info):
        self.close()

    def _live(self):
        handle = self._handle
        if handle is None:
            raise ClosedImageError("the image is closed")
        return handle

    def _call(self, function, *args):
        with self._lock:
            return function(self._live(), *args)

    def _field(self, name):
        with self._lock:
            return getattr(self._live().contents, name)

    # ---- size and turtle state ------------------------------------------------

    width = property(lambda self: self._field("width"), doc="Pixels per row.")
    height = property(lambda self: self._field("height"), doc="Number of rows.")
    x = property(lambda self: self._field("turtle_x"), doc="The turtle's column.")
    y = property(lambda self: self._field("turtle_y"), doc="The turtle's row.")
    angle = property(
        lambda self: self._field("turtle_angle"),
        doc="The turtle's heading in whole degrees, counter-clockwise, 90 = up; never normalised.",
    )
    heading = angle
    is_pen_down = property(
        lambda self: self._field("turtle_pen_down"),
        doc="True while the turtle draws as it moves (see pen_up() and pen_down()).",
    )

    @property
    def size(self):
        with self._lock:
            record = self._live().contents
            return record.width, record.height

    @property
    def position(self):
        with self._lock:
            record = self._live().contents
            return record.turtle_x, record.turtle_y

    @property
    def color(self):
        """The turtle's colour; assigning sets it like set_color()."""
        with self._lock:  # the field is a view into the record: read it before close() can free it
            value = self._live().contents.turtle_color
            return Color(value.r, value.g, value.b)

    @color.setter
    def color(self, value):
        self.set_color(value)

    # ---- turtle ---------------------------------------------------------------

    def forward(self, distance):
        """Moves ``distance`` pixels along the heading (back if negative),
        drawing when the pen is down. False, changing nothing, if the end
        point is outside the image."""
        return self._call(api.turtle_forward, _integer(distance, "distance"))

    def backward(self, distance):
        return self.forward(-_integer(distance, "distance"))

    def left(self, degrees):
        """Turns counter-clockwise."""
        self._call(api.turtle_left, _integer(degrees, "degrees"))

    def right(self, degrees):
        """Turns clockwise."""
        self._call(api.turtle_right, _integer(degrees, "degrees"))

    def face_north(self):
        """Sets the heading to 90 (up)."""
        self._call(api.turtle_face_north)

    def pen_up(self):
        self._call(api.turtle_pen_up)

    def pen_down(self):
        self._call(api.turtle_pen_down)

    def set_color(self, color):
        self._call(api.turtle_set_color, _color_record(color))

    def move_to(self, x, y):
        """Moves to pixel (x, y), drawing when the pen is down. False, staying
        put, if (x, y) is not a pixel."""
        return self._call(api.turtle_move, _integer(x, "x"), _integer(y, "y"))

    goto = move_to

    def set_position(self, x, y):
        """Places the turtle without drawing; 0 <= x <= width and 0 <= y <=
        height are accepted. False, staying put, otherwise."""
        return self._call(api.turtle_set_xy, _integer(x, "x"), _integer(y, "y"))

    # ---- drawing ---------------------------------------------------------------

    def pixel(self, x, y, color):
        """Sets pixel (x, y); points outside the image are ignored."""
        self._call(api.do_pixel, _integer(x, "x"), _integer(y, "y"), _color_record(color))

    def line(self, x0, y0, x1, y1, color):
        """Draws the line between both ends (included); parts outside are skipped."""
        coordinates = [_integer(v, n) for v, n in zip((x0, y0, x1, y1), ("x0", "y0", "x1", "y1"))]
        self._call(api.do_line, *coordinates, _color_record(color))

    def _shape(self, function, color, **arguments):
        values = [_integer(value, name) for name, value in arguments.items()]
        self._call(function, *values, _color_record(color))

    def thick_line(self, x0, y0, x1, y1, width, color):
        """Every pixel whose centre is within width / 2 of the segment (round
        caps); width <= 1 draws what line() draws."""
        self._shape(api.do_thick_line, color, x0=x0, y0=y0, x1=x1, y1=y1, width=width)

    def rectangle(self, x0, y0, x1, y1, color, fill=False):
        """The rectangle with opposite corners (x0, y0) and (x1, y1), included."""
        function = api.do_fill_rectangle if fill else api.do_rectangle
        self._shape(function, color, x0=x0, y0=y0, x1=x1, y1=y1)

    def circle(self, cx, cy, radius, color, fill=False):
        """The midpoint circle, or with fill=True every pixel with
        dx^2 + dy^2 <= radius^2 + radius. A negative radius draws nothing."""
        function = api.do_fill_circle if fill else api.do_circle
        self._shape(function, color, cx=cx, cy=cy, radius=radius)

    def ellipse(self, cx, cy, rx, ry, color, fill=False):
        """An axis-aligned ellipse with radii rx and ry; equal radii give circle()."""
        function = api.do_fill_ellipse if fill else api.do_ellipse
        self._shape(function, color, cx=cx, cy=cy, rx=rx, ry=ry)

    def arc(self, cx, cy, radius, start, end, color):
        """The circle's pixels from ``start`` to ``end`` degrees, counter-clockwise
        from east (90 = up), both ends included."""
        self._shape(api.do_arc, color, cx=cx, cy=cy, radius=radius, start=start, end=end)

    def polygon(self, points, color, fill=False):
        """The polygon through ``points`` (pairs, or a numpy N x 2 array), closed;
        with fill=True also every pixel inside by the even-odd rule."""
        records, count = _point_records(points)
        function = api.do_fill_polygon if fill else api.do_polygon
        self._call(function, records, count, _color_record(color))

    def flood_fill(self, x, y, color):
        """Repaints the 4-connected region of the colour at (x, y); a seed
        outside the image changes nothing. Raises PixpenMemoryError when
        memory runs out."""
        error = ErrorRecord()
        if not self._call(
            api.do_flood_fill, _integer(x, "x"), _integer(y, "y"), _color_record(color), error
        ):
            raise _failure(error)

    def clear(self, color=BLACK):
        self._call(api.do_clear, _color_record(color))

    def invert(self):
        """Replaces every channel value v by 255 - v."""
        self._call(api.do_invert)

    def reverse_rgb(self):
        """Swaps red and blue in every pixel."""
        self._call(api.do_reverse_rgb)

    def _index(self, key):
        try:
            x, y = key
        except (TypeError, ValueError):
            raise TypeError("pixels are indexed as image[x, y]") from None
        x, y = _integer(x, "x"), _integer(y, "y")
        record = self._live().contents
        if not (0 <= x < record.width and 0 <= y < record.height):
            raise IndexError("(%d, %d) is outside the %d x %d image"
                             % (x, y, record.width, record.height))
        return record, x, y

    # image[x, y] is no sequence: iter(image) should fail at once, not try image[0].
    __iter__ = None

    def __getitem__(self, key):
        """The colour of pixel (x, y): ``image[x, y]``."""
        with self._lock:
            record, x, y = self._index(key)
            value = record.pixels[y * record.width + x]
            return Color(value.r, value.g, value.b)

    def __setitem__(self, key, color):
        color = _color_record(color)
        with self._lock:
            _, x, y = self._index(key)
            api.do_pixel(self._handle, x, y, color)

    # ---- raw pixels ----------------------------------------------------------------

    def tobytes(self):
        """The pixels as bytes: rows top first, R, G, B per pixel."""
        with self._lock:
            record = self._live().contents
            size = record.width * record.height * 3
            return ctypes.string_at(record.pixels, size) if size else b""

    @classmethod
    def frombytes(cls, width, height, data):
        """A new image from width * height * 3 bytes as tobytes() gives them."""
        source, size = _readable(data)
        width, height = _integer(width, "width"), _integer(height, "height")
        if width >= 0 and height >= 0 and size != width * height * 3:
            raise ValueError("%d x %d pixels need %d bytes, not %d"
                             % (width, height, width * height * 3, size))
        image = cls.__new__(cls)
        Image.__init__(image, width, height)
        if size:
            ctypes.memmove(image._live().contents.pixels, source, size)
        return image

    @property
    def pixels(self):
        """A writable memoryview (height x width x 3 bytes) of the pixels, shared
        with the image: no copy. close() refuses while such views exist. An
        image without pixels gives an empty flat view."""
        with self._lock:
            record = self._live().contents
            width, height = record.width, record.height
            if width == 0 or height == 0:
                return memoryview(bytearray())
            owner = self._pixel_owner() if self._pixel_owner is not None else None
            if owner is None:
                address = ctypes.cast(record.pixels, ctypes.c_void_p).value
                owner = (ctypes.c_uint8 * (width * height * 3)).from_address(address)
                # Views keep the image open: it cannot be freed under them.
                owner.image = self
                self._pixel_owner = weakref.ref(owner)
            return memoryview(owner).cast("B", (height, width, 3))

    def __buffer__(self, flags):  # the buffer protocol from Python 3.12 on
        return self.pixels

    def __array__(self, dtype=None, copy=None):
        """numpy.asarray(image): a height x width x 3 uint8 array sharing the
        pixels (writes change the image), unless a dtype or copy asks for one."""
        numpy = _optional("numpy", "numpy.asarray(image)", "python3-numpy")
        height, width = self.height, self.width
        if width == 0 or height == 0:
            array = numpy.zeros((height, width, 3), numpy.uint8)
        else:
            array = numpy.asarray(self.pixels)
        if dtype is not None and numpy.dtype(dtype) != array.dtype:
            if copy is False:
                raise ValueError("a %s array of the image needs a copy" % numpy.dtype(dtype))
            return array.astype(dtype)
        return array.copy() if copy else array

    @classmethod
    def from_array(cls, array):
        """A new image copied from a height x width x 3 array of uint8 (a numpy
        array, or anything with the buffer protocol and that shape)."""
        try:
            view = memoryview(array)
        except TypeError:
            if not _array_like(array):
                raise TypeError("expected a height x width x 3 array of uint8, not %s"
                                % type(array).__name__) from None
            numpy = _optional("numpy", "Image.from_array(%s)" % type(array).__name__,
                              "python3-numpy")
            view = memoryview(numpy.ascontiguousarray(array))
        if view.ndim != 3 or view.shape[2] != 3:
            raise ValueError("expected an array of height x width x 3, not shape %s"
                             % (view.shape,))
        if view.format.lstrip("@=<>!|") != "B":
            raise TypeError("expected uint8 samples, not format %r: convert with "
                            "array.astype(numpy.uint8)" % view.format)
        height, width = view.shape[:2]
        # A plain contiguous array goes straight into the new image, without
        # a second full-size copy on the way.
        plain = view.c_contiguous and view.format == "B" and not view.readonly
        return cls.frombytes(width, height, view if plain else view.tobytes())

    def to_pil(self):
        """A Pillow RGB image with a copy of the pixels."""
        pil = _optional("PIL.Image", "Image.to_pil()", "python3-pil")
        width, height = self.size
        return pil.frombytes("RGB", (width, height), self.tobytes())

    @classmethod
    def from_pil(cls, picture):
        """A new image from a Pillow image, converted to RGB when it is not."""
        if not (hasattr(picture, "mode") and hasattr(picture, "tobytes")):
            raise TypeError("expected a Pillow image, not %s" % type(picture).__name__)
        if picture.mode != "RGB":
            picture = picture.convert("RGB")
        width, height = picture.size
        return cls.frombytes(width, height, picture.tobytes())

    # ---- files and bytes -----------------------------------------------------

    @classmethod
    def open(cls, file, format=None):
        """Reads an image from a file name (str, bytes, os.PathLike) or a binary
        file object. The format is recognised from the first bytes unless
        given ('tga', 'ppm', 'png')."""
        if hasattr(file, "read"):
            return cls.decode(file.read(), format)
        path = _path(file)
        if format is not None:
            decoder = _decoder(format)
            try:
                with open(path, "rb") as stream:
                    data = stream.read()
            except OSError as exc:
                raise error_from_status(Status.CANNOT_OPEN, exc.strerror or str(exc), file) \
                    from None
            return cls._decode(decoder, data, file)
        error = ErrorRecord()
        handle = api.read_image(path, ctypes.byref(error))
        if not handle:
            raise _failure(error, file)
        return cls._from_handle(handle)

    @classmethod
    def decode(cls, data, format=None):
        """Reads an image from bytes-like data (bytes, bytearray, memoryview);
        the format is recognised from the first bytes unless given."""
        return cls._decode(_decoder(format), data)

    @classmethod
    def _decode(cls, decoder, data, filename=None):
        source, size = _readable(data)
        error = ErrorRecord()
        handle = decoder(source, size, ctypes.byref(error))
        if not handle:
            raise _failure(error, filename)
        return cls._from_handle(handle)

    def save(self, file, format=None, *, ascii=False, png_level="default"):
        """Writes the image to a file name or a binary file object. The format
        comes from ``format`` ('tga', 'ppm', 'png', or a Format) or else from
        the name's suffix (.tga, .ppm/.pnm, .png); PPM is binary P6 unless
        ``ascii`` asks for text P3. ``png_level`` ('default', 'fastest',
        'smallest' or a PngLevel) trades PNG encoding time for file size."""
        if hasattr(file, "write"):
            file.write(self.encode(format, ascii=ascii, png_level=png_level))
            return
        self._call(lambda handle: _writing.write(handle, file, format, ascii=ascii,
                                                 png_level=png_level))

    def encode(self, format, *, ascii=False, png_level="default"):
        """The bytes save() would write, in ``format``."""
        chosen = _writing_format(format, ascii)
        options = _options(png_level)
        data = ctypes.POINTER(ctypes.c_uint8)()
        size = ctypes.c_size_t()
        error = ErrorRecord()
        with self._lock:
            ok = api.encode_image_with_options(self._live(), chosen, ctypes.byref(options),
                                               ctypes.byref(data), ctypes.byref(size),
                                               ctypes.byref(error))
        if not ok:
            raise _failure(error)
        try:
            return ctypes.string_at(data, size.value)
        finally:
            api.free_buffer(data)

    def _repr_png_(self):
        # Notebooks call this to show the image; None lets them fall back to repr.
        try:
            return self.encode(Format.PNG)
        except (ClosedImageError, PixpenError):
            return None

    def __repr__(self):
        if self._handle is None:
            return "<pixpen.Image closed>"
        with self._lock:
            record = self._live().contents
            color = record.turtle_color
            return "<pixpen.Image %dx%d turtle at (%d, %d) heading %d pen %s color (%d, %d, %d)>" % (
                record.width, record.height, record.turtle_x, record.turtle_y,
                record.turtle_angle, "down" if record.turtle_pen_down else "up",
                color.r, color.g, color.b)


def _unpickle_image(cls, ppm, turtle):
    if not (isinstance(cls, type) and issubclass(cls, Image)):
        raise TypeError("not a pixpen.Image class: %r" % (cls,))
    image = cls._decode(api.decode_ppm, ppm)
    image._set_turtle_state(turtle)
    return image
