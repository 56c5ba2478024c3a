import gc
import random

import pytest

import pixpen


def random_image(width=7, height=5, seed=1):
    """An image whose every pixel differs from its neighbours, so that swapped
    channels, rows or columns show."""
    data = random.Random(seed).randbytes(width * height * 3)
    return pixpen.Image.frombytes(width, height, data)


@pytest.fixture
def image():
    with random_image() as picture:
        yield picture


@pytest.fixture
def destroy_calls(monkeypatch):
    """Every handle destroy_image is called with, while the test runs."""
    calls = []
    original = pixpen._native.api.destroy_image

    def counting(handle):
        calls.append(pixpen._native.ctypes.addressof(handle.contents))
        original(handle)

    monkeypatch.setattr(pixpen._native.api, "destroy_image", counting)
    yield calls
    gc.collect()


def _writes_png():
    try:
        pixpen.Image(1, 1).encode("png")
        return True
    except pixpen.UnsupportedFormatError as error:
        assert error.message.startswith("PNG writing not built in")
        return False


# A library built without a compression library refuses PNG, saying so.
needs_png = pytest.mark.skipif(not _writes_png(), reason="this libpixpen was built without PNG")


def reads_png():
    """Whether this libpixpen was built with libspng: a bare signature is then
    refused as cut short, not as an unsupported format."""
    try:
        pixpen.Image.decode(b"\x89PNG\r\n\x1a\n", "png")
    except pixpen.UnsupportedFormatError:
        return False
    except pixpen.PixpenError:
        return True
    return True


def need(module, package):
    return pytest.importorskip(module, reason="%s is not installed (Debian: %s)" % (module, package))
