"""A long script for the speed comparison: 20,000 moves and turns, where
the per-call cost of a turtle module outweighs its start-up."""
import turtle

walker = turtle.Turtle()
for i in range(20000):
    walker.forward(i % 200)
    walker.left(59)
turtle.done()
