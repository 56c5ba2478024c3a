"""The turtle's state read back through the properties, and the drawing
operations seen in the pixels."""
import pytest

import pixpen
from pixpen import Color

RED, BLUE = (255, 0, 0), (0, 0, 255)

# steps on a fresh 20 x 10 image, then what every property reads
TURTLE = [
    ([], dict(position=(10, 5), angle=90, is_pen_down=True, color=pixpen.WHITE)),
    ([("forward", 3, True)], dict(position=(10, 2))),
    ([("forward", 6, False)], dict(position=(10, 5))),
    ([("backward", 4, True)], dict(position=(10, 9))),
    ([("left", 90, None), ("forward", 10, True)], dict(position=(0, 5), angle=180)),
    ([("right", 450, None)], dict(angle=-360)),
    ([("left", 45, None), ("forward", 4, True)], dict(position=(7, 2), angle=135)),
    ([("move_to", (19, 9), True), ("move_to", (20, 9), False)], dict(position=(19, 9))),
    ([("set_position", (20, 10), True), ("set_position", (21, 0), False)],
     dict(position=(20, 10))),
    ([("right", 30, None), ("face_north", (), None)], dict(angle=90)),
    ([("pen_up", (), None)], dict(is_pen_down=False)),
    ([("pen_up", (), None), ("pen_down", (), None)], dict(is_pen_down=True)),
    ([("set_color", (RED,), None)], dict(color=Color(*RED))),
]


@pytest.mark.parametrize("steps, expected", TURTLE)
def test_turtle_state(steps, expected):
    with pixpen.Image(20, 10) as image:
        for name, args, result in steps:
            args = args if isinstance(args, tuple) else (args,)
            assert getattr(image, name)(*args) is result
        for name, value in expected.items():
            assert getattr(image, name) == value
        assert image.heading == image.angle and (image.x, image.y) == image.position


def test_moves_draw_only_with_the_pen_down():
    with pixpen.Image(20, 10) as image:
        image.color = BLUE
        image.forward(3)
        assert [image[10, y] for y in range(1, 7)] == [(0, 0, 0)] + [BLUE] * 4 + [(0, 0, 0)]
        image.pen_up()
        before = image.tobytes()
        assert image.goto(0, 0) and image.tobytes() == before


def test_primitives_and_whole_image_operations():
    with pixpen.Image(5, 4) as image:
        image.clear((10, 20, 30))
        image.line(-10, 0, 100, 0, RED)  # clipped to the top row
        image.pixel(4, 3, BLUE)
        image.pixel(5, 3, RED)  # outside: ignored
        image[0, 3] = [1, 2, 3]
        assert [image[x, 0] for x in range(5)] == [RED] * 5
        assert image[4, 3] == BLUE and image[0, 3] == (1, 2, 3) and image[1, 1] == (10, 20, 30)
        image.reverse_rgb()
        assert image[0, 0] == BLUE and image[1, 1] == (30, 20, 10)
        image.invert()
        assert image[0, 0] == (255, 255, 0) and image[1, 1] == (225, 235, 245)
        assert image.tobytes()[3 * 5 * 3:3 * 5 * 3 + 3] == bytes((252, 253, 254))

