"""Runs a turtle script with either Python's turtle module or pixpen.turtle
and prints, after every turtle call the script makes, the call's name and
the turtle's position and heading, one JSON list per line:

    xvfb-run -a python3 trace.py turtle script.py [picture.ps]
    python3 trace.py pixpen.turtle script.py [picture.png]

With a third argument the picture is written too: PostScript from the
standard module's canvas, PNG (or the suffix's format) from pixpen.turtle.
"""

import importlib
import json
import runpy
import sys

TRACED = ("forward", "back", "left", "right", "goto", "setx", "sety", "setheading", "home",
          "circle", "dot", "stamp", "begin_fill", "end_fill", "undo", "teleport", "reset")


def install(module):
    trace = []
    depth = [0]

    def wrap(method):
        def traced(self, *args, **kwargs):
            depth[0] += 1
            try:
                return method(self, *args, **kwargs)
            finally:
                depth[0] -= 1
                if depth[0] == 0:
                    x, y = self.position()
                    trace.append([method.__name__, x, y, self.heading()])
        return traced

    for name in TRACED:
        method = getattr(module.RawTurtle, name, None)
        if method is not None:
            setattr(module.RawTurtle, name, wrap(method))
    # done() and friends would wait for a window that nobody closes.
    for name in ("mainloop", "done", "exitonclick"):
        setattr(module, name, lambda *a, **k: None)
        setattr(module.TurtleScreen, name, lambda *a, **k: None)
    return trace


def main(module_name, script, picture=None):
    module = importlib.import_module(module_name)
    trace = install(module)
    sys.modules["turtle"] = module
    sys.argv = [script]
    try:
        runpy.run_path(script, run_name="__main__")
    except module.Terminator:
        pass
    for step in trace:
        print(json.dumps(step))
    if picture:
        screen = module.Screen()
        if module_name == "turtle":
            screen.update()
            canvas = screen.getcanvas()
            width, height = screen.window_width(), screen.window_height()
            canvas.postscript(file=picture, x=-width // 2, y=-height // 2, width=width,
                              height=height, pagewidth=width, pageheight=height)
        else:
            screen.save(picture)


if __name__ == "__main__":
    main(*sys.argv[1:])
