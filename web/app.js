// The page: the calculation with its list and plot, the convergence study
// with its table and chart, and the methods compared along the way. The work runs in a Web Worker (worker.js),
// whose session holds the problem and answers JSON requests with named
// fields. The page keeps its own copy of what it shows (the list, h, the
// picture, the last study) and of the last problem the session accepted, so
// that a cancelled or broken worker can be replaced by a fresh one that works
// on exactly the problem shown. No network use after loading, no storage.
'use strict';

const $ = (id) => document.getElementById(id);

// The worker, and the answers it owes. A fresh worker is first given what
// the page shows (`restoring` lists those requests); a request to change the
// problem that a replaced worker did not answer goes to the fresh one.
class Engine {
  constructor(restoring, onRestoreFailed) {
    this.restoring = restoring;
    this.onRestoreFailed = onRestoreFailed;
    this.next = 1;
    this.start();
  }

  start() {
    this.pending = new Map();
    this.worker = new Worker('worker.js');
    this.worker.onmessage = (event) => this.answered(event.data);
    // A worker that dies (a trap, no memory) is replaced; its jobs fail.
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.restart(event.message || 'the worker stopped');
    };
    for (const request of this.restoring()) {
      this.ask(request.op, request).then((answer) => {
        if (answer.accepted === false) this.onRestoreFailed(answer);
      }, () => {});
    }
  }

  answered(answer) {
    const job = this.pending.get(answer.id);
    if (!job) return;
    if (answer.op === 'progress') {
      if (job.onProgress) job.onProgress(answer.done, answer.total);
      return;
    }
    this.pending.delete(answer.id);
    if (answer.broken !== undefined) {
      this.restart(answer.broken);
      job.reject(new Error(answer.broken));
    } else {
      job.resolve(answer);
    }
  }

  // Ends the worker and everything it was doing; a fresh one takes over.
  restart(reason = 'cancelled') {
    this.worker.terminate();
    const jobs = [...this.pending.values()];
    this.start();
    for (const job of jobs) {
      if (job.request.op === 'problem') {
        this.pending.set(job.request.id, job);
        this.worker.postMessage(job.request);
      } else {
        job.reject(new Error(reason));
      }
    }
  }

  ask(op, data = {}, onProgress = null) {
    const request = {...data, op, id: this.next++};
    return new Promise((resolve, reject) => {
      this.pending.set(request.id, {request, resolve, reject, onProgress});
      this.worker.postMessage(request);
    });
  }
}

let engine = null;
let hello = null;  // the methods, examples, axes, defaults and labels
let accepted = null;  // the texts of the problem the worker's session holds
let busy = false;
let compared = null;  // the settings of the comparison on show
let comparedProblem = null;  // the problem it was worked out for

function setBusy(on) {
  busy = on;
  $('calculate').disabled = on;
  $('run-study').disabled = on;
  $('run-compare').disabled = on;
  $('run-stability').disabled = on;
  $('compare-csv').disabled = on || !compared;
}

// The calculation offers the window's seven; the study, the comparison and
// the stability chart every method, the seven checked at first.
function methodChoices(container, type, name) {
  hello.methods.forEach((method, i) => {
    if (type === 'radio' && !method.standard) return;
    addMethodChoice(container, type, name, method, type === 'checkbox' ? method.standard : i === 0);
  });
}

function addMethodChoice(container, type, name, method, checked) {
  const known = [...container.querySelectorAll('input')].find((input) => input.value === method.id);
  if (known) {
    known.checked = checked;
    return;
  }
  const choice = document.createElement('label');
  const input = document.createElement('input');
  input.type = type;
  input.name = name;
  input.value = method.id;
  input.checked = checked;
  choice.append(input, ' ' + method.caption);
  container.append(choice);
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

function showLines(lines) {
  // New lines only: the list keeps every calculation.
  const list = $('list');
  for (const line of lines) {
    const item = document.createElement('li');
    item.textContent = line;
    list.append(item);
  }
  if (lines.length) list.lastElementChild.scrollIntoView({block: 'nearest'});
}

async function press() {
  if (busy) return;
  setBusy(true);
  const done = showProgress($('press-progress'), $('press-cancel'), 300);
  const method = document.querySelector('input[name="method"]:checked').value;
  const started = performance.now();
  try {
    const answer = await engine.ask('press', {x1: $('x1').value, n: $('N').value, method});
    $('failure').textContent = answer.failure ? answer.failure.message : answer.warning ? 'Note: ' + answer.warning : '';
    if (answer.stepText !== undefined) $('h').textContent = answer.stepText;
    showLines(answer.lines || []);
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

// Draws a text shape: its anchor, its turn, and a raised superscript.
function drawText(g, s, font) {
  g.save();
  g.translate(s.p[0], s.p[1]);
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
}

// The path of a marker shape around its centre.
function markerPath(g, s) {
  const [x, y] = s.p, r = s.z;
  const corners = (points) => {
    points.forEach(([px, py], i) => (i ? g.lineTo : g.moveTo).call(g, x + px * r, y + py * r));
    g.closePath();
  };
  const paths = {
    'circle': () => g.arc(x, y, r, 0, 2 * Math.PI),
    'square': () => g.rect(x - r, y - r, 2 * r, 2 * r),
    'triangle-up': () => corners([[0, -1], [1, 1], [-1, 1]]),
    'diamond': () => corners([[0, -1], [1, 0], [0, 1], [-1, 0]]),
    'triangle-down': () => corners([[0, 1], [1, -1], [-1, -1]]),
    'plus': () => { g.moveTo(x - r, y); g.lineTo(x + r, y); g.moveTo(x, y - r); g.lineTo(x, y + r); },
    'cross': () => { g.moveTo(x - r, y - r); g.lineTo(x + r, y + r); g.moveTo(x - r, y + r); g.lineTo(x + r, y - r); },
  };
  paths[s.m]();
}

// A chart from its model: shapes in pixels, drawn in order.
function drawChart(canvas, chart) {
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.round(chart.width * ratio);
  canvas.height = Math.round(chart.height * ratio);
  canvas.style.aspectRatio = chart.width + ' / ' + chart.height;
  const g = canvas.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  const font = (size) => size + 'px "' + chart.font + '", sans-serif';
  for (const s of chart.shapes) {
    g.lineWidth = s.w || 1;
    g.strokeStyle = s.s || '#000';
    g.fillStyle = s.f || '#fff';
    g.setLineDash(s.d ? [6, 4] : []);
    g.lineCap = 'butt';
    if (s.k === 'text') {
      drawText(g, s, font);
      continue;
    }
    g.beginPath();
    if (s.k === 'rect') {
      g.rect(s.p[0], s.p[1], s.p[2] - s.p[0], s.p[3] - s.p[1]);
    } else if (s.k === 'marker') {
      markerPath(g, s);
    } else {
      for (let i = 0; i < s.p.length / 2; ++i) (i ? g.lineTo : g.moveTo).call(g, s.p[2 * i], s.p[2 * i + 1]);
      if (s.k === 'polygon') g.closePath();
    }
    if (s.f) g.fill();
    if (s.s) g.stroke();
  }
}

function studyTable(header, rows, table = $('study-table')) {
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

function showStudy(answer) {
  studyTable(answer.header, answer.rows);
  studyTable(answer.sweepHeader, answer.sweepRows, $('study-sweep-table'));
  $('study-sweep-wrap').hidden = answer.sweepRows.length === 0;
  $('study-notes').replaceChildren(...answer.notes.map((note) => {
    const item = document.createElement('li');
    item.textContent = note;
    return item;
  }));
  drawChart($('study-chart'), answer.chart);
}

async function runStudy() {
  if (busy) return;
  setBusy(true);
  const bar = $('study-progress');
  const done = showProgress(bar, $('study-cancel'), 300);
  const methods = [...document.querySelectorAll('input[name="study-method"]:checked')].map((c) => c.value);
  const started = performance.now();
  try {
    // The chart fits the room the page has for it.
    const asked = {x1: $('study-x1').value, steps: $('study-steps').value, methods, against: $('study-against').value,
                   width: $('study').clientWidth || hello.chartSize.width};
    if ($('study-sweep').checked) {
      asked.tolerances = $('study-tolerances').value;
      asked.pairs = [...document.querySelectorAll('input[name="study-pair"]:checked')].map((c) => c.value);
    }
    const answer = await engine.ask('study', asked,
                                    (count, total) => { bar.max = total; bar.value = count; });
    $('study-failure').textContent = answer.failure ? answer.failure.message : '';
    if (!answer.failure) {
      showStudy(answer);
      document.body.dataset.studySeconds = String((performance.now() - started) / 1000);
    }
  } catch (error) {
    $('study-failure').textContent = stoppedText(error);
  } finally {
    done();
    setBusy(false);
  }
}

// The comparison's settings as the form holds them, and as the address
// carries them (c-prefixed, beside an own system's texts).
const COMPARE_FIELDS = {cx1: 'compare-x1', cn: 'compare-steps', cfx: 'compare-field-x', cinv: 'compare-invariant',
                        ctol: 'compare-tolerance'};

function compareSettings() {
  const settings = Object.fromEntries(Object.entries(COMPARE_FIELDS).map(([key, id]) => [key, $(id).value]));
  settings.cm = [...document.querySelectorAll('input[name="compare-method"]:checked')].map((c) => c.value).join(',');
  return settings;
}

function fillCompare(given) {
  for (const [key, id] of Object.entries(COMPARE_FIELDS)) if (given.has(key)) $(id).value = given.get(key);
  if (given.has('cm')) {
    const chosen = given.get('cm').split(',');
    document.querySelectorAll('input[name="compare-method"]').forEach((c) => { c.checked = chosen.includes(c.value); });
  }
}

// The comparison request of these settings, its charts as wide as the page has room for.
function compareRequest(settings) {
  return {x1: settings.cx1, n: settings.cn, fieldX: settings.cfx, invariant: settings.cinv, tolerance: settings.ctol,
          methods: settings.cm ? settings.cm.split(',') : [],
          width: $('compare').clientWidth || hello.chartSize.width};
}

async function runComparison() {
  if (busy) return;
  setBusy(true);
  const done = showProgress($('compare-progress'), $('compare-cancel'), 300);
  const bar = $('compare-progress');
  const settings = compareSettings();
  try {
    const answer = await engine.ask('compare', compareRequest(settings),
                                    (count, total) => { bar.max = total; bar.value = count; });
    $('compare-failure').textContent = answer.failure ? answer.failure.message : '';
    if (!answer.failure) {
      compared = settings;
      comparedProblem = JSON.stringify(accepted);
      $('compare-notes').replaceChildren(...answer.notes.map((note) => {
        const item = document.createElement('li');
        item.textContent = note;
        return item;
      }));
      drawChart($('compare-phase'), answer.phase);
      drawChart($('compare-error'), answer.error);
      drawChart($('compare-drift'), answer.drift);
      drawChart($('compare-step-size'), answer.steps);
      writeAddress();
    }
  } catch (error) {
    $('compare-failure').textContent = stoppedText(error);
  } finally {
    done();
    setBusy(false);
  }
}

// The rows of the comparison on show, as the command line writes them.
async function downloadRows() {
  let answer = await engine.ask('compare-csv');
  // A worker started since (after a Cancel) has not got it: it works it out
  // again, for the problem it was worked out for.
  if (answer.failure && compared && comparedProblem === JSON.stringify(accepted)) {
    setBusy(true);
    try {
      await engine.ask('compare', compareRequest(compared));
      answer = await engine.ask('compare-csv');
    } catch (error) {
      answer = {failure: {message: stoppedText(error)}};
    } finally {
      setBusy(false);
    }
  }
  if (answer.failure) {
    $('compare-failure').textContent = answer.failure.message;
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([answer.csv], {type: 'text/csv'}));
  link.download = 'comparison.csv';
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

// Methods as data: a tableau checked and added as a method (kept, so that a
// fresh worker gets it too, and put in the address), and the stability chart.
let ownTableau = null;  // {tid, tb}: the last tableau added

async function checkTableau() {
  const answer = await engine.ask('tableau-check', {text: $('tableau-text').value});
  $('tableau-failure').textContent = answer.failure ? answer.failure.message : '';
  $('tableau-analysis').textContent = answer.failure ? '' : answer.lines.join('\n');
}

async function addTableau(id, text) {
  const answer = await engine.ask('tableau-add', {method: id, text});
  $('tableau-failure').textContent = answer.failure ? answer.failure.message : '';
  if (answer.failure) return false;
  $('tableau-analysis').textContent = answer.lines.join('\n');
  ownTableau = {tid: id, tb: text};
  for (const [container, name] of [['study-methods', 'study-method'], ['compare-methods', 'compare-method'],
                                   ['stability-methods', 'stability-method']])
    addMethodChoice($(container), 'checkbox', name, answer.method, true);
  // A tableau with second weights can also choose its steps in the study's sweep.
  if (answer.method.pair) addMethodChoice($('study-pairs'), 'checkbox', 'study-pair', answer.method, true);
  if (![...$('tableau-of').options].some((o) => o.value === id)) $('tableau-of').append(new Option(answer.method.caption, id));
  writeAddress();
  return true;
}

async function showTableauOf(id) {
  const shipped = hello.tableaux.find((t) => t.id === id);
  const answer = shipped ? {text: shipped.text} : await engine.ask('method-tableau', {method: id});
  if (answer.failure) return;
  $('tableau-text').value = answer.text;
  if (shipped) $('tableau-id').value = id;
  await checkTableau();
}

async function runStability() {
  if (busy) return;
  setBusy(true);
  const done = showProgress($('stability-progress'), $('stability-cancel'), 300);
  try {
    const methods = [...document.querySelectorAll('input[name="stability-method"]:checked')].map((c) => c.value);
    const answer = await engine.ask('stability', {x1: $('stability-x1').value, n: $('stability-steps').value, methods,
                                                  width: $('methods-panel').clientWidth || hello.chartSize.width});
    $('stability-failure').textContent = answer.failure ? answer.failure.message : '';
    if (!answer.failure) {
      $('stability-report').textContent = answer.report;
      drawChart($('stability-chart'), answer.chart);
    }
  } catch (error) {
    $('stability-failure').textContent = stoppedText(error);
  } finally {
    done();
    setBusy(false);
  }
}

// The system: its fields, the start shown beside the inputs, the title, and
// the page's address, whose fragment carries an own system so that a link
// opens the same exercise (read back through the same parser).
const SYSTEM_FIELDS = ['f1', 'f2', 'x0', 'y10', 'y20'];

function systemTexts() {
  return Object.fromEntries(SYSTEM_FIELDS.map((field) => [field, $('system-' + field).value]));
}

function fillSystem(texts) {
  for (const field of SYSTEM_FIELDS) $('system-' + field).value = texts[field] ?? '';
}

// Shows the problem the worker's session holds, and keeps its texts.
function showProblem(problem) {
  accepted = Object.fromEntries(SYSTEM_FIELDS.map((field) => [field, problem[field]]));
  $('x0').textContent = problem.x0;
  $('y10').textContent = problem.y10;
  $('y20').textContent = problem.y20;
  $('system-title').textContent = (problem.builtIn ? 'the built-in ' : '') + problem.title;
  document.title = 'Kavrin - ' + problem.title;
  // An example's invariant comes with it; another system has none to offer.
  const example = hello.examples.find((e) => e.f1 === problem.f1 && e.f2 === problem.f2);
  if (showProblem.last !== problem.f1 + '\n' + problem.f2) $('compare-invariant').value = example ? example.invariant : '';
  showProblem.last = problem.f1 + '\n' + problem.f2;
  builtInShown = problem.builtIn;
  writeAddress();
}

let builtInShown = true;

// The address: an own system's texts, and the settings of the comparison on show.
function writeAddress() {
  const parts = {...(builtInShown ? {} : accepted), ...(compared || {}), ...(ownTableau || {})};
  const address = Object.keys(parts).length ? '#' + new URLSearchParams(parts).toString() : '';
  history.replaceState(null, '', location.pathname + location.search + address);
}

async function useSystem(texts, fromAddress) {
  try {
    const answer = await engine.ask('problem', texts);
    // Refused: the problem on show stays the session's.
    $('system-failure').textContent = answer.failure ? answer.failure.message : '';
    if (answer.failure && fromAddress) $('system-box').open = true;
    showProblem(answer.problem);
  } catch (error) {
    $('system-failure').textContent = stoppedText(error);
  }
}

// A fresh worker's session that cannot take the problem on show.
function restoreFailed(answer) {
  $('system-failure').textContent = 'The system on show could not be restored after the calculation stopped (' +
    answer.failure.message + '); the page now integrates the built-in system.';
  showProblem(answer.problem);
}

// The texts the program gives: labels, help, defaults and choices.
function label() {
  $('start-caption').textContent = hello.startCaption;
  document.querySelectorAll('[data-start]').forEach((e) => { e.textContent = hello.startLabels[e.dataset.start]; });
  $('system-help').prepend(hello.help + ' ');
  $('system-help').title = hello.functions;
  $('x1').value = hello.defaults.x1;
  $('N').value = hello.defaults.n;
  $('study-x1').value = hello.defaults.studyX1;
  $('study-steps').value = hello.defaults.studySteps;
  $('steps-help').textContent = hello.stepListHelp;
  $('compare-x1').value = hello.defaults.studyX1;
  $('compare-steps').value = hello.defaults.compareSteps;
  $('compare-tolerance').value = hello.defaults.compareTolerance;
  $('study-tolerances').value = hello.defaults.tolerances;
  $('tolerances-help').textContent = hello.toleranceListHelp;
  for (const pair of hello.pairs) addMethodChoice($('study-pairs'), 'checkbox', 'study-pair', pair, true);
  $('study-chart').width = hello.chartSize.width;
  $('study-chart').height = hello.chartSize.height;
  for (const axis of hello.axes) $('study-against').append(new Option(axis.caption, axis.name));
  methodChoices($('methods'), 'radio', 'method');
  methodChoices($('study-methods'), 'checkbox', 'study-method');
  methodChoices($('compare-methods'), 'checkbox', 'compare-method');
  methodChoices($('stability-methods'), 'checkbox', 'stability-method');
  for (const method of hello.methods) $('tableau-of').append(new Option(method.caption, method.id));
  for (const tableau of hello.tableaux) {
    $('tableau-of').append(new Option(tableau.name, tableau.id));
    for (const [container, name] of [['study-methods', 'study-method'], ['compare-methods', 'compare-method'],
                                     ['stability-methods', 'stability-method']])
      addMethodChoice($(container), 'checkbox', name, {id: tableau.id, caption: tableau.name}, false);
  }
  $('stability-x1').value = hello.defaults.x1;
  $('stability-steps').value = '10';
  hello.examples.forEach((example, i) => $('system-example').append(new Option(example.name, String(i))));
  const builtin = hello.problem;
  $('about').textContent = 'Integrates ' + builtin.title + ' from x0 = ' + builtin.x0 + ', y1(0) = ' + builtin.y10 +
    ', y2(0) = ' + builtin.y20 + ' to x1 in N equal steps with one of ' + hello.methods.length +
    ' one-step methods, with the same digits and pixels as the desktop program.';
}

function listen() {
  $('system-example').addEventListener('change', () => {
    if ($('system-example').value !== '') fillSystem(hello.examples[Number($('system-example').value)]);
  });
  $('system-form').addEventListener('submit', (e) => {
    e.preventDefault();
    useSystem(systemTexts(), false);
  });
  $('system-builtin').addEventListener('click', () => {
    fillSystem(hello.examples[0]);
    useSystem(hello.examples[0], false);
  });
  $('calculate-form').addEventListener('submit', (e) => {
    e.preventDefault();
    press();
  });
  $('study-form').addEventListener('submit', (e) => {
    e.preventDefault();
    runStudy();
  });
  $('compare-form').addEventListener('submit', (e) => {
    e.preventDefault();
    runComparison();
  });
  $('compare-csv').addEventListener('click', downloadRows);
  $('tableau-of').addEventListener('change', () => showTableauOf($('tableau-of').value));
  $('tableau-check').addEventListener('click', checkTableau);
  $('tableau-add').addEventListener('click', () => addTableau($('tableau-id').value.trim(), $('tableau-text').value));
  $('stability-form').addEventListener('submit', (e) => {
    e.preventDefault();
    runStability();
  });
  for (const id of ['press-cancel', 'study-cancel', 'compare-cancel', 'stability-cancel'])
    $(id).addEventListener('click', () => engine.restart());
  // A wider screen gives the picture more room; the next press draws at it.
  window.matchMedia('(min-width: 1400px)').addEventListener('change', () => engine.ask('resize', pictureSize()));
}

async function start() {
  tabs();
  // A fresh worker gets the picture's size and, unless it is the built-in
  // one, the problem on show.
  const own = () => SYSTEM_FIELDS.some((field) => accepted[field] !== hello.problem[field]);
  const restoring = () => [{op: 'resize', ...pictureSize()}, ...(own() ? [{op: 'problem', ...accepted}] : []),
                           ...(ownTableau ? [{op: 'tableau-add', method: ownTableau.tid, text: ownTableau.tb}] : [])];
  engine = new Engine(() => (accepted ? restoring() : []), restoreFailed);
  hello = await engine.ask('hello');
  label();
  fillSystem(hello.examples[0]);
  // An own system in the address, now and whenever the address changes;
  // without one, the built-in system.
  const fromAddress = async () => {
    const given = new URLSearchParams(location.hash.slice(1));
    if (given.has('f1') || given.has('f2')) {
      const texts = {...hello.examples[0], ...Object.fromEntries(SYSTEM_FIELDS.filter((f) => given.has(f))
        .map((f) => [f, given.get(f)]))};
      fillSystem(texts);
      await useSystem(texts, true);
    } else if (!accepted) {
      showProblem(hello.problem);
    }
    // A tableau in the address is added first, so that the settings may name it.
    if (given.has('tid') && given.has('tb')) {
      $('tableau-id').value = given.get('tid');
      $('tableau-text').value = given.get('tb');
      await addTableau(given.get('tid'), given.get('tb'));
    }
    // The comparison's settings after the system, whose example may bring an invariant.
    fillCompare(given);
    return given.has('cx1') || given.has('cn');
  };
  window.addEventListener('hashchange', fromAddress);
  const comparing = await fromAddress();
  paintPicture((await engine.ask('resize', pictureSize())).picture);
  listen();
  setBusy(false);
  // A link to a comparison opens it.
  if (comparing) {
    $('tab-compare').click();
    await runComparison();
  }
  if (!$('tableau-text').value) await showTableauOf(hello.methods[0].id);
  document.body.dataset.ready = 'true';
}

start();
