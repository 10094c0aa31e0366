// The web page as a person uses it, in headless Chromium: its text against
// the native tool's bytes, the inputs in sync with each other and the
// address, the messages for bad input, and a pasted palette with its table,
// its unreadable lines and its CSV.
import { test, before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';

const { chromium } = createRequire(process.env.TINTWISE_WEB_DEPS + '/')('playwright-core');

// What `Tintwise R G B` prints, whatever its exit status.
const tool = (...rgb) => execFileSync('sh', ['-c', '"$0" "$@"; true', process.env.TINTWISE_EXE, ...rgb.map(String)], { encoding: 'utf8' });

let browser, page, errors;
before(async () => {
  const args = ['no-sandbox', 'disable-gpu', 'disable-quic', 'no-first-run', 'disable-background-networking', 'disable-sync'];
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: args.map((a) => '--' + a) });
});
after(() => browser.close());
afterEach(() => assert.deepEqual(errors, [])); // the page never throws

async function open(query = '') {
  page = await browser.newPage({ acceptDownloads: true });
  errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto('file://' + process.env.TINTWISE_WEB_PAGE + query);
  await page.waitForSelector('body[data-ready=true]');
}
const text = (id) => page.locator('#' + id).textContent();
const values = (...ids) => Promise.all(ids.map((id) => page.locator('#' + id).inputValue()));

test('shows byte for byte what the tool prints, range errors included', async () => {
  await open();
  const colours = [[1, 1, 1], [255, 255, 255], [13, 12, 13], [242, 187, 240], [300, 0, 0], [0, 0, -1]];
  for (let i = 0; i < 200; ++i) colours.push([(i * 97) % 256, (i * 53 + 7) % 256, (i * 211 + 3) % 256]);
  const shown = await page.evaluate((list) => list.map((rgb) => { // typed into the three fields
    ['red', 'green', 'blue'].forEach((id, i) => {
      const field = document.getElementById(id);
      field.value = String(rgb[i]);
      field.dispatchEvent(new Event('input'));
    });
    return document.getElementById('cli-output').textContent;
  }), colours);
  colours.forEach((rgb, i) => assert.equal(shown[i], tool(...rgb), `Tintwise ${rgb.join(' ')}`));
});

test('keeps the picker, hex, fields and address in sync, and opens the colour a link names', async () => {
  await open('?hex=ff8000');
  assert.equal(await text('cli-output'), tool(255, 128, 0));
  await page.fill('#hex', '#f80');
  assert.deepEqual(await values('red', 'green', 'blue', 'picker'), ['255', '136', '0', '#ff8800']);
  assert.match(page.url(), /\?rgb=255,136,0$/);
  await page.fill('#green', '12');
  assert.deepEqual(await values('hex'), ['#ff0c00']);
  await page.locator('#picker').evaluate((el) => { el.value = '#0d0c0d'; el.dispatchEvent(new Event('input')); });
  assert.deepEqual(await values('red', 'green', 'blue'), ['13', '12', '13']);
  assert.deepEqual([await text('hue'), await text('saturation'), await text('brightness'), await text('distance')],
    ['213', '164', '2', '1.776121']);
  await open('?rgb=' + encodeURIComponent('<img src=x onerror="document.title=1">'));
  assert.equal(await page.locator('img').count(), 0); // a link is data, never markup
  assert.deepEqual(await values('hex'), ['#ff8000']);
});

test('explains bad input beside its field and keeps the last good result', async () => {
  for (const [field, typed] of [['red', 'abc'], ['green', '1.5'], ['blue', ''], ['hex', '#12345'], ['hex', 'xyz']]) {
    await open('?rgb=10,20,30');
    await page.fill('#' + field, typed);
    assert.notEqual((await text(field + '-error')).trim(), '', `${field} = ${typed}`);
    assert.equal(await page.locator('#' + field).getAttribute('aria-invalid'), 'true');
    assert.equal(await text('cli-output'), tool(10, 20, 30));
  }
  await page.fill('#red', '256');
  assert.match(await text('red-error'), /outside 0\.\.255/);
  assert.equal(await text('cli-output'), tool(256, 20, 30));
  assert.equal(await text('hue'), '142');
});

test('converts a pasted palette of 10,000 lines in slices, lists unreadable lines, and downloads the table', async () => {
  await open();
  const rgbOf = (n) => [(n * 37) % 256, (n * 101) % 256, (n * 13) % 256];
  const bad = ['#12345', '256 0 0', 'red', '1,2', '<b>x</b>'];
  const lines = [], badLines = [];
  for (let n = 1; n <= 10000; ++n) {
    const rgb = rgbOf(n), hex = rgb.map((v) => v.toString(16).padStart(2, '0')).join('');
    if (n % 997 === 0) badLines.push(n);
    lines.push(n % 997 === 0 ? bad[n % 5] : [`#${hex}`, hex, rgb.join(' '), rgb.join(','), ` ${rgb.join(' , ')} `][n % 5]);
  }
  const run = await page.evaluate((all) => new Promise((done) => {
    const box = document.getElementById('palette'), button = document.getElementById('download');
    box.value = all; // as a paste puts it
    const seen = [], start = performance.now();
    const timer = setInterval(() => seen.push(document.getElementById('progress').value), 20); // runs only if the page answers
    new MutationObserver(() => {
      if (button.disabled) return;
      clearInterval(timer);
      done({ seen, seconds: (performance.now() - start) / 1000 });
    }).observe(button, { attributes: true });
    document.getElementById('convert').click();
  }), lines.join('\n'));
  console.log(`10,000 palette lines converted in ${run.seconds.toFixed(2)} s`);
  assert.ok(run.seen.some((v) => v > 0 && v < 10000), 'progress shown while converting');
  assert.equal(await page.locator('#palette-table tbody tr').count(), 10000 - badLines.length);
  const listed = await page.locator('#palette-error-list li').allTextContents();
  assert.deepEqual(listed.map((t) => Number(/^Line (\d+):/.exec(t)[1])), badLines);
  assert.equal(await page.locator('#palette-error-list b').count(), 0);

  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const csv = readFileSync(await download.path(), 'utf8').trimEnd().split('\n');
  assert.equal(csv[0], 'line,input,hex,hue,saturation,brightness,distance,rendered_hex');
  assert.equal(csv.length, 10001 - badLines.length);
  for (const row of csv.slice(1).filter((_, i) => i % 500 === 0)) {
    const [n, , , h, s, b, distance] = row.split(/,(?=(?:[^"]*"[^"]*")*[^"]*$)/);
    const out = tool(...rgbOf(n));
    assert.ok(out.startsWith(`[Distance between RGB and the best matching HSB = ${distance}]`), row);
    assert.ok(out.endsWith(`Hue = ${h}, Saturation = ${s}, Brightness = ${b}\n`), row);
  }
});
