// Lights: T3D text opened, dropped or pasted, its lights listed, and the text
// given back with them recoloured, byte for byte what tintwise-lights writes:
// copied, to paste into the editor, or downloaded. A paste keeps its own line
// ends (the paste event's text, not the box's, which turns CR LF into LF).
// The box shows the text in hand: what Copy and Download give.
'use strict';

// The text shown: its bytes and its name; for a paste, the text as pasted.
let lightsText = null, pasted = null, recoloured = null;
let lightsColourTaken = false; // set by hand: "One colour" no longer changes it
let lightsTriple = null;        // a triple chosen on the chart: written as it is, not searched for
const kBoxMost = 2 << 20; // a text longer than this is not shown in the box (a whole map would stall the page)

// The bytes of what the box holds: the paste itself while the box holds what
// was pasted, else the box's text with the paste's line ends.
function boxBytes() {
  const box = $('lights-text').value;
  if (pasted && box === pasted.replace(/\r\n?/g, '\n')) return new TextEncoder().encode(pasted);
  const eol = pasted && pasted.includes('\r\n') ? '\r\n' : '\n';
  return new TextEncoder().encode(box.replace(/\n/g, eol));
}

// Windows-1252 as a table of the characters of bytes 0x80..0x9F (the others
// are Latin-1's); null where the code page has none (0x81, 0x8D, 0x8F, 0x90,
// 0x9D), which no text can stand for.
const kCp1252 = [0x20ac, null, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021, 0x2c6, 0x2030, 0x160, 0x2039, 0x152, null, 0x17d, null,
  null, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x2dc, 0x2122, 0x161, 0x203a, 0x153, null, 0x17e, 0x178];

// The text the clipboard gets for the bytes, which the editor pastes back as
// those bytes, or null where no text can stand for them: UTF-16 (told by its
// byte order mark) as UTF-16; else UTF-8 where the bytes are that; else
// Windows-1252, the code page the editor reads bytes in, where each byte is
// one of its characters. A byte order mark is never a character of the text,
// and a NUL ends a clipboard's text, so no text holds one.
function clipboardText(bytes) {
  const order = bytes[0] === 0xff && bytes[1] === 0xfe ? 'utf-16le' : bytes[0] === 0xfe && bytes[1] === 0xff ? 'utf-16be' : null;
  let text = null;
  try {
    text = new TextDecoder(order || 'utf-8', { fatal: true }).decode(bytes); // its byte order mark left out
  } catch {
    if (!order) {
      const chars = Array.from(bytes, (b) => (b < 0x80 || b >= 0xa0 ? b : kCp1252[b - 0x80]));
      text = chars.includes(null) ? null : chars.map((c) => String.fromCharCode(c)).join('');
    }
  }
  return text === null || text.includes('\0') ? null : text;
}

// Reads the text (listed, or recoloured as the controls say) and shows its
// lights and what was not read. Recoloured, the table and the reports are
// those of the text as it now is. Returns the bytes given back, with how
// many lights were recoloured and actors chosen.
function readLights(bytes, name, recolour) {
  const rgb = lightsTriple || parseHex($('lights-colour').value), only = $('lights-only').value;
  const count = tintwise.lights(bytes, name, recolour && lightsTriple ? 2 : recolour, rgb, $('lights-keep-brightness').checked, $('lights-ambient').checked, only, Number($('lights-game').value));
  if (recolour) {
    const out = { bytes: tintwise.lightsBytes(), changed: tintwise.lightsCounted(0), matched: tintwise.lightsCounted(1), refused: null };
    if (tintwise.lightsCounted(2)) out.refused = tintwise.lightsReport(tintwise.lightsReports() - 1).replace(/^[^:]*: /, ''); // a map package: never written
    else readLights(out.bytes, name, false);
    return out;
  }
  const body = $('lights-table').tBodies[0], list = $('lights-error-list'), reports = [];
  for (let i = 0; i < tintwise.lightsReports(); ++i) reports.push(tintwise.lightsReport(i));
  body.replaceChildren(...Array.from({ length: count }, (_, i) => {
    const tr = document.createElement('tr'), hex = tintwise.lightsText(i, 3), n = (what) => String(tintwise.lightsNumber(i, what));
    tr.append(cell(tintwise.lightsText(i, 0), 'name'), chip(hex), cell(hex), cell(n(1)), cell(n(2)), cell(tintwise.lightsText(i, 4)), cell(tintwise.lightsText(i, 2), 'name'),
      cell(tintwise.lightsText(i, 1), 'name'), cell(n(0)));
    return tr;
  }));
  $('lights-table').hidden = count === 0;
  list.replaceChildren(...reports.map((text) => { const li = document.createElement('li'); li.textContent = text; return li; }));
  $('lights-errors').hidden = reports.length === 0;
  return null;
}

// Shows the text in hand in the box, as the clipboard would take it; one
// that no text can stand for, or too long to show, is said instead.
function showInBox(bytes) {
  const text = bytes.length <= kBoxMost ? clipboardText(bytes) : null;
  $('lights-text').value = text === null ? '' : text;
  pasted = text; // the box's line ends, should it be edited
  $('lights-text').placeholder = text !== null ? '' : bytes.length > kBoxMost ? `The text (${(bytes.length / 1048576).toFixed(1)} MB) is too long to show here: download it.`
    : 'The text holds bytes no text can stand for: download it.';
}

function showLights(bytes, name, source) {
  lightsText = { bytes, name };
  recoloured = null;
  $('lights-source').textContent = source;
  readLights(bytes, name, false);
  $('lights-recolour').disabled = false;
  for (const id of ['lights-copy', 'lights-download']) $(id).disabled = true;
  $('lights-status').textContent = `${$('lights-table').tBodies[0].rows.length} lights listed.`;
}

function recolourLights() {
  if (!lightsText) return;
  const out = readLights(lightsText.bytes, lightsText.name, true), only = $('lights-only').value;
  if (out.refused) {
    $('lights-status').textContent = out.refused.replace(/^not recoloured: a package/, 'This map is not recoloured: a package');
    return;
  }
  recoloured = out.bytes;
  showInBox(recoloured);
  const copyable = clipboardText(recoloured) !== null;
  const hsb = lightsTriple ? [null, ...lightsTriple]
    : tintwise.convert(...parseHex($('lights-colour').value).map(String)) === 0 && /Hue = (\d+), Saturation = (\d+), Brightness = (\d+)/.exec(tintwise.text());
  $('lights-download').disabled = false;
  $('lights-copy').disabled = !copyable;
  const chosen = !only ? '' : out.matched === 0 ? ` “${only}” names no actor (by Name or Tag): nothing was recoloured.`
    : out.changed === 0 ? ` “${only}” names ${out.matched} actor${out.matched === 1 ? '' : 's'}, none of them a light: nothing was recoloured.` : '';
  $('lights-status').textContent = `Recoloured to hue, saturation, brightness ${hsb.slice(1).join(', ')}` +
    ($('lights-keep-brightness').checked ? ' (each keeping its brightness)' : '') + `: ${out.changed} changed.` + chosen +
    (copyable ? ' Copy the text, or download it.' : ' Its bytes cannot all be copied as text (a byte no character stands for, or a NUL): download it.');
}

// A mod's or a map's classes, .uc files, in the order given (a class given
// twice keeps its first); the text shown is listed again with them.
async function takeClasses(files) {
  tintwise.lightsClassesClear();
  let taken = 0;
  for (const file of files) taken += tintwise.lightsClass(new Uint8Array(await file.arrayBuffer()), file.name);
  $('lights-classes-status').textContent = files.length ? `${taken} class${taken === 1 ? '' : 'es'} of ${files.length} file${files.length === 1 ? '' : 's'}.` : '';
  if (lightsText) showLights(lightsText.bytes, lightsText.name, $('lights-source').textContent);
}

function startLights() {
  const open = async (file) => {
    if (!file) return;
    const bytes = new Uint8Array(await file.arrayBuffer());
    showInBox(bytes);
    showLights(bytes, file.name, `From the file ${file.name}.`);
  };
  $('lights-file').addEventListener('change', () => open($('lights-file').files[0]));
  $('lights-classes').addEventListener('change', () => takeClasses([...$('lights-classes').files]));
  $('lights-game').addEventListener('change', () => { if (lightsText) showLights(lightsText.bytes, lightsText.name, $('lights-source').textContent); });
  // Dropped .uc files are classes; another file is the text.
  acceptDropped($('lights-area'), (files) => {
    const classes = files.filter((f) => /\.uc$/i.test(f.name)), text = files.find((f) => !/\.uc$/i.test(f.name));
    if (classes.length) takeClasses(classes);
    if (text) open(text);
  });
  $('lights-text').addEventListener('paste', (e) => { pasted = e.clipboardData ? e.clipboardData.getData('text/plain') : null; });
  $('lights-text').addEventListener('input', () => {
    $('lights-file').value = '';
    showLights(boxBytes(), 'pasted', 'From the text pasted above.');
  });
  $('lights-colour').addEventListener('input', () => { lightsColourTaken = true; takeTripleForLights(null); });
  $('lights-take').addEventListener('click', () => { $('lights-colour').value = $('hex').value; lightsColourTaken = false; takeTripleForLights(null); });
  $('lights-recolour').addEventListener('click', recolourLights);
  $('lights-copy').addEventListener('click', () => {
    const text = clipboardText(recoloured);
    if (text === null) return;
    navigator.clipboard.writeText(text).then(() => { $('lights-status').textContent = 'Copied: paste it into the editor.'; },
      () => { $('lights-status').textContent = 'Copying is not allowed here: download the text instead.'; });
  });
  $('lights-download').addEventListener('click', () => {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([recoloured], { type: 'application/octet-stream' }));
    a.download = lightsText.name.replace(/\.[^.]*$/, '') + '-recoloured.t3d';
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  });
}

// A triple chosen on the chart (null: none, the colour is searched): the
// colour shows what it renders, and "One colour" no longer changes it.
function takeTripleForLights(triple, hex) {
  lightsTriple = triple;
  $('lights-triple').textContent = triple ? `the triple ${triple.join(', ')}, chosen on the chart` : '';
  if (!triple) return;
  $('lights-colour').value = hex;
  lightsColourTaken = true;
}

// "One colour" sets the colour to recolour to, until that is chosen by hand.
function followOneColour(hex) {
  if (!lightsColourTaken) $('lights-colour').value = hex;
}
