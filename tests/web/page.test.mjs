// The web page as a person uses it, in headless Chromium: its text against
// the native tool's bytes for any text typed, the inputs in sync with each
// other and the address, links it cannot read, a triple's colour against the
// tool's report, the keyboard alone, axe's WCAG 2 A and AA rules in light and
// dark, and a pasted palette with its table, its unreadable lines and its CSV.
import { test, before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { spawnSync } from 'node:child_process';
import { deflateSync } from 'node:zlib';
import { countPageWork, launch, photoRun } from '../../bench/page_bench.mjs';

const deps = createRequire(process.env.TINTWISE_WEB_DEPS + '/');
const { chromium } = deps('playwright-core');

// Nothing here waits long: every wait gives up within 30 s and names what it
// waited for, and every test within a minute, so a fault fails fast.
const kWait = 30_000;
const check = (name, fn) => test(name, { timeout: 60_000 }, fn);

// What `Tintwise R G B` prints, whatever its exit status.
const tool = (...rgb) => execFileSync('sh', ['-c', '"$0" "$@"; true', process.env.TINTWISE_EXE, ...rgb.map(String)], { encoding: 'utf8', timeout: kWait });

let browser, page, errors;
before(async () => { browser = await launch(chromium); });
after(() => browser.close());
afterEach(() => assert.deepEqual(errors, [])); // the page never throws, nor reaches for the network

// Waits for fn(arg) in the page to hold, saying what it waited for if it never does.
async function waitFor(what, fn, arg) {
  try {
    await page.waitForFunction(fn, arg, { timeout: kWait });
  } catch (e) {
    throw new Error(`gave up after ${kWait / 1000} s waiting for ${what}: ${e.message.split('\n')[0]}`);
  }
}

async function open(query = '', options = {}, before = null) {
  if (page) await page.close();
  page = await browser.newPage({ acceptDownloads: true, ...options });
  page.setDefaultTimeout(kWait);
  if (before) await page.addInitScript(before);
  errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('request', (r) => { if (!/^(file|data|blob):/.test(r.url())) errors.push('asked the network for ' + r.url()); });
  await page.goto('file://' + process.env.TINTWISE_WEB_PAGE + query);
  await waitFor('the page to load its module', () => document.body.dataset.ready === 'true');
}
// What `tintwise-palette ARGS` writes, run in the sample palettes' folder.
const paletteTool = (...args) => spawnSync(process.env.TINTWISE_PALETTE, args, { cwd: process.env.TINTWISE_PALETTES, encoding: 'utf8', timeout: kWait });
const text = (id) => page.locator('#' + id).textContent();
const values = (...ids) => Promise.all(ids.map((id) => page.locator('#' + id).inputValue()));

// The three fields' texts, typed as a person types them.
const typeFields = (list) => page.evaluate((all) => all.map((texts) => {
  ['red', 'green', 'blue'].forEach((id, i) => {
    const field = document.getElementById(id);
    field.value = texts[i];
    field.dispatchEvent(new Event('input'));
  });
  return [document.getElementById('cli-output').textContent, document.getElementById('hex').value, location.search];
}), list);

check('shows byte for byte what the tool prints for any text, never wrapping a number into range', async () => {
  await open();
  const colours = [[1, 1, 1], [255, 255, 255], [13, 12, 13], [242, 187, 240], [300, 0, 0], [0, 0, -1]];
  for (let i = 0; i < 200; ++i) colours.push([(i * 97) % 256, (i * 53 + 7) % 256, (i * 211 + 3) % 256]);
  const odd = [['4294967296', '128', '0'], ['-4294967296', '128', '0'], ['4294967551', '128', '0'], ['9'.repeat(400), '0', '0'],
    ['abc', '12abc', ' 7'], ['+5', '+ 5', ''], ['-0', '0x10', '1e2'], ['00000000000000000255', '\t3', "'"]];
  const texts = [...colours.map((rgb) => rgb.map(String)), ...odd];
  const shown = await typeFields(texts);
  texts.forEach((t, i) => assert.equal(shown[i][0], tool(...t), `Tintwise ${t.join(' ')}`));
  const good = colours.at(-1), goodHex = '#' + good.map((v) => v.toString(16).padStart(2, '0')).join('');
  for (const [, hex, search] of shown.slice(colours.length)) { // the picker and hex keep the last colour in range; the address names none
    assert.equal(hex, goodHex);
    assert.equal(search, '');
  }
  assert.deepEqual(await values('picker'), [goodHex]);
});

check('keeps the picker, hex, fields and address in sync, and opens the colour a link names', async () => {
  await open('?hex=ff8000');
  assert.equal(await text('cli-output'), tool(255, 128, 0));
  const version = paletteTool('--version').stdout.trim().replace('tintwise-palette ', '');
  assert.match(await page.locator('footer').textContent(), new RegExp(`^Tintwise ${version.replace(/\./g, '\\.')}\\. `));
  await page.fill('#hex', '#f80');
  assert.deepEqual(await values('red', 'green', 'blue', 'picker'), ['255', '136', '0', '#ff8800']);
  assert.match(page.url(), /\?rgb=255,136,0$/);
  await page.fill('#green', '12');
  assert.deepEqual(await values('hex', 'picker'), ['#ff0c00', '#ff0c00']);
  await page.locator('#picker').evaluate((el) => { el.value = '#0d0c0d'; el.dispatchEvent(new Event('input')); });
  assert.deepEqual(await values('red', 'green', 'blue'), ['13', '12', '13']);
  assert.deepEqual(await Promise.all(['hue', 'saturation', 'brightness', 'distance'].map(text)), ['213', '164', '2', '1.776121']);
  await open('?rgb=256,0,0'); // well-formed but out of range: as if typed
  assert.deepEqual(await values('red', 'green', 'blue'), ['256', '0', '0']);
  assert.equal(await text('cli-output'), tool(256, 0, 0));
  assert.match(await text('red-error'), /outside 0\.\.255/);
});

check('says which link it cannot read, with the link\'s own text, and shows no other colour instead', async () => {
  const markup = '<img src=x onerror="document.title=1">';
  for (const [query, where, shown] of [['?rgb=1,2', 'link-error', '1,2'], ['?rgb=1,2,3,4', 'link-error', '1,2,3,4'],
    ['?hex=zzz', 'hex-error', 'zzz'], ['?hex=%2312345', 'hex-error', '#12345'], ['?hsb=1,2', 'triple-link-error', '1,2'],
    ['?rgb=' + encodeURIComponent(markup), 'link-error', markup], ['?hex=' + encodeURIComponent(markup), 'hex-error', markup],
    ['?hsb=' + encodeURIComponent(markup), 'triple-link-error', markup]]) {
    await open(query);
    assert.ok((await text(where)).includes(shown), `${query}: ${await text(where)}`);
    assert.equal(await page.locator('img').count(), 0, query); // a link is data, never markup
    if (where === 'triple-link-error') continue;
    assert.equal(await text('cli-output'), '', query);
    assert.equal(await text('hue'), '–', query);
    assert.notDeepEqual(await values('red', 'green', 'blue'), ['255', '128', '0'], query);
  }
});

// Whatever way the fields were filled (typed a key at a time, pasted, picked, a link, a pixel), the page
// shows, copies and links an answer only while every field holds a colour, and then the tool's for them; a
// field's message moves no other field.
check('shows an answer only for the fields as they are, however they were filled, and moves no field', async () => {
  await open('?rgb=10,20,30');
  const where = () => page.evaluate(() => ['picker', 'hex', 'red', 'green', 'blue'].map((id) => document.getElementById(id).getBoundingClientRect().x));
  const at = await where();
  const agrees = async (how) => {
    const s = await page.evaluate(() => ({ rgb: ['red', 'green', 'blue'].map((id) => document.getElementById(id).value), hex: document.getElementById('hex').value,
      triple: ['hue', 'saturation', 'brightness'].map((id) => document.getElementById(id).textContent), cli: document.getElementById('cli-output').textContent,
      stale: document.getElementById('colour-form').hasAttribute('data-stale'), copy: !document.getElementById('copy').disabled, search: location.search }));
    const valid = s.rgb.every((t) => /^\s*\d+\s*$/.test(t) && Number(t) <= 255) && /^#[0-9a-f]{6}$/.test(s.hex);
    assert.deepEqual(await where(), at, `${how}: the fields moved`);
    if (!valid) {
      assert.ok(s.stale && !s.copy && !/rgb=/.test(s.search) && s.triple.join() === '–,–,–', `${how}: ${JSON.stringify(s)}`);
      if (s.cli) assert.equal(s.cli, tool(...s.rgb), `${how}: what the tool prints for the fields as typed`); // an unread link fills none
      assert.equal(Boolean(await text('cli-note')), Boolean(s.cli), how);
      return;
    }
    const rgb = s.rgb.map(Number), answer = tool(...rgb);
    assert.deepEqual(s.triple, /Hue = (\d+), Saturation = (\d+), Brightness = (\d+)/.exec(answer).slice(1), how);
    assert.ok(!s.stale && s.copy && s.cli === answer && s.search === `?rgb=${rgb.join(',')}` && s.hex === hexOf(rgb), `${how}: ${JSON.stringify(s)}`);
  };
  const paste = (id, v) => page.locator('#' + id).evaluate((el, t) => { el.value = t; el.dispatchEvent(new InputEvent('input', { inputType: 'insertFromPaste', data: t })); }, v);
  for (const bad of ['300', 'abc', '']) {
    await page.locator('#red').fill('');
    await page.locator('#red').pressSequentially(bad);
    await agrees(`${bad} typed into R`);
    await paste('green', '17');
    await agrees(`17 pasted into G beside R ${bad}`);
    await page.locator('#picker').evaluate((el) => { el.value = '#0d0c0d'; el.dispatchEvent(new Event('input')); });
    await agrees(`the picker after ${bad}`);
    await paste('blue', bad);
    await agrees(`${bad} pasted into B`);
    await page.fill('#hex', 'xyz' + bad);
    await agrees(`xyz${bad} typed into hex`);
    await page.fill('#hex', '#0a141e');
    await agrees('a hex colour typed');
    await page.fill('#blue', bad);
    await openPicture(blocksPng);
    await page.locator('#picture').click({ position: { x: 2, y: 2 } });
    await waitFor('the pixel to be picked', () => /^Picked/.test(document.getElementById('picture-status').textContent));
    await agrees(`a pixel picked after ${bad} in B`);
    await open(`?rgb=${bad},1,2`);
    await agrees(`the link ?rgb=${bad},1,2`);
  }
});

check('renders a triple as the tool reports the colour it renders', async () => {
  await open('?hsb=13,78,255');
  assert.deepEqual([await text('triple-rgb'), await text('triple-hex')], ['(187.2, 86.3, 64.1)', '#bb5640']);
  const answers = Array.from({ length: 40 }, (_, i) => tool((i * 71) % 256, (i * 29 + 5) % 256, (i * 173 + 11) % 256))
    .map((out) => [/Hue = (\d+), Saturation = (\d+), Brightness = (\d+)/.exec(out).slice(1), /RGB (\(.*\))\]/.exec(out)[1]]);
  const shown = await page.evaluate((all) => all.map(([hsb]) => {
    ['triple-hue', 'triple-saturation', 'triple-brightness'].forEach((id, i) => {
      document.getElementById(id).value = hsb[i];
      document.getElementById(id).dispatchEvent(new Event('input'));
    });
    return document.getElementById('triple-rgb').textContent;
  }), answers);
  assert.deepEqual(shown, answers.map(([, rendered]) => rendered));
  assert.match(page.url(), /hsb=/);
  await page.fill('#triple-hue', '256');
  assert.match(await text('triple-hue-error'), /hue runs 0\.\.254, and 255 is 0/);
  assert.equal(await text('triple-rgb'), '–');
  // Hue 255, as the editor writes it: the colour of hue 0, shown as typed, in a link too.
  await open('?hsb=0,78,255');
  const hueZero = await text('triple-rgb');
  await open('?hsb=255,78,255');
  assert.deepEqual([await text('triple-rgb'), await page.locator('#triple-hue').inputValue(), await text('triple-hue-error')], [hueZero, '255', '']);
  assert.match(page.url(), /hsb=255,78,255/);
});

// axe-core's WCAG 2 A and AA rules over the whole page.
async function expectAccessible(what) {
  await page.addScriptTag({ path: deps.resolve('axe-core/axe.min.js') });
  const { violations } = await page.evaluate(() => window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa'] } }));
  assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`), [], what);
}

// axe in both themes, at the start, with an error, a triple, and a picture in
// each of its views; then, at a phone's width (360 px dark, 390 px light) with
// the picture's colours listed too, the page itself never scrolls sideways.
check('passes axe at the start, with an error, with a triple, with a picture, and in dark mode, and fits a phone', async () => {
  for (const colorScheme of ['light', 'dark']) {
    await open('', { colorScheme });
    await expectAccessible(`${colorScheme}: start`);
    await page.fill('#red', 'abc');
    await expectAccessible(`${colorScheme}: an error shown`);
    await open('?rgb=200,100,50&hsb=13,78,255', { colorScheme });
    await expectAccessible(`${colorScheme}: a triple shown`);
    await openPicture(blocksPng);
    await page.focus('#picture');
    for (const mode of ['stored', 'rendered', 'distance']) {
      await showView(mode);
      await expectAccessible(`${colorScheme}: a picture open, ${mode}`);
    }
    await page.setViewportSize({ width: colorScheme === 'dark' ? 360 : 390, height: 800 });
    await page.click('#picture-colours');
    await waitFor('the colours to be listed', () => /converted/.test(document.getElementById('progress-text').textContent));
    await page.setInputFiles('#lights-file', `${process.env.TINTWISE_T3D}/map.t3d`);
    await waitFor('the lights to be listed', () => /listed/.test(document.getElementById('lights-status').textContent));
    await expectAccessible(`${colorScheme}: a phone's width, the lights listed`);
    const wide = await page.evaluate(() => [document.scrollingElement.scrollWidth, innerWidth,
      [...document.querySelectorAll('body *')].filter((e) => e.getBoundingClientRect().right > innerWidth && !e.closest('.table-scroll')).map((e) => e.id || e.tagName)]);
    assert.ok(wide[0] <= wide[1], `${wide[1]} px: the page is ${wide[0]} px wide; past the edge: ${wide[2].join(' ')}`);
  }
  assert.equal(await page.evaluate(() => getComputedStyle(document.body).backgroundColor), 'rgb(22, 22, 22)');
});

check('works from the keyboard alone', async () => {
  await open('?rgb=1,2,3');
  const reached = [];
  for (let i = 0; i < 40 && !reached.includes('convert'); ++i) {
    await page.keyboard.press('Tab');
    reached.push(await page.evaluate(() => document.activeElement.id));
  }
  for (const id of ['picker', 'hex', 'red', 'green', 'blue', 'copy', 'cli-output', 'triple-hue', 'chart-brightness', 'chart', 'picture-file', 'picture-count', 'picture-order', 'palette-file',
    'palette-find', 'palette', 'convert']) {
    assert.ok(reached.includes(id), `Tab reaches #${id}: ${reached.join(' ')}`);
  }
  await page.keyboard.down('Shift'); // back to R, then type a colour
  while (await page.evaluate(() => document.activeElement.id) !== 'red') await page.keyboard.press('Tab');
  await page.keyboard.up('Shift');
  for (const v of ['200', '100', '50']) {
    await page.keyboard.press('Control+A');
    await page.keyboard.type(v);
    await page.keyboard.press('Tab');
  }
  assert.equal(await text('cli-output'), tool(200, 100, 50));
});

check('offers an eyedropper only where the browser has one', async () => {
  await open();
  const has = await page.evaluate(() => 'EyeDropper' in window);
  assert.equal(await page.locator('#eyedropper').isVisible(), has);
  await open('', {}, () => { window.EyeDropper = class { open() { return Promise.resolve({ sRGBHex: '#0a141e' }); } }; });
  await page.focus('#eyedropper');
  await page.keyboard.press('Enter');
  await waitFor('the eyedropper\'s colour in R', () => document.getElementById('red').value === '10');
  assert.equal(await text('cli-output'), tool(10, 20, 30));
});

check('converts a pasted palette of 10,000 lines in slices, lists unreadable lines, and downloads the table', async () => {
  await open();
  const rgbOf = (n) => [(n * 37) % 256, (n * 101) % 256, (n * 13) % 256];
  const bad = ['#12345', '256 0 0', 'red', '1,2', '<b>x</b>'];
  const lines = [], badLines = [];
  for (let n = 1; n <= 10000; ++n) {
    const rgb = rgbOf(n), hex = rgb.map((v) => v.toString(16).padStart(2, '0')).join('');
    if (n % 997 === 0) badLines.push(n);
    lines.push(n % 997 === 0 ? bad[n % 5] : [`#${hex}`, hex, rgb.join(' '), rgb.join(','), ` ${rgb.join(' , ')} `][n % 5]);
  }
  const run = await page.evaluate(([all, wait]) => new Promise((done) => {
    const box = document.getElementById('palette'), button = document.getElementById('download');
    box.value = all; // as a paste puts it
    const seen = [], start = performance.now();
    const timer = setInterval(() => seen.push(document.getElementById('progress').value), 20); // runs only if the page answers
    const end = (timedOut) => clearInterval(timer) || done({ seen, seconds: (performance.now() - start) / 1000, timedOut });
    setTimeout(() => end(true), wait);
    new MutationObserver(() => { if (!button.disabled) end(false); }).observe(button, { attributes: true });
    document.getElementById('convert').click();
  }), [lines.join('\n'), kWait]);
  assert.ok(!run.timedOut, `gave up after ${kWait / 1000} s waiting for the download button after 10,000 lines`);
  console.log(`10,000 palette lines converted in ${run.seconds.toFixed(2)} s`);
  assert.ok(run.seen.some((v) => v > 0 && v < 10000), 'progress shown while converting');
  assert.equal(await page.locator('#palette-table tbody tr').count(), 10000 - badLines.length);
  const listed = await page.locator('#palette-error-list li').allTextContents();
  assert.ok(run.seconds < 20, `10,000 lines took ${run.seconds} s`);
  assert.deepEqual(listed.map((t) => Number(/^Line (\d+):/.exec(t)[1])), badLines);
  assert.equal(await page.locator('#palette-error-list b').count(), 0);

  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const csv = readFileSync(await download.path(), 'utf8').trimEnd().split('\n');
  assert.deepEqual(csv.slice(1).map((row) => row.split(',')[1]), lines.map((_, i) => String(i + 1)).filter((n) => n % 997 !== 0));
});

check('reads palette files as tintwise-palette does, and downloads what it writes', async () => {
  // Krita's and Procreate's archives hold deflated palettes, which the browser inflates.
  for (const file of ['sample.gpl', 'sample.ase', 'sample.aco', 'sample.gif', 'sample-utf16.gpl', 'sample-css.txt', '--find sample-find.css',
    'sample.kpl', 'sample.swatches', 'sample.aseprite', '--vga sample-vga.pal', 'sample.utx']) {
    await open(); // a fresh page for each file: on one page, the tenth download never came
    const [name, option] = file.split(' ').reverse();
    await page.setChecked('#palette-find', option === '--find');
    await page.setChecked('#palette-vga', option === '--vga');
    await page.setInputFiles('#palette-file', `${process.env.TINTWISE_PALETTES}/${name}`);
    await waitFor(`${file} to be converted`, () => /converted/.test(document.getElementById('progress-text').textContent));
    for (const format of ['csv', 'json', 'gpl', 'ase', 'aco', 'act', 'jasc', 'paintnet', 'kpl', 'swatches']) {
      await page.selectOption('#download-format', format);
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
      const command = paletteTool('--format=' + format, ...file.split(' ')), bytes = readFileSync(await download.path());
      assert.ok(bytes.equals(spawnSync(process.env.TINTWISE_PALETTE, ['--format=' + format, ...file.split(' ')], { cwd: process.env.TINTWISE_PALETTES }).stdout), `${file} as ${format}`);
      if (format !== 'csv') continue;
      const listed = await page.locator('#palette-error-list li').allTextContents(); // "Line 12: reason"
      const reported = command.stderr.split('\n').filter(Boolean).map((l) => l.replace(/^[^:]*:(\d+)?:? /, (_, n) => (n ? n + ': ' : '')));
      assert.deepEqual(listed.map((l) => l.replace(/^(Line|Block|Index) /, '')), reported, file);
    }
  }
  // A table of 6-bit values read as an .act: the note that it may be a VGA palette, as the command says it.
  await open();
  await page.setInputFiles('#palette-file', `${process.env.TINTWISE_PALETTES}/sample-vga.pal`);
  await waitFor('sample-vga.pal to be converted', () => /converted/.test(document.getElementById('progress-text').textContent));
  assert.ok(await page.isVisible('#palette-note'), 'no note that sample-vga.pal may be a VGA palette');
  // Files dropped on the palette area: names and reasons that quote the file's own text, markup to look at, are shown as text.
  const drop = async (name, text) => {
    await open();
    await page.evaluate(([n, t]) => {
      const dropped = new DataTransfer();
      dropped.items.add(new File([t], n));
      document.getElementById('palette-area').dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true, cancelable: true }));
    }, [name, text]);
    await waitFor(`the dropped ${name} to be read`, () => /converted/.test(document.getElementById('progress-text').textContent));
  };
  await drop('dropped.gpl', 'GIMP Palette\n200 100 50\t<b>Rust</b>\n');
  assert.equal(await page.locator('#palette-table tbody tr').count(), 1);
  assert.deepEqual((await page.locator('#palette-table tbody td').allTextContents()).filter(Boolean),
    ['2', '<b>Rust</b>', '#c86432', '13', '78', '255', '23.438883']);
  assert.equal(await page.locator('#palette-table b').count(), 0);
  const xml = '<?xml version="1.0"?>\n<img<b>bold</b>/>', said = spawnSync(process.env.TINTWISE_PALETTE, ['-'], { input: xml, encoding: 'utf8', timeout: kWait });
  await drop('dropped.xml', xml);
  assert.match(said.stderr, /^\(standard input\): not a palette: an XML file whose first element is <img<b>, neither/);
  assert.deepEqual(await page.locator('#palette-error-list li').allTextContents(), [said.stderr.replace('(standard input): ', '').trimEnd()]);
  assert.equal(await page.locator('#palette-error-list b').count(), 0);
});

// --- Pictures ------------------------------------------------------------------

// A PNG of w x h pixels (each under 256) rgba(x, y), with a gamma chunk of 1.0: a
// colour-managed decode changes every colour but black and white.
const crcTable = Array.from({ length: 256 }, (_, n) => {
  for (let k = 0; k < 8; ++k) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
  return n >>> 0;
});
function png(w, h, rgba) {
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type), data]), out = Buffer.alloc(body.length + 8);
    const crc = body.reduce((c, b) => crcTable[(c ^ b) & 255] ^ (c >>> 8), 0xffffffff);
    out.writeUInt32BE(data.length);
    body.copy(out, 4);
    out.writeUInt32BE((crc ^ 0xffffffff) >>> 0, body.length + 4);
    return out;
  };
  const head = Buffer.from([0, 0, 0, w, 0, 0, 0, h, 8, 6, 0, 0, 0]), raw = Buffer.alloc(h * (1 + 4 * w)); // 8 bits, RGBA
  for (let y = 0; y < h; ++y) for (let x = 0; x < w; ++x) raw.set(rgba(x, y), y * (1 + 4 * w) + 1 + 4 * x);
  return Buffer.concat([Buffer.from([0x89, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', head), chunk('gAMA', Buffer.from([0, 1, 0x86, 0xa0])),
    chunk('IDAT', deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]);
}
// Six blocks of 10 x 10 pixels, three a row; the last fully transparent.
const blocks = [[255, 128, 0, 255], [10, 20, 30, 255], [200, 100, 50, 255], [0, 255, 0, 255], [90, 60, 200, 255], [1, 2, 3, 0]];
const blocksPng = { name: 'blocks.png', mimeType: 'image/png', buffer: png(30, 20, (x, y) => blocks[Math.floor(y / 10) * 3 + Math.floor(x / 10)]) };
const hexOf = (rgb) => '#' + rgb.slice(0, 3).map((v) => v.toString(16).padStart(2, '0')).join('');

async function openPicture(file) {
  await page.setInputFiles('#picture-file', file);
  await waitFor('the picture to open', () => /pixels/.test(document.getElementById('picture-status').textContent));
}
async function showView(mode) {
  await page.selectOption('#picture-mode', mode);
  await waitFor(`the ${mode} view to be drawn`, (m) => document.getElementById('picture').dataset.mode === m, mode);
}
// What `tintwise-palette --format=TEMPLATE` answers for colours given as lines of hex.
const answersFor = (colours, template) => spawnSync(process.env.TINTWISE_PALETTE, ['--format=' + template], { input: colours.map(hexOf).join('\n'), encoding: 'utf8', timeout: kWait }).stdout.trimEnd().split('\n');
// The pixels of a PNG the page saved, decoded by the browser with no colour management: [width, height, rgba at each [x, y]].
const savedPixels = (bytes, points) => page.evaluate(async ([b, at]) => {
  const bitmap = await createImageBitmap(new Blob([new Uint8Array(b)]), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
  c.drawImage(bitmap, 0, 0);
  return [bitmap.width, bitmap.height, at.map(([x, y]) => [...c.getImageData(x, y, 1, 1).data])];
}, [[...bytes], points]);

check('converts the stored colour of the pixel clicked or picked from the keyboard, never a colour-managed one', async () => {
  await open();
  await openPicture(blocksPng);
  for (const [i, rgba] of blocks.entries()) {
    await page.locator('#picture').scrollIntoViewIfNeeded();
    const box = await page.locator('#picture').boundingBox();
    await page.mouse.click(box.x + ((i % 3) * 10 + 5) * box.width / 30, box.y + (Math.floor(i / 3) * 10 + 5) * box.height / 20);
    if (rgba[3] === 0) {
      await waitFor('the transparent block to be refused', () => /transparent/.test(document.getElementById('picture-status').textContent));
      assert.equal(await text('picture-hex'), 'transparent');
      assert.deepEqual(await values('hex'), [hexOf(blocks[4])]);
      continue;
    }
    await waitFor(`block ${i} to be picked`, (hex) => document.getElementById('hex').value === hex, hexOf(rgba));
    assert.equal(await text('cli-output'), tool(...rgba.slice(0, 3)));
    assert.equal(await text('picture-hex'), hexOf(rgba));
    // The answer beside the magnified view, in sight, and said once to screen readers.
    const [hsb, distance, rendered] = answersFor([rgba], '{hue}, {saturation}, {brightness}|{distance}|{rendered_hex}')[0].split('|');
    assert.deepEqual(await Promise.all(['picture-triple', 'picture-distance', 'picture-rendered'].map(text)), [hsb, distance, rendered]);
    assert.match(await text('picture-said'), new RegExp(`${hexOf(rgba)}: hue, saturation, brightness ${hsb}; distance ${distance}; renders ${rendered}`));
    const answer = await page.locator('#picture-answer').boundingBox(), viewport = page.viewportSize();
    assert.ok(answer.y >= 0 && answer.y + answer.height <= viewport.height, `the answer at ${answer.y}..${answer.y + answer.height} of ${viewport.height}`);
  }
  await page.click('#picture-copy');
  await waitFor('the copy to be said', () => document.getElementById('picture-copy-status').textContent !== '');
  assert.match(await text('picture-copy-status'), new RegExp(`^Copied: ${(await text('picture-triple'))}$|^Copying is not allowed`));
  // The keyboard's cursor stands where the last click was (block 5): Shift moves ten pixels, an arrow one.
  await page.focus('#picture');
  for (const [keys, block] of [[['Shift+ArrowLeft', 'Shift+ArrowLeft', 'Enter'], 3], [['Shift+ArrowUp', ' '], 0], [['Shift+ArrowRight', 'ArrowRight', 'ArrowLeft', 'Enter'], 1]]) {
    for (const key of keys) await page.keyboard.press(key);
    await waitFor(`block ${block} to be picked from the keyboard`, (hex) => document.getElementById('hex').value === hex, hexOf(blocks[block]));
  }
  assert.ok(await page.locator('#picture-cursor').isVisible());
  assert.equal(await text('cli-output'), tool(...blocks[1].slice(0, 3)));
});

// The three views: every pixel of the rendered one is the rendered_hex
// tintwise-palette gives for its stored colour, the distance view shades each
// as its legend says, each saves as a PNG of the picture's size, and
// pointing still picks the stored pixel; the status line gives the pixels
// rendered exactly and the farthest colour, as the command answers them.
check('shows the picture as the lights render it, and by distance', async () => {
  await open();
  await openPicture(blocksPng);
  const opaque = blocks.slice(0, 5), centres = opaque.map((_, i) => [(i % 3) * 10 + 5, Math.floor(i / 3) * 10 + 5]);
  const answers = answersFor(opaque, '{hex} {rendered_hex} {distance}').map((row) => row.split(' '));
  const farthest = answers.reduce((a, b) => (Number(b[2]) > Number(a[2]) ? b : a)), exact = answers.filter(([hex, rendered]) => hex === rendered).length;
  // The distance view's shade of each colour, read off its own legend: the gradient's stops spread evenly over its ticks.
  const [stops, ticks] = await page.evaluate(() => [getComputedStyle(document.querySelector('.legend-bar')).backgroundImage.match(/rgb\([^)]*\)/g).map((c) => c.match(/\d+/g).map(Number)),
    [...document.querySelectorAll('.legend-ticks span')].map((t) => parseFloat(t.textContent))]);
  const shade = (d) => {
    const t = (Math.min(d, ticks.at(-1)) / ticks.at(-1)) * (stops.length - 1), i = Math.min(stops.length - 2, Math.floor(t));
    return stops[i].map((v, k) => v + (stops[i + 1][k] - v) * (t - i));
  };
  for (const mode of ['rendered', 'distance', 'stored']) {
    await showView(mode);
    assert.equal(await page.locator('#picture-legend').isVisible(), mode === 'distance');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#picture-download')]);
    const [width, height, pixels] = await savedPixels(readFileSync(await download.path()), centres);
    assert.deepEqual([width, height], [30, 20]);
    if (mode === 'distance') {
      pixels.forEach((p, i) => assert.ok(shade(Number(answers[i][2])).every((v, k) => Math.abs(v - p[k]) <= 2), `distance ${answers[i][2]} drawn ${p}, not ${shade(Number(answers[i][2]))}`));
    } else assert.deepEqual(pixels.map(hexOf), answers.map(([hex, rendered]) => (mode === 'stored' ? hex : rendered)), mode);
    if (mode !== 'stored') {
      const said = `blocks.png: ${100 * exact} of 500 pixels (${(20 * exact).toFixed(1)}%) are rendered exactly, to the byte; ` +
        `the farthest colour, ${farthest[0]}, lies ${farthest[2]} RGB units from what it renders (5 distinct colours).`;
      assert.ok((await text('picture-status')).startsWith(said), `${await text('picture-status')}, not ${said}`);
      await page.locator('#picture').scrollIntoViewIfNeeded();
      const box = await page.locator('#picture').boundingBox();
      await page.mouse.click(box.x + box.width / 6, box.y + box.height / 4);
      await waitFor('the stored pixel to be picked', () => document.getElementById('hex').value === '#ff8000');
    }
  }
});

check('opens a pasted picture, lists exactly the colours of one with few by their share, and an indexed one\'s stored table', async () => {
  await open();
  await page.evaluate((bytes) => {
    const pasted = new DataTransfer();
    pasted.items.add(new File([new Uint8Array(bytes)], 'pasted.png', { type: 'image/png' }));
    document.body.dispatchEvent(new ClipboardEvent('paste', { clipboardData: pasted, bubbles: true, cancelable: true }));
  }, [...blocksPng.buffer]);
  await waitFor('the pasted picture to open', () => /^pasted\.png: 30 × 20 pixels/.test(document.getElementById('picture-status').textContent));
  for (const wanted of ['16', '5', '4']) {
    await page.fill('#picture-count', wanted);
    await page.evaluate(() => { document.getElementById('progress-text').textContent = ''; });
    await page.click('#picture-colours');
    await waitFor(`${wanted} colours to be listed`, () => /converted/.test(document.getElementById('progress-text').textContent));
    const rows = await page.locator('#palette-table tbody tr').evaluateAll((trs) => trs.map((tr) => [tr.cells[1].textContent, tr.cells[4].textContent]));
    if (wanted === '4') { // five colours of the same share, reduced by median cut
      assert.deepEqual(rows.map(([share]) => share).sort(), ['20.0%', '20.0%', '20.0%', '40.0%']);
      continue;
    }
    assert.deepEqual(rows.map(([share, hex]) => share + ' ' + hex).sort(), blocks.slice(0, 5).map((b) => '20.0% ' + hexOf(b)).sort());
  }
  // A palette drawn as a strip of 8 swatches: in order of appearance, exactly its colours, left to right.
  const strip = [[9, 9, 9], [250, 1, 1], [1, 250, 1], [1, 1, 250], [200, 200, 0], [0, 200, 200], [200, 0, 200], [128, 128, 128]];
  await openPicture({ name: 'strip.png', mimeType: 'image/png', buffer: png(32, 4, (x) => [...strip[x >> 2], 255]) });
  await page.selectOption('#picture-order', 'appearance');
  await page.fill('#picture-count', '16');
  await page.evaluate(() => { document.getElementById('progress-text').textContent = ''; });
  await page.click('#picture-colours');
  await waitFor('the strip\'s colours to be listed', () => /converted/.test(document.getElementById('progress-text').textContent));
  assert.deepEqual(await page.locator('#palette-table tbody tr').evaluateAll((trs) => trs.map((tr) => tr.cells[4].textContent)), strip.map(hexOf));
  // Indexed pictures, one the browser shows and one it cannot: their stored tables, as the command reads them.
  for (const [file, count] of [['sample.gif', 4], ['sample-8bit.pcx', 256]]) {
    await page.setInputFiles('#picture-file', `${process.env.TINTWISE_PALETTES}/${file}`);
    await waitFor(`${file} to open`, (name) => document.getElementById('picture-status').textContent.startsWith(name), file);
    await page.click('#picture-colours');
    await waitFor(`${file}'s table to be converted`, (n) => document.getElementById('progress-text').textContent.startsWith(n + ' colours converted'), count);
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    assert.equal(readFileSync(await download.path(), 'utf8'), paletteTool('--format=csv', file).stdout, file);
  }
});

// What starts hidden is out of sight; then, on a desktop and a phone, opening a picture, clicking it, each
// view and listing its colours move nothing (layout shifts, all counted, under 0.1): the picture keeps its box,
// progress bars go when their work is done, and the magnified view, opaque, never covers text as the page scrolls.
check('hides what starts hidden, and moves nothing as a picture is opened, clicked, viewed and listed', async () => {
  for (const width of [1280, 390]) {
    await open('', { viewport: { width, height: 800 } }, () => {
      window.shifted = [];
      new PerformanceObserver((l) => l.getEntries().forEach((e) => window.shifted.push(e.value))).observe({ type: 'layout-shift', buffered: true });
    });
    assert.deepEqual(await page.evaluate(() => [...document.querySelectorAll('[hidden]')].filter((e) => getComputedStyle(e).display !== 'none').map((e) => e.id)), []);
    await page.locator('#picture-file').scrollIntoViewIfNeeded();
    await openPicture(blocksPng);
    const placed = () => page.locator('#picture').evaluate((e) => { const r = e.getBoundingClientRect(); return [r.x + scrollX, r.y + scrollY, r.width, r.height]; });
    const box = await placed();
    await page.locator('#picture').click({ position: { x: 2, y: 2 } });
    await waitFor('the pixel to be picked', () => /^Picked/.test(document.getElementById('picture-status').textContent));
    assert.deepEqual(await placed(), box, `${width} px: the picture's box after the first click`);
    for (const mode of ['rendered', 'distance', 'stored']) await showView(mode);
    await page.click('#picture-colours');
    await waitFor('the colours to be listed', () => /converted/.test(document.getElementById('progress-text').textContent));
    const shifted = await page.evaluate(() => window.shifted.reduce((a, b) => a + b, 0));
    assert.ok(shifted < 0.1, `${width} px: layout shifts of ${shifted}`);
    assert.ok(!(await page.locator('#picture-progress').isVisible()) && !(await page.locator('#progress').isVisible()), 'a progress bar after its work');
    const covered = await page.evaluate(async () => {
      const loupe = document.querySelector('.loupe'), inside = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
      const texts = [...document.querySelectorAll('body *')].filter((e) => !loupe.contains(e) && [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim()));
      const found = [getComputedStyle(loupe).backgroundColor];
      for (let y = 0; y < document.scrollingElement.scrollHeight; y += 60) {
        scrollTo(0, y);
        await new Promise(requestAnimationFrame);
        const l = loupe.getBoundingClientRect();
        found.push(...texts.filter((e) => inside(l, e.getBoundingClientRect())).map((e) => `${e.id || e.tagName} at ${y}`));
      }
      return found;
    });
    assert.ok(!/rgba\(.*, 0\)|transparent/.test(covered[0]), `${width} px: the magnified view's background ${covered[0]}`);
    assert.deepEqual(covered.slice(1), [], `${width} px: the magnified view covers text`);
  }
});

// The palette shown comes from one source at a time, which it names, the others cleared; a row clicked or
// taken with Enter goes to "One colour"; and the downloads stand on one line at 1280 px.
check('shows one palette source at a time, takes a row to One colour, and offers every download on one line', async () => {
  await open('', { viewport: { width: 1280, height: 800 } });
  const converted = () => waitFor('the palette to be converted', () => /converted/.test(document.getElementById('progress-text').textContent));
  const sources = async () => [await text('palette-source'), await page.locator('#palette').inputValue(), await page.locator('#palette-file').evaluate((e) => e.files.length)];
  await page.fill('#palette', '#ff8000 Orange\n10 20 30');
  await page.click('#convert');
  await converted();
  assert.deepEqual(await sources(), ['From the colours pasted above.', '#ff8000 Orange\n10 20 30', 0]);
  await page.setInputFiles('#palette-file', `${process.env.TINTWISE_PALETTES}/sample.gpl`);
  await converted();
  assert.deepEqual(await sources(), ['From the file sample.gpl.', '', 1]);
  await openPicture(blocksPng);
  await page.evaluate(() => { document.getElementById('progress-text').textContent = ''; });
  await page.click('#picture-colours');
  await converted();
  assert.deepEqual(await sources(), ['From the picture blocks.png.', '', 0]);
  const rows = page.locator('#palette-table tbody tr');
  await rows.nth(1).click();
  const picked = await rows.nth(1).getAttribute('data-hex');
  assert.equal(await page.locator('#hex').inputValue(), picked);
  await rows.nth(0).focus();
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Enter');
  const entered = await rows.nth(2).getAttribute('data-hex');
  assert.deepEqual([await page.locator('#hex').inputValue(), await text('cli-output')], [entered, tool(...[1, 3, 5].map((i) => parseInt(entered.slice(i, i + 2), 16)))]);
  assert.match(await text('download-label'), /^Download as$/);
  const tops = await page.locator('.downloads > *').evaluateAll((all) => all.map((e) => Math.round(e.getBoundingClientRect().top + e.getBoundingClientRect().height / 2)));
  assert.equal(new Set(tops).size, 1, `the download row at 1280 px: ${tops}`);
});

// Lights: a file opened (CR LF, UTF-16) and text pasted, listed as tintwise-lights lists them, recoloured to the
// bytes it writes, downloaded and copied alike, the box showing that text and the reports staying; a paste keeps its
// own line ends, which the box itself does not; only the actors named, as --only chooses them.
check('lists and recolours the lights of T3D text as tintwise-lights does, a paste keeping its line ends', async () => {
  await open('', {}, () => { window.copied = []; navigator.clipboard.writeText = (t) => window.copied.push(t) && Promise.resolve(); });
  const dir = process.env.TINTWISE_T3D, lights = (...args) => spawnSync(process.env.TINTWISE_LIGHTS, args, { cwd: dir, timeout: kWait });
  const recolour = async (how, keep, only = '') => {
    await page.locator('#lights-colour').evaluate((el, hex) => { el.value = hex; el.dispatchEvent(new Event('input')); }, how);
    await page.setChecked('#lights-keep-brightness', keep);
    await page.fill('#lights-only', only);
    await page.click('#lights-recolour');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#lights-download')]);
    await page.click('#lights-copy');
    await waitFor('the text to be copied', () => /Copied/.test(document.getElementById('lights-status').textContent));
    return [readFileSync(await download.path()), await page.evaluate(() => window.copied.at(-1))];
  };
  const columns = ['line', 'actor', 'class', 'property', 'hue', 'saturation', 'brightness', 'rendered_hex']; // the table's, by the command's fields
  const shown = () => page.locator('#lights-table tbody tr').evaluateAll((trs) => trs.map((tr) => {
    const c = [...tr.cells].map((td) => td.textContent);
    return [c[8], c[0], c[7], c[6], c[3], c[4], c[5], c[2]].join(' ') + '\n';
  }).join(''));
  for (const [name, keep] of [['map.t3d', false], ['utf16.t3d', true]]) {
    await page.setInputFiles('#lights-file', `${dir}/${name}`);
    await waitFor(`${name} to be listed`, () => /listed/.test(document.getElementById('lights-status').textContent));
    const listed = lights('--format=' + columns.map((f) => `{${f}}`).join(' '), name), reports = listed.stderr.toString().trimEnd().split('\n').filter(Boolean);
    assert.equal(await shown(), listed.stdout.toString());
    assert.deepEqual(await page.locator('#lights-error-list li').allTextContents(), reports);
    const [downloaded, copied] = await recolour('#0a141e', keep), command = lights('--recolour=#0a141e', ...(keep ? ['--keep-brightness'] : []), name).stdout;
    assert.ok(downloaded.equals(command), `${name}: the page's text is not the command's`);
    assert.equal(copied, new TextDecoder(name === 'utf16.t3d' ? 'utf-16le' : 'utf-8').decode(command));
    assert.equal(await page.locator('#lights-text').inputValue(), copied.replace(/\r\n/g, '\n'), `${name}: the box shows the text copied`);
    const after = spawnSync(process.env.TINTWISE_LIGHTS, ['-'], { input: command, timeout: kWait }).stderr.toString().replaceAll('(standard input)', name);
    assert.deepEqual(await page.locator('#lights-error-list li').allTextContents(), after.trimEnd().split('\n').filter(Boolean), `${name}: the reports of the text shown`);
  }
  // A game chosen, and a mod's classes opened (one of them unreadable): the rows and reports of --game and --classes.
  const mod = mkdtempSync(`${tmpdir()}/tintwise-classes-`), uc = { 'TriggerLight.uc': 'class TriggerLight extends Light;\ndefaultproperties\n{\n  LightSaturation=9\n}\n', 'Broken.uc': '// none\n' };
  for (const [file, text] of Object.entries(uc)) writeFileSync(`${mod}/${file}`, text);
  await page.setInputFiles('#lights-classes', Object.entries(uc).map(([file, text]) => ({ name: file, mimeType: 'text/plain', buffer: Buffer.from(text) })));
  await page.selectOption('#lights-game', '8');
  await page.setInputFiles('#lights-file', `${dir}/later.t3d`);
  await waitFor('later.t3d to be listed', () => /listed/.test(document.getElementById('lights-status').textContent));
  const modded = lights('--format=' + columns.map((f) => `{${f}}`).join(' '), '--game=ut2004', `--classes=${mod}`, 'later.t3d');
  rmSync(mod, { recursive: true });
  assert.equal(await shown(), modded.stdout.toString());
  assert.deepEqual(await page.locator('#lights-error-list li').allTextContents(), modded.stderr.toString().replaceAll(`${mod}/`, '').trimEnd().split('\n'));
  await page.selectOption('#lights-game', '-1');
  await page.setInputFiles('#lights-classes', []);
  // A map itself: listed as the command lists it, and never recoloured.
  await page.setInputFiles('#lights-file', `${dir}/sample.unr`);
  await waitFor('sample.unr to be listed', () => /listed/.test(document.getElementById('lights-status').textContent));
  const unr = lights('--format=' + columns.map((f) => `{${f}}`).join(' '), 'sample.unr');
  assert.equal(await shown(), unr.stdout.toString());
  assert.deepEqual(await page.locator('#lights-error-list li').allTextContents(), unr.stderr.toString().trimEnd().split('\n'));
  await page.click('#lights-recolour');
  assert.match(await text('lights-status'), /^This map is not recoloured: a package is never written; export the map to T3D/);
  assert.ok(await page.locator('#lights-download').isDisabled(), 'a map offered for download');
  await page.setInputFiles('#lights-file', `${dir}/later.t3d`);
  await waitFor('later.t3d to be listed again', () => /listed/.test(document.getElementById('lights-status').textContent));
  await page.fill('#lights-only', 'NoSuch*');
  await page.click('#lights-recolour');
  assert.match(await text('lights-status'), /“NoSuch\*” names no actor \(by Name or Tag\): nothing was recoloured/);
  assert.ok((await recolour('#ff8000', false, 'hall*'))[0].equals(lights('--recolour=#ff8000', '--only=hall*', 'later.t3d').stdout), 'only the actors --only names');
  // The clipboard gets text the editor pastes as the downloaded bytes: UTF-8 (a byte order mark left out), UTF-16 of
  // either order, else Windows-1252; where no text can stand for the bytes, Copy is refused and Download says so.
  const cp1252 = (t) => Buffer.from([...t].map((c) => { const i = [0x20ac, 0, 0x201a].indexOf(c.codePointAt(0)); return i >= 0 ? 0x80 + i : c.codePointAt(0); }));
  const utf16be = (t) => Buffer.from(t, 'utf16le').swap16();
  const body = (bytes) => Buffer.concat([Buffer.from('Begin Actor Class=Light Name=Caf'), bytes, Buffer.from('\r\nEnd Actor\r\n')]);
  for (const [what, bytes, back] of [['UTF-8 with its mark', Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), body(Buffer.from('é\u20ac'))]), (t) => Buffer.from(t)],
    ['Windows-1252', body(Buffer.from([0x80, 0x82, 0xe9])), cp1252], ['UTF-16LE', Buffer.from('\ufeff' + body(Buffer.from([0xe9])).toString('latin1'), 'utf16le'), (t) => Buffer.from(t, 'utf16le')],
    ['UTF-16BE', utf16be('\ufeff' + body(Buffer.from([0xe9])).toString('latin1')), utf16be],
    ['byte 0x81', body(Buffer.from([0x81])), null], ['a NUL', body(Buffer.from([0])), null], ['a lone surrogate', Buffer.from('\ufeffBegin Actor\r\n\ud800\r\nEnd Actor\r\n', 'utf16le'), null]]) {
    await page.setInputFiles('#lights-file', { name: 'caf.t3d', mimeType: 'text/plain', buffer: bytes });
    await waitFor(`the ${what} text to be listed`, () => /listed/.test(document.getElementById('lights-status').textContent));
    await page.click('#lights-recolour');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#lights-download')]);
    const downloaded = readFileSync(await download.path()), unmarked = downloaded.subarray(what.startsWith('UTF') ? (what === 'UTF-8 with its mark' ? 3 : 2) : 0);
    if (!back) {
      assert.ok(await page.locator('#lights-copy').isDisabled() && /download it/.test(await text('lights-status')), `${what}: Copy refused`);
      continue;
    }
    await page.click('#lights-copy');
    await waitFor(`the ${what} text to be copied`, () => /Copied/.test(document.getElementById('lights-status').textContent));
    const copied = await page.evaluate(() => window.copied.at(-1));
    assert.ok(back(copied).equals(unmarked) && !copied.includes('\ufeff'), `${what}: ${JSON.stringify(copied)}`);
  }
  const mapText = readFileSync(`${dir}/map.t3d`, 'utf8');
  await page.locator('#lights-text').evaluate((el, t) => {
    const pasted = new DataTransfer();
    pasted.setData('text/plain', t);
    el.dispatchEvent(new ClipboardEvent('paste', { clipboardData: pasted, bubbles: true, cancelable: true }));
    el.value = t.replace(/\r\n/g, '\n'); // as the box holds what a paste put in it
    el.dispatchEvent(new InputEvent('input', { inputType: 'insertFromPaste' }));
  }, mapText);
  assert.equal(await page.locator('#lights-file').inputValue(), '');
  const [downloaded] = await recolour('#ff8000', false);
  assert.ok(downloaded.equals(lights('--recolour=#ff8000', 'map.t3d').stdout), 'a paste\'s CR LF kept');
});

// The chart: moved by keys and said cell by cell, each cell tintwise-gamut's colour of its triple; Enter takes the
// triple to "A triple's colour" and, as itself, to the Lights' recolour; at another brightness its download is
// tintwise-gamut's picture, pixel for pixel.
check('picks a triple on the chart by keyboard, and downloads tintwise-gamut\'s chart', async () => {
  await open();
  await page.focus('#chart');
  for (const key of ['ArrowRight', 'ArrowRight', 'Shift+ArrowDown', 'ArrowUp', 'End', 'ArrowLeft', 'PageDown', 'Home', 'ArrowRight']) await page.keyboard.press(key);
  const gamut = (...args) => spawnSync(process.env.TINTWISE_GAMUT, args, { timeout: kWait }).stdout;
  const cell = gamut('--format=gpl', '--hue-step=1', '--saturation-step=1').toString().split('\n').find((line) => line.endsWith('\t1 31 255'));
  const hex = '#' + cell.slice(0, 11).trim().split(/\s+/).map((v) => Number(v).toString(16).padStart(2, '0')).join('');
  assert.equal(await text('chart-said'), `Hue 1, saturation 31, brightness 255: ${hex}`);
  await page.keyboard.press('Enter');
  assert.deepEqual([...await values('triple-hue', 'triple-saturation', 'triple-brightness'), await text('triple-hex')], ['1', '31', '255', hex]);
  await page.setInputFiles('#lights-file', `${process.env.TINTWISE_T3D}/map.t3d`);
  await waitFor('the lights to be listed', () => /listed/.test(document.getElementById('lights-status').textContent));
  await page.click('#lights-recolour');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#lights-download')]);
  const command = spawnSync(process.env.TINTWISE_LIGHTS, ['--recolour-triple=1,31,255', `${process.env.TINTWISE_T3D}/map.t3d`], { timeout: kWait }).stdout;
  assert.ok(readFileSync(await download.path()).equals(command), 'the page recoloured to another triple than the one chosen');
  await page.locator('#chart-brightness').evaluate((slider) => { slider.value = '100'; slider.dispatchEvent(new Event('input')); });
  const [picture] = await Promise.all([page.waitForEvent('download'), page.click('#chart-download')]);
  const differ = await page.evaluate(async ([a, b]) => {
    const pixels = async (bytes) => {
      const bitmap = await createImageBitmap(new Blob([new Uint8Array(bytes)]), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
      c.drawImage(bitmap, 0, 0);
      return c.getImageData(0, 0, bitmap.width, bitmap.height).data;
    };
    const [x, y] = [await pixels(a), await pixels(b)];
    return x.length !== y.length ? -1 : x.filter((v, i) => v !== y[i]).length;
  }, [[...readFileSync(await picture.path())], [...gamut('--format=png', '--brightness=100', '--cell=3')]]);
  assert.equal(differ, 0, 'the page\'s chart is not tintwise-gamut\'s');
});

// A photo-like picture of 4000 x 3000 pixels with about a million distinct
// colours (bench/page_bench.mjs, which times it): it opens, lists its colours
// and shows its rendered view, typing and a click are answered meanwhile, the
// page's own thread never reads its pixels, and its colours are answered by
// workers. How fast is the benchmark's to say; a busy machine only slows it.
check('opens a 4000 x 3000 photo, lists its colours and renders it, its pixels and searches in workers', async () => {
  await open('', {}, countPageWork);
  const run = await photoRun(page, 50_000);
  assert.ok(run.distinct > 900000, `${run.distinct} distinct colours: ${run.status}`);
  assert.ok(run.opened && run.listed && run.rendered, `opened at ${run.opened} s, listed at ${run.listed} s, rendered ${run.rendered} s later`);
  assert.ok(run.typed !== null && run.clicked, `typing answered in ${run.typed} s, a click in ${run.clicked} s`);
  assert.equal(run.work.pixelsRead, 0, 'pixels read on the page\'s thread');
  assert.ok(run.work.workerAnswers >= Math.ceil(run.distinct / 4096), `${run.work.workerAnswers} answers from workers for ${run.distinct} colours`);
  assert.equal(await page.locator('#palette-table tbody tr').count(), 16);
});
