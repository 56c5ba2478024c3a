// The programs the page offers; every one is also run by the tests, in Node
// and in the browser, and compared with the native library's pixels.
export const EXAMPLES = {
  spiral: `// A square spiral that turns a little more than a right angle.
bgcolor('black');
const colors = ['red', 'orange', 'yellow', 'green', 'cyan', 'blue', 'purple'];
pensize(2);
for (let i = 0; i < 180; i++) {
  pencolor(colors[i % colors.length]);
  forward(i * 1.1);
  left(91);
}
`,
  'fractal tree': `// Each branch carries two smaller ones, until they are twigs.
function branch(length, depth) {
  if (depth === 0) return;
  pensize(depth);
  pencolor(depth > 2 ? 'sienna' : 'forestgreen');
  forward(length);
  left(25);
  branch(length * 0.72, depth - 1);
  right(50);
  branch(length * 0.72, depth - 1);
  left(25);
  penup();
  backward(length);
  pendown();
}
penup();
goto(0, -180);
pendown();
setheading(90);
branch(100, 9);
`,
  'koch snowflake': `// Three Koch curves: every side becomes four sides a third as long.
function koch(length, depth) {
  if (depth === 0) {
    forward(length);
    return;
  }
  for (const turn of [60, -120, 60, 0]) {
    koch(length / 3, depth - 1);
    left(turn);
  }
}
penup();
goto(-150, 90);
pendown();
color('navy', 'lightblue');
begin_fill();
for (let side = 0; side < 3; side++) {
  koch(300, 4);
  right(120);
}
end_fill();
`,
  shapes: `// Filled polygons, circles, arcs and dots, with a second turtle.
const t = new Turtle();
t.pensize(3);
t.color('crimson', 'gold');
t.penup(); t.goto(-150, 40); t.pendown();
t.begin_fill();
for (let i = 0; i < 5; i++) { t.forward(120); t.right(144); }
t.end_fill();

penup(); goto(90, -60); pendown();
color('black', 'skyblue');
begin_fill(); circle(70); end_fill();
pensize(5); pencolor('royalblue');
circle(40, 180);
penup(); goto(-120, -140); pendown();
for (const [size, c] of [[40, 'orange'], [30, 'seagreen'], [20, 'purple']]) {
  dot(size, c);
  penup(); forward(60); pendown();
}
color('black', 'pink');
penup(); goto(-40, 160); pendown();
begin_fill();
circle(30, 360, 6);
end_fill();
`,
};
