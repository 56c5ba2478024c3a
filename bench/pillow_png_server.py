"""Saves PNGs with Pillow on request, so that the benchmark times Pillow's own
encoder and not the interpreter's start-up: it reads lines "PPM LEVEL OUT"
(LEVEL is "default" or a zlib level) and answers "ok SIZE" once OUT is
written. Each PPM is decoded once and kept."""
import os
import sys

from PIL import Image

images = {}
for line in sys.stdin:
    ppm, level, out = line.split()
    if ppm not in images:
        with Image.open(ppm) as im:
            images[ppm] = im.convert("RGB")
    options = {} if level == "default" else {"compress_level": int(level)}
    images[ppm].save(out, "PNG", **options)
    sys.stdout.write("ok %d\n" % os.path.getsize(out))
    sys.stdout.flush()
