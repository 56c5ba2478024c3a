// Runs a playground program: JavaScript that calls the standard turtle
// module's functions (forward(100), left(90), circle(50), ...) on one default
// turtle, makes more with `new Turtle()`, and may draw on `image` directly.
// Shared by the page's worker and the Node tests, so both run programs alike.
import * as acorn from './acorn.mjs';
import { Image, Screen, Turtle } from './pixpen.mjs';

const FILE_NAME = 'program.js';

/** A program's failure, with the 1-based line it happened on (0 if unknown). */
export class ProgramError extends Error {
  constructor(kind, message, line) {
    super(message);
    this.name = 'ProgramError';
    this.kind = kind;
    this.line = line;
  }

  toString() {
    return this.line ? `line ${this.line}: ${this.kind}: ${this.message}` : `${this.kind}: ${this.message}`;
  }
}

// The standard module's drawing functions that act on the default turtle.
const TURTLE_METHODS = [
  'forward', 'fd', 'backward', 'bk', 'back', 'left', 'lt', 'right', 'rt', 'goto', 'setpos',
  'setposition', 'setx', 'sety', 'setheading', 'seth', 'home', 'circle', 'dot', 'penup', 'pu',
  'up', 'pendown', 'pd', 'down', 'isdown', 'pensize', 'width', 'pencolor', 'fillcolor', 'color',
  'begin_fill', 'end_fill', 'filling', 'position', 'pos', 'xcor', 'ycor', 'heading', 'towards',
  'distance', 'speed', 'hideturtle', 'ht', 'showturtle', 'st', 'isvisible', 'shape', 'shapesize',
  'turtlesize', 'write',
];
// Window and animation calls that mean nothing for a picture drawn at once.
const NOTHING = ['tracer', 'update', 'delay', 'done', 'mainloop', 'exitonclick', 'bye', 'setup', 'title',
  'listen', 'degrees'];

// The program runs as a script of its own (indirect eval), with the turtle's
// functions as globals: its own declarations may reuse any of their names,
// and its line numbers are the editor's.
function check(source) {
  try {
    acorn.parse(source, { ecmaVersion: 'latest', sourceType: 'script', locations: true });
  } catch (error) {
    if (error instanceof SyntaxError && error.loc) {
      throw new ProgramError('SyntaxError', error.message.replace(/ \(\d+:\d+\)$/, ''), error.loc.line);
    }
    throw error;
  }
}

function lineOf(error) {
  const match = String(error && error.stack).match(/program\.js:(\d+):\d+/);
  return match ? Number(match[1]) : 0;
}

/**
 * Runs `source` on a new width x height white screen and returns the screen
 * (its `image` holds the picture; close() frees it). Throws ProgramError.
 * `log` receives what the program prints.
 */
export function runProgram(source, { width = 400, height = 400, log = () => {} } = {}) {
  check(source);
  const screen = new Screen(width, height);
  let mode = 1.0;
  const turtle = screen.turtle();
  class PlaygroundTurtle extends Turtle {
    constructor() {
      super(screen.image);
      this.colormode(mode);
      screen.turtles.push(this);
    }
  }
  const colormode = (value) => {
    if (value === undefined) return mode;
    for (const each of screen.turtles) each.colormode(value);
    mode = value;
  };
  const screenObject = {
    bgcolor: (color) => screen.image.clear(color),
    colormode,
    turtles: () => [...screen.turtles],
    window_width: () => width,
    window_height: () => height,
  };
  for (const name of NOTHING) screenObject[name] = () => {};
  const globals = {
    ...Object.fromEntries(TURTLE_METHODS.map((name) => [name, (...args) => turtle[name](...args)])),
    ...screenObject,
    Turtle: PlaygroundTurtle,
    Pen: PlaygroundTurtle,
    Screen: () => screenObject,
    getscreen: () => screenObject,
    turtle,
    image: screen.image,
    Image,
    print: (...args) => log(args.join(' ')),
  };
  const saved = Object.getOwnPropertyDescriptors(globalThis);
  try {
    Object.assign(globalThis, globals);
    (0, eval)(`${source}\n//# sourceURL=${FILE_NAME}`);
  } catch (error) {
    screen.close();
    if (error instanceof ProgramError) throw error;
    const kind = error && error.name ? error.name : 'Error';
    throw new ProgramError(kind, error && error.message !== undefined ? error.message : String(error), lineOf(error));
  } finally {
    for (const name of Object.keys(globals)) {
      if (name in saved) Object.defineProperty(globalThis, name, saved[name]);
      else delete globalThis[name];
    }
  }
  return screen;
}
