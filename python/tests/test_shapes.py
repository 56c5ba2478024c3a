"""The shape methods: argument forms and failures on the Python side."""

import pytest

import pixpen

INK = (255, 128, 1)


def drawn(image):
    """Set of (x, y) whose colour is INK."""
    return {(x, y) for y in range(image.height) for x in range(image.width) if image[x, y] == INK}


def test_points_as_pairs_tuples_and_numpy_draw_alike():
    numpy = pytest.importorskip("numpy")
    star = [(10, 1), (13, 19), (1, 7), (19, 7), (7, 19)]
    results = []
    for points in (star, tuple(map(list, star)), numpy.array(star), numpy.array(star, "int64")):
        with pixpen.Image(21, 21) as image:
            image.polygon(points, INK, fill=True)
            results.append(drawn(image))
    # even-odd: the pentagon in the middle of the star stays empty
    assert (10, 11) not in results[0] and (10, 4) in results[0]
    assert all(result == results[0] for result in results)


@pytest.mark.parametrize(
    "points, error",
    [
        ([(1, 2, 3)], TypeError),
        ([(0, 2**31)], OverflowError),
        ("numpy-3-columns", ValueError),
        ("numpy-float", TypeError),
        ("numpy-too-big", OverflowError),
    ],
)
def test_bad_points_are_refused_before_drawing(points, error):
    if isinstance(points, str):
        numpy = pytest.importorskip("numpy")
        points = {
            "numpy-3-columns": numpy.zeros((4, 3), "int32"),
            "numpy-float": numpy.zeros((4, 2)),
            "numpy-too-big": numpy.array([[0, 0], [2**40, 1]]),
        }[points]
    with pixpen.Image(4, 4) as image, pytest.raises(error):
        image.polygon(points, INK)


def test_shapes_reach_the_library_with_their_arguments():
    with pixpen.Image(12, 9) as image:
        image.rectangle(1, 1, 3, 2, INK, fill=True)
        assert drawn(image) == {(x, y) for x in (1, 2, 3) for y in (1, 2)}
        image.clear()
        image.arc(6, 4, 3, 0, 90, INK)  # first quadrant on screen: right and up
        assert drawn(image) and all(x >= 6 and y <= 4 for x, y in drawn(image))
        image.clear()
        image.thick_line(0, 4, 11, 4, 3, INK)
        assert drawn(image) == {(x, y) for x in range(12) for y in (3, 4, 5)}
        image.clear()
        image.flood_fill(0, 0, INK)
        assert len(drawn(image)) == 12 * 9
        image.close()
        with pytest.raises(pixpen.ClosedImageError):
            image.flood_fill(0, 0, INK)
