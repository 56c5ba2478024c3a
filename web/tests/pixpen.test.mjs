// The JavaScript face against the native library: the same calls must draw
// the same pixels, encode the same bytes and refuse with the same status and
// message. PIXPEN_WEB_DIR is web/build.sh's output, PIXPEN_LIBRARY the native
// shared library, PIXPEN_PYTHON an interpreter for ctypes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { webDir, runPython, drawBoth } from './native.mjs';

// The package folder web/build.sh makes, as a Node program would use it.
const pixpen = await import(path.join(webDir, 'pixpen', 'pixpen.mjs'));
const { Image, PixpenError, ClosedImageError, Status } = pixpen;

const star = () => {
  const image = new Image(61, 47);
  image.setColor('#ffa500');
  for (let i = 0; i < 5; i++) {
    image.forward(20);
    image.right(144);
  }
  image.line(-5, 50, 70, -3, [1, 2, 3]);
  image.pixel(60, 46, 'cyan');
  return image;
};
const wholeImage = () => {
  const image = star();
  image.invert();
  image.reverseRgb();
  const other = new Image(3, 2);
  other.clear([9, 8, 7]);
  return [image, other];
};

const shapes = () => {
  const image = new Image(40, 30);
  image.thickLine(-3, 2, 50, 27, 5, 'gold');
  image.polygon([[2, 2], [38, 5], [20, 28]], [9, 9, 9]);
  image.fillPolygon([{ x: 5, y: 25 }, { x: -(2 ** 31), y: 0 }, { x: 30, y: 2 ** 31 - 1 }], 'teal');
  image.fillPolygon(new Int32Array([0, 0, 39, 29, 39, 0, 0, 29]), [200, 0, 0]);
  image.circle(20, 15, 2000000000, 'white');
  image.fillCircle(35, 3, 6, '#123456');
  image.fillPolygon([], 'red');
  return image;
};

test('wasm and native draw the same pixels', () => {
  for (const program of [star, wholeImage, shapes]) {
    for (const [wasm, native] of drawBoth(pixpen, program)) assert.ok(wasm.equals(native), program.name);
  }
});


test('encode gives the native bytes in every format', () => {
  const image = star();
  const script = `import base64, json, sys, pixpen
width, height, pixels = json.load(sys.stdin)
with pixpen.Image.frombytes(width, height, base64.b64decode(pixels)) as image:
    json.dump({f: base64.b64encode(image.encode(f)).decode() for f in ('tga', 'p3', 'p6')}, sys.stdout)`;
  const native = runPython(['-c', script], JSON.stringify([image.width, image.height, Buffer.from(image.pixels).toString('base64')]));
  for (const format of ['tga', 'p3', 'p6']) {
    const bytes = image.encode(format);
    assert.ok(Buffer.from(bytes).equals(Buffer.from(native[format], 'base64')), format);
    assert.ok(Buffer.from(pixpen.decode(bytes).pixels).equals(Buffer.from(image.pixels)), `${format} round trip`);
  }
  image.close();
});

test('refusals carry the native status and message', () => {
  const inputs = ['', 'P6 2 2 255\n\x01', 'P7\n', 'P3 1 1 255 300', 'P6 0 -1 255\n', '\x00\x00\x0a', 'P6 99999 99999 255\n'];
  const script = `import json, sys, pixpen
out = []
for text in json.load(sys.stdin):
    try:
        pixpen.decode(text.encode('latin-1')).close(); out.append(None)
    except pixpen.PixpenError as e:
        out.append([int(e.status), e.message if hasattr(e, 'message') else str(e)])
json.dump(out, sys.stdout)`;
  const native = runPython(['-c', script], JSON.stringify(inputs));
  inputs.forEach((text, i) => {
    assert.throws(() => pixpen.decode(Buffer.from(text, 'latin1')), (error) => {
      assert.ok(error instanceof PixpenError && error instanceof Error);
      assert.equal(error.status, native[i][0], JSON.stringify(text));
      assert.ok(native[i][1].includes(error.message), `${error.message} / ${native[i][1]}`);
      return true;
    });
  });
  assert.throws(() => new Image(1, 1).encode('png'), (e) => e.status === Status.UNSUPPORTED_FORMAT);
});

test('an image is freed once, and unusable after close', () => {
  const image = new Image(4, 4);
  image.close();
  image.close();
  assert.ok(image.closed);
  for (const use of [() => image.forward(1), () => image.pixels, () => image.encode('tga'), () => image.width]) {
    assert.throws(use, ClosedImageError);
  }
  // The freed block is handed out again: had close() not freed it, or freed
  // it twice, the next image of the same size would sit elsewhere or share it.
  const first = new Image(4, 4);
  const address = first.handle;
  first.close();
  const second = new Image(4, 4);
  const third = new Image(4, 4);
  assert.equal(second.handle, address);
  assert.notEqual(third.handle, address);
  second.close();
  third.close();
});

test('a pixel view dies when memory grows, and a new one sees the same pixels', () => {
  const image = new Image(8, 8);
  image.pixel(1, 1, [10, 20, 30]);
  const view = image.pixels;
  const big = new Image(4000, 4000); // grows the module's memory
  assert.equal(view.length, 0);
  assert.deepEqual(Array.from(image.pixels.subarray(27, 30)), [10, 20, 30]);
  assert.deepEqual(image.getPixel(1, 1), [10, 20, 30]);
  big.close();
  image.close();
});

test('bad arguments are refused before reaching the library', () => {
  const image = new Image(2, 2);
  const table = [
    [() => image.pixel(0.5, 0, 'red'), TypeError],
    [() => image.pixel(0, 0, [256, 0, 0]), TypeError],
    [() => image.pixel(0, 0, 'no such colour'), TypeError],
    [() => image.forward(2 ** 31), TypeError],
    [() => image.encode('gif'), TypeError],
    [() => new Image(-1, 2), PixpenError],
    [() => new Image(65536, 65536), PixpenError],
    [() => pixpen.decode(new Uint8Array(4), 'gif'), TypeError],
    [() => image.polygon([[1, 2], [3]], 'red'), TypeError],
    [() => image.fillPolygon([1, 2, 3], 'red'), TypeError],
  ];
  for (const [use, kind] of table) assert.throws(use, kind, use.toString());
  image.close();
});

test('the turtle keeps the standard module\'s coordinates: origin in the middle, y up', () => {
  const image = new pixpen.Image(200, 100);
  const turtle = new pixpen.Turtle(image);
  assert.deepEqual([turtle.position(), turtle.heading(), turtle.isdown()], [[0, 0], 0, true]);
  const table = [
    // [move, position after, heading after]
    [() => turtle.forward(30), [30, 0], 0],
    [() => turtle.left(90), [30, 0], 90],
    [() => turtle.fd(20), [30, 20], 90],
    [() => turtle.goto([-50, -40]), [-50, -40], 90],
    [() => turtle.setheading(-90), [-50, -40], 270],
    [() => turtle.back(10), [-50, -30], 270],
    [() => turtle.setx(5), [5, -30], 270],
    [() => turtle.home(), [0, 0], 0],
  ];
  for (const [move, position, heading] of table) {
    move();
    assert.deepEqual(turtle.position().map((v) => Math.round(v * 1e9) / 1e9), position, move.toString());
    assert.equal(Math.round(turtle.heading() * 1e9) / 1e9, heading, move.toString());
  }
  assert.equal(turtle.towards(0, 10), 90);
  assert.equal(turtle.distance([30, 40]), 50);
  // The pen is black on the black image: paint it first, then draw up from the centre.
  image.clear('white');
  turtle.goto(0, 10);
  assert.deepEqual([image.getPixel(100, 40), image.getPixel(100, 50), image.getPixel(100, 39)],
    [[0, 0, 0], [0, 0, 0], [255, 255, 255]]);
  turtle.close();
  turtle.close();
  assert.throws(() => turtle.forward(1), PixpenError);
  image.close();
});

test('turtle colours follow colormode', () => {
  const image = new pixpen.Image(4, 4);
  const turtle = new pixpen.Turtle(image);
  turtle.pencolor(1, 0.5, 0);
  assert.deepEqual(turtle.pencolor(), [1, 128 / 255, 0]);
  turtle.colormode(255);
  turtle.color('red', [0, 0, 255]);
  assert.deepEqual(turtle.color(), [[255, 0, 0], [0, 0, 255]]);
  assert.throws(() => turtle.pencolor(256, 0, 0), RangeError);
  turtle.colormode(1);
  assert.throws(() => turtle.fillcolor([2, 0, 0]), RangeError);
  turtle.close();
  image.close();
});

test('the package folder works by name from a project of its own', () => {
  const project = mkdtempSync(path.join(os.tmpdir(), 'pixpen-package-'));
  try {
    cpSync(path.join(webDir, 'pixpen'), path.join(project, 'node_modules', 'pixpen'), { recursive: true });
    writeFileSync(path.join(project, 'main.mjs'), `import { Image, Turtle, version } from 'pixpen';
const image = new Image(9, 9);
new Turtle(image).forward(3);
console.log(JSON.stringify([version, image.getPixel(6, 4)]));`);
    const result = spawnSync(process.execPath, ['main.mjs'], { cwd: project, encoding: 'utf8' });
    assert.equal(result.status, 0, result.stderr);
    const manifest = JSON.parse(readFileSync(path.join(project, 'node_modules', 'pixpen', 'package.json'), 'utf8'));
    assert.deepEqual(JSON.parse(result.stdout), [manifest.version, [0, 0, 0]]);
    assert.equal(manifest.version, pixpen.version);
    assert.ok(existsSync(path.join(project, 'node_modules', 'pixpen', manifest.types)));
  } finally {
    rmSync(project, { recursive: true, force: true });
  }
});
