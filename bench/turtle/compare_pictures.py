"""How close two pictures of the same script are: the share of pixels that
are equal, and the share whose colour the other picture has within one
pixel (so that lines a pixel apart still agree). The second picture is
scaled to the first's size first.

    python3 compare_pictures.py pixpen.png standard.png
"""

import sys

import numpy
from PIL import Image


def near_match(a, b):
    """For each pixel of a: does b have the same colour (within 24 per
    channel) at it or at one of its 8 neighbours?"""
    height, width, _ = a.shape
    padded = numpy.pad(b.astype(int), ((1, 1), (1, 1), (0, 0)), mode="edge")
    found = numpy.zeros((height, width), dtype=bool)
    for dy in (0, 1, 2):
        for dx in (0, 1, 2):
            shifted = padded[dy:dy + height, dx:dx + width]
            found |= (numpy.abs(shifted - a.astype(int)) <= 24).all(axis=2)
    return found


def compare(first_path, second_path):
    first = Image.open(first_path).convert("RGB")
    second = Image.open(second_path).convert("RGB").resize(first.size, Image.NEAREST)
    a, b = numpy.asarray(first), numpy.asarray(second)
    equal = (numpy.abs(a.astype(int) - b.astype(int)) <= 24).all(axis=2).mean()
    both_ways = numpy.minimum(near_match(a, b).mean(), near_match(b, a).mean())
    return equal, both_ways


if __name__ == "__main__":
    equal, near = compare(*sys.argv[1:3])
    print("equal %.2f%%, within one pixel %.2f%%" % (100 * equal, 100 * near))
