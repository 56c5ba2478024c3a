// WebAssembly against native on the benchmark's line and turtle workload, in
// one run: single rounds of the native program (web_workload.c, which times
// itself, so its start-up is left out) and of the same calls through the
// JavaScript face in this Node process, alternated so that a busy machine
// slows both alike; the medians, their ratio, and a check that both drew the
// same pixels.
//
//   node bench/web_bench.mjs WEB_DIR NATIVE_PROGRAM [SIDE]
import { execFileSync } from 'node:child_process';
import path from 'node:path';

const [webDir, nativeProgram, sideText = '1024'] = process.argv.slice(2);
const side = Number(sideText);
const { Image } = await import(path.resolve(webDir, 'pixpen', 'pixpen.mjs'));
const LINES = 256;
const TURTLE_MOVES = 1000;
const ROUNDS = 41;
// V8 compiles wasm with a fast baseline compiler first and optimises hot
// functions later: the first rounds measure the compiler, not the library.
const WARM_UP_ROUNDS = 50;

// xorshift32, as web_workload.c writes it.
function randoms() {
  let state = 2463534242;
  return () => {
    state ^= state << 13;
    state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5;
    state >>>= 0;
    return state;
  };
}

function draw(image) {
  const next = randoms();
  const color = [200, 100, 50];
  for (let i = 0; i < LINES; i++) {
    const [x0, y0, x1, y1] = [next() % side, next() % side, next() % side, next() % side];
    image.line(x0, y0, x1, y1, color);
  }
  image.faceNorth();
  image.left(30);
  const d = Math.trunc(side / 4);
  for (let i = 0; i < TURTLE_MOVES / 2; i++) {
    image.forward(d);
    image.forward(-d);
  }
}

function fnv(bytes) {
  let hash = 2166136261;
  for (const byte of bytes) hash = Math.imul(hash ^ byte, 16777619) >>> 0;
  return hash;
}

function wasmRound() {
  const image = new Image(side, side);
  image.clear([0, 0, 0]);
  // CPU time, as the native side measures: the process's, so V8's helper
  // threads (compiler, collector) count against the wasm side.
  const start = process.cpuUsage();
  draw(image);
  const used = process.cpuUsage(start);
  const time = (used.user + used.system) / 1000;
  const hash = fnv(image.pixels);
  image.close();
  return { time, hash };
}

function nativeRound() {
  const [time, hash] = execFileSync(nativeProgram, [String(side), '1'], { encoding: 'utf8' }).trim().split('\n');
  return { time: Number(time), hash: Number(hash) };
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
for (let round = 0; round < WARM_UP_ROUNDS; round++) wasmRound();
const wasmTimes = [];
const nativeTimes = [];
for (let round = 0; round < ROUNDS; round++) {
  const native = nativeRound();
  const wasm = wasmRound();
  if (native.hash !== wasm.hash) throw new Error(`the pictures differ: native ${native.hash}, wasm ${wasm.hash}`);
  nativeTimes.push(native.time);
  wasmTimes.push(wasm.time);
}
const [n, w] = [median(nativeTimes), median(wasmTimes)];
console.log(`${LINES} lines + ${TURTLE_MOVES} turtle moves on ${side} x ${side}, ${nativeTimes.length} rounds each, alternated, after ${WARM_UP_ROUNDS} unmeasured wasm rounds, same pixels`);
console.log(`CPU time: native median ${n.toFixed(3)} ms, wasm (Node ${process.version}) median ${w.toFixed(3)} ms, wasm / native ${(w / n).toFixed(2)}`);
