"""A long script for the speed comparison: 300 filled circles, pen changes
and dots, each of which ends a run of lines."""
import turtle

pen = turtle.Turtle()
pen.speed(0)
for i in range(300):
    pen.color("red" if i % 2 else "#3060c0", "yellow" if i % 3 else (0.2, 0.8, 0.4))
    pen.begin_fill()
    pen.circle(20 + i % 50)
    pen.end_fill()
    pen.penup()
    pen.forward(7)
    pen.left(23)
    pen.pendown()
    pen.dot(5)
turtle.done()
