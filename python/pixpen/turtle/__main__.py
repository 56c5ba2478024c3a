"""Runs a script written for Python's turtle module without a window and
saves what it drew:

    python3 -m pixpen.turtle script.py [-o picture.png] [--size W H] [args...]

Arguments the runner does not know are passed on to the script.

Inside the script `import turtle` (and `from turtle import *`) gets
pixpen.turtle. The picture is written when the script ends, also when it
ends in mainloop(), done(), exitonclick() or bye(). Without -o it goes
beside the script, with the suffix .png.
"""

import io
import os
import sys
import types

from .. import turtle as headless


def _simple_arguments(argv):
    """The options for the common forms, `script.py [-o out] [--size W H]`,
    or None for anything else. argparse costs some 5 ms of start-up
    (re, gettext, locale, shutil), a tenth of a small script's whole run."""
    if not argv or argv[0].startswith("-"):
        return None
    options = types.SimpleNamespace(script=argv[0], output=None, size=None, arguments=[])
    rest = argv[1:]
    while rest:
        if rest[0] in ("-o", "--output") and options.output is None and len(rest) > 1 \
                and not rest[1].startswith("-"):
            options.output, rest = rest[1], rest[2:]
        elif rest[0] == "--size" and options.size is None and len(rest) > 2 \
                and all(n.isascii() and n.isdigit() and int(n) > 0 for n in rest[1:3]):
            options.size, rest = [int(n) for n in rest[1:3]], rest[3:]
        else:
            return None
    return options


def parse_arguments(argv):
    simple = _simple_arguments(argv)
    if simple is not None:
        return simple
    import argparse

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


def _run_script(path):
    """Runs the file at `path` as __main__, as runpy.run_path does for a .py
    file, without the imports run_path makes for zip files and folders
    (pkgutil, typing: some 3 ms of every run)."""
    if not (path.endswith(".py") and os.path.isfile(path)):
        import runpy

        runpy.run_path(path, run_name="__main__")
        return
    with io.open_code(os.path.abspath(path)) as source:
        code = compile(source.read(), path, "exec")
    module = types.ModuleType("__main__")
    module.__dict__.update(__file__=path, __cached__=None, __loader__=None, __package__="",
                           __spec__=None)
    saved_main, saved_argv0 = sys.modules.get("__main__"), sys.argv[0]
    sys.modules["__main__"], sys.argv[0] = module, path
    try:
        exec(code, module.__dict__)
    finally:
        sys.argv[0] = saved_argv0
        if saved_main is None:
            del sys.modules["__main__"]
        else:
            sys.modules["__main__"] = saved_main


def run(options):
    screen = headless.Screen()
    if options.size:
        screen._size_override = tuple(options.size)
    sys.modules["turtle"] = headless
    sys.argv = [options.script] + options.arguments
    folder = os.path.dirname(os.path.abspath(options.script))
    sys.path.insert(0, folder)
    try:
        _run_script(options.script)
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
