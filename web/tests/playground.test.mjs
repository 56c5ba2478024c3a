// The playground's programs in Node: each example draws the native library's
// pixels for the same calls, and a failing program names its line.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { webDir, drawBoth } from './native.mjs';

const folder = path.join(webDir, 'playground');
const pixpen = await import(path.join(folder, 'pixpen.mjs'));
const { runProgram, ProgramError } = await import(path.join(folder, 'runtime.mjs'));
const { EXAMPLES } = await import(path.join(folder, 'examples.mjs'));

test('every example draws the native pixels', () => {
  for (const [name, source] of Object.entries(EXAMPLES)) {
    let screen;
    const [[wasm, native]] = drawBoth(pixpen, () => (screen = runProgram(source, { width: 300, height: 260 })).image);
    assert.ok(wasm.equals(native), name);
    // A picture, not an empty screen: more than a tenth of it is drawn on.
    const white = [...Array(wasm.length / 3).keys()].filter((i) => wasm.readUIntBE(i * 3, 3) === 0xffffff).length;
    assert.ok(white < (wasm.length / 3) * 0.9, `${name} drew next to nothing`);
    screen.close();
  }
});

test('failures name their line', () => {
  const table = [
    ['forward(10);\nleft(90;\n', 'SyntaxError', 2],
    ['let a = 1;\n\nfor (;;) {\n  a = `open\n', 'SyntaxError', 4],
    ['forward(10);\nnoSuchFunction();\n', 'ReferenceError', 2],
    ['function f() {\n  pencolor("no such colour");\n}\nf();', 'TypeError', 2],
    ['forward(1);\nconst o = null;\no.x = 1;', 'TypeError', 3],
  ];
  for (const [source, kind, line] of table) {
    assert.throws(() => runProgram(source, { width: 20, height: 20 }), (error) => {
      assert.ok(error instanceof ProgramError, String(error));
      assert.deepEqual([error.kind, error.line], [kind, line], `${JSON.stringify(source)}: ${error}`);
      return true;
    });
  }
});

test('a program may declare the names of turtle functions', () => {
  const screen = runProgram('const distance = 30, width = 2;\nforward(distance);\nprint(heading());', { width: 80, height: 80 });
  assert.ok(screen.image.pixels.some((v) => v !== 255));
  screen.close();
  assert.equal(typeof globalThis.forward, 'undefined');
});
