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
  shapes: `// The library's shapes on \`image\` (pixel coordinates: (0, 0) at the
// top left, y down), then a turtle's fill on top.
const w = image.width, h = image.height;
image.fillPolygon([[0, h], [w / 2 | 0, h / 2 | 0], [w, h]], 'lightgreen');
image.fillCircle(w / 4 | 0, h / 4 | 0, 40, 'gold');
image.circle(w / 4 | 0, h / 4 | 0, 48, 'orange');
for (let i = 0; i < 6; i++) {
  image.thickLine(20 + i * 30, h - 20, 40 + i * 30, h / 2 + 20 | 0, 1 + i * 2, 'sienna');
}
image.polygon([[w - 150, 30], [w - 30, 50], [w - 70, 150], [w - 140, 120]], 'navy');

const star = new Turtle();
star.color('crimson', 'pink');
star.pensize(3);
star.penup(); star.goto(40, 40); star.pendown();
star.begin_fill();
for (let i = 0; i < 5; i++) { star.forward(100); star.right(144); }
star.end_fill();
penup(); goto(-20, -60); pendown();
dot(30, 'royalblue');
color('black', 'skyblue');
begin_fill(); circle(35, 360, 8); end_fill();
`,
};
