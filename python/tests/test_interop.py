"""numpy sees the pixels without a copy; numpy arrays and Pillow images
convert both ways; notebooks get a PNG."""
import io

import pytest

import pixpen
from conftest import need, needs_png


def test_numpy_view_shares_the_pixels(image):
    numpy = need("numpy", "python3-numpy")
    array = numpy.asarray(image)
    assert array.shape == (5, 7, 3) and array.dtype == numpy.uint8
    assert array.tobytes() == image.tobytes() and not array.flags.owndata
    array[4, 6] = (1, 2, 3)  # bottom-right: row 4, column 6
    assert image[6, 4] == (1, 2, 3)
    image.invert()
    assert tuple(array[4, 6]) == (254, 253, 252)
    assert numpy.shares_memory(array, numpy.asarray(image))
    copied = numpy.array(image, dtype=numpy.float32)
    assert copied.dtype == numpy.float32 and not numpy.shares_memory(copied, array)
    del array, copied
    image.close()


def test_numpy_round_trip_and_refusals(image):
    numpy = need("numpy", "python3-numpy")
    array = numpy.asarray(image).copy()
    for source in (array, array[:, ::-1], numpy.asfortranarray(array)):
        with pixpen.Image.from_array(source) as back:
            assert back.size == (source.shape[1], source.shape[0])
            assert back.tobytes() == numpy.ascontiguousarray(source).tobytes()
    with pytest.raises(TypeError, match="uint8"):
        pixpen.Image.from_array(array.astype(numpy.int16))
    for shape in [(5, 7), (5, 7, 4), (5, 7, 3, 1)]:
        with pytest.raises(ValueError):
            pixpen.Image.from_array(numpy.zeros(shape, numpy.uint8))
    with pixpen.Image(0, 3) as empty:
        assert numpy.asarray(empty).shape == (3, 0, 3)


def test_from_array_without_numpy():
    data = bytearray(range(2 * 3 * 3))
    view = memoryview(data).cast("B", (2, 3, 3))
    with pixpen.Image.from_array(view) as back:
        assert back.size == (3, 2) and back.tobytes() == bytes(data)


@pytest.mark.parametrize("mode", ["RGB", "L", "RGBA", "P"])
def test_pillow_both_ways(image, mode):
    need("PIL.Image", "python3-pil")
    picture = image.to_pil()
    assert picture.mode == "RGB" and picture.size == image.size
    assert picture.getpixel((6, 4)) == tuple(image[6, 4])
    converted = picture.convert(mode)
    with pixpen.Image.from_pil(converted) as back:
        assert back.tobytes() == converted.convert("RGB").tobytes()
    with pytest.raises(TypeError):
        pixpen.Image.from_pil(b"not a picture")


@needs_png
def test_notebook_png(image):
    pil = need("PIL.Image", "python3-pil")
    data = image._repr_png_()
    with pixpen.Image.from_pil(pil.open(io.BytesIO(data))) as shown:
        assert shown.tobytes() == image.tobytes()
    image.close()
    assert image._repr_png_() is None
