// The web page as a person uses it, in headless Chromium: the text it shows
// against the native tool's bytes, the inputs kept in sync, the messages for
// bad input, a pasted palette with its table and CSV, and links.

// Puts text into the palette box as a paste does: all at once.
const paste = (text) => page.locator('#palette').evaluate((box, t) => {
  box.value = t;
  box.dispatchEvent(new Event('input', { bubbles: true }));
}, text);
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';

const { chromium } = createRequire(process.env.TINTWISE_WEB_DEPS + '/')('playwright-core');
const pageUrl = 'file://' + process.env.TINTWISE_WEB_PAGE;

// What the command-line tool prints for these arguments (any exit status).
function tool(...args) {
  try {
    return execFileSync(process.env.TINTWISE_EXE, args.map(String), { encoding: 'utf8' });
  } catch (e) {
    return e.stdout;
  }
}

let browser, page, errors;

before(async () => {
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
});
after(() => browser.close());

async function open(query = '') {
  page = await browser.newPage({ acceptDownloads: true });
  errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(pageUrl + query);
  await page.waitForSelector('body[data-ready=true]');
}

const text = (id) => page.locator('#' + id).textContent();
const value = (id) => page.locator('#' + id).inputValue();

test('shows byte for byte what the tool prints, range errors included', async () => {
  await open();
  const colours = [[0, 0, 0], [1, 1, 1], [255, 255, 255], [13, 12, 13], [242, 187, 240], [300, 0, 0], [0, 0, -1]];
  for (let i = 0; i < 200; ++i) colours.push([(i * 97) % 256, (i * 53 + 7) % 256, (i * 211 + 3) % 256]);
  // Each colour is entered as typed text in the three fields.
  const shown = await page.evaluate((list) => list.map((rgb) => {
    ['red', 'green', 'blue'].forEach((id, i) => {
      const field = document.getElementById(id);
      field.value = String(rgb[i]);
      field.dispatchEvent(new Event('input', { bubbles: true }));
    });
    return document.getElementById('cli-output').textContent;
  }), colours);
  colours.forEach((rgb, i) => assert.equal(shown[i], tool(...rgb), `Tintwise ${rgb.join(' ')}`));
  assert.deepEqual(errors, []);
});

test('keeps the picker, hex and R, G, B in sync, and the address with them', async () => {
  await open();
  await page.fill('#hex', '#f80');
  assert.deepEqual([await value('red'), await value('green'), await value('blue')], ['255', '136', '0']);
  assert.equal(await value('picker'), '#ff8800');
  assert.match(page.url(), /\?rgb=255,136,0$/);
  await page.fill('#green', '12');
  assert.equal(await value('hex'), '#ff0c00');
  await page.locator('#picker').evaluate((el) => {
    el.value = '#0d0c0d';
    el.dispatchEvent(new Event('input', { bubbles: true }));
  });
  assert.deepEqual([await value('red'), await value('green'), await value('blue')], ['13', '12', '13']);
  assert.deepEqual([await text('hue'), await text('saturation'), await text('brightness')], ['213', '164', '2']);
  assert.equal(await text('distance'), '1.776121');
});

test('explains bad input beside its field and keeps the last good result', async () => {
  for (const [field, typed] of [['red', 'abc'], ['green', '1.5'], ['blue', ''], ['hex', '#12345'], ['hex', 'xyz']]) {
    await open('?rgb=10,20,30');
    const good = await text('cli-output');
    await page.fill('#' + field, typed);
    assert.notEqual((await text(field + '-error')).trim(), '', `${field} = ${typed}`);
    assert.equal(await page.locator('#' + field).getAttribute('aria-invalid'), 'true');
    assert.equal(await text('cli-output'), good);
  }
  await page.fill('#red', '256');
  assert.match(await text('red-error'), /outside 0\.\.255/);
  assert.equal(await text('cli-output'), tool(256, 20, 30));
  assert.equal(await text('hue'), '142'); // the last good triple stays
  assert.deepEqual(errors, []);
});

test('converts a pasted palette, lists unreadable lines, and downloads the table', async () => {
  await open();
  const lines = [], bad = [];
  for (let i = 1; i <= 1000; ++i) {
    const rgb = [(i * 37) % 256, (i * 101) % 256, (i * 13) % 256];
    const hex = rgb.map((v) => v.toString(16).padStart(2, '0')).join('');
    if (i % 97 === 0) {
      lines.push(['#12345', '256 0 0', 'red', '1,2', '<b>x</b>'][bad.length % 5]);
      bad.push(i);
    } else {
      lines.push([`#${hex}`, hex, rgb.join(' '), rgb.join(','), ` ${rgb.join(' , ')} `][i % 5]);
    }
  }
  await paste(lines.join('\n'));
  await page.click('#convert');
  await page.waitForSelector('#download:not([disabled])', { timeout: 60000 });
  assert.equal(await page.locator('#palette-table tbody tr').count(), 1000 - bad.length);
  const listed = await page.locator('#palette-error-list li').allTextContents();
  assert.deepEqual(listed.map((t) => Number(/^Line (\d+):/.exec(t)[1])), bad);
  assert.equal(await page.locator('#palette-error-list b').count(), 0); // shown as text, not markup

  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const csv = readFileSync(await download.path(), 'utf8').trimEnd().split('\n');
  assert.equal(csv[0], 'line,input,hex,hue,saturation,brightness,distance,rendered_hex');
  assert.equal(csv.length, 1001 - bad.length);
  for (const row of csv.slice(1).filter((_, i) => i % 50 === 0)) {
    const [line, , , h, s, b, distance] = row.split(/,(?=(?:[^"]*"[^"]*")*[^"]*$)/);
    const rgb = [(line * 37) % 256, (line * 101) % 256, (line * 13) % 256];
    const out = tool(...rgb);
    assert.ok(out.includes(`= ${distance}]`) && out.endsWith(`Hue = ${h}, Saturation = ${s}, Brightness = ${b}\n`), row);
  }
});

test('converts 10,000 colours in slices, showing progress', async () => {
  await open();
  const lines = Array.from({ length: 10000 }, (_, i) => `${(i * 7) % 256} ${(i * 3) % 256} ${i % 256}`);
  await paste(lines.join('\n'));
  const seen = await page.evaluate(() => new Promise((done) => {
    const progress = [], start = performance.now();
    const watch = () => { progress.push(document.getElementById('progress').value); };
    const timer = setInterval(watch, 20); // runs only while the page stays responsive
    new MutationObserver(() => {
      if (!document.getElementById('download').disabled) {
        clearInterval(timer);
        done({ progress, ms: performance.now() - start });
      }
    }).observe(document.getElementById('download'), { attributes: true });
    document.getElementById('convert').click();
  }));
  const oneColour = await page.evaluate(() => {
    const start = performance.now();
    for (let i = 0; i < 100; ++i) {
      const field = document.getElementById('red');
      field.value = String(i);
      field.dispatchEvent(new Event('input', { bubbles: true }));
    }
    return (performance.now() - start) / 100;
  });
  console.log(`page: ${oneColour.toFixed(3)} ms a colour; 10,000 palette colours in ${(seen.ms / 1000).toFixed(2)} s`);
  assert.ok(seen.progress.some((v) => v > 0 && v < 10000), 'the page answered while converting');
  assert.equal(await page.locator('#palette-table tbody tr').count(), 10000);
});

test('opens the colour a link names, and never runs what a link carries', async () => {
  await open('?hex=ff8000');
  assert.equal(await text('cli-output'), tool(255, 128, 0));
  await open('?rgb=13,12,13');
  assert.equal(await value('hex'), '#0d0c0d');
  await open('?rgb=' + encodeURIComponent('<img src=x onerror="document.title=1">'));
  assert.equal(await page.locator('img').count(), 0);
  assert.equal(await value('hex'), '#ff8000'); // an unreadable link falls back to the default
  assert.deepEqual(errors, []);
});
