"""A coloured square spiral that turns a little more than a right angle."""
import turtle

turtle.bgcolor("black")
turtle.speed(0)
turtle.tracer(0)
colors = ["red", "orange", "yellow", "green", "deep sky blue", "purple"]
for step in range(240):
    turtle.pencolor(colors[step % len(colors)])
    turtle.width(step // 60 + 1)
    turtle.forward(step * 1.3)
    turtle.left(91)
turtle.hideturtle()
turtle.update()
turtle.done()
