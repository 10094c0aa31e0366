// Pictures: open, drop or paste one, point at it to see its pixels magnified,
// click (or move a cursor with the keyboard and press Enter) to convert a
// pixel, and list the picture's colours into the palette table.
//
// The colour of a pixel is the value the file stores: the picture is decoded
// with no colour management (a gamma chunk or an ICC profile would otherwise
// change what a canvas reads back). Listing colours runs in a worker, so the
// page never stops answering; nothing leaves the page.
'use strict';

const kMaxPixels = 50e6; // about 200 MB of pixels in a canvas: larger pictures are refused
const kLoupe = 11;       // pixels a side in the magnified view

let picture = null; // { file, name, width, height, cursor: [x, y] } of the picture shown

function pictureStatus(text) { $('picture-status').textContent = text; }

// Asks the picture's worker (which holds its pixels) and waits for the answer.
let asked = Promise.resolve();
function ask(message, transfer = []) {
  const worker = pictureWorker();
  asked = asked.then(() => new Promise((done) => {
    worker.onmessage = (e) => done(e.data);
    worker.postMessage(message, transfer);
  }));
  return asked;
}

async function openPicture(file) {
  if (!file) return;
  const name = file.name || 'pasted picture';
  pictureStatus(`Opening ${name}…`);
  const { bitmap, width, height } = await ask({ open: file, max: kMaxPixels });
  if (!width) { // a PCX texture, say: no browser shows one, but its colour table can be listed
    const table = await indexedTable(file);
    picture = table ? { file, name } : null;
    $('picture-view').hidden = true;
    $('picture-colours').disabled = !table;
    pictureStatus(`${name} is not a picture this browser can show` +
      (table ? ', but its colour table can be listed: “Colours of this picture”.' : ' (a palette file? open it under “A palette”).'));
    return;
  }
  if (!bitmap) {
    pictureStatus(`${name} is ${width} × ${height} pixels, more than this page holds (50 megapixels): crop or scale it first.`);
    return;
  }
  const canvas = $('picture');
  canvas.width = width;
  canvas.height = height;
  canvas.getContext('bitmaprenderer').transferFromImageBitmap(bitmap);
  picture = { file, name, width, height, cursor: [width >> 1, height >> 1] };
  canvas.setAttribute('aria-label', `The picture ${name}, ${width} by ${height} pixels`);
  $('picture-view').hidden = false;
  $('picture-colours').disabled = false;
  $('picture-cursor').hidden = true;
  pictureStatus(`${name}: ${width} × ${height} pixels` + (file.type === 'image/gif' ? ' (of a GIF, its first frame)' : '') +
    '. Point at it, or click a pixel.');
}

// The picture's pixel under a pointer event, or null outside it.
function pixelAt(event) {
  const box = $('picture').getBoundingClientRect();
  const x = Math.floor(((event.clientX - box.left) / box.width) * picture.width);
  const y = Math.floor(((event.clientY - box.top) / box.height) * picture.height);
  return x >= 0 && y >= 0 && x < picture.width && y < picture.height ? [x, y] : null;
}

// The magnified view around [x, y], and the hex of that pixel; returns its
// stored red, green, blue and alpha.
async function showLoupe(at) {
  const { area } = await ask({ area: at, size: kLoupe });
  const loupe = $('picture-loupe'), c = loupe.getContext('2d'), half = kLoupe >> 1, cell = loupe.width / kLoupe;
  c.clearRect(0, 0, loupe.width, loupe.height);
  for (let i = 0; i < kLoupe * kLoupe; ++i) {
    c.fillStyle = `rgb(${area[4 * i]}, ${area[4 * i + 1]}, ${area[4 * i + 2]})`;
    if (area[4 * i + 3] > 0) c.fillRect((i % kLoupe) * cell, Math.floor(i / kLoupe) * cell, cell, cell);
  }
  c.strokeStyle = '#fff';
  c.strokeRect(half * cell + 0.5, half * cell + 0.5, cell - 1, cell - 1);
  c.strokeStyle = '#000';
  c.strokeRect(half * cell - 0.5, half * cell - 0.5, cell + 1, cell + 1);
  const p = area.subarray(4 * (half * kLoupe + half), 4 * (half * kLoupe + half) + 4);
  $('picture-hex').textContent = p[3] === 0 ? 'transparent' : toHex([p[0], p[1], p[2]]);
  return p;
}

// The pointer's pixel in the magnified view: one question to the worker at a
// time, the latest position asked next.
let hoverAt = null, hovering = false;
function hover(at) {
  hoverAt = at;
  if (hovering) return;
  hovering = true;
  showLoupe(at).then(() => {
    hovering = false;
    if (hoverAt !== at) hover(hoverAt);
  });
}

// Converts pixel [x, y] exactly as typing its R, G and B would.
async function pickPixel(at) {
  const p = await showLoupe(at);
  if (p[3] === 0) {
    pictureStatus(`Pixel ${at[0]}, ${at[1]} is fully transparent: it has no colour to pick.`);
    return;
  }
  clearErrors();
  showRgb([p[0], p[1], p[2]], null);
  pictureStatus(`Picked pixel ${at[0]}, ${at[1]}: ${toHex([p[0], p[1], p[2]])}.`);
}

// The keyboard's cursor, drawn over the pixel it stands on.
function moveCursor(dx, dy) {
  const [x, y] = picture.cursor;
  picture.cursor = [Math.min(picture.width - 1, Math.max(0, x + dx)), Math.min(picture.height - 1, Math.max(0, y + dy))];
  const canvas = $('picture'), cursor = $('picture-cursor'), scale = canvas.clientWidth / picture.width;
  const size = Math.max(scale, 9);
  cursor.style.left = `${canvas.offsetLeft + (picture.cursor[0] + 0.5) * scale - size / 2}px`;
  cursor.style.top = `${canvas.offsetTop + (picture.cursor[1] + 0.5) * scale - size / 2}px`;
  cursor.style.width = cursor.style.height = `${size}px`;
  cursor.hidden = false;
  return showLoupe(picture.cursor);
}

function onPictureKey(e) {
  if (!picture || !picture.width) return;
  const step = e.shiftKey ? 10 : 1;
  const moves = { ArrowLeft: [-step, 0], ArrowRight: [step, 0], ArrowUp: [0, -step], ArrowDown: [0, step] };
  if (moves[e.key]) moveCursor(...moves[e.key]);
  else if (e.key === 'Enter' || e.key === ' ') pickPixel(picture.cursor);
  else return;
  e.preventDefault();
}

// --- Colours of the picture ----------------------------------------------------

// The worker that holds the picture's pixels (so that no task of the page
// handles them all), answers for an area of them, and counts the picture's
// colours; where there are more than asked for, it reduces them by median cut
// (Heckbert's): boxes of colours split
// along their widest channel at the pixel-weighted median until there are as
// many boxes as colours asked for, each then giving its pixel-weighted mean.
// Deterministic: ties are broken by the colour's value. Fully transparent
// pixels are not counted.
function workerMain() {
  let context = null; // the picture, drawn once
  const colours = (wanted) => {
    const { width, height } = context.canvas;
    const counts = new Uint32Array(1 << 24);
    let counted = 0;
    for (let y = 0; y < height; y += 256) { // in bands, so no second copy of the whole picture is made
      const pixels = context.getImageData(0, y, width, Math.min(256, height - y)).data;
      for (let i = 0; i < pixels.length; i += 4) {
        if (pixels[i + 3] === 0) continue;
        ++counts[pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2]];
        ++counted;
      }
    }
    let distinct = 0;
    for (let c = 0; c < counts.length; ++c) if (counts[c]) ++distinct;
    const list = new Uint32Array(distinct);
    for (let c = 0, k = 0; c < counts.length; ++c) if (counts[c]) list[k++] = c;
    const channel = (c, k) => (c >> (16 - 8 * k)) & 255;
    const widest = (box) => { // the channel of widest range in a box, and that range
      let best = [0, -1];
      for (let k = 0; k < 3; ++k) {
        let lo = 255, hi = 0;
        for (let i = box.lo; i < box.hi; ++i) {
          const v = channel(list[i], k);
          lo = Math.min(lo, v);
          hi = Math.max(hi, v);
        }
        if (hi - lo > best[1]) best = [k, hi - lo];
      }
      return best;
    };
    // At most as many colours as asked for: each is its own box, exactly.
    const boxes = distinct <= wanted ? Array.from(list, (_, i) => ({ lo: i, hi: i + 1 })) : [{ lo: 0, hi: distinct }];
    while (boxes.length < wanted) {
      let split = -1, range = 0;
      boxes.forEach((box, i) => {
        box.widest = box.widest || widest(box);
        if (box.widest[1] > range) [split, range] = [i, box.widest[1]];
      });
      if (split < 0) break;
      const box = boxes[split], k = box.widest[0];
      list.subarray(box.lo, box.hi).sort((a, b) => channel(a, k) - channel(b, k) || a - b);
      let total = 0, half = 0, m = box.lo;
      for (let i = box.lo; i < box.hi; ++i) total += counts[list[i]];
      while (m < box.hi - 1 && (half += counts[list[m]]) * 2 < total) ++m;
      m = Math.min(Math.max(m + 1, box.lo + 1), box.hi - 1);
      boxes.splice(split, 1, { lo: box.lo, hi: m }, { lo: m, hi: box.hi });
    }
    const found = new Map(); // colour -> pixels; two boxes of the same mean count as one colour
    for (const box of boxes) {
      const sum = [0, 0, 0];
      let n = 0;
      for (let i = box.lo; i < box.hi; ++i) {
        const c = list[i], w = counts[c];
        for (let k = 0; k < 3; ++k) sum[k] += channel(c, k) * w;
        n += w;
      }
      if (n > 0) {
        const mean = sum.reduce((c, s) => c << 8 | Math.round(s / n), 0);
        found.set(mean, (found.get(mean) || 0) + n);
      }
    }
    return { list: [...found].sort((a, b) => b[1] - a[1] || a[0] - b[0]), counted, distinct };
  };
  self.onmessage = async ({ data }) => {
    if (data.open) {
      // Decoded here, not in the page (decoding a photo takes a good part of
      // a second), with no colour conversion and alpha kept apart: the values
      // the file stores. The same bitmap then goes to the page to be shown.
      let bitmap;
      try {
        bitmap = await createImageBitmap(data.open, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      } catch (e) {
        postMessage({});
        return;
      }
      const { width, height } = bitmap;
      if (width * height > data.max) {
        bitmap.close();
        postMessage({ width, height });
        return;
      }
      context = new OffscreenCanvas(width, height).getContext('2d', { willReadFrequently: true });
      context.drawImage(bitmap, 0, 0);
      postMessage({ bitmap, width, height }, [bitmap]);
    } else if (data.area) {
      const half = data.size >> 1;
      postMessage({ area: context.getImageData(data.area[0] - half, data.area[1] - half, data.size, data.size).data });
    } else {
      postMessage(colours(data.wanted));
    }
  };
}

let worker = null;
function pictureWorker() {
  if (!worker) worker = new Worker(URL.createObjectURL(new Blob([`(${workerMain})()`], { type: 'text/javascript' })));
  return worker;
}

// A share of the pixels as a row's name: "23.4%", "<0.1%".
const share = (n, total) => (n * 1000 < total ? '<0.1%' : `${(Math.round((n / total) * 1000) / 10).toFixed(1)}%`);

// Fills the palette table: an indexed picture's stored colour table, read by
// the same reader as tintwise-palette; any other picture's colours, reduced
// to as many as asked for, each named by its share of the pixels.
// The bytes of an indexed picture (one whose reading gives a colour table),
// or null for any other file.
async function indexedTable(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const count = tintwise.readPalette(bytes, file.name || 'pasted picture', false);
  return count > 0 && ['png', 'gif', 'bmp', 'pcx'].includes(tintwise.paletteFormat()) && tintwise.paletteNumber(0, 7) === 2 ? bytes : null;
}

async function listPictureColours() {
  if (!picture) return;
  const bytes = await indexedTable(picture.file);
  if (bytes) {
    convertPalette(bytes, picture.name, false);
    pictureStatus(`${picture.name} is an indexed picture: its stored colour table is listed under “A palette”.`);
    return;
  }
  const wanted = Math.min(256, Math.max(2, Math.round(Number($('picture-count').value)) || 16));
  $('picture-count').value = String(wanted);
  $('picture-colours').disabled = true;
  pictureStatus(`Counting the colours of ${picture.name}…`);
  const { list, counted, distinct } = await ask({ wanted });
  $('picture-colours').disabled = false;
  if (counted === 0) {
    pictureStatus(`${picture.name} is fully transparent: it has no colours to list.`);
    return;
  }
  const lines = list.map(([rgb, n]) => `#${rgb.toString(16).padStart(6, '0')} ${share(n, counted)}\n`).join('');
  convertPalette(new TextEncoder().encode(lines), picture.name, false);
  pictureStatus(`${picture.name}: ${distinct} distinct colour${distinct === 1 ? '' : 's'}` +
    (distinct > list.length ? `, reduced to ${list.length} by median cut` : '') + '; listed under “A palette”.');
}

// A picture pasted anywhere outside a text field opens here.
function onPaste(e) {
  const target = e.target;
  if (target instanceof HTMLTextAreaElement || (target instanceof HTMLInputElement && target.type !== 'file')) return;
  const file = [...(e.clipboardData ? e.clipboardData.files : [])].find((f) => f.type.startsWith('image/'));
  if (!file) return;
  e.preventDefault();
  openPicture(file);
}

function startPictures() {
  $('picture-file').addEventListener('change', () => openPicture($('picture-file').files[0]));
  acceptDrops($('picture-area'), openPicture);
  document.addEventListener('paste', onPaste);
  const canvas = $('picture');
  canvas.addEventListener('pointermove', (e) => {
    const at = picture && pixelAt(e);
    if (at) hover(at);
  });
  canvas.addEventListener('click', (e) => {
    const at = picture && pixelAt(e);
    if (!at) return;
    picture.cursor = at;
    moveCursor(0, 0);
    pickPixel(at);
  });
  canvas.addEventListener('keydown', onPictureKey);
  canvas.addEventListener('focus', () => { if (picture && picture.width) moveCursor(0, 0); });
  canvas.addEventListener('blur', () => { $('picture-cursor').hidden = true; });
  $('picture-colours').addEventListener('click', listPictureColours);
}
