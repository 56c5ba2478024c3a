// The playground in headless Chromium (Debian's, driven by puppeteer-core),
// served from 127.0.0.1 by this script: every example's canvas holds the
// native library's pixels for the same calls, a syntax error names its line,
// Stop ends an endless loop within a second, and Download gives the canvas as
// PNG. Exit 77 (skipped) without puppeteer-core (`npm ci` in web/) or
// chromium, except under CI=true, where that is a failure.

import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { webDir, nativePixels, runPython } from './native.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const chromium = process.env.PIXPEN_CHROMIUM || '/usr/bin/chromium';
const SKIPPED = process.env.CI === 'true' ? 1 : 77;
let puppeteer;
try {
  puppeteer = (await import(path.join(here, '..', 'node_modules', 'puppeteer-core', 'lib', 'esm', 'puppeteer', 'puppeteer-core.js'))).default;
} catch {
  console.log('SKIPPED: puppeteer-core is not installed: run `npm ci` in web/');
  process.exit(SKIPPED);
}
if (!existsSync(chromium)) {
  console.log(`SKIPPED: no Chromium at ${chromium} (Debian: apt-get install chromium)`);
  process.exit(SKIPPED);
}

const TYPES = { '.html': 'text/html', '.mjs': 'text/javascript', '.css': 'text/css' };
function serve(root) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/$/, '/index.html');
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root) || !existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    response.end(readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

const root = path.join(webDir, 'playground');
const server = await serve(root);
const profile = mkdtempSync(path.join(os.tmpdir(), 'pixpen-chromium-'));
const downloads = mkdtempSync(path.join(os.tmpdir(), 'pixpen-download-'));
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    `--user-data-dir=${profile}`],
});

const state = (page) => page.$eval('body', (body) => body.dataset.state);
const waitState = (page, states, timeout = 20000) =>
  page.waitForFunction((wanted) => wanted.includes(document.body.dataset.state), { timeout, polling: 20 }, states);

async function runCode(page, source) {
  await page.$eval('#code', (code, text) => { code.value = text; code.dispatchEvent(new Event('input')); }, source);
  await page.click('#run');
  await waitState(page, ['done', 'error']);
}

async function canvasRgb(page) {
  const rgba = await page.$eval('#canvas', (canvas) =>
    Array.from(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data));
  return Buffer.from(rgba.filter((_, i) => i % 4 !== 3));
}

let failed = false;
async function check(name, body) {
  try {
    await body();
    console.log(`ok - ${name}`);
  } catch (error) {
    failed = true;
    console.log(`not ok - ${name}\n${error.stack}`);
  }
}

try {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  const url = `http://127.0.0.1:${server.address().port}/index.html?record`;
  await page.goto(url);
  await waitState(page, ['ready']);
  const readyMs = await page.$eval('body', (body) => Number(body.dataset.readyMs));
  console.log(`# page ready ${readyMs} ms after navigation (first Chromium start included)`);
  const reloads = [];
  for (let i = 0; i < 5; i++) {
    await page.reload();
    await waitState(page, ['ready']);
    reloads.push(await page.$eval('body', (body) => Number(body.dataset.readyMs)));
  }
  console.log(`# page ready after a reload: median ${reloads.sort((a, b) => a - b)[2]} ms of ${reloads.join(', ')}`);

  const examples = await page.$$eval('#examples option', (options) => options.map((o) => o.value));
  await check('the page offers the four examples', () => assert.equal(examples.length, 4));
  for (const name of examples) {
    await check(`example "${name}" shows the native pixels`, async () => {
      await page.select('#examples', name);
      await page.click('#run');
      await waitState(page, ['done', 'error']);
      assert.equal(await state(page), 'done', await page.$eval('#output', (o) => o.textContent));
      const calls = await page.evaluate(() => window.lastCalls);
      const native = Object.values(nativePixels(calls));
      assert.equal(native.length, 1);
      assert.ok((await canvasRgb(page)).equals(native[0]));
    });
  }

  await check('Download PNG gives the canvas', async () => {
    const session = await page.createCDPSession();
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.click('#download');
    const deadline = Date.now() + 10000;
    while (!readdirSync(downloads).some((f) => f.endsWith('.png')) && Date.now() < deadline) {
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
    const file = path.join(downloads, readdirSync(downloads).find((f) => f.endsWith('.png')));
    const decoded = runPython(['-c', `import base64, json, sys
from PIL import Image
picture = Image.open(sys.argv[1]).convert('RGB')
json.dump(base64.b64encode(picture.tobytes()).decode(), sys.stdout)`, file], '');
    assert.ok(Buffer.from(decoded, 'base64').equals(await canvasRgb(page)));
  });

  await check('a syntax error is shown with its line', async () => {
    await runCode(page, 'forward(10);\nleft(90);\ncircle(20;\n');
    assert.equal(await state(page), 'error');
    assert.match(await page.$eval('#status', (s) => s.textContent), /line 3\b/);
    assert.match(await page.$eval('#output', (o) => o.textContent), /line 3: SyntaxError/);
    assert.equal(await page.$eval('#gutter .bad', (row) => row.textContent), '3');
  });

  await check('a runtime error is shown with its line', async () => {
    await runCode(page, 'forward(10);\n\npencolor("nosuchcolour");\n');
    assert.match(await page.$eval('#output', (o) => o.textContent), /line 3: TypeError/);
  });

  await check('Stop ends an endless loop within a second, and the next run works', async () => {
    await page.$eval('#code', (code) => { code.value = 'let n = 0;\nwhile (true) { n++; }\n'; });
    await page.click('#run');
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.equal(await state(page), 'running');
    const start = Date.now();
    await page.click('#stop');
    await waitState(page, ['stopped'], 1000);
    await runCode(page, 'forward(50);');
    const elapsed = Date.now() - start;
    console.log(`# stopped and ran again in ${elapsed} ms`);
    assert.equal(await state(page), 'done');
    assert.ok(elapsed < 1000, `${elapsed} ms`);
  });

  await check('no uncaught error on the page', () => assert.deepEqual(errors, []));
} finally {
  await browser.close();
  server.close();
  rmSync(profile, { recursive: true, force: true });
  rmSync(downloads, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
