"""A Penrose tiling (kites and darts) by deflating a sun of five kites,
each tile filled and outlined."""
import math
import turtle

GOLDEN = (1 + math.sqrt(5)) / 2


def deflate(triangles):
    result = []
    for kind, a, b, c in triangles:
        if kind == "kite":
            q = a + (b - a) / GOLDEN
            r = b + (c - b) / GOLDEN
            result += [("dart", r, q, b), ("kite", q, a, r), ("kite", c, a, r)]
        else:
            p = a + (c - a) / GOLDEN
            result += [("dart", b, p, a), ("kite", p, c, b)]
    return result


def sun():
    triangles = []
    for i in range(10):
        b = complex(math.cos((2 * i - 1) * math.pi / 10), math.sin((2 * i - 1) * math.pi / 10))
        c = complex(math.cos((2 * i + 1) * math.pi / 10), math.sin((2 * i + 1) * math.pi / 10))
        if i % 2 == 0:
            b, c = c, b
        triangles.append(("kite", 0j, b * 280, c * 280))
    return triangles


def tile(pen, kind, a, b, c):
    pen.fillcolor("gold" if kind == "kite" else "firebrick")
    pen.penup()
    pen.goto(a.real, a.imag)
    pen.pendown()
    pen.begin_fill()
    for point in (b, c, a):
        pen.goto(point.real, point.imag)
    pen.end_fill()


turtle.setup(640, 640)
turtle.tracer(0, 0)
pen = turtle.Turtle()
pen.hideturtle()
pen.pensize(1)
pen.pencolor("#303030")
triangles = sun()
for _ in range(4):
    triangles = deflate(triangles)
for triangle in triangles:
    tile(pen, *triangle)
turtle.update()
turtle.done()
