"""A fractal tree: each branch splits in two smaller ones, leaves as dots."""
from turtle import *


def branch(length, depth):
    if depth == 0:
        dot(6, "forest green")
        return
    pensize(depth)
    forward(length)
    left(25)
    branch(length * 0.72, depth - 1)
    right(50)
    branch(length * 0.72, depth - 1)
    left(25)
    penup()
    backward(length)
    pendown()


setup(600, 500)
tracer(0)
hideturtle()
left(90)
penup()
goto(0, -220)
pendown()
color("saddle brown")
branch(110, 9)
update()
mainloop()
