// The page over the WebAssembly build: the calculation with its list and
// plot, and the convergence study with its table and chart. No network use
// after loading, no storage.
'use strict';

const METHODS = ['Euler', 'Euler (End points)', 'Euler (Mid point)', 'Runge-Kutta 4', 'Runge-Kutta-Fehlberg',
                 'Runge-Kutta-Merson', 'Runge-Kutta-Gill'];
const ORDERS = [1, 2, 2, 4, 5, 4, 4];
// Okabe and Ito's colours, apart for colour-blind readers; one per method.
const COLOURS = ['#000000', '#e69f00', '#56b4e9', '#009e73', '#0072b2', '#d55e00', '#cc79a7'];

const $ = (id) => document.getElementById(id);

function methodChoices(container, type, name) {
  METHODS.forEach((label, i) => {
    const choice = document.createElement('label');
    const input = document.createElement('input');
    input.type = type;
    input.name = name;
    input.value = String(i);
    input.checked = type === 'checkbox' || i === 0;
    choice.append(input, ' ' + label);
    container.append(choice);
  });
}

// Tabs: click, or the arrow keys between them.
function tabs() {
  const all = [...document.querySelectorAll('[role="tab"]')];
  const select = (tab) => {
    for (const t of all) {
      const on = t === tab;
      t.setAttribute('aria-selected', String(on));
      t.tabIndex = on ? 0 : -1;
      $(t.getAttribute('aria-controls')).hidden = !on;
    }
    tab.focus();
  };
  all.forEach((tab, i) => {
    tab.addEventListener('click', () => select(tab));
    tab.addEventListener('keydown', (e) => {
      if (e.key === 'ArrowRight' || e.key === 'ArrowLeft') {
        select(all[(i + (e.key === 'ArrowRight' ? 1 : all.length - 1)) % all.length]);
        e.preventDefault();
      }
    });
  });
}

function start(M) {
  const text = (pointer) => M.UTF8ToString(pointer);
  M._kv_resize($('plot').width, $('plot').height);

  // The picture: the module's pixels (0xAARRGGBB) onto the canvas.
  function paint() {
    const w = M._kv_width(), h = M._kv_height();
    const pixels = new Uint32Array(M.HEAPU32.buffer, M._kv_pixels(), w * h);
    const image = $('plot').getContext('2d').createImageData(w, h);
    for (let i = 0; i < w * h; ++i) {
      const p = pixels[i];
      image.data[4 * i] = (p >>> 16) & 255;
      image.data[4 * i + 1] = (p >>> 8) & 255;
      image.data[4 * i + 2] = p & 255;
      image.data[4 * i + 3] = 255;
    }
    $('plot').getContext('2d').putImageData(image, 0, 0);
  }

  $('calculate-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const method = Number(document.querySelector('input[name="method"]:checked').value);
    const failed = M.ccall('kv_calculate', 'number', ['string', 'string', 'number'],
                           [$('x1').value, $('N').value, method]);
    $('failure').textContent = failed ? text(M._kv_failure()) : '';
    $('h').textContent = text(M._kv_step_text());
    // New lines only: the list keeps every calculation.
    const list = $('list');
    for (let i = list.children.length; i < M._kv_line_count(); ++i) {
      const item = document.createElement('li');
      item.textContent = text(M._kv_line(i));
      list.append(item);
    }
    paint();
  });
  paint();
  document.body.dataset.ready = 'true';

  $('study-form').addEventListener('submit', (e) => {
    e.preventDefault();
    $('study-failure').textContent = '';
    const steps = studySteps($('study-steps').value);
    const x1 = Number($('study-x1').value);
    const methods = [...document.querySelectorAll('input[name="study-method"]:checked')].map((c) => c.value);
    if (typeof steps === 'string' || !Number.isFinite(x1) || methods.length === 0) {
      $('study-failure').textContent = typeof steps === 'string' ? steps
        : !Number.isFinite(x1) ? 'x1: "' + $('study-x1').value + '" is not a number.' : 'Choose at least one method.';
      return;
    }
    const csv = M.ccall('kv_study', 'string', ['number', 'string', 'string'], [x1, steps.join(','), methods.join(',')]);
    const rows = csv.trim().split('\n').map((line) => line.split(','));
    studyTable(rows, (N) => M._kv_study_floor(N));
    studyChart(rows, (N) => M._kv_study_floor(N), M._kv_study_has_reference() === 1, x1);
  });
}

// "20,40,80" or "10..10240": whole numbers of steps, or a message naming the text.
function studySteps(value) {
  const whole = (t) => /^\s*\d+\s*$/.test(t) && Number(t) >= 1 && Number(t) <= 2147483646 ? Number(t) : null;
  let steps = [];
  if (value.includes('..')) {
    const [a, b] = value.split('..').map(whole);
    if (a === null || b === null || b < a) return 'N: "' + value + '" is not a range such as 10..10240.';
    for (let n = a; n <= b; n *= 2) steps.push(n);
  } else {
    steps = value.split(',').map(whole);
    if (steps.some((n) => n === null)) return 'N: "' + value + '" is not a list of whole numbers such as 20,40,80.';
  }
  if (steps.length > 40) return 'N: "' + value + '" asks for more than 40 step counts.';
  return [...new Set(steps)].sort((p, q) => p - q);
}

function studyTable(rows, floor) {
  const table = $('study-table');
  table.replaceChildren();
  rows.forEach((cells, r) => {
    const tr = document.createElement('tr');
    cells.forEach((cell, c) => {
      const td = document.createElement(r === 0 ? 'th' : 'td');
      const number = Number(cell);
      td.textContent = r > 0 && c === 5 && cell !== '' ? number.toExponential(3)
        : r > 0 && c === 6 && cell !== '' ? number.toFixed(2)
        : r > 0 && c === 6 && cells[5] !== '' && Number(cells[5]) <= floor(Number(cells[1])) ? 'round-off' : cell;
      tr.append(td);
    });
    table.append(tr);
  });
}

// The errors on logarithmic scales: a line and markers per method (hollow at
// the floor), dashed slopes of orders 1, 2, 4 and 5, the floor as a band.
function studyChart(rows, floor, hasReference, x1) {
  const canvas = $('study-chart');
  const g = canvas.getContext('2d');
  const W = canvas.width, H = canvas.height;
  const area = {left: 90, top: 50, right: W - 260, bottom: H - 70};
  g.fillStyle = '#fff';
  g.fillRect(0, 0, W, H);
  g.fillStyle = '#000';
  g.font = '15px sans-serif';
  g.textAlign = 'center';
  g.fillText('Error at x1 = ' + x1 + ' against the number of steps N', W / 2, 28);
  // method,N,h,y1,y2,error,order: an error without an order is at the floor
  // (or the first of its method, which the chart tells apart by the floor).
  const runs = rows.slice(1).map((c) => ({name: c[0], N: Number(c[1]), error: c[5] === '' ? NaN : Number(c[5])}));
  for (const r of runs) r.floored = r.error <= floor(r.N);
  const names = [...new Set(runs.map((r) => r.name))];
  const drawn = runs.filter((r) => r.error > 0);
  if (!hasReference || drawn.length === 0) {
    g.fillText(hasReference ? 'No error to show' : 'No reference: the solution grows without bound before x1',
               (area.left + area.right) / 2, (area.top + area.bottom) / 2);
    return;
  }
  const Ns = [...new Set(runs.map((r) => r.N))].sort((a, b) => a - b);
  const lg = Math.log10;
  const span = Math.max(lg(Ns[Ns.length - 1]) - lg(Ns[0]), 0.5);
  const x0 = lg(Ns[0]) - span * 0.04, xEnd = lg(Ns[Ns.length - 1]) + span * 0.04;
  const eLow = Math.min(...drawn.map((r) => Math.min(r.error, floor(r.N))));
  const eHigh = Math.max(...drawn.map((r) => r.error));
  const y0 = Math.floor(lg(eLow)), yEnd = Math.max(Math.ceil(lg(eHigh)), y0 + 1);
  const at = (N, e) => [area.left + (lg(N) - x0) / (xEnd - x0) * (area.right - area.left),
                        area.bottom - (lg(e) - y0) / (yEnd - y0) * (area.bottom - area.top)];
  g.save();
  g.beginPath();
  g.rect(area.left, area.top, area.right - area.left, area.bottom - area.top);
  g.clip();
  // The floor band.
  g.fillStyle = '#e1e1e1';
  g.beginPath();
  g.moveTo(area.left, area.bottom);
  for (let i = 0; i <= 64; ++i) {
    const N = 10 ** (x0 + (xEnd - x0) * i / 64);
    g.lineTo(...at(N, Math.max(floor(N), 10 ** y0)));
  }
  g.lineTo(area.right, area.bottom);
  g.fill();
  // Grid: the step counts across, decades upwards.
  g.strokeStyle = '#d7d7d7';
  g.lineWidth = 1;
  for (const N of Ns) {
    const [x] = at(N, 1);
    g.beginPath(); g.moveTo(x, area.top); g.lineTo(x, area.bottom); g.stroke();
  }
  for (let d = y0; d <= yEnd; ++d) {
    const [, y] = at(1, 10 ** d);
    g.beginPath(); g.moveTo(area.left, y); g.lineTo(area.right, y); g.stroke();
  }
  // Guide slopes through the first point of the first method of each order.
  g.setLineDash([6, 4]);
  g.strokeStyle = '#6e6e6e';
  g.fillStyle = '#555';
  g.textAlign = 'left';
  for (const order of [1, 2, 4, 5]) {
    const anchor = drawn.find((r) => ORDERS[methodIndex(r.name)] === order);
    if (!anchor) continue;
    const N1 = Ns[Ns.length - 1];
    const a = at(anchor.N, anchor.error * 4), b = at(N1, anchor.error * 4 * (anchor.N / N1) ** order);
    g.beginPath(); g.moveTo(...a); g.lineTo(...b); g.stroke();
    g.fillText('order ' + order, a[0] + (b[0] - a[0]) * 0.3 + 6, a[1] + (b[1] - a[1]) * 0.3 - 6);
  }
  g.setLineDash([]);
  // The methods.
  for (const name of names) {
    const colour = COLOURS[methodIndex(name)];
    const points = drawn.filter((r) => r.name === name);
    g.strokeStyle = colour;
    g.lineWidth = 1.6;
    g.beginPath();
    points.forEach((r, i) => (i ? g.lineTo : g.moveTo).call(g, ...at(r.N, r.error)));
    g.stroke();
    for (const r of points) {
      g.beginPath();
      g.arc(...at(r.N, r.error), 4.5, 0, 2 * Math.PI);
      g.fillStyle = r.floored ? '#fff' : colour;
      g.fill();
      g.stroke();
    }
  }
  g.restore();
  // Frame, labels and legend.
  g.strokeStyle = '#000';
  g.lineWidth = 1;
  g.strokeRect(area.left, area.top, area.right - area.left, area.bottom - area.top);
  g.fillStyle = '#000';
  g.font = '13px sans-serif';
  g.textAlign = 'center';
  for (const N of Ns) g.fillText(String(N), at(N, 1)[0], area.bottom + 20);
  g.fillText('number of steps N', (area.left + area.right) / 2, area.bottom + 48);
  g.textAlign = 'right';
  for (let d = y0; d <= yEnd; ++d) g.fillText('1e' + d, area.left - 8, at(1, 10 ** d)[1] + 4);
  g.textAlign = 'left';
  names.forEach((name, i) => {
    const y = area.top + 10 + 40 * i, left = area.right + 18, colour = COLOURS[methodIndex(name)];
    g.fillStyle = colour;
    g.beginPath(); g.arc(left + 10, y, 5, 0, 2 * Math.PI); g.fill();
    g.fillStyle = '#000';
    g.fillText(name, left + 24, y + 4);
    const orders = rows.slice(1).filter((c) => c[0] === name && c[6] !== '').map((c) => Number(c[6]))
      .sort((a, b) => a - b);
    g.fillStyle = '#444';
    g.fillText(orders.length ? 'observed order ' + orders[Math.floor(orders.length / 2)].toFixed(2)
      : 'no order measured', left + 24, y + 20);
  });
  g.fillText('Hollow markers: errors at the floor.', area.right + 18, area.top + 10 + 40 * names.length);
}

const RESULT_NAMES = ['Euler Method', 'Euler End-Point Method', 'Euler Mid-Point Method', 'Runge-Kutta-4 Method',
                      'Runge-Kutta-Fehlberg Method', 'Runge-Kutta-Merson Method', 'Runge-Kutta-Gill Method'];
function methodIndex(name) { return Math.max(0, RESULT_NAMES.indexOf(name)); }

methodChoices($('methods'), 'radio', 'method');
methodChoices($('study-methods'), 'checkbox', 'study-method');
tabs();
KavrinModule().then(start);
