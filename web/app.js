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

// A whole number, possibly signed: its value; anything else: null.
function parseWhole(text) {
  return /^\s*[-+]?\d{1,12}\s*$/.test(text) ? Number(text) : null;
}

const inByteRange = (v) => v >= 0 && v <= 255;

// One palette line: hex, 'R G B' or 'R,G,B' -> [r, g, b], or a reason.
function parseLine(text) {
  const hex = parseHex(text);
  if (hex) return { rgb: hex };
  const parts = text.trim().split(/\s*,\s*|\s+/);
  if (parts.length === 3 && parts.every((p) => /^\d{1,3}$/.test(p))) {
    const rgb = parts.map(Number);
    if (rgb.every(inByteRange)) return { rgb };
    return { reason: 'R, G and B must each be 0..255' };
  }
  return { reason: 'not a colour: use #rrggbb, #rgb, "R G B" or "R,G,B"' };
}

const toHex = (rgb) => '#' + rgb.map((v) => v.toString(16).padStart(2, '0')).join('');

// --- Converting ------------------------------------------------------------

// Runs the tool for r, g, b: its exact text and, after a search, the match.
function convert(r, g, b) {
  const status = tintwise.convert(r, g, b);
  const text = tintwise.text();
  if (status !== 0) return { status, text };
  const f = (i) => tintwise.field(i);
  const distance = /= ([0-9.]+)\]/.exec(text)[1];
  const rendered = [3, 4, 5].map((i) => Math.min(255, Math.max(0, Math.round(f(i)))));
  return { status, text, hsb: [f(0), f(1), f(2)], distance, rendered };
}

// --- One colour --------------------------------------------------------------

function showError(id, message) {
  $(id + '-error').textContent = message;
  $(id).setAttribute('aria-invalid', message ? 'true' : 'false');
}

function clearErrors() {
  for (const id of ['hex', ...channels]) showError(id, '');
}

// Shows the tool's answer for r, g, b, and, for a colour in range, sets every
// input but `from` to it and puts it in the address.
function show(rgb, from) {
  const result = convert(...rgb);
  $('cli-args').textContent = rgb.join(' ');
  $('cli-output').textContent = result.text;
  if (result.status !== 0) return;
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
  history.replaceState(null, '', '?rgb=' + rgb.join(','));
}

function onFields() {
  clearErrors();
  const values = channels.map((id) => parseWhole($(id).value));
  let good = true;
  channels.forEach((id, i) => {
    const v = values[i];
    if (v === null) showError(id, `${id[0].toUpperCase()}: enter a whole number from 0 to 255`);
    else if (!inByteRange(v)) showError(id, `${id[0].toUpperCase()}: ${v} is outside 0..255`);
    if (v === null) good = false;
  });
  // Well-formed numbers out of range still go to the tool: it prints its error.
  if (good) show(values, 'fields');
}

function onHex() {
  clearErrors();
  const rgb = parseHex($('hex').value);
  if (rgb) show(rgb, 'hex');
  else showError('hex', 'Hex: use #rrggbb, rrggbb or #rgb');
}

function copyTriple() {
  const triple = ['hue', 'saturation', 'brightness'].map((id) => $(id).textContent).join(', ');
  const status = $('copy-status');
  navigator.clipboard.writeText(triple).then(
    () => { status.textContent = `Copied: ${triple}`; },
    () => { status.textContent = 'Copying is not allowed here: select the numbers and copy them.'; });
}

// --- Palettes ----------------------------------------------------------------

let csv = '';

const csvField = (s) => (/[",\n\r]/.test(s) ? '"' + s.replace(/"/g, '""') + '"' : s);

function chip(rgbHex) {
  const td = document.createElement('td');
  td.className = 'chip';
  const div = document.createElement('div');
  div.style.backgroundColor = rgbHex;
  div.title = rgbHex;
  td.appendChild(div);
  return td;
}

function cell(text) {
  const td = document.createElement('td');
  td.textContent = text;
  return td;
}

function convertPalette() {
  const lines = $('palette').value.split(/\r?\n/);
  const body = $('palette-table').tBodies[0];
  const errorList = $('palette-error-list');
  body.replaceChildren();
  errorList.replaceChildren();
  $('palette-errors').hidden = true;
  $('palette-table').hidden = true;
  $('download').disabled = true;
  $('convert').disabled = true;
  const progress = $('progress');
  progress.hidden = false;
  progress.max = lines.length;
  progress.value = 0;
  const rows = ['line,input,hex,hue,saturation,brightness,distance,rendered_hex'];
  let next = 0, converted = 0, unread = 0;

  // Converts lines for about a frame, then yields to the browser.
  function slice() {
    const rowsHere = document.createDocumentFragment();
    const stop = performance.now() + 12;
    while (next < lines.length && performance.now() < stop) {
      const number = next + 1, text = lines[next++];
      if (!text.trim()) continue;
      const parsed = parseLine(text);
      if (!parsed.rgb) {
        const li = document.createElement('li');
        li.textContent = `Line ${number}: ${text.trim().slice(0, 80)} (${parsed.reason})`;
        errorList.appendChild(li);
        ++unread;
        continue;
      }
      const r = convert(...parsed.rgb), hex = toHex(parsed.rgb), rendered = toHex(r.rendered);
      const tr = document.createElement('tr');
      tr.append(cell(String(number)), chip(hex), chip(rendered), cell(hex), cell(String(r.hsb[0])),
                cell(String(r.hsb[1])), cell(String(r.hsb[2])), cell(r.distance));
      rowsHere.appendChild(tr);
      rows.push([number, csvField(text.trim()), hex, ...r.hsb, r.distance, rendered].join(','));
      ++converted;
    }
    body.appendChild(rowsHere);
    progress.value = next;
    $('progress-text').textContent = `${next} of ${lines.length} lines`;
    if (next < lines.length) {
      setTimeout(slice, 0);
      return;
    }
    csv = rows.join('\n') + '\n';
    $('progress-text').textContent =
      `${converted} colour${converted === 1 ? '' : 's'} converted` + (unread ? `, ${unread} line${unread === 1 ? '' : 's'} not read` : '');
    progress.hidden = true;
    $('palette-table').hidden = converted === 0;
    $('palette-errors').hidden = unread === 0;
    $('download').disabled = converted === 0;
    $('convert').disabled = false;
  }
  slice();
}

function downloadCsv() {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([csv], { type: 'text/csv' }));
  a.download = 'tintwise-palette.csv';
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// --- Start -------------------------------------------------------------------

// The colour named by the address: ?rgb=R,G,B or ?hex=RRGGBB.
function colourFromAddress() {
  const params = new URLSearchParams(location.search);
  if (params.has('hex')) return parseHex(params.get('hex'));
  if (params.has('rgb')) {
    const parsed = parseLine(params.get('rgb'));
    return parsed.rgb || null;
  }
  return null;
}

createTintwise().then((module) => {
  tintwise = {
    convert: module.cwrap('tintwise_convert', 'number', ['number', 'number', 'number']),
    text: () => module.UTF8ToString(module._tintwise_text()),
    field: module.cwrap('tintwise_field', 'number', ['number']),
  };
  for (const id of channels) $(id).addEventListener('input', onFields);
  $('hex').addEventListener('input', onHex);
  $('picker').addEventListener('input', () => { clearErrors(); show(parseHex($('picker').value), 'picker'); });
  $('colour-form').addEventListener('submit', (e) => e.preventDefault());
  $('copy').addEventListener('click', copyTriple);
  $('convert').addEventListener('click', convertPalette);
  $('download').addEventListener('click', downloadCsv);
  show(colourFromAddress() || [255, 128, 0], null);
  document.body.dataset.ready = 'true';
});
