import math
import os
import subprocess
import sys

import pytest

import pixpen
from pixpen import turtle as headless

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "turtle")


@pytest.fixture
def pen():
    headless.Screen().clear()
    return headless.Turtle()


def play(turtle, program):
    for command in program:
        name, *args = command
        getattr(turtle, name)(*args)


# Command sequences, and where the standard module's rules put the turtle:
# forward moves along (cos h, sin h), left turns counter-clockwise, circle(r)
# walks an inscribed polygon about the point r to the left, logo mode counts
# headings clockwise from north.
SQUARE_SPIRAL = [("fd", 10 * (i + 1)) for i in range(4)]
SEQUENCES = {
    "square": ([("fd", 100), ("lt", 90)] * 4, (0, 0), 0),
    "fifth turns": ([("fd", 50), ("lt", 360 / 5)] * 5, (0, 0), 0),
    "pentagram 2000x": ([("fd", 200), ("rt", 144)] * 5 * 2000, (0, 0), 0),
    "heptagon 10004 sides": ([("fd", 37.3), ("lt", 360 / 7)] * 10004, (37.3, 0), 360 / 7),
    "back and diagonal": ([("lt", 45), ("bk", math.sqrt(2))], (-1, -1), 45),
    "goto, setx, sety": ([("goto", 3, 4), ("setx", -2), ("sety", 7.5)], (-2, 7.5), 0),
    "home resets heading": ([("fd", 20), ("lt", 33), ("home",)], (0, 0), 0),
    "setheading": ([("seth", -90), ("fd", 5)], (0, -5), 270),
    "quarter circle": ([("circle", 60, 90)], (60, 60), 90),
    "right-hand quarter": ([("circle", -60, 90)], (60, -60), 270),
    "backwards arc": ([("circle", 60, -90)], (-60, 60), 270),
    "full circles 500x": ([("circle", 75)] * 500, (0, 0), 0),
    "hexagon by steps": ([("circle", 10, 360, 6)] * 3, (0, 0), 0),
    "radians": ([("radians",), ("lt", math.pi / 2), ("fd", 3)], (0, 3), math.pi / 2),
    "grads": ([("degrees", 400), ("lt", 100), ("fd", 3)], (0, 3), 100),
    "dot keeps place": ([("fd", 7), ("dot", 9), ("dot",)], (7, 0), 0),
    "undo a move": ([("fd", 7), ("lt", 10), ("fd", 9), ("undo",), ("undo",)], (7, 0), 0),
    "undo a circle": ([("fd", 7), ("circle", 30), ("undo",)], (7, 0), 0),
}


@pytest.mark.parametrize("name", SEQUENCES)
def test_positions_and_headings(pen, name):
    program, position, heading = SEQUENCES[name]
    play(pen, program)
    assert pen.position() == pytest.approx(position, abs=1e-6)
    assert min(abs(pen.heading() - heading), abs(abs(pen.heading() - heading) - 360)) < 1e-6


@pytest.mark.parametrize("radius, extent", [(50, 360), (-120, 270), (7, 45), (400, 360), (30, -200)])
def test_circle_vertices_lie_on_the_circle(pen, radius, extent):
    centre = (0.0, float(radius))
    pen.begin_fill()
    pen.circle(radius, extent)
    vertices = pen._fillpath
    documented_steps = 1 + int(min(11 + abs(radius) / 6, 59) * abs(extent) / 360)
    assert len(vertices) == documented_steps + 1
    for vertex in vertices:
        assert math.dist(vertex, centre) == pytest.approx(abs(radius))


def test_shapes_and_recorded_polygons(pen):
    # The standard module's documented example of a shape transform.
    pen.shape("square")
    pen.shapetransform(4, -1, 0, 2)
    flat = [c for point in pen.get_shapepoly() for c in point]
    assert flat == pytest.approx([50, -20, 30, 20, -50, 20, -30, -20])
    pen.begin_poly()
    play(pen, [("fd", 10), ("lt", 90), ("fd", 5)])
    pen.end_poly()
    pen.fd(99)
    assert [c for point in pen.get_poly() for c in point] == pytest.approx([0, 0, 10, 0, 10, 5])


def test_logo_mode_counts_clockwise_from_north(pen):
    pen.screen.mode("logo")
    pen = headless.Turtle()
    assert pen.heading() == 0
    play(pen, [("fd", 10), ("rt", 90), ("fd", 5)])
    assert pen.position() == pytest.approx((5, 10))
    assert pen.heading() == pytest.approx(90)
    assert pen.towards(5, 0) == pytest.approx(180)
    pen.screen.mode("standard")


def test_matches_the_standard_module_step_by_step(pen):
    standard = pytest.importorskip("turtle")
    if not hasattr(standard, "TNavigator"):
        pytest.skip("the standard turtle module is not importable here")
    for name, (program, _, _) in SEQUENCES.items():
        if any(command[0] in ("dot", "undo") for command in program):
            continue
        pen.screen.clear()
        ours, theirs = headless.Turtle(), standard.TNavigator()
        for command in program[:400]:
            getattr(ours, command[0])(*command[1:])
            getattr(theirs, command[0])(*command[1:])
            assert ours.position() == pytest.approx(theirs.position(), abs=1e-9), name
            assert ours.heading() == pytest.approx(theirs.heading(), abs=1e-9), name


COLORS = [
    # (colour mode, arguments, RGB drawn, or the error)
    (1.0, ("red",), (255, 0, 0)),
    (1.0, ("Light Sky Blue",), (135, 206, 250)),
    (1.0, ("lightskyblue",), (135, 206, 250)),
    (1.0, ("gray50",), (127, 127, 127)),
    (1.0, ("#1e90ff",), (30, 144, 255)),
    (1.0, ("#f80",), (240, 128, 0)),
    (1.0, ("#123456789",), (18, 69, 120)),
    (1.0, ("#ffff00000000",), (255, 0, 0)),
    (1.0, ((0.5, 0.25, 1.0),), (128, 64, 255)),
    (1.0, (0.0, 1.0, 0.0), (0, 255, 0)),
    (255, ((10, 20, 30),), (10, 20, 30)),
    (255, (255, 0, 255), (255, 0, 255)),
    (1.0, ("no such colour",), "bad color string"),
    (1.0, ("#12345",), "bad color string"),
    (1.0, ((255, 0, 0),), "bad color sequence"),
    (255, ((256, 0, 0),), "bad color sequence"),
    (1.0, ((1, 2),), "bad color arguments"),
]


@pytest.fixture
def picture_of(tmp_path):
    """Saves a screen and reads the picture back."""
    opened = []

    def save(screen):
        path = str(tmp_path / "screen.ppm")
        screen.save(path)
        opened.append(pixpen.open(path))
        return opened[-1]

    yield save
    for picture in opened:
        picture.close()


def middle(picture, dx=0, dy=0):
    width, height = picture.size
    return tuple(picture[width // 2 + dx, height // 2 + dy])


@pytest.mark.parametrize("mode, arguments, expected", COLORS)
def test_colour_arguments(pen, picture_of, mode, arguments, expected):
    pen.screen.colormode(mode)
    if isinstance(expected, str):
        with pytest.raises(headless.TurtleGraphicsError, match=expected):
            pen.pencolor(*arguments)
        return
    pen.pencolor(*arguments)
    pen.dot(5)
    pen.hideturtle()
    assert middle(picture_of(pen.screen)) == expected


def test_fill_is_even_odd_under_the_outline(pen, picture_of):
    pen.hideturtle()
    pen.color("blue", "yellow")
    pen.begin_fill()
    for _ in range(5):  # a pentagram: its centre is covered twice, so stays empty
        pen.forward(200)
        pen.right(144)
    pen.end_fill()
    picture = picture_of(pen.screen)
    assert middle(picture, 100, 32) == (255, 255, 255)  # the centre, covered twice
    assert middle(picture, 100, -40) == (255, 255, 0)  # the top arm
    assert middle(picture, 50, 0) == (0, 0, 255)  # the outline, drawn over the fill


def run_script(tmp_path, script, *options):
    output = tmp_path / (script + ".ppm")
    subprocess.run([sys.executable, "-m", "pixpen.turtle", os.path.join(EXAMPLES, script + ".py"),
                    "-o", str(output), *options], check=True, timeout=120)
    return pixpen.open(str(output))


def test_runner_draws_an_unmodified_script(tmp_path):
    with run_script(tmp_path, "fractal_tree") as picture:
        assert picture.size == (600, 500)  # from setup(600, 500)
        assert picture[300, 420] == (139, 69, 19)  # the trunk, saddle brown
        assert picture[3, 3] == (255, 255, 255)


def test_runner_size_option_wins(tmp_path):
    with run_script(tmp_path, "spiral", "--size", "300", "200") as picture:
        assert picture.size == (300, 200)
        assert picture[0, 0] == (0, 0, 0)  # bgcolor("black")
        data = picture.tobytes()
        assert len({data[i:i + 3] for i in range(0, len(data), 3)}) == 7  # six pens and black


# The runner reads its common command lines without argparse; whatever that
# shortcut takes, argparse must read the same way, and the rest goes to argparse.
@pytest.mark.parametrize("argv, shortcut", [
    (["s.py"], True), (["s.py", "-o", "a.png"], True),
    (["s.py", "--output", "a.png", "--size", "3", "04"], True),
    (["s.py", "--size", "3", "4", "-o", "a.png"], True), (["s.py", "--size", "0", "4"], False),
    (["s.py", "-o", "a.png", "-o", "b.png"], False), (["s.py", "--size=3", "4"], False),
    (["s.py", "x", "-o", "a"], False), (["s.py", "--out", "a.png"], False),
])
def test_runner_shortcut_reads_options_as_argparse(argv, shortcut, monkeypatch):
    from pixpen.turtle import __main__ as runner

    simple = runner._simple_arguments(argv)
    assert (simple is not None) == shortcut
    monkeypatch.setattr(runner, "_simple_arguments", lambda argv: None)
    if shortcut:
        assert vars(simple) == vars(runner.parse_arguments(argv))
