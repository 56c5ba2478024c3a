"""Every format round-trips through files and bytes, chosen by suffix or by
name, and reading recognises the format from the data."""
import io
import pathlib

import pytest

import pixpen
from conftest import need, needs_png, reads_png

# suffix, save() arguments, encode() arguments, first bytes of the file
WRITTEN = [
    (".tga", {}, ("tga",), b"\0\0\2"),
    (".TGA", {}, (pixpen.Format.TGA,), b"\0\0\2"),
    (".ppm", {}, ("ppm",), b"P6"),
    (".pnm", {}, ("p6",), b"P6"),
    (".ppm", {"ascii": True}, ("ppm",), b"P3"),
    (".img", {"format": "p3"}, ("ppm",), b"P3"),
    pytest.param(".png", {}, ("png",), b"\x89PNG\r\n\x1a\n", marks=needs_png),
    pytest.param(".png", {"png_level": "fastest"}, ("png",), b"\x89PNG", marks=needs_png),
    pytest.param(".png", {"png_level": pixpen.PngLevel.SMALLEST}, ("png",), b"\x89PNG",
                 marks=needs_png),
]


def _decoded(data, suffix):
    if b"PNG" in data[:4] and not reads_png():  # a library built without libspng
        pil = need("PIL.Image", "python3-pil")
        return pixpen.Image.from_pil(pil.open(io.BytesIO(data)))
    return pixpen.decode(data)


@pytest.mark.parametrize("suffix, options, encoding, magic", WRITTEN)
@pytest.mark.parametrize("kind", [str, pathlib.Path, lambda p: str(p).encode()])
def test_save_picks_the_format_and_reads_back(image, tmp_path, suffix, options, encoding, magic,
                                              kind):
    path = tmp_path / ("picture" + suffix)
    image.save(kind(path), **options)
    data = path.read_bytes()
    assert data.startswith(magic)
    ascii = options.get("ascii", False) or options.get("format") == "p3"
    assert data == image.encode(*encoding, ascii=ascii and encoding[0] == "ppm",
                                png_level=options.get("png_level", "default"))
    with _decoded(data, suffix) as back:
        assert back.size == image.size and back.tobytes() == image.tobytes()
    if not magic.startswith(b"\x89PNG"):
        with pixpen.open(kind(path)) as back:
            assert back.tobytes() == image.tobytes()


@pytest.mark.parametrize("level, error", [("tiny", ValueError), (7, pixpen.BadArgumentError),
                                          (1.5, TypeError), (None, TypeError)])
def test_unknown_png_levels_are_refused(image, tmp_path, level, error):
    with pytest.raises(error):
        image.encode("tga", png_level=level)
    with pytest.raises(error):
        image.save(tmp_path / "never.png", png_level=level)
    assert not (tmp_path / "never.png").exists()


@pytest.mark.parametrize("wrap", [bytes, bytearray, memoryview, lambda d: memoryview(d)[::1],
                                  lambda d: memoryview(bytearray(d) + b"!")[:-1],
                                  lambda d: memoryview(bytes(x for b in d for x in (b, 0)))[::2]],
                         ids=["bytes", "bytearray", "memoryview", "slice", "writable view",
                              "strided"])
@pytest.mark.parametrize("format", ["tga", "p3", "p6"])
def test_decode_takes_any_bytes_like(image, wrap, format):
    data = image.encode(format)
    for explicit in (None, format):
        with pixpen.decode(wrap(data), format=explicit) as back:
            assert back.tobytes() == image.tobytes()


def test_file_objects(image):
    stream = io.BytesIO()
    image.save(stream, "tga")
    stream.seek(0)
    with pixpen.open(stream) as back:
        assert back.tobytes() == image.tobytes()
    with pytest.raises(TypeError):
        image.save(io.BytesIO())  # no name, so no suffix to go by


def test_explicit_format_is_obeyed_when_reading(image, tmp_path):
    path = tmp_path / "picture.ppm"
    image.save(path, format="tga")  # the format given wins over the suffix
    with pytest.raises(pixpen.UnsupportedFormatError):
        pixpen.open(path, format="ppm")
    with pixpen.open(path, format="tga") as back, pixpen.open(path) as detected:
        assert back.tobytes() == detected.tobytes() == image.tobytes()


@pytest.mark.parametrize("size", [(0, 0), (3, 0), (0, 2), (1, 1)])
def test_degenerate_sizes(size):
    with pixpen.Image(*size) as image:
        assert image.tobytes() == bytes(size[0] * size[1] * 3) and len(image.pixels) == (
            size[1] if all(size) else 0)
        for format in ("tga", "ppm", "p3"):
            data = image.encode(format)
            if format == "tga" and not all(size):  # written, but read back only as PPM
                with pytest.raises(pixpen.BadHeaderError):
                    pixpen.decode(data)
                continue
            with pixpen.decode(data) as back:
                assert back.size == size and back.tobytes() == image.tobytes()
