"""PNG files that other tools write, of every colour type, bit depth and
interlace, with tRNS, gAMA and text chunks: pixpen reads 8-bit ones as
Pillow's convert("RGB") does, and 16-bit ones by keeping each sample's high
byte, grey copied to r, g and b."""
import io
import random
import shutil
import struct
import subprocess

import pytest

import pixpen
from conftest import need, reads_png

W, H = 13, 7  # odd, so that every interlace pass and sub-byte row padding shows
RNG = random.Random(21)
RGB16 = [RNG.randrange(65536) for _ in range(W * H * 3)]
GREY16 = [RNG.randrange(65536) for _ in range(W * H)]
ALPHA16 = [RNG.randrange(65536) for _ in range(W * H)]


pytestmark = pytest.mark.skipif(not reads_png(), reason="this libpixpen was built without libspng")


def pnm(channels, maxval, alpha=False):
    """A P5/P6 (or PAM with alpha) of the 16-bit samples, cut down to maxval."""
    samples = RGB16 if channels == 3 else GREY16
    scaled = [v * maxval // 65535 for v in samples]
    fmt = ">%dH" % len(scaled) if maxval > 255 else "%dB" % len(scaled)
    body = struct.pack(fmt, *scaled)
    if alpha:
        a = [v * maxval // 65535 for v in ALPHA16]
        size = 2 if maxval > 255 else 1
        step = channels * size
        body = b"".join(body[i * step:(i + 1) * step] + struct.pack(">H" if size == 2 else "B", a[i])
                        for i in range(W * H))
        tupl = "RGB_ALPHA" if channels == 3 else "GRAYSCALE_ALPHA"
        return ("P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL %d\nTUPLTYPE %s\nENDHDR\n"
                % (W, H, channels + 1, maxval, tupl)).encode() + body
    return b"P%d\n%d %d\n%d\n" % (6 if channels == 3 else 5, W, H, maxval) + body


def tool(name):
    path = shutil.which(name)
    if path is None:
        pytest.skip("%s is not installed (Debian: %s)" % (name, "imagemagick" if name == "convert" else "netpbm"))
    return path


def magick(source, *options):
    return subprocess.run([tool("convert"), "-", *options, "png:-"], input=source,
                          capture_output=True, check=True).stdout


def pnmtopng(source, *options):
    return subprocess.run([tool("pnmtopng"), *options], input=source,
                          capture_output=True, check=True).stdout


def pillow(mode, bits=None, **save):
    Image = need("PIL.Image", "python3-pil")
    colours = 1 << (bits or 8)
    if mode == "P":
        picture = Image.new("P", (W, H))
        picture.putpalette(bytes(RNG.randrange(256) for _ in range(colours * 3)))
        picture.putdata([RNG.randrange(colours) for _ in range(W * H)])
    else:
        bands = len(mode)
        picture = Image.frombytes(mode, (W, H), bytes(RNG.randrange(256) for _ in range(W * H * bands)))
    out = io.BytesIO()
    picture.save(out, "PNG", bits=bits, **save) if bits else picture.save(out, "PNG", **save)
    return out.getvalue()


def text_info(kind):
    PngImagePlugin = need("PIL.PngImagePlugin", "python3-pil")
    info = PngImagePlugin.PngInfo()
    if kind == "gama":
        info.add(b"gAMA", struct.pack(">I", 45455))
    else:
        info.add_text("Comment", "x" * 300, zip=kind == "ztxt")
        info.add_itxt("Title", "\u00e9t\u00e9", lang="fr")
    return info


ct = ("-define", "png:color-type=%d")
CASES = {
    # Pillow: every colour type at 8 bits, palettes of every depth, tRNS, gAMA, text.
    "pillow_grey1": lambda: pillow("1"),
    "pillow_grey8": lambda: pillow("L"),
    "pillow_grey8_trns": lambda: pillow("L", transparency=7),
    "pillow_grey_alpha8": lambda: pillow("LA"),
    "pillow_rgb8": lambda: pillow("RGB"),
    "pillow_rgb8_trns": lambda: pillow("RGB", transparency=(1, 2, 3)),
    "pillow_rgba8": lambda: pillow("RGBA"),
    "pillow_palette1": lambda: pillow("P", 1),
    "pillow_palette2": lambda: pillow("P", 2),
    "pillow_palette4_trns": lambda: pillow("P", 4, transparency=3),
    "pillow_palette8": lambda: pillow("P", 8),
    "pillow_rgb8_gama": lambda: pillow("RGB", pnginfo=text_info("gama")),
    "pillow_rgb8_text": lambda: pillow("RGB", pnginfo=text_info("text")),
    "pillow_rgb8_ztxt": lambda: pillow("RGB", pnginfo=text_info("ztxt")),
    # ImageMagick: forced colour type and depth, plain and Adam7.
    **{"magick_grey%d%s" % (d, i): (lambda d=d, i=i: magick(
        pnm(1, (1 << d) - 1), ct[0], ct[1] % 0, "-define", "png:bit-depth=%d" % d,
        *(["-interlace", "PNG"] if i else [])))
       for d in (1, 2, 4, 8, 16) for i in ("", "_adam7")},
    **{"magick_rgb%d%s" % (d, i): (lambda d=d, i=i: magick(
        pnm(3, (1 << d) - 1), ct[0], ct[1] % 2, "-define", "png:bit-depth=%d" % d,
        *(["-interlace", "PNG"] if i else [])))
       for d in (8, 16) for i in ("", "_adam7")},
    **{"magick_rgba%d%s" % (d, i): (lambda d=d, i=i: magick(
        pnm(3, (1 << d) - 1, alpha=True), ct[0], ct[1] % 6, "-define", "png:bit-depth=%d" % d,
        *(["-interlace", "PNG"] if i else [])))
       for d in (8, 16) for i in ("", "_adam7")},
    "magick_grey_alpha16": lambda: magick(pnm(1, 65535, alpha=True), ct[0], ct[1] % 4,
                                          "-define", "png:bit-depth=16"),
    "magick_palette8_adam7": lambda: magick(pillow("P", 4), "-type", "Palette", "-interlace", "PNG"),
    # netpbm: the depth follows maxval; gAMA, tRNS, text, Adam7.
    **{"pnmtopng_grey%d" % d: (lambda d=d: pnmtopng(pnm(1, (1 << d) - 1)))
       for d in (1, 2, 4, 8, 16)},
    "pnmtopng_rgb16_adam7": lambda: pnmtopng(pnm(3, 65535), "-interlace"),
    "pnmtopng_rgb8_gama_trns": lambda: pnmtopng(pnm(3, 255), "-gamma", "0.45",
                                               "-transparent", "=rgb:00/00/00"),
    "pnmtopng_grey16_adam7_gama": lambda: pnmtopng(pnm(1, 65535), "-interlace", "-gamma", "2.2"),
    "pnmtopng_few_colours": lambda: pnmtopng(pnm(3, 3)),
}


def expected_rgb(png):
    """Pillow's convert("RGB") for up to 8 bits; each sample's high byte for 16."""
    depth, colour_type = png[24], png[25]
    if depth <= 8:
        Image = need("PIL.Image", "python3-pil")
        return Image.open(io.BytesIO(png)).convert("RGB").tobytes()
    samples = RGB16 if colour_type in (2, 6) else [g for g in GREY16 for _ in range(3)]
    return bytes(v >> 8 for v in samples)


@pytest.mark.parametrize("name", sorted(CASES))
def test_png_from_other_tools_reads_by_the_rule(name):
    png = CASES[name]()
    assert png[:8] == b"\x89PNG\r\n\x1a\n", name
    with pixpen.Image.decode(png) as picture:
        assert (picture.width, picture.height) == (W, H)
        assert picture.tobytes() == expected_rgb(png)
    with pixpen.Image.decode(png, "png") as same:
        assert same.tobytes() == expected_rgb(png)


@pytest.mark.parametrize("data, error, message", [
    (b"P6\n1 1\n255\n\0\0\0", pixpen.UnsupportedFormatError, "Not a PNG file, the signature is wrong"),
    (b"", pixpen.TruncatedError, "PNG data ends early"),
    (b"\x89PN", pixpen.TruncatedError, "PNG data ends early"),
])
def test_decode_png_refuses_what_is_no_whole_png(data, error, message):
    with pytest.raises(error, match=message):
        pixpen.Image.decode(data, "png")
