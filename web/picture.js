// Pictures: open, drop or paste one, point at it to see its pixels magnified,
// click (or move a cursor with the keyboard and press Enter) to convert a
// pixel, see the picture as the lights render it, and list its colours into
// the palette table.
//
// The colour of a pixel is the value the file stores: the picture is decoded
// with no colour management (a gamma chunk or an ICC profile would otherwise
// change what a canvas reads back). Pixels live in a worker, the searches run
// in workers of their own, so the page never stops answering; nothing leaves
// the page.
'use strict';

const kMaxPixels = 50e6; // about 200 MB of pixels in a canvas: larger pictures are refused
const kShown = 2048;     // the longest side the page shows: a copy that size, not all the pixels
const kLoupe = 11;       // pixels a side in the magnified view
const kChunk = 4096;     // distinct colours a search worker answers at a time
const kScale = 64;       // RGB units at the top of the distance view's scale

// The picture shown: { file, name, width, height, cursor: [x, y] }, and once
// its rendered view is asked for, its distinct colours and their answers.
let picture = null;

function pictureStatus(text) { $('picture-status').textContent = text; }

// The picture shown, or the place to drop one: the frame, the magnified view
// and its answer keep their room either way, so opening one moves nothing.
function showOpen(open) {
  $('picture-view').toggleAttribute('data-open', open);
  $('picture').hidden = !open;
  $('picture-drop').hidden = open;
  for (const id of ['picture-side', 'picture-help']) $(id).classList.toggle('unseen', !open);
  if (open) fitPicture();
}

// The picture as large as its frame holds it, its proportions kept.
function fitPicture() {
  if (!picture || !picture.width) return;
  const frame = $('picture-frame'), canvas = $('picture');
  const scale = Math.min(frame.clientWidth / picture.width, frame.clientHeight / picture.height);
  canvas.style.width = `${Math.max(1, Math.floor(picture.width * scale))}px`;
  canvas.style.height = `${Math.max(1, Math.floor(picture.height * scale))}px`;
  if (!$('picture-cursor').hidden) moveCursor(0, 0);
}

// Asks the picture's worker (which holds its pixels) and waits for its answer.
// Questions are told apart by number, so a pixel is answered while the worker
// draws a view.
let asked = 0;
const answers = new Map();
function ask(message, transfer = []) {
  const id = ++asked;
  return new Promise((done) => {
    answers.set(id, done);
    pictureWorker().postMessage({ id, ...message }, transfer);
  });
}

async function openPicture(file) {
  if (!file) return;
  const name = file.name || 'pasted picture';
  stopSearch();
  picture = null;
  setMode('stored');
  pictureStatus(`Opening ${name}…`);
  const { bitmap, width, height } = await ask({ open: file, max: kMaxPixels, shown: kShown });
  if (!width) { // a PCX texture, say: no browser shows one, but its colour table can be listed
    const table = await indexedTable(file);
    picture = table ? { file, name } : null;
    showOpen(false);
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
  canvas.width = bitmap.width;
  canvas.height = bitmap.height;
  canvas.getContext('bitmaprenderer').transferFromImageBitmap(bitmap);
  canvas.dataset.mode = 'stored';
  picture = { file, name, width, height, cursor: [width >> 1, height >> 1] };
  canvas.setAttribute('aria-label', `The picture ${name}, ${width} by ${height} pixels`);
  $('picture-cursor').hidden = true;
  showOpen(true);
  for (const id of ['picture-triple', 'picture-distance', 'picture-rendered', 'picture-hex']) $(id).textContent = '–';
  $('picture-rendered-swatch').style.backgroundColor = '';
  $('picture-copy').disabled = true;
  for (const id of ['picture-colours', 'picture-mode', 'picture-download']) $(id).disabled = false;
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

// The magnified view around [x, y] (of the picture as stored, whatever the
// view), and the hex of that pixel; returns its stored red, green, blue, alpha.
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

// Converts pixel [x, y] exactly as typing its R, G and B would, and shows the
// answer beside the magnified view, in sight, and to screen readers once.
async function pickPixel(at) {
  const p = await showLoupe(at);
  if (p[3] === 0) {
    pictureStatus(`Pixel ${at[0]}, ${at[1]} is fully transparent: it has no colour to pick.`);
    return;
  }
  clearErrors();
  const rgb = [p[0], p[1], p[2]], result = showRgb(rgb, null), rendered = toHex(result.rendered);
  $('picture-triple').textContent = result.hsb.join(', ');
  $('picture-distance').textContent = result.distance;
  $('picture-rendered').textContent = rendered;
  $('picture-rendered-swatch').style.backgroundColor = rendered;
  $('picture-copy-status').textContent = '';
  $('picture-copy').disabled = false;
  $('picture-said').textContent = `Pixel ${at[0]}, ${at[1]}, ${toHex(rgb)}: hue, saturation, brightness ${result.hsb.join(', ')}; ` +
    `distance ${result.distance}; renders ${rendered}.`;
  $('picture-answer').scrollIntoView({ block: 'nearest' });
  pictureStatus(`Picked pixel ${at[0]}, ${at[1]}: ${toHex(rgb)}.`);
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

// --- The picture as the lights render it ----------------------------------------

// The distance view's colours: 256 steps from a distance of 0 to kScale (and
// beyond), along the legend's scale, which darkens as it nears 0.
const kStops = [[68, 1, 84], [59, 82, 139], [33, 145, 140], [94, 201, 98], [253, 231, 37]];
const ramp = Array.from({ length: 256 }, (_, k) => {
  const t = (k / 255) * (kStops.length - 1), i = Math.min(kStops.length - 2, Math.floor(t)), f = t - i;
  return kStops[i].reduce((rgb, v, j) => rgb << 8 | Math.round(v + (kStops[i + 1][j] - v) * f), 0);
});

// The workers that search, one a core (the search is all arithmetic, and
// nothing else runs while they do), each with its own copy of the module,
// started from the module's own text in the page.
let searchers = null;
async function searchWorkers() {
  if (searchers) return searchers;
  const script = $('tintwise-module'), module = script.src ? await (await fetch(script.src)).text() : script.textContent;
  const main = () => {
    const ready = createTintwise();
    self.onmessage = async ({ data }) => {
      const m = await ready, n = data.colours.length, p = m._malloc(16 * n);
      m.HEAPU32.set(data.colours, p >> 2);
      m._tintwise_nearest_batch(p, n, p + 4 * n, p + 8 * n);
      const rendered = m.HEAPU32.slice((p >> 2) + n, (p >> 2) + 2 * n), distance = m.HEAPF64.slice((p >> 3) + n, (p >> 3) + 2 * n);
      m._free(p);
      postMessage({ job: data.job, chunk: data.chunk, rendered, distance }, [rendered.buffer, distance.buffer]);
    };
  };
  const url = URL.createObjectURL(new Blob([module, `\n(${main})();`], { type: 'text/javascript' }));
  const count = Math.max(1, Math.min(navigator.hardwareConcurrency || 2, 8));
  searchers = Array.from({ length: count }, () => new Worker(url));
  searchers.forEach((w) => { w.busy = 0; });
  return searchers;
}

// Searches the picture's distinct colours, each once, in chunks spread over
// the workers. Stops, keeping what is answered, when the picture or the view
// changes (stopSearch); asked again, it goes on where it stopped. Resolves
// true once every colour is answered.
let search = null, jobs = 0; // the search running: { stop }
function stopSearch() { if (search) search.stop(); }
async function searchPicture(p) {
  if (!p.list) {
    p.job = ++jobs;
    pictureStatus(`Rendering ${p.name}: listing its distinct colours…`);
    const { list } = await ask({ distinct: true });
    if (picture !== p) return false;
    p.list = list;
    p.rendered = new Uint32Array(list.length);
    p.distance = new Float64Array(list.length);
    p.chunks = Math.ceil(list.length / kChunk);
    p.answered = new Uint8Array(p.chunks);
    p.done = 0;
    p.started = performance.now();
  }
  const workers = await searchWorkers();
  return new Promise((finish) => {
    let running = true, next = 0;
    const progress = $('picture-progress');
    // Two chunks in flight a worker, so that none waits between them. A chunk
    // asked before a stop is still taken when it comes (its answer is good),
    // and not asked again.
    const pump = () => {
      for (const w of workers) {
        while (running && w.busy < 2) {
          while (next < p.chunks && p.answered[next]) ++next;
          if (next >= p.chunks) return;
          const chunk = next++;
          ++w.busy;
          p.answered[chunk] = 2; // asked
          w.postMessage({ job: p.job, chunk, colours: p.list.subarray(chunk * kChunk, (chunk + 1) * kChunk) });
        }
      }
    };
    const take = (w, { job, chunk, rendered, distance }) => {
      --w.busy;
      if (job !== p.job) return; // an earlier picture's
      p.rendered.set(rendered, chunk * kChunk);
      p.distance.set(distance, chunk * kChunk);
      p.answered[chunk] = 1;
      ++p.done;
      progress.value = p.done;
      $('picture-progress-text').textContent = `${Math.min(p.done * kChunk, p.list.length)} of ${p.list.length} distinct colours answered`;
      if (p.done === p.chunks) finish(true);
      else if (running) pump();
    };
    for (const w of workers) w.onmessage = (e) => take(w, e.data);
    search = { stop: () => { running = false; finish(false); } };
    progress.max = p.chunks;
    progress.value = p.done;
    progress.classList.remove('unseen');
    pictureStatus(`Rendering ${p.name}: answering its ${p.list.length} distinct colours on ${workers.length} workers…`);
    if (p.done === p.chunks) finish(true);
    else pump();
  }).finally(() => {
    $('picture-progress').classList.add('unseen');
    $('picture-progress-text').textContent = '';
  });
}

// Shows the view chosen: the picture as stored, as rendered, or each pixel's
// distance. #picture carries data-mode once that view is fully drawn.
async function showView() {
  const p = picture, mode = $('picture-mode').value, canvas = $('picture');
  if (!p || !p.width) return;
  stopSearch();
  delete canvas.dataset.mode;
  $('picture-legend').classList.toggle('unseen', mode !== 'distance');
  if (mode !== 'stored' && !p.summary) {
    if (!(await searchPicture(p)) || picture !== p) return;
    // The answers go to the picture's worker (moved, not copied), which keeps
    // them as a table, and says how many of the picture's pixels the model
    // renders exactly and which colour lies farthest from what it renders.
    const seconds = ((performance.now() - p.started) / 1000).toFixed(1), n = p.list.length;
    const { exact, counted, far, distance } = await ask({ answers: { rendered: p.rendered, distance: p.distance }, scale: kScale }, [p.rendered.buffer, p.distance.buffer]);
    p.summary = `${p.name}: ${exact} of ${counted} pixels (${((exact / counted) * 100).toFixed(1)}%) are rendered exactly, to the byte; ` +
      `the farthest colour, ${toHex([far >> 16, (far >> 8) & 255, far & 255])}, lies ${distance.toFixed(6)} RGB units from what it renders ` +
      `(${n} distinct colours). Answered in ${seconds} s.`;
  }
  if (picture !== p || $('picture-mode').value !== mode) return;
  pictureStatus(mode === 'stored' ? `${p.name}: ${p.width} × ${p.height} pixels, as stored.` : `Drawing ${p.name} ${mode === 'rendered' ? 'as rendered' : 'by distance'}…`);
  const { bitmap } = await ask({ view: mode, ramp, shown: kShown });
  if (!bitmap || picture !== p || $('picture-mode').value !== mode) return;
  canvas.getContext('bitmaprenderer').transferFromImageBitmap(bitmap);
  canvas.dataset.mode = mode;
  if (mode !== 'stored') pictureStatus(p.summary);
}

function setMode(mode) {
  $('picture-mode').value = mode;
  $('picture-legend').classList.toggle('unseen', mode !== 'distance');
}

// Saves the view shown as a PNG of the picture's own size, encoded by the
// picture's worker from all its pixels (the page holds only a smaller copy).
async function downloadView() {
  const p = picture, mode = $('picture').dataset.mode;
  if (!p || !mode) return;
  const { png } = await ask({ png: true });
  const a = document.createElement('a');
  a.href = URL.createObjectURL(png);
  a.download = `${p.name.replace(/\.[^.]*$/, '')}-${mode}.png`;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// --- The picture's worker -------------------------------------------------------

// The worker that holds the picture's pixels (so that no task of the page
// handles them all): it answers for an area of them, lists the picture's
// distinct colours, draws its views, and counts its colours; where there are
// more than asked for, it reduces them by median cut (Heckbert's): boxes of
// colours split along their widest channel at the pixel-weighted median until
// there are as many boxes as colours asked for, each then giving its
// pixel-weighted mean. Deterministic: ties are broken by the colour's value.
// Fully transparent pixels are not counted. Long work yields between bands of
// rows, so that pixels asked for meanwhile are answered at once.
function workerMain() {
  let context = null; // the picture, drawn once
  let table = null;   // once answered: 0xCCRRGGBB for each colour, its rendered colour and its distance's step C on the legend's scale
  let listed = null;  // the pixels of each colour, and their count, as last listed
  let drawn = null;   // the view last drawn, all its pixels, for its PNG
  // A copy for the page to show, no side longer than `most`: handing a
  // compositor all of a large picture's pixels takes the page's thread long.
  const shown = (source, most) => {
    const { width, height } = source, scale = Math.min(1, most / Math.max(width, height));
    return scale === 1 ? createImageBitmap(source)
      : createImageBitmap(source, { resizeWidth: Math.max(1, Math.round(width * scale)), resizeHeight: Math.max(1, Math.round(height * scale)), resizeQuality: 'high' });
  };
  const pause = () => new Promise((go) => setTimeout(go, 0));
  // Calls `each(pixels, first)` for each band of rows, first the index of its first pixel; false if the picture changed.
  const bands = async (each) => {
    const ctx = context, { width, height } = ctx.canvas;
    for (let y = 0; y < height; y += 256) {
      const band = ctx.getImageData(0, y, width, Math.min(256, height - y));
      each(band, y * width, y);
      await pause();
      if (context !== ctx) return false;
    }
    return true;
  };
  const count = async () => { // pixels of each colour
    const counts = new Uint32Array(1 << 24);
    let counted = 0;
    const whole = await bands(({ data }) => {
      for (let i = 0; i < data.length; i += 4) {
        if (data[i + 3] === 0) continue;
        ++counts[data[i] << 16 | data[i + 1] << 8 | data[i + 2]];
        ++counted;
      }
    });
    return whole && { counts, counted };
  };
  const distinctOf = (counts) => {
    let distinct = 0;
    for (let c = 0; c < counts.length; ++c) if (counts[c]) ++distinct;
    const list = new Uint32Array(distinct);
    for (let c = 0, k = 0; c < counts.length; ++c) if (counts[c]) list[k++] = c;
    return list;
  };
  const colours = async (wanted, order) => {
    const counted = await count();
    if (!counted) return {};
    const { counts } = counted, list = distinctOf(counts), distinct = list.length;
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
    const found = new Map(); // colour -> [pixels, first appearance]; two boxes of the same mean count as one colour
    for (const box of boxes) {
      const sum = [0, 0, 0];
      let n = 0;
      for (let i = box.lo; i < box.hi; ++i) {
        const c = list[i], w = counts[c];
        for (let k = 0; k < 3; ++k) sum[k] += channel(c, k) * w;
        n += w;
      }
      if (n === 0) continue;
      const mean = sum.reduce((c, s) => c << 8 | Math.round(s / n), 0);
      if (!found.has(mean)) found.set(mean, [0, Infinity]);
      found.get(mean)[0] += n;
      for (let i = box.lo; i < box.hi; ++i) counts[list[i]] = mean + 1; // from here on, each colour's entry
    }
    if (order === 'appearance' && !(await bands(({ data }, first) => { // the first pixel of each entry, in reading order
      for (let i = 0; i < data.length; i += 4) {
        const entry = data[i + 3] === 0 ? undefined : found.get(counts[data[i] << 16 | data[i + 1] << 8 | data[i + 2]] - 1);
        if (entry && entry[1] === Infinity) entry[1] = first + i / 4;
      }
    }))) return {};
    const sorted = [...found].sort(order === 'appearance' ? (a, b) => a[1][1] - b[1][1] : (a, b) => b[1][0] - a[1][0] || a[0] - b[0]);
    return { list: sorted.map(([c, [n]]) => [c, n]), counted: counted.counted, distinct };
  };
  const view = async (mode, ramp, most) => {
    const ctx = context, { width, height } = ctx.canvas;
    if (mode === 'stored') return (drawn = ctx.canvas), { bitmap: await shown(ctx.canvas, most) };
    const out = new OffscreenCanvas(width, height), into = out.getContext('2d');
    const whole = await bands((band, first, y) => {
      const { data } = band;
      for (let i = 0; i < data.length; i += 4) {
        if (data[i + 3] === 0) continue;
        const t = table[data[i] << 16 | data[i + 1] << 8 | data[i + 2]], rgb = mode === 'rendered' ? t : ramp[t >>> 24];
        data[i] = (rgb >> 16) & 255;
        data[i + 1] = (rgb >> 8) & 255;
        data[i + 2] = rgb & 255;
      }
      into.putImageData(band, 0, y);
    });
    return whole ? ((drawn = out), { bitmap: await shown(out, most) }) : {};
  };
  const handle = async (data) => {
    if (data.open) {
      // Decoded here, not in the page (decoding a photo takes a good part of
      // a second), with no colour conversion and alpha kept apart: the values
      // the file stores; the page is sent a copy to show.
      let bitmap;
      context = table = listed = drawn = null;
      try {
        bitmap = await createImageBitmap(data.open, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      } catch (e) {
        return {};
      }
      const { width, height } = bitmap;
      if (width * height > data.max) {
        bitmap.close();
        return { width, height };
      }
      context = new OffscreenCanvas(width, height).getContext('2d', { willReadFrequently: true });
      context.drawImage(bitmap, 0, 0);
      bitmap.close();
      drawn = context.canvas;
      return { bitmap: await shown(context.canvas, data.shown), width, height };
    }
    if (data.area) {
      const half = data.size >> 1;
      return { area: context.getImageData(data.area[0] - half, data.area[1] - half, data.size, data.size).data };
    }
    if (data.distinct) {
      listed = await count();
      return listed ? { list: distinctOf(listed.counts) } : {};
    }
    if (data.answers) { // each distinct colour's answer, in the order listed: kept as a table, and the pixels rendered exactly counted
      const counted = listed, list = distinctOf(counted.counts), { rendered, distance } = data.answers;
      listed = null;
      table = new Uint32Array(1 << 24);
      let exact = 0, far = 0;
      for (let i = 0; i < list.length; ++i) { // the distance's step: 255 steps from 0 to the top of the legend's scale
        table[list[i]] = (Math.min(255, Math.round((distance[i] * 255) / data.scale)) << 24 | rendered[i]) >>> 0;
        if (rendered[i] === list[i]) exact += counted.counts[list[i]];
        if (distance[i] > distance[far]) far = i;
      }
      return { exact, counted: counted.counted, far: list[far], distance: distance[far] };
    }
    if (data.view) return view(data.view, data.ramp, data.shown);
    if (data.png) return { png: await drawn.convertToBlob({ type: 'image/png' }) };
    return colours(data.wanted, data.order);
  };
  self.onmessage = async ({ data }) => {
    const answer = await handle(data);
    postMessage({ id: data.id, ...answer }, answer.bitmap ? [answer.bitmap] : ArrayBuffer.isView(answer.list) ? [answer.list.buffer] : []);
  };
}

let worker = null;
function pictureWorker() {
  if (!worker) {
    worker = new Worker(URL.createObjectURL(new Blob([`(${workerMain})()`], { type: 'text/javascript' })));
    worker.onmessage = ({ data }) => {
      answers.get(data.id)(data);
      answers.delete(data.id);
    };
  }
  return worker;
}

// --- Colours of the picture ----------------------------------------------------

// A share of the pixels as a row's name: "23.4%", "<0.1%".
const share = (n, total) => (n * 1000 < total ? '<0.1%' : `${(Math.round((n / total) * 1000) / 10).toFixed(1)}%`);

// The bytes of an indexed picture (one whose reading gives a colour table),
// or null for any other file.
async function indexedTable(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const count = tintwise.readPalette(bytes, file.name || 'pasted picture', false);
  return count > 0 && ['png', 'gif', 'bmp', 'pcx'].includes(tintwise.paletteFormat()) && tintwise.paletteNumber(0, 7) === 2 ? bytes : null;
}

// Fills the palette table: an indexed picture's stored colour table, read by
// the same reader as tintwise-palette; any other picture's colours, reduced
// to as many as asked for, each named by its share of the pixels, listed by
// share or in the order they first appear (a palette drawn as swatches).
async function listPictureColours() {
  if (!picture) return;
  const bytes = await indexedTable(picture.file);
  if (bytes) {
    convertPalette(bytes, picture.name, 'picture', false);
    pictureStatus(`${picture.name} is an indexed picture: its stored colour table is listed under “A palette”.`);
    return;
  }
  const p = picture, wanted = Math.min(256, Math.max(2, Math.round(Number($('picture-count').value)) || 16));
  $('picture-count').value = String(wanted);
  $('picture-colours').disabled = true;
  pictureStatus(`Counting the colours of ${p.name}…`);
  const { list, counted, distinct } = await ask({ wanted, order: $('picture-order').value });
  $('picture-colours').disabled = false;
  if (picture !== p || !list) return;
  if (counted === 0) {
    pictureStatus(`${p.name} is fully transparent: it has no colours to list.`);
    return;
  }
  const lines = list.map(([rgb, n]) => `#${rgb.toString(16).padStart(6, '0')} ${share(n, counted)}\n`).join('');
  convertPalette(new TextEncoder().encode(lines), p.name, 'picture', false);
  pictureStatus(`${p.name}: ${distinct} distinct colour${distinct === 1 ? '' : 's'}` +
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
  new ResizeObserver(fitPicture).observe($('picture-frame'));
  $('picture-colours').addEventListener('click', listPictureColours);
  $('picture-mode').addEventListener('change', showView);
  $('picture-download').addEventListener('click', downloadView);
  $('picture-copy').addEventListener('click', () => copyTriple($('picture-triple').textContent, $('picture-copy-status')));
}
