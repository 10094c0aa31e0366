// The page's behaviour: keeps the picker, the hex field and R, G, B in sync,
// converts through the WebAssembly module, mirrors the colour in the address,
// and converts pasted palettes in slices so the page never freezes.
// Everything that comes from the user or the address is shown as text
// (textContent), never parsed as markup.
'use strict';

const $ = (id) => document.getElementById(id);
const channels = ['red', 'green', 'blue'];
let tintwise = null; // the module's functions, once loaded

// --- Reading colours -------------------------------------------------------

// '#ff8000', 'ff8000', '#f80' or 'f80' -> [r, g, b], or null.
function parseHex(text) {
  const m = /^\s*#?([0-9a-f]{3}|[0-9a-f]{6})\s*$/i.exec(text);
  if (!m) return null;
  const h = m[1].length === 3 ? m[1].replace(/./g, '$&$&') : m[1];
  return [0, 2, 4].map((i) => parseInt(h.slice(i, i + 2), 16));
}

// A whole number as the tool reads one, written plainly: blanks, one
// optional sign, digits, blanks. Its value is left to the tool.
const isWhole = (text) => /^\s*[-+]?\d+\s*$/.test(text);

// A whole number within 0..max, as a number; null for anything else.
function wholeIn(text, max) {
  if (!isWhole(text)) return null;
  const v = Number(text);
  return v >= 0 && v <= max ? Math.abs(v) : null; // Math.abs: -0 reads as 0
}

// Text shown in a message, cut short if long.
const quoted = (text) => '“' + (text.length > 40 ? text.slice(0, 40) + '…' : text) + '”';

const toHex = (rgb) => '#' + rgb.map((v) => v.toString(16).padStart(2, '0')).join('');

// --- Converting ------------------------------------------------------------

// Runs `Tintwise R G B` on these three argument texts: its exact text and,
// after a search, the match.
function convert(r, g, b) {
  const status = tintwise.convert(String(r), String(g), String(b));
  const text = tintwise.text();
  if (status !== 0) return { status, text };
  const f = (i) => tintwise.field(i);
  const distance = /= ([0-9.]+)\]/.exec(text)[1];
  const rendered = [3, 4, 5].map((i) => byte(f(i)));
  return { status, text, hsb: [f(0), f(1), f(2)], distance, rendered };
}

// A channel on the byte scale, to the nearest whole byte.
const byte = (v) => Math.min(255, Math.max(0, Math.round(v)));

// An argument as a shell would need it typed.
const shellWord = (w) => (/^[-+\w.,]+$/.test(w) ? w : "'" + w.replace(/'/g, "'\\''") + "'");

// --- One colour --------------------------------------------------------------

function showError(id, message) {
  $(id + '-error').textContent = message;
  $(id).setAttribute('aria-invalid', message ? 'true' : 'false');
}

function clearErrors() {
  for (const id of ['hex', ...channels]) showError(id, '');
  $('link-error').textContent = '';
}

// No answer while a field holds no colour: the result shows none, cannot be
// copied, and the address names no colour, so that nothing on the page, on
// the clipboard or in a link is the answer to another question. `why` says
// so beside what the tool prints for the fields as typed.
function showNoAnswer(why) {
  for (const id of ['hue', 'saturation', 'brightness', 'distance']) $(id).textContent = '–';
  for (const id of ['asked', 'rendered']) {
    $(id + '-swatch').style.backgroundColor = '';
    $(id + '-rgb').textContent = '';
  }
  $('colour-form').dataset.stale = 'true';
  $('copy').disabled = true;
  $('copy-status').textContent = '';
  $('cli-note').textContent = why;
  shownRgb = null;
  updateAddress();
}

// Runs the tool on the three texts and shows what it prints. For a colour in
// range (rgb, the three numbers, given) the result, the swatches, every input
// but `from` and the address follow; otherwise no answer is shown. Returns
// the result.
function show(texts, rgb, from) {
  const result = convert(...texts);
  $('cli-args').textContent = texts.map(shellWord).join(' ');
  $('cli-output').textContent = result.text;
  if (result.status !== 0 || !rgb) {
    showNoAnswer('What the tool prints for the fields as they are typed; they hold no colour in 0..255, so no triple is shown above.');
    return result;
  }
  delete $('colour-form').dataset.stale;
  $('copy').disabled = false;
  $('cli-note').textContent = '';
  const hex = toHex(rgb);
  if (from !== 'hex') $('hex').value = hex;
  if (from !== 'picker') $('picker').value = hex;
  if (from !== 'fields') channels.forEach((id, i) => { $(id).value = String(rgb[i]); });
  ['hue', 'saturation', 'brightness'].forEach((id, i) => { $(id).textContent = String(result.hsb[i]); });
  $('distance').textContent = result.distance;
  $('asked-swatch').style.backgroundColor = hex;
  $('asked-rgb').textContent = `(${rgb.join(', ')})`;
  $('rendered-swatch').style.backgroundColor = toHex(result.rendered);
  $('rendered-rgb').textContent = `(${result.rendered.join(', ')}, ${toHex(result.rendered)})`;
  shownRgb = rgb;
  updateAddress();
  followOneColour(hex);
  return result;
}

const showRgb = (rgb, from) => show(rgb.map(String), rgb, from);

// The address names what the page shows: ?rgb=R,G,B, and &hsb=H,S,B once a
// triple is shown, so that a link opens the same page.
let shownRgb = null, shownTriple = null;
function updateAddress() {
  const parts = [];
  if (shownRgb) parts.push('rgb=' + shownRgb.join(','));
  if (shownTriple) parts.push('hsb=' + shownTriple.join(','));
  history.replaceState(null, '', parts.length ? '?' + parts.join('&') : location.pathname);
}

// The fields' texts go to the tool exactly as typed, so the page prints what
// `Tintwise` prints for them; the page adds its own message for text the tool
// would read leniently (letters, decimals) or find out of range.
function onFields() {
  clearErrors();
  const texts = channels.map((id) => $(id).value);
  const rgb = texts.map((t) => wholeIn(t, 255));
  channels.forEach((id, i) => {
    const label = id[0].toUpperCase();
    if (!isWhole(texts[i])) showError(id, `${label}: enter a whole number from 0 to 255`);
    else if (rgb[i] === null) showError(id, `${label}: ${quoted(texts[i].trim())} is outside 0..255`);
  });
  show(texts, rgb.every((v) => v !== null) ? rgb : null, 'fields');
}

function onHex() {
  clearErrors();
  const rgb = parseHex($('hex').value);
  if (rgb) return showRgb(rgb, 'hex');
  showError('hex', 'Hex: use #rrggbb, rrggbb or #rgb');
  showNoAnswer('What the tool prints for R, G and B; the hex field holds no colour, so no triple is shown above.');
}

// --- A triple's colour -------------------------------------------------------

// Hue runs 0..254; 255, which the editor writes, renders as 0, and is taken as typed.
const tripleFields = [['triple-hue', 'H', 255], ['triple-saturation', 'S', 255], ['triple-brightness', 'B', 255]];

function clearTriple() {
  for (const [id] of tripleFields) showError(id, '');
  $('triple-link-error').textContent = '';
  $('triple-rgb').textContent = '–';
  $('triple-hex').textContent = '–';
  $('triple-swatch').style.backgroundColor = '';
}

function onTriple() {
  clearTriple();
  const hsb = tripleFields.map(([id, label, max]) => {
    const text = $(id).value, v = wholeIn(text, max);
    if (!isWhole(text)) showError(id, `${label}: enter a whole number from 0 to ${max}`);
    else if (v === null) showError(id, `${label}: ${quoted(text.trim())} is outside 0..255` + (id === 'triple-hue' ? ' (hue runs 0..254, and 255 is 0)' : ''));
    return v;
  });
  if (hsb.some((v) => v === null)) {
    shownTriple = null; // the address names no triple the fields do not hold
    updateAddress();
    return;
  }
  const text = tintwise.render(...hsb);
  const hex = toHex([0, 1, 2].map((i) => byte(tintwise.renderedChannel(i))));
  $('triple-rgb').textContent = text;
  $('triple-hex').textContent = hex;
  $('triple-swatch').style.backgroundColor = hex;
  shownTriple = hsb;
  updateAddress();
}

async function pickFromScreen() {
  try {
    const { sRGBHex } = await new window.EyeDropper().open();
    clearErrors();
    showRgb(parseHex(sRGBHex), null);
  } catch (e) {
    // Cancelled (Escape): the colour stays as it was.
  }
}

// Copies a triple as "hue, saturation, brightness", and says so in `status`.
function copyTriple(triple, status) {
  navigator.clipboard.writeText(triple).then(
    () => { status.textContent = `Copied: ${triple}`; },
    () => { status.textContent = 'Copying is not allowed here: select the numbers and copy them.'; });
}

// --- Palettes ----------------------------------------------------------------

// Downloads of the last palette converted, byte for byte what
// `tintwise-palette --format=...` writes for the same file: rows collected as
// they are converted, or a swatch file made whole from the module.
// By the format's name, as the command's --format names it.
const downloads = {
  csv: { what: 0, suffix: '.csv', type: 'text/csv', rows: [] },
  json: { what: 1, suffix: '.jsonl', type: 'application/jsonl', rows: [] },
  gpl: { what: 2, suffix: '.gpl', type: 'text/plain', rows: [] },
};
const swatchDownloads = {
  ase: [5, '.ase'], aco: [6, '.aco'], act: [7, '.act'], jasc: [8, '.pal'], paintnet: [9, '.txt'], kpl: [10, '.kpl'], swatches: [11, '.swatches'],
};
let paletteName = 'palette', lastConverted = 0;
let lastPalette = null; // the bytes and name of the palette shown, to read again in the other mode

function chip(rgbHex) {
  const td = document.createElement('td');
  td.className = 'chip';
  const div = document.createElement('div');
  div.style.backgroundColor = rgbHex;
  div.title = rgbHex;
  td.appendChild(div);
  return td;
}

function cell(text, className) {
  const td = document.createElement('td');
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

const setBusy = (busy) => {
  for (const id of ['convert', 'palette-file']) $(id).disabled = busy;
  $('download').disabled = true;
};

// Where the palette shown comes from: one source at a time, named, and the
// others cleared so that no box shows what the table does not.
const sources = {
  file: (name) => { $('palette').value = ''; return `From the file ${name}.`; },
  paste: () => { $('palette-file').value = ''; return 'From the colours pasted above.'; },
  picture: (name) => { $('palette').value = ''; $('palette-file').value = ''; return `From the picture ${name}.`; },
};

// Raw deflate data inflated by the browser, never past `limit` bytes:
// { outcome, bytes }, the outcome as the module numbers them (0 done,
// 1 corrupt: not deflate data, cut short, or followed by more; 2 too large).
async function inflateRaw(data, limit) {
  const reader = new Blob([data]).stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader(), parts = [];
  let size = 0;
  try {
    for (let part = await reader.read(); !part.done; part = await reader.read()) {
      size += part.value.length;
      if (size > limit) {
        reader.cancel().catch(() => {});
        return { outcome: 2, bytes: new Uint8Array(0) };
      }
      parts.push(part.value);
    }
  } catch {
    return { outcome: 1, bytes: new Uint8Array(0) };
  }
  const bytes = new Uint8Array(size);
  parts.reduce((at, part) => (bytes.set(part, at), at + part.length), 0);
  return { outcome: 0, bytes };
}

// A palette's entries through the module's reader. One in a zip archive
// (Krita's, Procreate's) whose entries are deflated is read twice: the first
// reading asks for them, the browser inflates them, and the second reading is
// given them, so the rows are the command's. Returns the count of entries,
// or null when a later reading has begun meanwhile.
let paletteReading = 0;
async function readPaletteEntries(bytes, file, find, vga, named) {
  const reading = ++paletteReading;
  const count = tintwise.readPalette(bytes, file, find, vga, named), asked = tintwise.inflateAsked();
  if (asked === 0 || typeof DecompressionStream !== 'function') return count; // without it, the entries say they are not read
  const given = await Promise.all(Array.from({ length: asked }, (_, i) => inflateRaw(tintwise.inflateData(i), tintwise.inflateLimit(i))));
  if (reading !== paletteReading) return null;
  given.forEach(({ outcome, bytes: inflated }, i) => tintwise.inflateGive(i, outcome, inflated));
  const again = tintwise.readPalette(bytes, file, find, vga, named);
  tintwise.inflateForget();
  return again;
}

// Reads the bytes of a palette through the module's reader (the one
// tintwise-palette uses), then converts its entries in slices of about a
// frame, so the page keeps answering; `file` names it in the rows, `source`
// (a key of `sources`) says where it came from. A palette read after it
// stops it.
async function convertPalette(bytes, file, source, find = $('palette-find').checked, vga = $('palette-vga').checked) {
  const body = $('palette-table').tBodies[0], errorList = $('palette-error-list');
  body.replaceChildren();
  errorList.replaceChildren();
  $('palette-errors').hidden = true;
  $('palette-table').hidden = true;
  setBusy(true);
  lastPalette = { bytes, file, source };
  $('palette-source').textContent = sources[source](file);
  $('palette-picked').textContent = '';
  $('palette-note').hidden = true;
  const count = await readPaletteEntries(bytes, file, find, vga, source !== 'paste'), reading = paletteReading;
  if (count === null) return;
  if (count < 0) {
    $('progress-text').textContent = `${file} is too large to read in this page: use tintwise-palette.`;
    setBusy(false);
    return;
  }
  // Entries are numbered by line, by .ase block, or by index in a colour
  // table; a reason about the whole file has no number.
  const units = ['Line', 'Block', 'Index', ''];
  $('palette-where').textContent = count > 0 ? units[tintwise.paletteNumber(0, 7)] || 'Line' : 'Line';
  paletteName = file.replace(/\.[^.]*$/, '') || 'palette';
  for (const d of Object.values(downloads)) d.rows = d.what === 1 ? [] : [tintwise.paletteHeader(d.what)];
  const progress = $('progress');
  progress.hidden = false;
  progress.max = Math.max(count, 1);
  progress.value = 0;
  let next = 0, converted = 0, unread = 0, dark = true;

  function slice() {
    if (reading !== paletteReading) return;
    const rowsHere = document.createDocumentFragment();
    const stop = performance.now() + 12;
    while (next < count && performance.now() < stop) {
      const i = next++, n = (what) => tintwise.paletteNumber(i, what), line = String(n(0));
      if (!tintwise.paletteEntry(i)) {
        const li = document.createElement('li');
        const unit = units[n(7)];
        li.textContent = (unit ? `${unit} ${line}: ` : '') + tintwise.paletteText(i, 6);
        errorList.appendChild(li);
        ++unread;
        continue;
      }
      for (const d of Object.values(downloads)) d.rows.push(tintwise.paletteText(i, d.what));
      const hex = toHex([n(1), n(2), n(3)]), rendered = tintwise.paletteText(i, 4);
      dark = dark && Math.max(n(1), n(2), n(3)) < 64;
      const tr = document.createElement('tr');
      tr.tabIndex = i === 0 ? 0 : -1; // one stop for Tab, the arrow keys within
      tr.dataset.hex = hex;
      tr.append(cell(line), cell(tintwise.paletteText(i, 5), 'name'), chip(hex), chip(rendered), cell(hex),
        cell(String(n(4))), cell(String(n(5))), cell(String(n(6))), cell(tintwise.paletteDistance()));
      rowsHere.appendChild(tr);
      ++converted;
    }
    body.appendChild(rowsHere);
    progress.value = next;
    $('progress-text').textContent = `${next} of ${count} entries`;
    if (next < count) {
      setTimeout(slice, 0);
      return;
    }
    $('progress-text').textContent =
      `${converted} colour${converted === 1 ? '' : 's'} converted` + (unread ? `, ${unread} entr${unread === 1 ? 'y' : 'ies'} not read` : '');
    progress.hidden = true;
    $('palette-table').hidden = converted === 0;
    $('palette-errors').hidden = unread === 0;
    // As tintwise-palette says it: a table of dark colours is a valid .act, and may be a VGA palette.
    $('palette-note').hidden = !(dark && tintwise.paletteFormat() === 'act');
    setBusy(false);
    $('download').disabled = converted === 0;
    lastConverted = converted;
  }
  slice();
}

const convertPasted = () => convertPalette(new TextEncoder().encode($('palette').value), 'pasted', 'paste');

async function convertFile(file) {
  if (!file) return;
  convertPalette(new Uint8Array(await file.arrayBuffer()), file.name, 'file');
}

// A row clicked, or Enter on it: its colour goes to "One colour", as if typed
// there. The arrow keys move between rows.
function pickRow(e) {
  const row = e.target.closest('tr'), next = row && { ArrowDown: row.nextElementSibling, ArrowUp: row.previousElementSibling }[e.key];
  if (next) {
    row.tabIndex = -1;
    next.tabIndex = 0;
    next.focus();
    e.preventDefault();
  }
  if (!row || (e.type === 'keydown' && e.key !== 'Enter')) return;
  e.preventDefault();
  clearErrors();
  showRgb(parseHex(row.dataset.hex), null);
  $('palette-picked').textContent = `${row.dataset.hex} is in “One colour” above.`;
}

function download(format) {
  const d = downloads[format], a = document.createElement('a'), swatch = swatchDownloads[format];
  const bytes = swatch ? tintwise.paletteSwatches(swatch[0]) : d.rows.join('');
  a.href = URL.createObjectURL(new Blob([bytes], { type: swatch ? 'application/octet-stream' : d.type }));
  a.download = 'tintwise-' + paletteName + (swatch ? swatch[1] : d.suffix);
  if (format === 'act' && lastConverted > 256) {
    $('progress-text').textContent = `An .act holds 256 colours: the other ${lastConverted - 256} are not in it.`;
  }
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// Files dropped anywhere on a section are read like opened ones: `take`
// gets them all, `open` the first.
function acceptDropped(area, take) {
  const over = (e) => { e.preventDefault(); area.classList.add('dropping'); };
  area.addEventListener('dragenter', over);
  area.addEventListener('dragover', over);
  area.addEventListener('dragleave', () => area.classList.remove('dropping'));
  area.addEventListener('drop', (e) => {
    e.preventDefault();
    area.classList.remove('dropping');
    take([...e.dataTransfer.files]);
  });
}
const acceptDrops = (area, open) => acceptDropped(area, (files) => open(files[0]));

// --- Start -------------------------------------------------------------------

// The colour and triple the address names: ?rgb=R,G,B or ?hex=RRGGBB, and
// ?hsb=H,S,B. A link that cannot be read says so beside the fields it would
// fill, with its own text; the page never shows another colour in its place.
function openAddress() {
  const params = new URLSearchParams(location.search);
  const whole = (text) => { const parts = text.split(','); return parts.length === 3 && parts.every(isWhole) ? parts.map((p) => p.trim()) : null; };
  if (params.has('hex')) {
    const text = params.get('hex'), rgb = parseHex(text);
    if (rgb) showRgb(rgb, null);
    else {
      $('hex').value = text;
      showError('hex', `This link's hex=${quoted(text)} is not a colour: use RRGGBB or RGB, as hex=ff8000.`);
      showNoAnswer('');
    }
  } else if (params.has('rgb')) {
    const text = params.get('rgb'), parts = whole(text);
    if (parts) {
      channels.forEach((id, i) => { $(id).value = parts[i]; });
      onFields(); // out of range: the tool's range error, as typed
    } else {
      for (const id of channels) $(id).value = '';
      $('link-error').textContent = `This link's rgb=${quoted(text)} could not be read: it needs three whole numbers, as rgb=255,128,0.`;
      showNoAnswer('');
    }
  } else {
    showRgb([255, 128, 0], null);
  }
  if (params.has('hsb')) {
    const text = params.get('hsb'), parts = whole(text);
    if (parts) {
      tripleFields.forEach(([id], i) => { $(id).value = parts[i]; });
      onTriple();
    } else {
      $('triple-link-error').textContent = `This link's hsb=${quoted(text)} could not be read: it needs three whole numbers, as hsb=7,70,255.`;
    }
  }
}

// Hands a text to the module as a NUL-terminated UTF-8 string on its heap.
function withString(module, text, use) {
  const size = module.lengthBytesUTF8(text) + 1, p = module._malloc(size);
  try {
    module.stringToUTF8(text, p, size);
    return use(p);
  } finally {
    module._free(p);
  }
}

// Hands bytes to the module on its heap; -1 where they do not fit its memory.
function withBytes(module, bytes, use) {
  const p = module._malloc(Math.max(bytes.length, 1));
  if (!p) return -1;
  try {
    module.HEAPU8.set(bytes, p);
    return use(p);
  } finally {
    module._free(p);
  }
}

// The module needs WebAssembly with SIMD (every current browser; Safari from
// 16.4): without it the page says so, rather than wait for a module that
// cannot start. The bytes: a module of one function returning i32x4.splat(0).
const kSimd = [0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 8, 1, 6, 0, 65, 0, 253, 17, 11];
function cannotStart(why) {
  $('page-error').textContent = `This browser cannot run the page's converter: ${why}. A current Chrome, Edge, Firefox or Safari can.`;
  $('page-error').hidden = false;
}

if (typeof WebAssembly !== 'object' || !WebAssembly.validate(new Uint8Array(kSimd))) {
  cannotStart('it has no WebAssembly with SIMD');
} else createTintwise().catch((e) => cannotStart(String(e))).then((module) => {
  if (!module) return;
  tintwise = {
    convert: (r, g, b) => withString(module, r, (pr) => withString(module, g, (pg) => withString(module, b, (pb) => module._tintwise_convert(pr, pg, pb)))),
    text: () => module.UTF8ToString(module._tintwise_text()),
    field: module.cwrap('tintwise_field', 'number', ['number']),
    render: (h, s, b) => module.UTF8ToString(module._tintwise_render(h, s, b)),
    renderedChannel: module.cwrap('tintwise_rendered_channel', 'number', ['number']),
    chart: (down, fixed, cell) => {
      const p = module._tintwise_chart(down, fixed, cell), [width, height, left, top] = [0, 1, 2, 3].map((i) => module._tintwise_chart_layout(i));
      return { width, height, left, top, cell, rgb: module.HEAPU8.slice(p, p + width * height * 3) };
    },
    // `named`: the palette written from it is named by the file, as tintwise-palette names it (a paste, as standard input is, is not).
    readPalette: (bytes, file, find, vga = false, named = true) => withString(module, file, (name) =>
      withBytes(module, bytes, (p) => module._tintwise_palette_read(p, bytes.length, name, find ? 1 : 0, vga ? 1 : 0, named ? 1 : 0))),
    inflateAsked: () => module._tintwise_inflate_asked(),
    inflateData: (i) => { const p = module._tintwise_inflate_data(i); return module.HEAPU8.slice(p, p + module._tintwise_inflate_size(i)); },
    inflateLimit: (i) => module._tintwise_inflate_limit(i),
    inflateGive: (i, outcome, bytes) => withBytes(module, bytes, (p) => module._tintwise_inflate_give(i, outcome, p, bytes.length)),
    inflateForget: () => module._tintwise_inflate_forget(),
    paletteFormat: () => module.UTF8ToString(module._tintwise_palette_format()),
    paletteEntry: module.cwrap('tintwise_palette_entry', 'number', ['number']),
    paletteText: (i, what) => module.UTF8ToString(module._tintwise_palette_text(i, what)),
    paletteHeader: (what) => module.UTF8ToString(module._tintwise_palette_header(what)),
    paletteNumber: module.cwrap('tintwise_palette_number', 'number', ['number', 'number']),
    paletteDistance: () => module.UTF8ToString(module._tintwise_palette_distance()),
    paletteSwatches: (what) => { const p = module._tintwise_palette_swatches(what); return module.HEAPU8.slice(p, p + module._tintwise_palette_text_size()); },
    lights: (bytes, file, recolour, rgb, keep, ambient, pattern, game) => withString(module, file, (name) => withString(module, pattern, (only) =>
      withBytes(module, bytes, (p) => module._tintwise_lights(p, bytes.length, name, Number(recolour), ...rgb, keep ? 1 : 0, ambient ? 1 : 0, only, game)))),
    lightsClass: (bytes, file) => withString(module, file, (name) => withBytes(module, bytes, (p) => module._tintwise_lights_class(p, bytes.length, name))),
    lightsClassesClear: () => module._tintwise_lights_classes_clear(),
    lightsReports: () => module._tintwise_lights_reports(),
    lightsReport: (i) => module.UTF8ToString(module._tintwise_lights_report(i)),
    lightsBytes: () => { const p = module._tintwise_lights_bytes(); return module.HEAPU8.slice(p, p + module._tintwise_lights_size()); },
    lightsText: (i, what) => module.UTF8ToString(module._tintwise_lights_text(i, what)),
    lightsNumber: module.cwrap('tintwise_lights_number', 'number', ['number', 'number']),
    lightsCounted: module.cwrap('tintwise_lights_counted', 'number', ['number']),
  };
  for (const id of channels) $(id).addEventListener('input', onFields);
  for (const [id] of tripleFields) $(id).addEventListener('input', onTriple);
  $('hex').addEventListener('input', onHex);
  $('picker').addEventListener('input', () => { clearErrors(); showRgb(parseHex($('picker').value), 'picker'); });
  for (const form of ['colour-form', 'triple-form']) $(form).addEventListener('submit', (e) => e.preventDefault());
  $('copy').addEventListener('click', () => copyTriple(['hue', 'saturation', 'brightness'].map((id) => $(id).textContent).join(', '), $('copy-status')));
  if ('EyeDropper' in window) {
    $('eyedropper').classList.remove('unseen'); // its room was kept, so that it moves nothing
    $('eyedropper').addEventListener('click', pickFromScreen);
  }
  $('convert').addEventListener('click', convertPasted);
  $('palette-file').addEventListener('change', () => convertFile($('palette-file').files[0]));
  for (const id of ['palette-find', 'palette-vga']) $(id).addEventListener('change', () => { if (lastPalette) convertPalette(lastPalette.bytes, lastPalette.file, lastPalette.source); });
  for (const type of ['click', 'keydown']) $('palette-table').tBodies[0].addEventListener(type, pickRow);
  acceptDrops($('palette-area'), convertFile);
  startPictures();
  startLights();
  startChart();
  $('download').addEventListener('click', () => download($('download-format').value));
  openAddress();
  document.body.dataset.ready = 'true';
});
