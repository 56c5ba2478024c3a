"""Turtle graphics without a window: the drawing names of Python's standard
``turtle`` module, drawn with pixpen and saved as PNG (or TGA, PPM).

    from pixpen import turtle        # instead of: import turtle
    for _ in range(5):
        turtle.forward(100)
        turtle.left(360 / 5)
    turtle.Screen().save("pentagon.png")

or, for a script written for the standard module, unchanged:

    python3 -m pixpen.turtle script.py -o picture.png [--size W H]

The geometry is the standard module's: origin at the centre, y up, headings
in the 'standard', 'logo' and 'world' modes, circles as inscribed polygons.
Everything drawn is kept as a list of items, in the order a canvas would
stack them, and turned into pixels when the picture is saved. Methods that
need a window or events do nothing; those whose answer a script needs
(``textinput``) raise :class:`TurtleGraphicsError`.
"""

import math
import warnings
from array import array

from .. import _writing
from .._native import api
from ._colors_parse import parse_color_string

__all__ = []  # filled at the end, as the standard module does

# The standard module sizes its window as a fraction of the screen; this is
# the screen those fractions are taken of.
NOTIONAL_SCREEN = (1280, 1024)
DEFAULT_WINDOW = (0.5, 0.75)
DEFAULT_CANVAS = (400, 300)
UNDO_BUFFER_SIZE = 1000
# pen() keys and the attributes that hold them.
_PEN_FIELDS = {key: "_" + key for key in (
    "shown", "pendown", "pencolor", "fillcolor", "pensize", "speed", "resizemode",
    "stretchfactor", "tilt", "shearfactor")}
_PEN_FIELDS["outline"] = "_outlinewidth"
# Changing one of these ends the path the turtle is drawing: the next line
# starts a new one with the new pen.
_LINE_KEYS = frozenset(("pendown", "pencolor", "pensize"))
# Colour strings already found good; scripts name the same few again and again.
_KNOWN_COLORS = {""}
# (cos, sin) of the turns made so far: scripts turn by the same few angles.
_COS_SIN = {}
_COS_SIN_LIMIT = 4096


def _cos_sin(degrees):
    pair = _COS_SIN.get(degrees)
    if pair is None:
        if len(_COS_SIN) >= _COS_SIN_LIMIT:
            _COS_SIN.clear()
        radians = math.radians(degrees)
        pair = _COS_SIN[degrees] = (math.cos(radians), math.sin(radians))
    return pair


class TurtleGraphicsError(Exception):
    """A wrong argument, or something this module cannot do without a window."""


class Terminator(Exception):
    """Raised by turtle calls after bye()."""


class Vec2D(tuple):
    """A 2D vector: + and - add and subtract, * is the dot product with a
    vector and scales with a number, abs() is the length."""

    # Every move makes a few of these: the operators build them with
    # _vector, which skips the Python-level __new__.
    def __new__(cls, x, y):
        return tuple.__new__(cls, (x, y))

    def __add__(self, other):
        return _vector((self[0] + other[0], self[1] + other[1]))

    def __mul__(self, other):
        if isinstance(other, Vec2D):
            return self[0] * other[0] + self[1] * other[1]
        return _vector((self[0] * other, self[1] * other))

    def __rmul__(self, other):
        if isinstance(other, (int, float)):
            return _vector((self[0] * other, self[1] * other))
        return NotImplemented

    def __sub__(self, other):
        return _vector((self[0] - other[0], self[1] - other[1]))

    def __neg__(self):
        return _vector((-self[0], -self[1]))

    def __abs__(self):
        return math.hypot(*self)

    def rotate(self, angle):
        """This vector turned counter-clockwise by `angle` degrees."""
        x, y = self
        radians = math.radians(angle)
        c, s = math.cos(radians), math.sin(radians)
        # (x, y) * c + (-y, x) * s, in that order, so results stay bit for bit.
        return _vector((x * c + -y * s, y * c + x * s))

    def __getnewargs__(self):
        return (self[0], self[1])

    def __repr__(self):
        return "(%.2f,%.2f)" % self


def _vector(pair, _new=tuple.__new__):
    return _new(Vec2D, pair)


class Shape:
    """A turtle shape: 'polygon' (a tuple of points), 'image' (drawn as
    nothing here) or 'compound' (polygons added with addcomponent)."""

    def __init__(self, type_, data=None):
        self._type = type_
        if type_ == "polygon":
            if isinstance(data, list):
                data = tuple(data)
        elif type_ == "compound":
            data = []
        elif type_ != "image":
            raise TurtleGraphicsError("There is no shape type %s" % type_)
        self._data = data

    def addcomponent(self, poly, fill, outline=None):
        if self._type != "compound":
            raise TurtleGraphicsError("Cannot add component to %s Shape" % self._type)
        if outline is None:
            outline = fill
        self._data.append([poly, fill, outline])


def _standard_shapes():
    return {
        "arrow": Shape("polygon", ((-10, 0), (10, 0), (0, 10))),
        "turtle": Shape("polygon", (
            (0, 16), (-2, 14), (-1, 10), (-4, 7), (-7, 9), (-9, 8), (-6, 5), (-7, 1),
            (-5, -3), (-8, -6), (-6, -8), (-4, -5), (0, -7), (4, -5), (6, -8), (8, -6),
            (5, -3), (7, 1), (6, 5), (9, 8), (7, 9), (4, 7), (1, 10), (2, 14))),
        "circle": Shape("polygon", (
            (10, 0), (9.51, 3.09), (8.09, 5.88), (5.88, 8.09), (3.09, 9.51), (0, 10),
            (-3.09, 9.51), (-5.88, 8.09), (-8.09, 5.88), (-9.51, 3.09), (-10, 0),
            (-9.51, -3.09), (-8.09, -5.88), (-5.88, -8.09), (-3.09, -9.51), (-0.00, -10.00),
            (3.09, -9.51), (5.88, -8.09), (8.09, -5.88), (9.51, -3.09))),
        "square": Shape("polygon", ((10, -10), (10, 10), (-10, 10), (-10, -10))),
        "triangle": Shape("polygon", ((10, -5.77), (0, 11.55), (-10, -5.77))),
        "classic": Shape("polygon", ((0, 0), (-5, -9), (0, -7), (5, -9))),
        "blank": Shape("image", None),
    }


class _Path:
    """Lines drawn one after another with one pen: the points, in world
    coordinates, as x, y pairs in a flat array, so that a long walk costs two
    floats a move and is drawn in one call. Undo shortens it from the end."""

    __slots__ = ("coords", "outline", "width", "alive")
    kind = "path"

    def __init__(self, x, y, outline, width):
        self.coords = array("d", (x, y))
        self.outline, self.width, self.alive = outline, width, True


class _Item:
    """A polygon on the canvas (kind 'poly': points, fill, outline, width);
    points are in world coordinates. Removed items stay in the list, dead."""

    __slots__ = ("kind", "points", "fill", "outline", "width", "alive")

    def __init__(self, kind, points, fill=None, outline=None, width=1):
        self.kind, self.points, self.fill, self.outline = kind, points, fill, outline
        self.width, self.alive = width, True


class _Canvas:
    """Stands in for the Tk canvas that getcanvas() returns."""

    def postscript(self, *args, **kwargs):
        _warn_once("postscript", "no PostScript is written; use Screen().save('picture.png')")
        return ""

    def __getattr__(self, name):
        raise TurtleGraphicsError(
            "pixpen.turtle has no Tk canvas (it draws without a window): canvas.%s is "
            "not available" % name)


_warned = set()


def _warn_once(key, message):
    if key not in _warned:
        _warned.add(key)
        warnings.warn("pixpen.turtle: " + message, stacklevel=3)


def _needs_window(name):
    def method(self, *args, **kwargs):
        raise TurtleGraphicsError(
            "%s() needs a window and a user; pixpen.turtle draws without one" % name)
    method.__name__ = name
    return method


def _ignored(name):
    def method(self, *args, **kwargs):
        return None
    method.__name__ = name
    return method


class TurtleScreen:
    """The drawing surface: its size, coordinates, colours and the items drawn."""

    _EVENT_METHODS = ("onclick", "onscreenclick", "onkey", "onkeypress", "onkeyrelease",
                      "ontimer", "listen", "bgpic", "title")

    def __init__(self, cv=None, mode="standard", colormode=1.0, delay=10):
        self._size_override = None
        self._window = tuple(int(NOTIONAL_SCREEN[i] * DEFAULT_WINDOW[i]) for i in range(2))
        self._shapes = _standard_shapes()
        self._colormode = colormode
        self._delayvalue = delay
        self._tracing = 1
        self._mode = mode
        self._bgcolor = "white"
        self._canvas_size = DEFAULT_CANVAS
        self._world = None
        self.xscale = self.yscale = 1.0
        self._items = []
        self._top = None
        self._turtles = []
        self._bye = False

    # ---- size and coordinates ------------------------------------------

    def _pixel_size(self):
        return self._size_override or self._window

    def window_width(self):
        return self._pixel_size()[0]

    def window_height(self):
        return self._pixel_size()[1]

    def setup(self, width=DEFAULT_WINDOW[0], height=DEFAULT_WINDOW[1], startx=None,
              starty=None):
        """The window's size: ints are pixels, floats up to 1 fractions of a
        1280 x 1024 screen. The runner's --size wins over it."""
        sizes = []
        for value, screen in ((width, NOTIONAL_SCREEN[0]), (height, NOTIONAL_SCREEN[1])):
            if isinstance(value, float) and 0 <= value <= 1:
                value = screen * value
            sizes.append(max(1, int(value)))
        self._window = tuple(sizes)
        if self._world:
            self.setworldcoordinates(*self._world)

    def screensize(self, canvwidth=None, canvheight=None, bg=None):
        if canvwidth is canvheight is bg is None:
            return self._canvas_size
        self._canvas_size = (canvwidth or self._canvas_size[0],
                             canvheight or self._canvas_size[1])
        if bg is not None:
            self.bgcolor(bg)
        return None

    def _transform(self):
        """(x origin, y origin, x scale, y scale): pixel = origin + world * scale,
        y flipped. In world mode the rectangle maps into the window less a
        10-pixel margin, as a canvas with scroll bars shows it."""
        width, height = self._pixel_size()
        if self._mode == "world" and self._world:
            llx, lly, urx, ury = self._world
            xscale = (width - 20) / (urx - llx)
            yscale = (height - 20) / (ury - lly)
            return 10 - llx * xscale, 10 + ury * yscale, xscale, yscale
        return width / 2, height / 2, 1.0, 1.0

    def setworldcoordinates(self, llx, lly, urx, ury):
        if urx == llx or ury == lly:
            raise TurtleGraphicsError("setworldcoordinates needs a rectangle of nonzero size")
        if self._mode != "world":
            self.mode("world")
        self._world = (llx, lly, urx, ury)
        *_, self.xscale, self.yscale = self._transform()

    def mode(self, mode=None):
        if mode is None:
            return self._mode
        mode = mode.lower()
        if mode not in ("standard", "logo", "world"):
            raise TurtleGraphicsError("No turtle-graphics-mode %s" % mode)
        self._mode = mode
        if mode != "world":
            self._world = None
            self.xscale = self.yscale = 1.0
        self.reset()
        return None

    # ---- colours -------------------------------------------------------

    def colormode(self, cmode=None):
        if cmode is None:
            return self._colormode
        if cmode == 1.0:
            self._colormode = float(cmode)
        elif cmode == 255:
            self._colormode = int(cmode)
        return None

    def _colorstr(self, color):
        """The canonical string for a colour argument: a name or '#...' as
        given, or '#rrggbb' for a tuple in the current colour mode."""
        if len(color) == 1:
            color = color[0]
        if isinstance(color, str):
            if color in _KNOWN_COLORS or parse_color_string(color) is not None:
                _KNOWN_COLORS.add(color)
                return color
            raise TurtleGraphicsError("bad color string: %s" % str(color))
        try:
            r, g, b = color
        except (TypeError, ValueError):
            raise TurtleGraphicsError("bad color arguments: %s" % str(color)) from None
        if self._colormode == 1.0:
            r, g, b = [round(255.0 * x) for x in (r, g, b)]
        if not (0 <= r <= 255 and 0 <= g <= 255 and 0 <= b <= 255):
            raise TurtleGraphicsError("bad color sequence: %s" % str(color))
        return "#%02x%02x%02x" % (r, g, b)

    def _color(self, cstr):
        """What a colour query returns: names as they are, '#' strings as a
        tuple in the current colour mode."""
        if not cstr.startswith("#"):
            return cstr
        if len(cstr) == 7:
            channels = [int(cstr[i:i + 2], 16) for i in (1, 3, 5)]
        elif len(cstr) == 4:
            channels = [16 * int(h, 16) for h in cstr[1:]]
        else:
            raise TurtleGraphicsError("bad colorstring: %s" % cstr)
        return tuple(c * self._colormode / 255 for c in channels)

    def bgcolor(self, *args):
        if not args:
            return self._color(self._bgcolor)
        self._bgcolor = self._colorstr(args)
        return None

    # ---- drawing list --------------------------------------------------

    def _add(self, item):
        self._items.append(item)
        self._top = item
        return item

    def _live_items(self):
        return [item for item in self._items if item.alive]

    def save(self, filename, format=None, *, png_level="default"):
        """Writes the picture (items, then the visible turtles) to `filename`;
        the format is `format` or the name's suffix (.png, .tga, .ppm).
        ``png_level`` is pixpen.Image.save's: 'default', 'fastest' or 'smallest'."""
        from ._render import render

        width, height = self._pixel_size()
        # A bare image handle, not a pixpen.Image: the runner then never
        # imports the Image class and what it needs (enum, threading).
        handle = _writing.new_handle(width, height)
        try:
            shapes = [t._shape_item() for t in self._turtles if t.isvisible()]
            items = self._live_items() + [item for item in shapes if item is not None]
            render(handle, items, self._transform(), self._bgcolor)
            _writing.write(handle, filename, format, png_level=png_level)
        finally:
            api.destroy_image(handle)

    # ---- turtles, shapes, state ----------------------------------------

    def turtles(self):
        return list(self._turtles)

    def register_shape(self, name, shape=None):
        if shape is None:
            # A GIF file: image shapes are not drawn here, but the name works.
            shape = Shape("image", name)
        elif isinstance(shape, (tuple, list)):
            shape = Shape("polygon", shape)
        self._shapes[name] = shape

    addshape = register_shape

    def getshapes(self):
        return sorted(self._shapes)

    def clear(self):
        """Removes every drawing and every turtle, as on a fresh screen."""
        self._items = []
        self._top = None
        self._turtles = []
        self._bgcolor = "white"
        self._mode = "standard"
        self._world = None
        self.xscale = self.yscale = 1.0
        self._colormode = 1.0
        Turtle._pen = None

    clearscreen = clear

    def reset(self):
        for turtle in self._turtles:
            turtle._set_mode(self._mode)
            turtle.reset()

    resetscreen = reset

    def tracer(self, n=None, delay=None):
        if n is None:
            return self._tracing
        self._tracing = int(n)
        if delay is not None:
            self._delayvalue = int(delay)
        return None

    def delay(self, delay=None):
        if delay is None:
            return self._delayvalue
        self._delayvalue = int(delay)
        return None

    def update(self):
        if self._bye:
            raise Terminator

    def getcanvas(self):
        return _Canvas()

    def bye(self):
        self._bye = True

    def mainloop(self):
        """Returns at once: there is no window to wait for."""

    done = mainloop
    exitonclick = mainloop

    def numinput(self, title, prompt, default=None, minval=None, maxval=None):
        if default is not None:
            return default
        raise TurtleGraphicsError("numinput() needs a window and a user; pixpen.turtle "
                                  "draws without one (give it a default to use instead)")

    textinput = _needs_window("textinput")

    for _name in _EVENT_METHODS:
        locals()[_name] = _ignored(_name)
    del _name


_screen = None


def Screen():
    """The one screen, made on first use."""
    global _screen
    if _screen is None:
        _screen = _Screen()
    return _screen


class _Screen(TurtleScreen):
    pass


def _undo_move(turtle, x, y, path, length, fill_length):
    turtle._x, turtle._y = x, y
    if path is not None:
        del path.coords[length:]
    turtle._path = None  # its end may not be where the turtle now stands
    if fill_length is not None and turtle._fillpath is not None:
        del turtle._fillpath[fill_length:]


def _undo_turn(turtle, x, y):
    turtle._ox, turtle._oy = x, y


def _undo_pen(turtle, old):
    turtle._apply_pen(old)


def _undo_kill(turtle, item):
    item.alive = False


def _undo_stamp(turtle, stamp_id):
    turtle.clearstamp(stamp_id)


def _undo_all(turtle, entries):
    for entry in reversed(entries):
        entry[0](turtle, *entry[1:])


class RawTurtle:
    """A turtle drawing on a screen; `Turtle` draws on the one Screen()."""

    START_ORIENTATION = {"standard": Vec2D(1.0, 0.0), "world": Vec2D(1.0, 0.0),
                         "logo": Vec2D(0.0, 1.0)}

    def __init__(self, canvas=None, shape="classic", undobuffersize=UNDO_BUFFER_SIZE,
                 visible=True):
        self.screen = canvas if isinstance(canvas, TurtleScreen) else Screen()
        self.screen._turtles.append(self)
        self._shape = shape
        self._set_undo_size(undobuffersize)
        self._grouping = 0
        self._fullcircle = 360.0
        self._set_mode(self.screen._mode)
        self._degrees_per_unit = 1.0
        self.reset()
        self._shown = visible

    # ---- modes and angles ----------------------------------------------

    def _set_mode(self, mode):
        self._mode = mode
        if mode == "logo":
            self._angle_offset, self._angle_orient = self._fullcircle / 4.0, -1
        else:
            self._angle_offset, self._angle_orient = 0, 1

    def _set_full_circle(self, fullcircle):
        self._fullcircle = fullcircle
        self._degrees_per_unit = 360 / fullcircle
        self._angle_offset = 0 if self._mode != "logo" else fullcircle / 4.0

    def degrees(self, fullcircle=360.0):
        self._set_full_circle(fullcircle)

    def radians(self):
        self._set_full_circle(math.tau)

    # ---- state ---------------------------------------------------------

    def _reset_pen(self):
        self._pendown = True
        self._pencolor = "black"
        self._fillcolor = "black"
        self._pensize = 1
        self._speed = 3
        self._resizemode = "noresize"
        self._stretchfactor = (1.0, 1.0)
        self._shearfactor = 0.0
        self._tilt = 0.0
        self._outlinewidth = 1
        self._stamps = {}
        self._stamp_order = []

    def reset(self):
        """Back home, default pen, drawings of this turtle removed."""
        self._x = self._y = 0.0
        self._ox, self._oy = self.START_ORIENTATION[self._mode]
        self._kill(getattr(self, "_items", []))
        self._items = []
        self._path = None
        self._reset_pen()
        self._shown = True
        self._fillpath = None
        self._fillitem = None
        self._poly, self._creating_poly = None, False
        self._undo = [] if self._undo_size else None

    def clear(self):
        """Removes this turtle's drawings; it keeps its place and pen."""
        self._kill(self._items)
        self._items = []
        self._path = None
        self._fillpath = None
        self._fillitem = None
        if self._undo is not None:
            self._undo = []

    @staticmethod
    def _kill(items):
        for item in items:
            item.alive = False

    # Undo entries are tuples (function, arguments...): cheap to make, as
    # every move makes one; undo() calls function(turtle, arguments...).
    # _goto and _turn, called for every move, do the same inline.
    def _push_undo(self, entry):
        undo = self._undo
        if undo is not None:
            undo.append(entry)
            if len(undo) > self._undo_limit:
                self._trim_undo()

    def _trim_undo(self):
        # The oldest entries go in batches (amortised O(1) per move), never
        # while a circle is gathering its entries into one.
        if self._undo is not None and len(self._undo) > self._undo_size and not self._grouping:
            del self._undo[:len(self._undo) - self._undo_size]

    def _set_undo_size(self, size):
        self._undo_size = size or 0
        self._undo_limit = 2 * self._undo_size

    def setundobuffer(self, size):
        self._set_undo_size(size)
        self._undo = [] if size else None

    def undobufferentries(self):
        return min(len(self._undo), self._undo_size) if self._undo else 0

    def undo(self):
        self._trim_undo()
        if self._undo:
            entry = self._undo.pop()
            entry[0](self, *entry[1:])

    def _check_alive(self):
        if self.screen._bye:
            raise Terminator

    # ---- motion ----------------------------------------------------------

    def _goto(self, x, y):
        """Moves to (x, y), drawing if the pen is down: the line goes on the
        turtle's path while that is the top item, else a new path starts."""
        screen = self.screen
        if screen._bye:
            raise Terminator
        start_x, start_y = self._x, self._y
        path, length = None, 0
        if self._pendown:
            path = self._path
            if path is None or screen._top is not path:
                path = self._path = self._draw(
                    _Path(start_x, start_y, self._pencolor, self._pensize))
            coords = path.coords
            length = len(coords)
            coords.append(x)
            coords.append(y)
        fill_length = None
        if self._fillpath is not None:
            fill_length = len(self._fillpath)
            self._fillpath.append((x, y))
        if self._creating_poly:
            self._poly.append(_vector((x, y)))
        self._x, self._y = x, y
        undo = self._undo
        if undo is not None:
            undo.append((_undo_move, start_x, start_y, path, length, fill_length))
            if len(undo) > self._undo_limit:
                self._trim_undo()

    def _draw(self, item):
        self._items.append(item)
        return self.screen._add(item)

    def _turn(self, degrees):
        """Turns the heading vector, as Vec2D.rotate does, bit for bit."""
        c, s = _COS_SIN.get(degrees) or _cos_sin(degrees)
        x, y = self._ox, self._oy
        self._ox, self._oy = x * c + -y * s, y * c + x * s
        undo = self._undo
        if undo is not None:
            undo.append((_undo_turn, x, y))
            if len(undo) > self._undo_limit:
                self._trim_undo()

    def _rotate(self, angle):
        self._turn(angle * self._degrees_per_unit)

    def forward(self, distance):
        self._goto(self._x + self._ox * distance, self._y + self._oy * distance)

    # circle() walks with this, so that a subclass's own forward() is not called.
    _go = forward

    def back(self, distance):
        self._go(-distance)

    def right(self, angle):
        self._turn(-angle * self._degrees_per_unit)

    def left(self, angle):
        self._turn(angle * self._degrees_per_unit)

    def _to_vector(self, x, y):
        if y is not None:
            return Vec2D(x, y)
        if isinstance(x, RawTurtle):
            return x.position()
        return Vec2D(*x)

    def goto(self, x, y=None):
        if y is None:
            x, y = self._to_vector(x, y)
        self._goto(x, y)

    def teleport(self, x=None, y=None, *, fill_gap=False):
        pendown, was_filling = self._pendown, self.filling()
        self._pendown = False
        if was_filling and not fill_gap:
            self.end_fill()
        self.goto(self._x if x is None else x, self._y if y is None else y)
        self._pendown = pendown
        self._path = None  # the next line starts here, not where the path ends
        if was_filling and not fill_gap:
            self.begin_fill()

    def setx(self, x):
        self._goto(x, self._y)

    def sety(self, y):
        self._goto(self._x, y)

    def home(self):
        self.goto(0, 0)
        self.setheading(0)

    def setheading(self, to_angle):
        angle = (to_angle - self.heading()) * self._angle_orient
        full = self._fullcircle
        angle = (angle + full / 2.0) % full - full / 2.0
        self._rotate(angle)

    def circle(self, radius, extent=None, steps=None):
        """An inscribed polygon of `steps` sides over `extent` of a circle
        whose centre lies `radius` to the left."""
        undo_before = self._start_group()
        speed = self._speed
        if extent is None:
            extent = self._fullcircle
        if steps is None:
            fraction = abs(extent) / self._fullcircle
            steps = 1 + int(min(11 + abs(radius) / 6.0, 59.0) * fraction)
        w = 1.0 * extent / steps
        w2 = 0.5 * w
        length = 2.0 * radius * math.sin(math.radians(w2 * self._degrees_per_unit))
        if radius < 0:
            length, w, w2 = -length, -w, -w2
        self._rotate(w2)
        for _ in range(steps):
            self._go(length)
            self._rotate(w)
        self._rotate(-w2)
        self._speed = speed
        self._group_undo(undo_before)

    def _start_group(self):
        self._grouping += 1
        return len(self._undo) if self._undo is not None else 0

    def _group_undo(self, start):
        """Makes the undo entries since `start` one entry, undone together."""
        self._grouping -= 1
        if self._undo is None or len(self._undo) <= start + 1:
            return
        entries = self._undo[start:]
        del self._undo[start:]
        self._undo.append((_undo_all, entries))

    # ---- queries ---------------------------------------------------------

    def position(self):
        return _vector((self._x, self._y))

    def xcor(self):
        return self._x

    def ycor(self):
        return self._y

    def _angle_of(self, x, y):
        result = round(math.degrees(math.atan2(y, x)), 10) % 360.0
        result /= self._degrees_per_unit
        return (self._angle_offset + self._angle_orient * result) % self._fullcircle

    def heading(self):
        return self._angle_of(self._ox, self._oy)

    def towards(self, x, y=None):
        return self._angle_of(*(self._to_vector(x, y) - self.position()))

    def distance(self, x, y=None):
        return abs(self._to_vector(x, y) - self.position())

    # ---- pen -------------------------------------------------------------

    def pendown(self):
        self._set_pen("pendown", True)

    def penup(self):
        self._set_pen("pendown", False)

    def isdown(self):
        return self._pendown

    def pensize(self, width=None):
        if width is None:
            return self._pensize
        self._set_pen("pensize", width)

    def speed(self, speed=None):
        names = {"fastest": 0, "fast": 10, "normal": 6, "slow": 3, "slowest": 1}
        if speed is None:
            return self._speed
        speed = names.get(speed, speed)
        self.pen(speed=int(round(speed)) if 0.5 < speed < 10.5 else 0)

    def pencolor(self, *args):
        if not args:
            return self.screen._color(self._pencolor)
        self._set_pen("pencolor", self.screen._colorstr(args))

    def fillcolor(self, *args):
        if not args:
            return self.screen._color(self._fillcolor)
        self._set_pen("fillcolor", self.screen._colorstr(args))

    def color(self, *args):
        if not args:
            return self.pencolor(), self.fillcolor()
        if len(args) == 1:
            pen = fill = self.screen._colorstr(args)
        elif len(args) == 2:
            pen, fill = (self.screen._colorstr((a,)) for a in args)
        elif len(args) == 3:
            pen = fill = self.screen._colorstr(args)
        else:
            raise TurtleGraphicsError("bad color arguments: %s" % str(args))
        self._change_pen({"pencolor": pen, "fillcolor": fill})

    def showturtle(self):
        self.pen(shown=True)

    def hideturtle(self):
        self.pen(shown=False)

    def isvisible(self):
        return self._shown

    def _pen_dict(self):
        return {"shown": self._shown, "pendown": self._pendown, "pencolor": self._pencolor,
                "fillcolor": self._fillcolor, "pensize": self._pensize, "speed": self._speed,
                "resizemode": self._resizemode, "stretchfactor": self._stretchfactor,
                "outline": self._outlinewidth, "tilt": self._tilt,
                "shearfactor": self._shearfactor}

    def pen(self, pen=None, **pendict):
        """The pen's settings as a dict, or sets some of them."""
        if pen is None and not pendict:
            return self._pen_dict()
        changes = dict(pen) if pen else {}
        changes.update(pendict)
        for key in ("pencolor", "fillcolor"):
            if key in changes:
                changes[key] = self.screen._colorstr((changes[key],))
        if not _PEN_FIELDS.keys() >= changes.keys():
            unknown = set(changes) - set(_PEN_FIELDS)
            raise TurtleGraphicsError("unknown pen keys: %s" % ", ".join(sorted(unknown)))
        self._change_pen(changes)

    def _change_pen(self, changes):
        """Applies checked, canonical pen changes, undoably. penup(), pensize()
        and the colours come here directly, once per move in many scripts:
        only the fields that change are read back, not the whole pen."""
        fields = _PEN_FIELDS
        old = {key: getattr(self, fields[key]) for key in changes}
        self._apply_pen(changes)
        self._push_undo((_undo_pen, old))

    def _set_pen(self, key, value):
        """_change_pen for one field, without the dicts."""
        field = _PEN_FIELDS[key]
        old = getattr(self, field)
        if key in _LINE_KEYS and old != value:
            self._path = None
        setattr(self, field, value)
        self._push_undo((_undo_pen, {key: old}))

    def _apply_pen(self, changes):
        fields = _PEN_FIELDS
        for key, value in changes.items():
            if key == "stretchfactor" and isinstance(value, (int, float)):
                value = (value, value)
            if key in _LINE_KEYS and getattr(self, fields[key]) != value:
                self._path = None
            setattr(self, fields[key], value)

    width = pensize

    # ---- fills and dots --------------------------------------------------

    def filling(self):
        return self._fillpath is not None

    def begin_fill(self):
        """Starts a fill here; its polygon lies under what the turtle draws
        from now on, as on a canvas, and over what was drawn before."""
        if self._fillpath is not None:
            self._close_fill()
        self._fillitem = self._draw(_Item("poly", None))
        self._fillitem.alive = False  # shown once end_fill gives it points
        self._fillpath = [(self._x, self._y)]

    def _close_fill(self):
        item, path = self._fillitem, self._fillpath
        self._fillpath = self._fillitem = None
        return item, path

    def end_fill(self):
        if self._fillpath is None:
            return
        item, path = self._close_fill()
        if len(path) > 2:
            item.points, item.fill, item.alive = tuple(path), self._fillcolor, True
            self._push_undo((_undo_kill, item))

    def dot(self, size=None, *color):
        """A dot of diameter `size` (default max(pensize + 4, 2 * pensize)): a
        line of no length, that wide, as the standard module draws it."""
        if not color:
            if isinstance(size, (str, tuple)):
                color = self.screen._colorstr((size,))
                size = self._pensize + max(self._pensize, 4)
            else:
                color = self._pencolor
                if not size:
                    size = self._pensize + max(self._pensize, 4)
        else:
            if size is None:
                size = self._pensize + max(self._pensize, 4)
            color = self.screen._colorstr(color)
        # The standard module puts the pen down with that size and colour,
        # goes forward(0) and restores the pen: all that is left of it is a
        # line of no length, the point the fill gains, ints in the position
        # made floats, and one undo entry.
        self._check_alive()
        pendown = self._pendown
        self._path = self._draw(_Path(self._x, self._y, color, size))
        self._pendown = True
        try:
            self._go(0)
        finally:
            self._pendown, self._path = pendown, None

    def write(self, arg, move=False, align="left", font=("Arial", 8, "normal")):
        _warn_once("write", "write() draws no text yet; the rest of the picture is drawn")

    # ---- shapes and stamps -----------------------------------------------

    def shape(self, name=None):
        if name is None:
            return self._shape
        if name not in self.screen._shapes:
            raise TurtleGraphicsError("There is no shape named %s" % name)
        self._shape = name

    def shapesize(self, stretch_wid=None, stretch_len=None, outline=None):
        if stretch_wid is stretch_len is outline is None:
            return self._stretchfactor + (self._outlinewidth,)
        if stretch_wid == 0 or stretch_len == 0:
            raise TurtleGraphicsError("stretch_wid/stretch_len must not be zero")
        changes = {"resizemode": "user"}
        if stretch_wid is not None or stretch_len is not None:
            if stretch_len is None:
                stretch_len = stretch_wid
            elif stretch_wid is None:
                stretch_wid = stretch_len
            changes["stretchfactor"] = (stretch_wid, stretch_len)
        if outline is not None:
            changes["outline"] = outline
        self.pen(**changes)

    turtlesize = shapesize

    def resizemode(self, rmode=None):
        if rmode is None:
            return self._resizemode
        if rmode.lower() in ("auto", "user", "noresize"):
            self.pen(resizemode=rmode.lower())

    def shearfactor(self, shear=None):
        if shear is None:
            return self._shearfactor
        self.pen(resizemode="user", shearfactor=shear)

    def tilt(self, angle):
        self.settiltangle(angle + self.tiltangle())

    def tiltangle(self, angle=None):
        if angle is not None:
            return self.settiltangle(angle)
        tilt = -math.degrees(self._tilt) * self._angle_orient
        return (tilt / self._degrees_per_unit) % self._fullcircle

    def settiltangle(self, angle):
        tilt = -angle * self._degrees_per_unit * self._angle_orient
        self.pen(resizemode="user", tilt=math.radians(tilt) % math.tau)

    def _shape_matrix(self):
        if self._resizemode == "user":
            return self._user_matrix()
        if self._resizemode == "auto":
            scale = max(1, self._pensize / 5.0)
            return (scale, 0, 0, scale)
        return None

    def _user_matrix(self):
        """Stretch, then shear, then tilt, as one 2 x 2 matrix."""
        scx, scy = self._stretchfactor
        c, s = math.cos(self._tilt), math.sin(self._tilt)
        shear = self._shearfactor
        return (scx * c, scy * (shear * c + s), -scx * s, scy * (c - shear * s))

    def shapetransform(self, t11=None, t12=None, t21=None, t22=None):
        """The shape's matrix, or sets it (kept as stretch, shear and tilt)."""
        if t11 is t12 is t21 is t22 is None:
            return self._user_matrix()
        m11, m12, m21, m22 = (given if given is not None else current for given, current in
                              zip((t11, t12, t21, t22), self._user_matrix()))
        if m11 * m22 - m12 * m21 == 0:
            raise TurtleGraphicsError("Bad shape transform matrix: must not be singular")
        alfa = math.atan2(-m21, m11) % math.tau
        sa, ca = math.sin(alfa), math.cos(alfa)
        a11, a12, a22 = ca * m11 - sa * m21, ca * m12 - sa * m22, sa * m12 + ca * m22
        self.pen(resizemode="user", stretchfactor=(a11, a22), shearfactor=a12 / a22, tilt=alfa)

    def get_shapepoly(self):
        """The shape's polygon after stretch, shear and tilt, before turning to the heading."""
        shape = self.screen._shapes[self._shape]
        if shape._type != "polygon":
            return None
        matrix = self._shape_matrix()
        if matrix is None:
            return shape._data
        t11, t12, t21, t22 = matrix
        return tuple((t11 * x + t12 * y, t21 * x + t22 * y) for (x, y) in shape._data)

    def _world_polygon(self, polygon):
        """The shape's points placed at the turtle and turned to its heading,
        in world coordinates (shape units are pixels)."""
        matrix = self._shape_matrix()
        if matrix is not None:
            t11, t12, t21, t22 = matrix
            polygon = [(t11 * x + t12 * y, t21 * x + t22 * y) for (x, y) in polygon]
        screen = self.screen
        p0, p1 = self._x, self._y
        e = Vec2D(self._ox, self._oy * screen.yscale / screen.xscale)
        e0, e1 = (1.0 / abs(e)) * e
        return tuple(Vec2D(p0 + (e1 * x + e0 * y) / screen.xscale,
                           p1 + (-e0 * x + e1 * y) / screen.yscale) for (x, y) in polygon)

    def _shape_items(self):
        shape = self.screen._shapes[self._shape]
        outline = self._outlinewidth if self._resizemode == "user" else (
            self._pensize if self._resizemode == "auto" else 1)
        if shape._type == "polygon":
            return [_Item("poly", self._world_polygon(shape._data), fill=self._fillcolor,
                          outline=self._pencolor, width=outline)]
        if shape._type == "compound":
            return [_Item("poly", self._world_polygon(poly), fill=self.screen._colorstr((fill,)),
                          outline=self.screen._colorstr((line,)), width=self._outlinewidth)
                    for poly, fill, line in shape._data]
        return []

    def _shape_item(self):
        items = self._shape_items()
        return items[0] if len(items) == 1 else (_Group(items) if items else None)

    def stamp(self):
        items = self._shape_items()
        for item in items:
            self._draw(item)
        stamp_id = (id(self), len(self._stamp_order), len(self.screen._items))
        self._stamps[stamp_id] = items
        self._stamp_order.append(stamp_id)
        self._push_undo((_undo_stamp, stamp_id))
        return stamp_id

    def clearstamp(self, stampid):
        items = self._stamps.pop(stampid, None)
        if items:
            self._kill(items)
            self._stamp_order.remove(stampid)
            if self._undo:
                self._undo[:] = [entry for entry in self._undo
                                 if entry[0] is not _undo_stamp or entry[1] != stampid]

    def clearstamps(self, n=None):
        ids = list(self._stamp_order)
        if n is not None:
            ids = ids[:n] if n >= 0 else ids[n:]
        for stamp_id in ids:
            self.clearstamp(stamp_id)

    # ---- the rest ----------------------------------------------------------

    def clone(self):
        twin = RawTurtle.__new__(type(self))
        twin.__dict__.update(self.__dict__)
        twin._items = []
        twin._path = None
        twin._stamps, twin._stamp_order = {}, []
        twin._fillpath = twin._fillitem = None
        twin._undo = [] if self._undo_size else None
        self.screen._turtles.append(twin)
        return twin

    def getscreen(self):
        return self.screen

    def getturtle(self):
        return self

    getpen = getturtle

    def begin_poly(self):
        """Starts recording the corners the turtle visits, for a shape."""
        self._poly = [self.position()]
        self._creating_poly = True

    def end_poly(self):
        self._creating_poly = False

    def get_poly(self):
        return tuple(self._poly) if self._poly is not None else None

    for _name in ("onclick", "onrelease", "ondrag"):
        locals()[_name] = _ignored(_name)
    del _name

    fd = forward
    bk = backward = back
    rt = right
    lt = left
    setpos = setposition = goto
    seth = setheading
    pos = position
    pd = down = pendown
    pu = up = penup
    st = showturtle
    ht = hideturtle


class _Group:
    """The items of a compound shape, drawn as one."""

    def __init__(self, items):
        self.kind, self.items, self.alive = "group", items, True


class Turtle(RawTurtle):
    """A turtle on the one Screen()."""

    _pen = None

    def __init__(self, shape="classic", undobuffersize=UNDO_BUFFER_SIZE, visible=True):
        RawTurtle.__init__(self, Screen(), shape=shape, undobuffersize=undobuffersize,
                           visible=visible)


Pen = Turtle
RawPen = RawTurtle


def _getpen():
    if Turtle._pen is None:
        Turtle._pen = Turtle()
    return Turtle._pen


def getturtle():
    return _getpen()


getpen = getturtle


def _screen_function(name):
    def function(*args, **kwargs):
        return getattr(Screen(), name)(*args, **kwargs)
    function.__name__ = name
    function.__doc__ = getattr(TurtleScreen, name).__doc__
    return function


def _turtle_function(name):
    def function(*args, **kwargs):
        return getattr(Turtle._pen or _getpen(), name)(*args, **kwargs)
    function.__name__ = name
    function.__doc__ = getattr(RawTurtle, name).__doc__
    return function


_SCREEN_NAMES = [
    "addshape", "bgcolor", "bgpic", "bye", "clearscreen", "colormode", "delay", "done",
    "exitonclick", "getcanvas", "getshapes", "listen", "mainloop", "mode", "numinput",
    "onkey", "onkeypress", "onkeyrelease", "onscreenclick", "ontimer", "register_shape",
    "resetscreen", "screensize", "setup", "setworldcoordinates", "textinput", "title",
    "tracer", "turtles", "update", "window_height", "window_width"]

_TURTLE_NAMES = [
    "back", "backward", "begin_fill", "begin_poly", "bk", "circle", "clear", "clearstamp",
    "clearstamps", "clone", "color", "degrees", "distance", "dot", "down", "end_fill",
    "end_poly", "fd", "fillcolor", "filling", "forward", "get_poly", "getscreen",
    "goto", "heading", "hideturtle", "home", "ht", "isdown", "isvisible", "left", "lt",
    "onclick", "ondrag", "onrelease", "pd", "pen", "pencolor", "pendown", "pensize", "penup",
    "pos", "position", "pu", "radians", "reset", "resizemode", "right", "rt", "seth",
    "setheading", "setpos", "setposition", "settiltangle", "setundobuffer", "setx", "sety",
    "shape", "shapesize", "shapetransform", "get_shapepoly", "shearfactor", "showturtle", "speed", "st", "stamp", "teleport",
    "tilt", "tiltangle", "towards", "turtlesize", "undo", "undobufferentries", "up", "width",
    "write", "xcor", "ycor"]

for _name in _SCREEN_NAMES:
    globals()[_name] = _screen_function(_name)
for _name in _TURTLE_NAMES:
    globals()[_name] = _turtle_function(_name)
del _name

__all__ = (["ScrolledCanvas", "TurtleScreen", "Screen", "RawTurtle", "Turtle", "RawPen",
            "Pen", "Shape", "Vec2D", "Terminator", "TurtleGraphicsError", "getturtle",
            "getpen"] + _SCREEN_NAMES + _TURTLE_NAMES)
ScrolledCanvas = _Canvas
