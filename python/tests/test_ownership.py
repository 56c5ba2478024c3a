"""Each image is freed exactly once, whichever way it ends, and a closed image
refuses every use instead of reaching C with a dangling pointer."""
import copy
import ctypes
import gc
import pickle
import threading

import pytest

import pixpen
from conftest import need


def _address(image):
    return ctypes.addressof(image._handle.contents)


# Each takes a one-element list, so that dropping it drops the last reference.
def end_by_close_twice(holder):
    holder[0].close()
    holder[0].close()


def end_by_with_then_close(holder):
    with holder[0]:
        pass
    holder[0].close()


def end_by_dropping(holder):
    holder.clear()


def end_by_close_then_drop(holder):
    holder.pop().close()


@pytest.mark.parametrize("end", [end_by_close_twice, end_by_with_then_close, end_by_dropping,
                                 end_by_close_then_drop])
@pytest.mark.parametrize("make", [lambda: pixpen.Image(3, 2),
                                  lambda: pixpen.decode(b"P6\n1 1\n255\n\1\2\3"),
                                  lambda: pixpen.Image.frombytes(1, 1, b"abc")])
def test_freed_exactly_once(destroy_calls, make, end):
    holder = [make()]
    address = _address(holder[0])
    end(holder)
    gc.collect()
    assert destroy_calls == [address]


def test_exception_inside_with_still_frees(destroy_calls):
    with pytest.raises(RuntimeError):
        with pixpen.Image(2, 2) as image:
            address = _address(image)
            raise RuntimeError
    assert destroy_calls == [address] and image.closed


USES = {
    "width": lambda i: i.width,
    "position": lambda i: i.position,
    "color": lambda i: i.color,
    "forward": lambda i: i.forward(1),
    "left": lambda i: i.left(1),
    "pen_up": lambda i: i.pen_up(),
    "set_color": lambda i: i.set_color((1, 2, 3)),
    "move_to": lambda i: i.move_to(0, 0),
    "pixel": lambda i: i.pixel(0, 0, (1, 2, 3)),
    "line": lambda i: i.line(0, 0, 1, 1, (1, 2, 3)),
    "clear": lambda i: i.clear(),
    "invert": lambda i: i.invert(),
    "getitem": lambda i: i[0, 0],
    "setitem": lambda i: i.__setitem__((0, 0), (1, 2, 3)),
    "tobytes": lambda i: i.tobytes(),
    "pixels": lambda i: i.pixels,
    "encode": lambda i: i.encode("tga"),
    "save": lambda i: i.save("never-written.tga"),
    "with": lambda i: i.__enter__(),
}


@pytest.mark.parametrize("use", USES.values(), ids=USES.keys())
def test_closed_image_refuses(use, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    image = pixpen.Image(4, 4)
    image.close()
    with pytest.raises(pixpen.ClosedImageError, match="closed"):
        use(image)
    assert list(tmp_path.iterdir()) == [] and repr(image) == "<pixpen.Image closed>"


@pytest.mark.parametrize("viewer", ["numpy", "memoryview"])
def test_views_keep_the_image_alive_and_block_close(destroy_calls, viewer):
    image = pixpen.Image(4, 3)
    address = _address(image)
    if viewer == "numpy":
        numpy = need("numpy", "python3-numpy")
        view = numpy.asarray(image)
    else:
        view = image.pixels
    with pytest.raises(BufferError):
        image.close()
    image.clear((9, 8, 7))
    del image
    gc.collect()
    assert destroy_calls == [] and [view[2, 3, c] for c in range(3)] == [9, 8, 7]
    view[2, 3, 0] = 1
    del view
    gc.collect()
    assert destroy_calls == [address]


def test_close_works_once_views_are_gone(destroy_calls):
    image = pixpen.Image(2, 2)
    view = image.pixels
    view.release()
    del view
    image.close()
    assert image.closed and len(destroy_calls) == 1


def test_close_waits_for_a_call_in_another_thread():
    image = pixpen.Image(1000, 1000)
    started, outcome = threading.Event(), []

    def draw():
        try:
            while True:
                image.clear((1, 2, 3))  # long enough for close() to arrive mid-call
                image.invert()
                started.set()
        except pixpen.ClosedImageError:
            outcome.append("refused")

    thread = threading.Thread(target=draw)
    thread.start()
    started.wait(10)
    image.close()
    thread.join(10)
    assert outcome == ["refused"]


class Tagged(pixpen.Image):
    """A subclass with state of its own, which copies must carry."""


COPIERS = {
    "copy.copy": copy.copy,
    "copy.deepcopy": copy.deepcopy,
    "Image.copy": lambda image: image.copy(),
    "pickle": lambda image: pickle.loads(pickle.dumps(image)),
}


@pytest.mark.parametrize("cls", [pixpen.Image, Tagged])
@pytest.mark.parametrize("copier", COPIERS.values(), ids=COPIERS.keys())
def test_copies_own_their_image(cls, copier):
    original = cls.frombytes(3, 2, bytes(range(18)))
    original.left(-400)
    original.move_to(0, 1)
    original.pen_up()
    original.set_color((4, 5, 6))
    original.tag = ["mine"]
    state = (type(original), original.tobytes(), repr(original), original.tag)
    duplicate = copier(original)
    assert _address(duplicate) != _address(original)
    original.clear((7, 7, 7))
    original.close()
    duplicate.invert()
    duplicate.invert()
    assert (type(duplicate), duplicate.tobytes(), repr(duplicate), duplicate.tag) == state


@pytest.mark.parametrize("cls, ppm, turtle, error", [
    (int, b"P6\n1 1\n255\n\0\0\0", (0, 0, 90, True, (1, 2, 3)), TypeError),
    (pixpen.Image, b"P6\n1 1\n255\n\0\0\0", (2, 0, 90, True, (1, 2, 3)), ValueError),
])
def test_unpickling_checks_what_it_is_given(cls, ppm, turtle, error):
    with pytest.raises(error):
        pixpen.image._unpickle_image(cls, ppm, turtle)
