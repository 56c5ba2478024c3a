"""Runs a script written for Python's turtle module without a window and
saves what it drew:

    python3 -m pixpen.turtle script.py [-o picture.png] [--size W H] [args...]

Arguments the runner does not know are passed on to the script.

Inside the script `import turtle` (and `from turtle import *`) gets
pixpen.turtle. The picture is written when the script ends, also when it
ends in mainloop(), done(), exitonclick() or bye(). Without -o it goes
beside the script, with the suffix .png.
"""

import argparse
import os
import runpy
import sys

from .. import turtle as headless


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="python3 -m pixpen.turtle",
        description="Run a turtle script without a window and save its picture.")
    parser.add_argument("script", help="a Python script written for the turtle module")
    parser.add_argument("-o", "--output", help="the picture to write (.png, .tga, .ppm)")
    parser.add_argument("--size", nargs=2, type=int, metavar=("W", "H"),
                        help="the picture's size in pixels, whatever the script asks for")
    options, options.arguments = parser.parse_known_args(argv)
    if options.size and min(options.size) < 1:
        parser.error("--size needs two positive numbers")
    return options


def run(options):
    screen = headless.Screen()
    if options.size:
        screen._size_override = tuple(options.size)
    sys.modules["turtle"] = headless
    sys.argv = [options.script] + options.arguments
    folder = os.path.dirname(os.path.abspath(options.script))
    sys.path.insert(0, folder)
    try:
        runpy.run_path(options.script, run_name="__main__")
    except headless.Terminator:
        pass  # a turtle call after bye(): the picture is complete
    except SystemExit as exit_:
        if exit_.code not in (None, 0):
            raise
    output = options.output or os.path.splitext(options.script)[0] + ".png"
    # The runner's pictures are small and written once: the fastest level is
    # a few milliseconds less per run for files some 8 % larger, same pixels.
    headless.Screen().save(output, png_level="fastest")
    return output


def main(argv=None):
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    run(options)


if __name__ == "__main__":
    main()
