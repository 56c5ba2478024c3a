// What the tests compare with: the native library, through Python's ctypes.
// PIXPEN_WEB_DIR is web/build.sh's output, PIXPEN_LIBRARY the native shared
// library, PIXPEN_PYTHON an interpreter (python3 when unset).
// PIXPEN_WEB_DIR defaults to build-web/ in the source tree.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import path from 'node:path';

const here = path.dirname(fileURLToPath(import.meta.url));
export const webDir = path.resolve(process.env.PIXPEN_WEB_DIR || path.join(here, '..', '..', 'build-web'));
const python = process.env.PIXPEN_PYTHON || 'python3';

export function runPython(args, input) {
  const result = spawnSync(python, args, {
    input,
    encoding: 'utf8',
    maxBuffer: 1 << 28,
    env: { ...process.env, PYTHONPATH: path.join(here, '..', '..', 'python') },
  });
  assert.equal(result.status, 0, result.stderr);
  return JSON.parse(result.stdout);
}

/** The native pixels, by image id, of recorded calls replayed through ctypes. */
export function nativePixels(calls) {
  const pictures = runPython([path.join(here, 'native_replay.py')], JSON.stringify(calls));
  return Object.fromEntries(Object.entries(pictures).map(([id, data]) => [id, Buffer.from(data, 'base64')]));
}

/**
 * Runs draw() with its calls recorded by `pixpen` (the module it draws
 * with); returns [wasm pixels, native pixels] for each image it returns.
 */
export function drawBoth(pixpen, draw) {
  const calls = [];
  pixpen.recordCalls((entry) => calls.push(entry));
  let images;
  try {
    images = draw();
  } finally {
    pixpen.recordCalls(null);
  }
  const native = nativePixels(calls);
  return [images].flat().map((image) => [Buffer.from(image.pixels), native[image.id]]);
}
