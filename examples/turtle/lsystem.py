"""An L-system plant and a filled Sierpinski triangle, from rewriting rules."""
import turtle

screen = turtle.Screen()
screen.setup(700, 600)
screen.tracer(0)


def expand(axiom, rules, generations):
    for _ in range(generations):
        axiom = "".join(rules.get(symbol, symbol) for symbol in axiom)
    return axiom


def draw(t, program, step, angle):
    stack = []
    for symbol in program:
        if symbol in "FG":
            t.forward(step)
        elif symbol == "+":
            t.left(angle)
        elif symbol == "-":
            t.right(angle)
        elif symbol == "[":
            stack.append((t.position(), t.heading()))
        elif symbol == "]":
            position, heading = stack.pop()
            t.penup()
            t.goto(position)
            t.setheading(heading)
            t.pendown()


plant = turtle.Turtle()
plant.hideturtle()
plant.color("dark olive green")
plant.penup()
plant.goto(-230, -290)
plant.setheading(80)
plant.pendown()
draw(plant, expand("X", {"X": "F+[[X]-X]-F[-FX]+X", "F": "FF"}, 5), 5.5, 25)

sierpinski = turtle.Turtle()
sierpinski.hideturtle()
sierpinski.penup()
sierpinski.goto(70, -20)
sierpinski.pendown()
sierpinski.color("navy", "light sky blue")
sierpinski.begin_fill()
draw(sierpinski, expand("F-G-G", {"F": "F-G+F+G-F", "G": "GG"}, 4), 14, 120)
sierpinski.end_fill()
screen.update()
screen.exitonclick()
