"""Runs a turtle script with Python's own turtle module as fast as it goes
(tracer(0) throughout, no waiting at the end) and writes the window as
PostScript. Needs a display: run it under xvfb-run.

    xvfb-run -a python3 standard_to_ps.py script.py picture.ps
"""

import runpy
import sys
import turtle


def main(script, picture):
    screen = turtle.Screen()
    screen.tracer(0)
    original_tracer = turtle.TurtleScreen.tracer

    def no_animation(self, n=None, delay=None):
        return original_tracer(self, None if n is None else 0, delay)

    turtle.TurtleScreen.tracer = no_animation
    for name in ("mainloop", "done", "exitonclick"):
        setattr(turtle, name, lambda *a, **k: None)
        setattr(turtle.TurtleScreen, name, lambda *a, **k: None)
    sys.argv = [script]
    try:
        runpy.run_path(script, run_name="__main__")
    except turtle.Terminator:
        pass
    screen = turtle.Screen()
    screen.update()
    width, height = screen.window_width(), screen.window_height()
    # A canvas's PostScript leaves out its background: paint it in, lowest.
    canvas = screen.getcanvas()
    background = canvas.create_rectangle(-width, -height, width, height, outline="",
                                         fill=canvas.cget("bg"))
    canvas.tag_lower(background)
    canvas.postscript(file=picture, x=-width // 2, y=-height // 2, width=width,
                                  height=height, pagewidth="%dp" % width,
                                  pageheight="%dp" % height)


if __name__ == "__main__":
    main(*sys.argv[1:])
