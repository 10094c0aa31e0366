// The page with a photo, timed in headless Chromium: a 4000 x 3000 picture of
// about a million distinct colours (a gradient, translucent squares, film
// grain, JPEG) dropped on the page, its 16 colours listed, its rendered view
// asked for, and meanwhile a keystroke and a click. The browser tests run the
// same scenario (photoRun) and check what load cannot change; the figures are
// this benchmark's, to be read against the goals: no task of the page over
// 50 ms, typing answered within a frame, the rendered view within seconds.
// Then a distinct colour's search on the page's worker, against the native
// search of the same colours.
//   node bench/page_bench.mjs PAGE DEPS PALETTE [RUNS]
// PAGE is the one-file page (build/web-page/web/tintwise.html), DEPS the
// folder where the browser tests installed playwright-core
// (build/web-test-deps), PALETTE the native tintwise-palette.
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

// Counts, in the page's own thread, the pixels read from any canvas and the
// answers that came from its workers: the picture's pixels are read and its
// colours searched in workers only. Add before the page loads.
export function countPageWork() {
  window.pageWork = { pixelsRead: 0, workerAnswers: 0 };
  for (const kind of [CanvasRenderingContext2D, OffscreenCanvasRenderingContext2D]) {
    const read = kind.prototype.getImageData;
    kind.prototype.getImageData = function (x, y, w, h, ...rest) {
      window.pageWork.pixelsRead += w * h;
      return read.call(this, x, y, w, h, ...rest);
    };
  }
  const Started = window.Worker;
  window.Worker = class extends Started {
    constructor(...args) {
      super(...args);
      this.addEventListener('message', () => ++window.pageWork.workerAnswers);
    }
  };
}

// The scenario, in the page; gives up after `wait` ms. Times are in seconds
// from the drop; `rendered` counts from when the view was asked for.
export const photoRun = (page, wait) => page.evaluate(async (limit) => {
  const c = new OffscreenCanvas(4000, 3000), g = c.getContext('2d', { willReadFrequently: true }), sky = g.createLinearGradient(0, 0, 4000, 3000);
  [[0, '#203050'], [0.5, '#c08040'], [1, '#40a060']].forEach(([at, colour]) => sky.addColorStop(at, colour));
  g.fillStyle = sky;
  g.fillRect(0, 0, 4000, 3000);
  for (let i = 0; i < 400; ++i) {
    g.fillStyle = `hsla(${(i * 37) % 360}, 60%, 50%, 0.3)`;
    g.fillRect((i * 977) % 4000, (i * 613) % 3000, 100 + (i % 7) * 80, 100 + (i % 5) * 80);
  }
  for (let y = 0, seed = 1; y < 3000; y += 500) { // grain of up to 26 a channel
    const band = g.getImageData(0, y, 4000, 500), d = band.data;
    for (let i = 0; i < d.length; ++i) if ((i & 3) !== 3) d[i] += ((seed = (seed * 1103515245 + 12345) >>> 0) >>> 24) % 53 - 26;
    g.putImageData(band, 0, y);
  }
  const dropped = new DataTransfer(), tasks = [];
  dropped.items.add(new File([await c.convertToBlob({ type: 'image/jpeg', quality: 0.95 })], 'photo.jpg', { type: 'image/jpeg' }));
  if (window.pageWork) window.pageWork = { pixelsRead: 0, workerAnswers: 0 }; // the photo itself was drawn here
  const start = performance.now(), seconds = () => (performance.now() - start) / 1000, shown = (id, what) => what.test(document.getElementById(id).textContent);
  new PerformanceObserver((list) => list.getEntries().forEach((e) => tasks.push([e.duration, (e.startTime - start) / 1000]))).observe({ type: 'longtask' });
  const until = async (done) => { while (!done() && seconds() * 1000 < limit) await new Promise((next) => setTimeout(next, 10)); return done() && seconds(); };
  document.getElementById('picture-area').dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true, cancelable: true }));
  const opened = await until(() => shown('picture-status', /pixels\./));
  document.getElementById('picture-colours').click();
  const listed = await until(() => shown('progress-text', /converted/)), mode = document.getElementById('picture-mode');
  mode.value = 'rendered';
  mode.dispatchEvent(new Event('change'));
  await until(() => seconds() > listed + 0.5);
  const red = document.getElementById('red'), typedAt = seconds(); // typing and a click while the colours are answered
  red.value = '12';
  red.dispatchEvent(new Event('input'));
  const typed = /^12 /.test(document.getElementById('cli-args').textContent) ? seconds() - typedAt : null;
  const box = document.getElementById('picture').getBoundingClientRect(), clickedAt = seconds();
  document.getElementById('picture').dispatchEvent(new MouseEvent('click', { clientX: box.left + 3, clientY: box.top + 3, bubbles: true }));
  const clicked = await until(() => shown('picture-status', /^Picked pixel/));
  const rendered = await until(() => document.getElementById('picture').dataset.mode === 'rendered');
  const status = document.getElementById('picture-status').textContent, distinct = /\((\d+) distinct colours\)/.exec(status);
  const longest = tasks.reduce((a, b) => (b[0] > a[0] ? b : a), [0, 0]); // and when it began, to say where it came
  return { opened, listed, rendered: rendered && rendered - listed, distinct: distinct && Number(distinct[1]), typed,
    clicked: clicked && clicked - clickedAt, longest: longest[0], at: longest[1], typedAt, clickedAt, status, work: window.pageWork };
}, wait);

// The time one of the page's search workers takes for each of `colours`
// (0xRRGGBB, distinct), as the picture's search asks it, once its code is
// compiled in full (after a first pass over them): milliseconds a colour.
export const workerRun = (page, colours) => page.evaluate(async (list) => {
  const [worker] = await searchWorkers(), all = Uint32Array.from(list);
  const answer = (job) => new Promise((done) => {
    const take = ({ data }) => { if (data.job === job) { worker.removeEventListener('message', take); done(); } };
    worker.addEventListener('message', take);
    worker.postMessage({ job, chunk: 0, colours: all });
  });
  await answer(-1);
  const start = performance.now();
  await answer(-2);
  return (performance.now() - start) / list.length;
}, colours);

// The same colours natively, through tintwise-palette on one thread: its time
// for them, less its time for as many entries of one colour (which it
// searches once), so that reading and writing rows is not counted.
function nativeRun(palette, colours) {
  const time = (lines) => {
    const start = process.hrtime.bigint();
    const run = spawnSync(palette, ['--jobs=1', '--format={hue}'], { input: lines, maxBuffer: 1 << 28 });
    if (run.status !== 0) throw new Error(`${palette} failed: ${run.stderr}`);
    return Number(process.hrtime.bigint() - start) / 1e6;
  };
  const hex = (c) => '#' + c.toString(16).padStart(6, '0') + '\n';
  return (time(colours.map(hex).join('')) - time(hex(colours[0]).repeat(colours.length))) / colours.length;
}

// Headless Chromium as the tests start it: Debian's, with no network of its own.
export function launch(chromium) {
  const args = ['no-sandbox', 'disable-gpu', 'disable-quic', 'no-first-run', 'disable-background-networking', 'disable-sync'];
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: args.map((a) => '--' + a) });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [page, deps, palette, runs = '3'] = process.argv.slice(2);
  const { chromium } = createRequire(path.resolve(deps) + '/')('playwright-core');
  const browser = await launch(chromium);
  for (let i = 1; i <= Number(runs); ++i) {
    const tab = await browser.newPage();
    await tab.goto(pathToFileURL(path.resolve(page)).href);
    await tab.waitForFunction(() => document.body.dataset.ready === 'true');
    const r = await photoRun(tab, 60_000);
    console.log(`run ${i}: a 4000 x 3000 photo of ${r.distinct} distinct colours opened in ${r.opened.toFixed(2)} s, its 16 colours listed by ` +
      `${r.listed.toFixed(2)} s, its rendered view drawn ${Number(r.rendered).toFixed(2)} s after it was asked for; typing answered in ` +
      `${(r.typed * 1000).toFixed(0)} ms and a click in ${(r.clicked * 1000).toFixed(0)} ms meanwhile; longest task ${Math.round(r.longest)} ms` +
      (r.longest ? ` (at ${r.at.toFixed(2)} s)` : ' (none over 50 ms)'));
    await tab.close();
  }
  // A distinct colour's search, on the page's worker and natively: 100,000 random colours (fixed seed).
  const seen = new Set();
  for (let seed = 61; seen.size < 100000;) seen.add((seed = (Math.imul(seed, 1103515245) + 12345) >>> 0) >>> 8);
  const colours = [...seen], tab = await browser.newPage();
  await tab.goto(pathToFileURL(path.resolve(page)).href);
  await tab.waitForFunction(() => document.body.dataset.ready === 'true');
  // Pairs taken one right after the other, many of them, and their medians: the machine's speed varies from
  // second to second when others share it, and a pair meets the same machine.
  const median = (v) => [...v].sort((a, b) => a - b)[v.length >> 1], pairs = [];
  for (let i = 0; i < 4 * Number(runs); ++i) pairs.push([await workerRun(tab, colours) * 1000, nativeRun(palette, colours) * 1000]);
  const [worker, native, ratio] = [0, 1].map((k) => median(pairs.map((p) => p[k]))).concat(median(pairs.map(([w, n]) => w / n)));
  console.log(`a distinct colour takes ${worker.toFixed(2)} µs on the page's worker and ${native.toFixed(2)} µs natively ` +
    `(tintwise-palette --jobs=1), the medians of ${pairs.length} runs of each; each run on the worker ${ratio.toFixed(2)} times ` +
    `as long as the native run beside it (median; from ${Math.min(...pairs.map(([w, n]) => w / n)).toFixed(2)} to ` +
    `${Math.max(...pairs.map(([w, n]) => w / n)).toFixed(2)})`);
  await browser.close();
}
