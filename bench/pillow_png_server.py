"""Saves PNGs with Pillow on request, so that the benchmark times Pillow's own
encoder and not the interpreter's start-up: it reads lines "PPM LEVEL OUT"
(LEVEL is "default", a zlib level, or "palette": an adaptive palette, which
holds every colour of a picture with at most 256) and answers "ok SIZE" once
OUT is written. Each PPM is decoded once and kept. "PNG decode -" opens the
PNG and converts it to RGB, as a Pillow user reads one, and answers "ok 1"."""
import os
import sys

from PIL import Image

images = {}
for line in sys.stdin:
    ppm, level, out = line.split()
    if level == "decode":
        with Image.open(ppm) as im:
            im.convert("RGB")
        sys.stdout.write("ok 1\n")
        sys.stdout.flush()
        continue
    if ppm not in images:
        with Image.open(ppm) as im:
            images[ppm] = im.convert("RGB")
    if level == "palette":
        images[ppm].convert("P", palette=Image.Palette.ADAPTIVE).save(out, "PNG")
    else:
        options = {} if level == "default" else {"compress_level": int(level)}
        images[ppm].save(out, "PNG", **options)
    sys.stdout.write("ok %d\n" % os.path.getsize(out))
    sys.stdout.flush()
