// Runs one program at a time off the page's thread, so that Stop can end an
// endless loop by terminating the worker. Messages in: {source, width,
// height, record}; out: {type: 'ready'}, {type: 'log', text}, then {type: 'done',
// width, height, pixels, calls} (RGB bytes, transferred; the library calls
// made when `record` asked for them) or {type: 'error', text, line}.
import { recordCalls } from './pixpen.mjs';
import { runProgram } from './runtime.mjs';

self.onmessage = ({ data }) => {
  const log = (text) => self.postMessage({ type: 'log', text });
  const calls = [];
  let screen;
  try {
    if (data.record) recordCalls((entry) => calls.push(entry));
    screen = runProgram(data.source, { width: data.width, height: data.height, log });
  } catch (error) {
    self.postMessage({ type: 'error', text: String(error), line: error.line || 0 });
    return;
  } finally {
    recordCalls(null);
  }
  const pixels = screen.image.pixels.slice().buffer;
  self.postMessage({ type: 'done', width: data.width, height: data.height, pixels, calls }, [pixels]);
  screen.close();
};
self.postMessage({ type: 'ready' });
