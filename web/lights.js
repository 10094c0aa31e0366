// Lights: T3D text opened, dropped or pasted, its lights listed, and the text
// given back with them recoloured, byte for byte what tintwise-lights writes:
// copied, to paste into the editor, or downloaded. A paste keeps its own line
// ends (the paste event's text, not the box's, which turns CR LF into LF).
'use strict';

// The text shown: its bytes, its name, and, for a paste, the text as pasted.
let lightsText = null, pasted = null, recoloured = null;
let lightsColourTaken = false; // set by hand: "One colour" no longer changes it

// The bytes of what the box holds: the paste itself while the box holds what
// was pasted, else the box's text with the paste's line ends.
function boxBytes() {
  const box = $('lights-text').value;
  if (pasted && box === pasted.replace(/\r\n?/g, '\n')) return new TextEncoder().encode(pasted);
  const eol = pasted && pasted.includes('\r\n') ? '\r\n' : '\n';
  return new TextEncoder().encode(box.replace(/\n/g, eol));
}

// Reads the text (listed, or recoloured as the controls say) and shows its lights and what was not read.
function readLights(bytes, name, recolour) {
  const rgb = parseHex($('lights-colour').value);
  const count = tintwise.lights(bytes, name, recolour, rgb, $('lights-keep-brightness').checked, $('lights-ambient').checked);
  const body = $('lights-table').tBodies[0], list = $('lights-error-list');
  const out = recolour ? tintwise.lightsBytes() : null, reports = [];
  for (let i = 0; i < tintwise.lightsReports(); ++i) reports.push(tintwise.lightsReport(i));
  if (recolour) readLights(out, name, false); // the table shows the text as it now is
  else {
    body.replaceChildren(...Array.from({ length: count }, (_, i) => {
      const tr = document.createElement('tr'), hex = tintwise.lightsText(i, 3), n = (what) => String(tintwise.lightsNumber(i, what));
      tr.append(cell(n(0)), cell(tintwise.lightsText(i, 0), 'name'), cell(tintwise.lightsText(i, 1), 'name'), cell(tintwise.lightsText(i, 2), 'name'),
        cell(n(1)), cell(n(2)), cell(n(3)), chip(hex), cell(hex));
      return tr;
    }));
    $('lights-table').hidden = count === 0;
  }
  list.replaceChildren(...reports.map((text) => { const li = document.createElement('li'); li.textContent = text; return li; }));
  $('lights-errors').hidden = reports.length === 0;
  return out;
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
  recoloured = readLights(lightsText.bytes, lightsText.name, true);
  const hsb = tintwise.convert(...parseHex($('lights-colour').value).map(String)) === 0 && /Hue = (\d+), Saturation = (\d+), Brightness = (\d+)/.exec(tintwise.text());
  for (const id of ['lights-copy', 'lights-download']) $(id).disabled = false;
  $('lights-status').textContent = `Recoloured to hue, saturation, brightness ${hsb.slice(1).join(', ')}` +
    ($('lights-keep-brightness').checked ? ' (each keeping its brightness)' : '') + ': copy the text, or download it.';
}

// The text as the clipboard takes it: UTF-16 (told by its byte order mark) decoded as such, else UTF-8.
function lightsString(bytes) {
  const order = bytes[0] === 0xff && bytes[1] === 0xfe ? 'utf-16le' : bytes[0] === 0xfe && bytes[1] === 0xff ? 'utf-16be' : 'utf-8';
  return new TextDecoder(order, { ignoreBOM: order === 'utf-8' }).decode(bytes);
}

function startLights() {
  const open = async (file) => {
    if (!file) return;
    $('lights-text').value = '';
    pasted = null;
    showLights(new Uint8Array(await file.arrayBuffer()), file.name, `From the file ${file.name}.`);
  };
  $('lights-file').addEventListener('change', () => open($('lights-file').files[0]));
  acceptDrops($('lights-area'), open);
  $('lights-text').addEventListener('paste', (e) => { pasted = e.clipboardData ? e.clipboardData.getData('text/plain') : null; });
  $('lights-text').addEventListener('input', () => {
    $('lights-file').value = '';
    showLights(boxBytes(), 'pasted', 'From the text pasted above.');
  });
  $('lights-colour').addEventListener('input', () => { lightsColourTaken = true; });
  $('lights-take').addEventListener('click', () => { $('lights-colour').value = $('hex').value; lightsColourTaken = false; });
  $('lights-recolour').addEventListener('click', recolourLights);
  $('lights-copy').addEventListener('click', () => {
    navigator.clipboard.writeText(lightsString(recoloured)).then(() => { $('lights-status').textContent = 'Copied: paste it into the editor.'; },
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

// "One colour" sets the colour to recolour to, until that is chosen by hand.
function followOneColour(hex) {
  if (!lightsColourTaken) $('lights-colour').value = hex;
}
