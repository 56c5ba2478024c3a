#!/usr/bin/env python3
"""Draws docs/gallery/png_alpha_ignored.png: on the left an RGBA PNG as a
viewer shows it, over a checkerboard; on the right what pixpen reads from the
same file, the colour samples with alpha ignored. Needs Pillow, and a pixpen
built with PNG input and output (PIXPEN_LIBRARY, PYTHONPATH)."""
import io
import math
import sys

from PIL import Image

import pixpen

SIDE = 160
gallery = sys.argv[1] if len(sys.argv) > 1 else "docs/gallery"

# A gradient under a round mask that fades out: the colour samples go on
# under the transparent corners, as many tools leave them.
rgba = Image.new("RGBA", (SIDE, SIDE))
for y in range(SIDE):
    for x in range(SIDE):
        distance = math.hypot(x - SIDE / 2, y - SIDE / 2) / (SIDE / 2)
        alpha = max(0, min(255, int(255 * (1.2 - distance) / 0.4)))
        rgba.putpixel((x, y), (255 * x // SIDE, 80, 255 * y // SIDE, alpha))
encoded = io.BytesIO()
rgba.save(encoded, "PNG")

checker = Image.new("RGB", (SIDE, SIDE))
for y in range(SIDE):
    for x in range(SIDE):
        checker.putpixel((x, y), (200,) * 3 if (x // 10 + y // 10) % 2 else (255,) * 3)
checker.paste(rgba, (0, 0), rgba)

with pixpen.Image.decode(encoded.getvalue()) as read:
    as_read = Image.frombytes("RGB", (SIDE, SIDE), read.tobytes())
both = Image.new("RGB", (2 * SIDE + 8, SIDE), (255, 255, 255))
both.paste(checker, (0, 0))
both.paste(as_read, (SIDE + 8, 0))
with pixpen.Image.frombytes(both.width, both.height, both.tobytes()) as picture:
    picture.save("%s/png_alpha_ignored.png" % gallery)
