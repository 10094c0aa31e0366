// The page's own module, taken out of the one-file page and run in Node, on
// every 61st of the 2^24 colours: each row it writes is tintwise-palette's,
// byte for byte (the triple, the distance as printed, the rendered colour),
// whatever the page's build does differently (SIMD, link-time optimisation).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import vm from 'node:vm';

test('the page\'s module answers every 61st colour as tintwise-palette does', { timeout: 120_000 }, async () => {
  const page = readFileSync(process.env.TINTWISE_WEB_PAGE, 'utf8');
  const source = /<script id="tintwise-module">\n([\s\S]*?)<\/script>/.exec(page)[1];
  Object.assign(globalThis, { require: createRequire(import.meta.url), __dirname: process.cwd() }); // as Node's CommonJS gives them
  const m = await vm.runInThisContext(`${source}\ncreateTintwise`, { filename: 'tintwise.js' })();
  let lines = '';
  for (let c = 0; c < 1 << 24; c += 61) lines += '#' + c.toString(16).padStart(6, '0') + '\n';
  const bytes = new TextEncoder().encode(lines), data = m._malloc(bytes.length), name = m._malloc(64);
  m.HEAPU8.set(bytes, data);
  m.stringToUTF8('(standard input)', name, 64);
  const count = m._tintwise_palette_read(data, bytes.length, name, 0), rows = [m.UTF8ToString(m._tintwise_palette_header(0))];
  for (let i = 0; i < count; ++i) rows.push(m._tintwise_palette_entry(i) ? m.UTF8ToString(m._tintwise_palette_text(i, 0)) : '');
  const native = spawnSync(process.env.TINTWISE_PALETTE, ['-'], { input: lines, encoding: 'utf8', maxBuffer: 1 << 28, timeout: 60_000 });
  assert.equal(count, Math.ceil((1 << 24) / 61));
  const want = native.stdout.split(/(?<=\n)/), wrong = rows.findIndex((row, i) => row !== want[i]);
  assert.equal(wrong, -1, `row ${wrong}: the page's module wrote ${JSON.stringify(rows[wrong])}, tintwise-palette ${JSON.stringify(want[wrong])}`);
  assert.equal(rows.length, want.length);
});
