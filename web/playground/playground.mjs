// The page: an editor, the examples, Run and Stop, and the picture. Programs
// run in worker.mjs; Stop terminates that worker and starts a fresh one.
import { EXAMPLES } from './examples.mjs';

const $ = (id) => document.getElementById(id);
const code = $('code');
const gutter = $('gutter');
const canvas = $('canvas');
const output = $('output');
const status = $('status');

let worker = null;
let workerReady = null;
let started = 0;

// The state is also the page's interface for tests: data-state on <body> is
// loading, ready, running, done, error or stopped.
function setState(state, text) {
  document.body.dataset.state = state;
  status.textContent = text;
  status.classList.toggle('error', state === 'error');
  $('run').disabled = state === 'loading';
  $('stop').disabled = state !== 'running';
  $('download').disabled = state !== 'done';
}

function startWorker() {
  worker = new Worker(new URL('worker.mjs', import.meta.url), { type: 'module' });
  workerReady = new Promise((resolve) => {
    worker.onmessage = ({ data }) => (data.type === 'ready' ? resolve() : finish(data));
  });
  worker.onerror = (event) => {
    event.preventDefault();
    finish({ type: 'error', text: event.message || 'the worker failed to start', line: 0 });
  };
  return workerReady;
}

function showLines(badLine = 0) {
  const count = code.value.split('\n').length;
  gutter.innerHTML = '';
  for (let line = 1; line <= count; line++) {
    const row = document.createElement('div');
    row.textContent = line;
    if (line === badLine) row.className = 'bad';
    gutter.append(row);
  }
  gutter.scrollTop = code.scrollTop;
}

function showPicture(width, height, rgb) {
  canvas.width = width;
  canvas.height = height;
  const rgba = new Uint8ClampedArray(width * height * 4);
  for (let i = 0, j = 0; i < rgb.length; i += 3, j += 4) {
    rgba[j] = rgb[i];
    rgba[j + 1] = rgb[i + 1];
    rgba[j + 2] = rgb[i + 2];
    rgba[j + 3] = 255;
  }
  canvas.getContext('2d').putImageData(new ImageData(rgba, width, height), 0, 0);
  fitCanvas();
}

// Enlarged by a whole factor where the picture fits more than once, so every
// pixel stays a sharp square; shrunk to fit otherwise.
function fitCanvas() {
  const area = canvas.parentElement;
  const room = Math.min((area.clientWidth - 16) / canvas.width, (area.clientHeight - 140) / canvas.height);
  const scale = room >= 1 ? Math.floor(room) : Math.max(room, 0.05);
  canvas.style.width = `${canvas.width * scale}px`;
  canvas.style.height = `${canvas.height * scale}px`;
}

function finish(message) {
  if (message.type === 'log') {
    output.textContent += `${message.text}\n`;
    return;
  }
  const elapsed = Math.round(performance.now() - started);
  if (message.type === 'done') {
    window.lastCalls = message.calls;
    showPicture(message.width, message.height, new Uint8Array(message.pixels));
    setState('done', `Done in ${elapsed} ms`);
  } else {
    output.textContent += `${message.text}\n`;
    output.classList.add('error');
    showLines(message.line);
    setState('error', message.line ? `Error on line ${message.line}` : 'Error');
  }
}

async function run() {
  if (document.body.dataset.state === 'running') stop();
  output.textContent = '';
  output.classList.remove('error');
  showLines();
  const size = (input) => Math.min(4096, Math.max(1, Math.trunc(Number(input.value)) || 400));
  setState('running', 'Running…');
  await workerReady;
  started = performance.now();
  // ?record keeps the library calls of each run in window.lastCalls, for tests.
  const record = new URLSearchParams(location.search).has('record');
  worker.postMessage({ source: code.value, width: size($('width')), height: size($('height')), record });
}

function stop() {
  worker.terminate();
  setState('stopped', 'Stopped');
  startWorker();
}

function download() {
  canvas.toBlob((blob) => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = `${$('examples').value || 'turtle'}.png`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }, 'image/png');
}

for (const name of Object.keys(EXAMPLES)) $('examples').add(new Option(name, name));
$('examples').onchange = () => {
  code.value = EXAMPLES[$('examples').value];
  showLines();
};
code.value = EXAMPLES[Object.keys(EXAMPLES)[0]];
code.oninput = () => showLines();
code.onscroll = () => (gutter.scrollTop = code.scrollTop);
code.onkeydown = (event) => {
  if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
    event.preventDefault();
    run();
  } else if (event.key === 'Tab') {
    event.preventDefault();
    code.setRangeText('    ', code.selectionStart, code.selectionEnd, 'end');
  }
};
$('run').onclick = run;
$('stop').onclick = stop;
$('download').onclick = download;
window.onresize = fitCanvas;
showLines();
fitCanvas();
setState('loading', 'Loading…');
startWorker().then(() => {
  document.body.dataset.readyMs = String(Math.round(performance.now()));
  setState('ready', 'Ready');
});
