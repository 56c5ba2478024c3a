"""Runs Pillow on request, so that the benchmark times Pillow's own code and
not the interpreter's start-up. It reads one request a line and answers "ok
SIZE" when done:

  PPM LEVEL OUT    saves PPM as the PNG OUT (LEVEL is "default" or a zlib
                   level); SIZE is OUT's size. Each PPM is decoded once.
  lines SIDE LIST  draws each line "x0 y0 x1 y1" of the file LIST with
                   ImageDraw.line on a SIDE x SIDE picture kept between
                   requests; SIZE is the number of lines.
  PNG decode -     opens the PNG and converts it to RGB, as a Pillow user
                   reads one; SIZE is 1.

LEVEL may also be "palette": an adaptive palette, which holds every colour
of a picture with at most 256."""
import os
import sys

from PIL import Image, ImageDraw

images = {}
line_lists = {}
canvases = {}


def draw_lines(side, path):
    if path not in line_lists:
        with open(path) as listed:
            line_lists[path] = [tuple(int(v) for v in row.split()) for row in listed]
    if side not in canvases:
        canvases[side] = ImageDraw.Draw(Image.new("RGB", (side, side)))
    draw = canvases[side]
    for line in line_lists[path]:
        draw.line(line, fill=(200, 100, 50))
    return len(line_lists[path])


for request in sys.stdin:
    first, second, third = request.split()
    if first == "lines":
        sys.stdout.write("ok %d\n" % draw_lines(int(second), third))
        sys.stdout.flush()
        continue
    if second == "decode":
        with Image.open(first) as im:
            im.convert("RGB")
        sys.stdout.write("ok 1\n")
        sys.stdout.flush()
        continue
    ppm, level, out = first, second, third
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
