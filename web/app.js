// The page: the calculation with its list and plot, and the convergence
// study with its table and chart. The work runs in a Web Worker (worker.js)
// over the WebAssembly build; the page keeps its own copy of what it shows
// (the list, h, the picture, the last study), so that a cancelled or broken
// worker can be replaced by a fresh one without losing anything. No network
// use after loading, no storage.
'use strict';

const $ = (id) => document.getElementById(id);

// The worker, and the answers it owes.
class Engine {
  constructor(onBroken) {
    this.onBroken = onBroken;
    this.next = 1;
    this.start();
  }

  start() {
    this.pending = new Map();
    this.worker = new Worker('worker.js');
    this.worker.onmessage = (event) => {
      const answer = event.data;
      const job = this.pending.get(answer.id);
      if (!job) return;
      if (answer.type === 'progress') {
        if (job.onProgress) job.onProgress(answer.done, answer.total);
        return;
      }
      this.pending.delete(answer.id);
      if (answer.broken !== undefined) {
        this.restart();
        job.reject(new Error(answer.broken));
      } else {
        job.resolve(answer);
      }
    };
    // A worker that dies (a trap, no memory) is replaced; its jobs fail.
    this.worker.onerror = (event) => {
      event.preventDefault();
      const message = event.message || 'the worker stopped';
      const jobs = [...this.pending.values()];
      this.restart();
      jobs.forEach((job) => job.reject(new Error(message)));
    };
    if (this.size) this.ask('resize', this.size);
    if (this.system) this.ask('system', this.system);
  }

  // Ends the worker and everything it was doing; a fresh one takes over.
  restart() {
    this.worker.terminate();
    const jobs = [...this.pending.values()];
    this.start();
    jobs.forEach((job) => job.reject(new Error('cancelled')));
    if (this.onBroken) this.onBroken();
  }

  ask(type, data = {}, onProgress = null) {
    if (type === 'resize') this.size = data;
    if (type === 'system') this.system = data;

    const id = this.next++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, {resolve, reject, onProgress});
      this.worker.postMessage({...data, id, type});
    });
  }
}

let engine = null;
let methods = [];
let busy = false;

function setBusy(on) {
  busy = on;
  $('calculate').disabled = on;
  $('run-study').disabled = on;
}

function methodChoices(container, type, name) {
  methods.forEach((method, i) => {
    const choice = document.createElement('label');
    const input = document.createElement('input');
    input.type = type;
    input.name = name;
    input.value = String(i);
    input.checked = type === 'checkbox' || i === 0;
    choice.append(input, ' ' + method.caption);
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

// The picture's size in logical pixels and the screen's pixel ratio.
function pictureSize() {
  const canvas = $('plot');
  return {width: canvas.clientWidth || 317, height: canvas.clientHeight || 245,
          ratio: window.devicePixelRatio || 1};
}

function paintPicture(picture) {
  const canvas = $('plot');
  canvas.width = picture.width;
  canvas.height = picture.height;
  canvas.getContext('2d').putImageData(new ImageData(picture.rgba, picture.width, picture.height), 0, 0);
}

// Shows progress and Cancel once the work takes longer than a moment.
function showProgress(bar, cancel, delay) {
  const timer = setTimeout(() => {
    bar.hidden = false;
    cancel.hidden = false;
  }, delay);
  return () => {
    clearTimeout(timer);
    bar.hidden = true;
    cancel.hidden = true;
    bar.removeAttribute('value');
  };
}

// What a worker that stopped leaves to say; everything shown stays.
function stoppedText(error) {
  return error.message === 'cancelled' ? ''
    : 'The calculation stopped (' + error.message + '); everything shown before is kept.';
}

async function press() {
  if (busy) return;
  setBusy(true);
  const done = showProgress($('press-progress'), $('press-cancel'), 300);
  const method = Number(document.querySelector('input[name="method"]:checked').value);
  const started = performance.now();
  try {
    const answer = await engine.ask('calculate', {x1: $('x1').value, N: $('N').value, method});
    $('failure').textContent = answer.failure || (answer.warning ? 'Note: ' + answer.warning : '');
    $('h').textContent = answer.stepText;
    // New lines only: the list keeps every calculation.
    const list = $('list');
    for (const line of answer.lines) {
      const item = document.createElement('li');
      item.textContent = line;
      list.append(item);
    }
    if (answer.lines.length) list.lastElementChild.scrollIntoView({block: 'nearest'});
    if (answer.picture) paintPicture(answer.picture);
    // How long the press took, from the click to the picture, for whoever asks.
    document.body.dataset.pressSeconds = String((performance.now() - started) / 1000);
  } catch (error) {
    $('failure').textContent = stoppedText(error);
  } finally {
    done();
    setBusy(false);
  }
}

// The study's chart from its model: shapes in pixels, drawn in order.
function drawChart(chart) {
  const canvas = $('study-chart');
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.round(chart.width * ratio);
  canvas.height = Math.round(chart.height * ratio);
  canvas.style.aspectRatio = chart.width + ' / ' + chart.height;
  const g = canvas.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  const font = (size) => size + 'px "' + chart.font + '", sans-serif';
  const point = (p, i) => [p[2 * i], p[2 * i + 1]];
  for (const s of chart.shapes) {
    g.lineWidth = s.w || 1;
    g.strokeStyle = s.s || '#000';
    g.fillStyle = s.f || '#fff';
    g.setLineDash(s.d ? [6, 4] : []);
    g.lineCap = 'butt';
    const stroke = () => { if (s.s) g.stroke(); };
    const fill = () => { if (s.f) g.fill(); };
    if (s.k === 'text') {
      g.save();
      g.translate(...point(s.p, 0));
      if (s.v) g.rotate(-Math.PI / 2);
      g.font = font(s.z);
      const w1 = g.measureText(s.t).width;
      g.font = font(s.z * 0.75);
      const w2 = s.u ? g.measureText(s.u).width : 0;
      const start = s.a === 'middle' ? -(w1 + w2) / 2 : s.a === 'end' ? -(w1 + w2) : 0;
      g.fillStyle = s.s || '#000';
      g.font = font(s.z);
      g.fillText(s.t, start, 0);
      if (s.u) {
        g.font = font(s.z * 0.75);
        g.fillText(s.u, start + w1, -s.z * 0.36);
      }
      g.restore();
      continue;
    }
    g.beginPath();
    if (s.k === 'rect') {
      const [x0, y0] = point(s.p, 0), [x1, y1] = point(s.p, 1);
      g.rect(x0, y0, x1 - x0, y1 - y0);
      fill();
      stroke();
    } else if (s.k === 'marker') {
      const [x, y] = point(s.p, 0), r = s.z;
      const path = {
        'circle': () => g.arc(x, y, r, 0, 2 * Math.PI),
        'square': () => g.rect(x - r, y - r, 2 * r, 2 * r),
        'triangle-up': () => { g.moveTo(x, y - r); g.lineTo(x + r, y + r); g.lineTo(x - r, y + r); g.closePath(); },
        'diamond': () => { g.moveTo(x, y - r); g.lineTo(x + r, y); g.lineTo(x, y + r); g.lineTo(x - r, y); g.closePath(); },
        'triangle-down': () => { g.moveTo(x, y + r); g.lineTo(x + r, y - r); g.lineTo(x - r, y - r); g.closePath(); },
        'plus': () => { g.moveTo(x - r, y); g.lineTo(x + r, y); g.moveTo(x, y - r); g.lineTo(x, y + r); },
        'cross': () => { g.moveTo(x - r, y - r); g.lineTo(x + r, y + r); g.moveTo(x - r, y + r); g.lineTo(x + r, y - r); },
      }[s.m];
      path();
      fill();
      stroke();
    } else {
      for (let i = 0; i < s.p.length / 2; ++i) (i ? g.lineTo : g.moveTo).call(g, ...point(s.p, i));
      if (s.k === 'polygon') g.closePath();
      fill();
      stroke();
    }
  }
}

function studyTable(header, rows) {
  const table = $('study-table');
  table.replaceChildren();
  const head = document.createElement('tr');
  for (const cell of header) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.textContent = cell;
    head.append(th);
  }
  table.append(head);
  for (const cells of rows) {
    const tr = document.createElement('tr');
    for (const cell of cells) {
      const td = document.createElement('td');
      td.textContent = cell;
      tr.append(td);
    }
    table.append(tr);
  }
}

async function runStudy() {
  if (busy) return;
  setBusy(true);
  const bar = $('study-progress');
  const done = showProgress(bar, $('study-cancel'), 300);
  const chosen = [...document.querySelectorAll('input[name="study-method"]:checked')].map((c) => c.value);
  const width = Math.max(320, Math.min(900, $('study').clientWidth || 900));
  const started = performance.now();
  // Below 640 pixels the legend and the note go under the chart, which is taller for them.
  try {
    const answer = await engine.ask('study', {x1: $('study-x1').value, steps: $('study-steps').value,
                                              methods: chosen.join(''), against: Number($('study-against').value),
                                              width, height: width < 640 ? 720 : 600},

                                    (count, total) => { bar.max = total; bar.value = count; });
    $('study-failure').textContent = answer.failure || '';
    if (!answer.failure) {
      studyTable(answer.header, answer.rows);
      $('study-notes').replaceChildren(...answer.notes.map((note) => {
        const item = document.createElement('li');
        item.textContent = note;
        return item;
      }));
      drawChart(answer.chart);
      document.body.dataset.studySeconds = String((performance.now() - started) / 1000);
    }

  } catch (error) {
    $('study-failure').textContent = stoppedText(error);
  } finally {
    done();
    setBusy(false);
  }
}

// The system: its fields, the start shown beside the inputs, the title, and
// the page's address, whose fragment carries an own system so that a link
// opens the same exercise (read back through the same parser).
const SYSTEM_FIELDS = ['f1', 'f2', 'x0', 'y10', 'y20'];
let examples = [];

function systemTexts() {
  return Object.fromEntries(SYSTEM_FIELDS.map((field) => [field, $('system-' + field).value]));
}

function fillSystem(texts) {
  for (const field of SYSTEM_FIELDS) $('system-' + field).value = texts[field] ?? '';
}

function isBuiltIn(texts) {
  return SYSTEM_FIELDS.every((field) => texts[field] === examples[0][field]);
}

async function useSystem(texts, fromAddress) {
  const answer = await engine.ask('system', texts);
  $('system-failure').textContent = answer.failure;
  if (answer.failure) {
    if (fromAddress) $('system-box').open = true;
    return;
  }
  const builtin = isBuiltIn(texts);
  $('x0').textContent = texts.x0;
  $('y10').textContent = texts.y10;
  $('y20').textContent = texts.y20;
  $('system-title').textContent = builtin ? "the built-in y1' = y1·y2 + x, y2' = x·y2 + y1"
    : "y1' = " + texts.f1 + ", y2' = " + texts.f2;
  const address = builtin ? '' : '#' + new URLSearchParams(texts).toString();
  history.replaceState(null, '', location.pathname + location.search + address);
}

async function start() {
  tabs();
  engine = new Engine(null);
  const answer = await engine.ask('methods');
  methods = answer.methods;
  examples = answer.examples;
  methodChoices($('methods'), 'radio', 'method');
  methodChoices($('study-methods'), 'checkbox', 'study-method');
  examples.forEach((example, i) => {
    const option = document.createElement('option');
    option.value = String(i);
    option.textContent = example.name;
    $('system-example').append(option);
  });
  $('system-example').addEventListener('change', () => {
    if ($('system-example').value !== '') fillSystem(examples[Number($('system-example').value)]);
  });
  fillSystem(examples[0]);
  $('system-form').addEventListener('submit', (e) => {
    e.preventDefault();
    useSystem(systemTexts(), false);
  });
  $('system-builtin').addEventListener('click', () => {
    fillSystem(examples[0]);
    useSystem(examples[0], false);
  });
  // An own system in the address, now and whenever the address changes.
  const fromAddress = async () => {
    const given = new URLSearchParams(location.hash.slice(1));
    if (!given.has('f1') && !given.has('f2')) return;
    const texts = {...examples[0], ...Object.fromEntries(SYSTEM_FIELDS.filter((f) => given.has(f))
      .map((f) => [f, given.get(f)]))};
    fillSystem(texts);
    await useSystem(texts, true);
  };
  window.addEventListener('hashchange', fromAddress);
  await fromAddress();
  paintPicture((await engine.ask('resize', pictureSize())).picture);
  // A wider screen gives the picture more room; the next press draws at it.
  window.matchMedia('(min-width: 1400px)').addEventListener('change', () => engine.ask('resize', pictureSize()));
  $('calculate-form').addEventListener('submit', (e) => {
    e.preventDefault();
    press();
  });
  $('study-form').addEventListener('submit', (e) => {
    e.preventDefault();
    runStudy();
  });
  for (const id of ['press-cancel', 'study-cancel']) $(id).addEventListener('click', () => engine.restart());
  setBusy(false);
  document.body.dataset.ready = 'true';
}

start();
