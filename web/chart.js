// The lights' colours: the chart tintwise-gamut draws (hue across,
// saturation down, at the slider's brightness), its pixels the module's own,
// as a picker. A cell pointed at, or reached with the keys, shows its triple
// and colour (said to a screen reader); one chosen goes to "A triple's
// colour" and to the Lights' recolour, as the triple itself.
'use strict';

const kChartCell = 3; // pixels a cell: the chart fits a page's width
let chart = null;     // the chart drawn: its layout, pixels and brightness
let chartAt = { column: 0, row: 0 };

function chartTriple() { return [chartAt.column, chartAt.row, chart.brightness]; }

// The cell's colour: its top left pixel of the chart.
function chartHex() {
  const i = ((chart.top + chartAt.row * chart.cell) * chart.width + chart.left + chartAt.column * chart.cell) * 3;
  return toHex([chart.rgb[i], chart.rgb[i + 1], chart.rgb[i + 2]]);
}

function paintChart() {
  const context = $('chart').getContext('2d');
  context.putImageData(chart.image, 0, 0);
  const x = chart.left + chartAt.column * chart.cell, y = chart.top + chartAt.row * chart.cell, side = chart.cell;
  context.lineWidth = 1;
  context.strokeStyle = '#000';
  context.strokeRect(x - 1.5, y - 1.5, side + 3, side + 3);
  context.strokeStyle = '#fff';
  context.strokeRect(x - 2.5, y - 2.5, side + 5, side + 5);
}

// Shows the cell the cursor is on; `say`: to a screen reader too.
function showChartCell(say) {
  const triple = chartTriple(), hex = chartHex();
  $('chart-cell').textContent = triple.join(', ');
  $('chart-hex').textContent = hex;
  $('chart-swatch').style.backgroundColor = hex;
  if (say) $('chart-said').textContent = `Hue ${triple[0]}, saturation ${triple[1]}, brightness ${triple[2]}: ${hex}`;
  paintChart();
}

function drawChart() {
  const brightness = Number($('chart-brightness').value);
  $('chart-brightness-value').textContent = String(brightness);
  const picture = tintwise.chart(0, brightness, kChartCell);
  const image = new ImageData(picture.width, picture.height);
  for (let i = 0, j = 0; i < picture.rgb.length; i += 3, j += 4) {
    image.data[j] = picture.rgb[i];
    image.data[j + 1] = picture.rgb[i + 1];
    image.data[j + 2] = picture.rgb[i + 2];
    image.data[j + 3] = 255;
  }
  chart = { ...picture, image, brightness };
  const canvas = $('chart');
  canvas.width = picture.width;
  canvas.height = picture.height;
  canvas.setAttribute('aria-label', `Chart of the lights' colours at brightness ${brightness}: hue across, saturation down`);
  showChartCell(false);
}

// Takes the cell's triple to "A triple's colour" and to the Lights' recolour.
function chooseChartCell() {
  const triple = chartTriple(), hex = chartHex();
  tripleFields.forEach(([id], i) => { $(id).value = String(triple[i]); });
  onTriple();
  takeTripleForLights(triple, hex);
  $('chart-status').textContent = `Taken: ${triple.join(', ')}, to “A triple's colour” and to the Lights' recolour.`;
}

// The cell under a pointer event, or null off the cells.
function chartCellAt(e) {
  const canvas = $('chart'), box = canvas.getBoundingClientRect();
  const x = (e.clientX - box.left) * canvas.width / box.width, y = (e.clientY - box.top) * canvas.height / box.height;
  const column = Math.floor((x - chart.left) / chart.cell), row = Math.floor((y - chart.top) / chart.cell);
  return column >= 0 && column < 255 && row >= 0 && row < 256 ? { column, row } : null;
}

const kChartKeys = {
  ArrowLeft: (n) => ({ column: -n }), ArrowRight: (n) => ({ column: n }), ArrowUp: (n) => ({ row: -n }), ArrowDown: (n) => ({ row: n }),
  Home: () => ({ column: -255 }), End: () => ({ column: 255 }), PageUp: () => ({ row: -16 }), PageDown: () => ({ row: 16 }),
};

function startChart() {
  drawChart();
  $('chart-brightness').addEventListener('input', drawChart);
  const canvas = $('chart');
  canvas.addEventListener('mousemove', (e) => {
    const at = chartCellAt(e);
    if (!at || (at.column === chartAt.column && at.row === chartAt.row)) return;
    chartAt = at;
    showChartCell(false);
  });
  canvas.addEventListener('click', (e) => {
    const at = chartCellAt(e);
    if (!at) return;
    chartAt = at;
    showChartCell(false);
    chooseChartCell();
  });
  canvas.addEventListener('keydown', (e) => {
    if (e.key === 'Enter' || e.key === ' ') {
      e.preventDefault();
      chooseChartCell();
      return;
    }
    const move = kChartKeys[e.key];
    if (!move) return;
    e.preventDefault();
    const step = move(e.shiftKey ? 16 : 1);
    chartAt = {
      column: Math.min(254, Math.max(0, chartAt.column + (step.column || 0))),
      row: Math.min(255, Math.max(0, chartAt.row + (step.row || 0))),
    };
    showChartCell(true);
  });
  $('chart-download').addEventListener('click', () => {
    const canvas = document.createElement('canvas'); // the chart's own pixels, without the cursor
    canvas.width = chart.width;
    canvas.height = chart.height;
    canvas.getContext('2d').putImageData(chart.image, 0, 0);
    canvas.toBlob((blob) => {
      const a = document.createElement('a');
      a.href = URL.createObjectURL(blob);
      a.download = `tintwise-chart-brightness-${chart.brightness}.png`;
      document.body.appendChild(a);
      a.click();
      a.remove();
      setTimeout(() => URL.revokeObjectURL(a.href), 1000);
    }, 'image/png');
  });
}
