// The calculation and the study run here, in a Web Worker, so that the page
// stays responsive; the page may end this worker at any time (Cancel) and
// start a fresh one. Requests: {id, type, ...}; answers carry the same id.
'use strict';

importScripts('kavrin.js');

// Measures texts in the chart's font, as the page's canvas draws them.
const measuring = new OffscreenCanvas(1, 1).getContext('2d');
function measureText(text, size) {
  measuring.font = size + 'px "DejaVu Sans", sans-serif';
  return measuring.measureText(text).width;
}

let study = null;  // the request whose progress is being told
const ready = KavrinModule({
  measureText,
  onProgress: (done, total) => { if (study) postMessage({id: study, type: 'progress', done, total}); },
});

// Calls f with each text copied onto the module's heap, never its stack, so
// that a text of any length fits; frees them afterwards.
function withTexts(M, texts, f) {
  const pointers = texts.map((text) => {
    const bytes = M.lengthBytesUTF8(text) + 1;
    const pointer = M._malloc(bytes);
    M.stringToUTF8(text, pointer, bytes);
    return pointer;
  });
  try {
    return f(...pointers);
  } finally {
    pointers.forEach((pointer) => M._free(pointer));
  }
}

// The picture's pixels (0xAARRGGBB) as RGBA bytes for an ImageData.
function picture(M) {
  const width = M._kv_width(), height = M._kv_height();
  const source = new Uint32Array(M.HEAPU32.buffer, M._kv_pixels(), width * height);
  const rgba = new Uint8ClampedArray(width * height * 4);
  for (let i = 0, j = 0; i < source.length; ++i, j += 4) {
    const p = source[i];
    rgba[j] = (p >>> 16) & 255;
    rgba[j + 1] = (p >>> 8) & 255;
    rgba[j + 2] = p & 255;
    rgba[j + 3] = 255;
  }
  return {width, height, rgba};
}

function handle(M, request) {
  const text = (pointer) => M.UTF8ToString(pointer);
  switch (request.type) {
    case 'methods':
      return {...JSON.parse(text(M._kv_methods())), examples: JSON.parse(text(M._kv_examples()))};
    case 'system':
      return {failure: text(withTexts(M, [request.f1, request.f2, request.x0, request.y10, request.y20],
                                      (...texts) => M._kv_set_system(...texts)))};

    case 'resize':
      M._kv_resize(request.width, request.height, request.ratio);
      return {picture: picture(M)};
    case 'calculate': {
      const before = M._kv_line_count();
      const failed = withTexts(M, [request.x1, request.N], (x1, N) => M._kv_calculate(x1, N, request.method));
      const lines = [];
      for (let i = before; i < M._kv_line_count(); ++i) lines.push(text(M._kv_line(i)));
      const answer = {failure: failed ? text(M._kv_failure()) : '', warning: failed ? '' : text(M._kv_warning()),
                      stepText: text(M._kv_step_text()), lines};
      // A failed press leaves the picture as it was.
      if (!failed) answer.picture = picture(M);
      return answer;
    }
    case 'study': {
      study = request.id;
      try {
        return JSON.parse(text(withTexts(M, [request.x1, request.steps, request.methods],
                                         (x1, steps, methods) => M._kv_study(x1, steps, methods, request.against,
                                                                             request.width, request.height))));

      } finally {
        study = null;
      }
    }
  }
  return {failure: 'unknown request ' + request.type};
}

onmessage = (event) => {
  ready.then((M) => {
    let answer;
    try {
      answer = handle(M, event.data);
    } catch (error) {
      // The module is in no state to go on: the page starts a fresh worker.
      answer = {broken: String(error)};
    }
    answer.id = event.data.id;
    answer.type = event.data.type;
    const transfer = answer.picture ? [answer.picture.rgba.buffer] : [];
    postMessage(answer, transfer);
  });
};
