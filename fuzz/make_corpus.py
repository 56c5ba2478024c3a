#!/usr/bin/env python3
"""Writes the seed corpus under fuzz/corpus/: a few valid files and a few
broken ones per reader, and a few call sequences for the drawing target.
Run it again only to change the seeds; the files are kept in the tree.
The PNG seeds come from Pillow, ImageMagick and pnmtopng, one small file
of every colour type, bit depth and interlace; a missing tool's are left out."""

import io
import os
import random
import shutil
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))


def tga(width, height, pixels=None, **fields):
    header = dict(id_length=0, cmap_type=0, image_type=2, cmap_offset=0, cmap_entries=0,
                  cmap_bpp=0, origin_x=0, origin_y=0, bpp=24, descriptor=0x20)
    header.update(fields)
    head = struct.pack("<BBBHHBHHHHBB", header["id_length"], header["cmap_type"],
                       header["image_type"], header["cmap_offset"], header["cmap_entries"],
                       header["cmap_bpp"], header["origin_x"], header["origin_y"], width, height,
                       header["bpp"], header["descriptor"])
    if pixels is None:
        pixels = bytes((i * 37) & 0xFF for i in range(width * height * 3))
    return head + pixels


def p6(width, height, maxval=255, sep=b"\n"):
    data = bytes((i * 53) & 0xFF for i in range(width * height * 3))
    return b"P6" + sep + b"%d %d" % (width, height) + sep + b"%d\n" % maxval + data


def p3(width, height, maxval=255):
    samples = [(i * 53) % (maxval + 1) for i in range(width * height * 3)]
    lines = [" ".join(map(str, samples[i:i + 3])) for i in range(0, len(samples), 3)]
    return ("P3\n%d %d\n%d\n" % (width, height, maxval) + "\n".join(lines) + "\n").encode()


SEEDS = {
    "read_tga": {
        "valid_2x1": tga(2, 1, bytes([0, 0, 255, 255, 0, 0])),
        "valid_7x5": tga(7, 5),
        "valid_origin_and_cmap_bpp": tga(3, 2, cmap_bpp=24, origin_x=5, origin_y=9),
        "valid_trailing_bytes": tga(2, 2) + b"trailing",
        "short_header": tga(2, 1)[:17],
        "short_pixels": tga(4, 4)[:40],
        "run_length": tga(2, 1, image_type=10),
        "bpp_32": tga(2, 1, bpp=32),
        "bottom_left": tga(2, 1, descriptor=0),
        "id_field": tga(2, 1, id_length=4),
        "color_map": tga(2, 1, cmap_type=1, cmap_entries=2),
        "zero_width": tga(0, 3),
        "huge_declared": tga(65535, 65535, b"x" * 30),
    },
    "read_ppm": {
        "p6_written": p6(3, 2),
        "p3_written": p3(3, 2),
        "p6_one_line": p6(2, 2, sep=b" "),
        "p6_comments": b"P6#a\n2#b\r1 #c\n#d\n255\n\xff\x00\x00\x00\x00\xff",
        "p3_max_15": b"P3 2 1 15\n15 7 0 1 +2 -3\n",
        "p3_max_65535": b"P3 1 1 65535\n65535 32768 0\n",
        "p6_max_15": p6(2, 1, maxval=15),
        "p6_zero": b"P6\n0 0\n255\n",
        "p6_short": p6(4, 4)[:30],
        "p3_short": p3(3, 3)[:25],
        "p5": b"P5\n1 1\n255\n\x00",
        "negative_width": b"P6\n-2 1\n255\n",
        "huge_declared": b"P6\n30000 30000\n255\n0123456789",
        "max_zero": b"P3\n1 1\n0\n1 2 3\n",
        "p6_max_65535": b"P6\n1 1\n65535\n123456",
        "p3_int_limits": b"P3 1 1 255\n2147483647 -2147483648 0\n",
    },
}


def draw_seeds():
    rng = random.Random(7)
    seeds = {
        "empty": b"",
        "zero_by_zero": b"\x00\x00" + bytes(range(0, 64)),
        "square_spiral": b"\x10\x10" + b"".join(
            bytes([7, 12, 6 + i % 4, 8, 13, 90]) for i in range(12)),
        "extreme_lines": b"\x08\x05" + b"".join(
            bytes([1, a, b, c, d, 255, 0, 0]) for a, b, c, d in
            [(0, 1, 1, 0), (2, 3, 3, 2), (8, 8, 8, 8), (12, 4, 5, 13)]),
    }
    for n in range(4):
        seeds["random_%d" % n] = bytes(rng.randrange(256) for _ in range(96 + 64 * n))
    return seeds


SEEDS["draw_roundtrip"] = draw_seeds()


def pnm(channels, maxval, width=5, height=3):
    samples = [(i * 7919) % (maxval + 1) for i in range(width * height * channels)]
    body = struct.pack(">%dH" % len(samples) if maxval > 255 else "%dB" % len(samples), *samples)
    return b"P%d\n%d %d\n%d\n" % (6 if channels == 3 else 5, width, height, maxval) + body


def run(command, source):
    if shutil.which(command[0]) is None:
        return None
    return subprocess.run(command, input=source, capture_output=True, check=True).stdout


def png_seeds():
    seeds = {}
    for depth in (1, 2, 4, 8, 16):
        seeds["pnmtopng_grey%d" % depth] = run(["pnmtopng"], pnm(1, (1 << depth) - 1))
    seeds["pnmtopng_rgb16_adam7_gama"] = run(["pnmtopng", "-interlace", "-gamma", "0.45"],
                                              pnm(3, 65535))
    seeds["pnmtopng_palette_trns"] = run(["pnmtopng", "-transparent", "=rgb:00/00/00"], pnm(3, 3))
    for colour_type, channels in ((0, 1), (2, 3), (3, 3), (4, 1), (6, 3)):
        for depth in (8, 16) if colour_type != 3 else (4,):
            for interlace in ("None", "PNG"):
                name = "magick_type%d_depth%d_%s" % (colour_type, depth, interlace.lower())
                options = ["-define", "png:exclude-chunks=date,time",
                           "-define", "png:color-type=%d" % colour_type,
                           "-define", "png:bit-depth=%d" % depth, "-interlace", interlace]
                if colour_type in (4, 6):
                    options = ["-alpha", "set", "-channel", "A", "-evaluate", "set", "50%",
                               "+channel"] + options
                seeds[name] = run(["convert", "-"] + options + ["png:-"],
                                  pnm(channels, 65535 if depth == 16 else 255))
    try:
        from PIL import Image, PngImagePlugin
    except ImportError:
        Image = None
    if Image is not None:
        info = PngImagePlugin.PngInfo()
        info.add_text("Comment", "seed", zip=True)
        pictures = {
            "pillow_1bit": (Image.new("1", (9, 3), 1), {}),
            "pillow_la": (Image.new("LA", (4, 3), (90, 20)), {}),
            "pillow_rgba_text": (Image.new("RGBA", (4, 3), (1, 2, 3, 4)), {"pnginfo": info}),
            "pillow_palette2_trns": (Image.new("P", (6, 3), 2), {"bits": 2, "transparency": 1}),
            "pillow_rgb_trns": (Image.new("RGB", (4, 3), (9, 8, 7)), {"transparency": (9, 8, 7)}),
        }
        for name, (picture, options) in pictures.items():
            out = io.BytesIO()
            picture.save(out, "PNG", **options)
            seeds[name] = out.getvalue()
    valid = {name: data for name, data in seeds.items() if data}
    # A few broken ones: cut short, a CRC flipped, a chunk type no reader knows.
    if "pnmtopng_grey8" in valid:
        whole = valid["pnmtopng_grey8"]
        valid["broken_cut_in_idat"] = whole[:-20]
        flipped = bytearray(whole)
        flipped[32] ^= 1  # IHDR's CRC
        valid["broken_ihdr_crc"] = bytes(flipped)
        valid["broken_unknown_critical"] = whole[:33] + struct.pack(">I", 0) + b"ABCD" + \
            b"\x00" * 4 + whole[33:]
    return valid


SEEDS["read_png"] = png_seeds()

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
