// The calculation and the study run here, in a Web Worker, so that the page
// stays responsive; the page may end this worker at any time (Cancel) and
// start a fresh one. Each message is a request, a JSON object with named
// fields ({id, op, ...}), which the program's session answers; the answer
// carries the same id and op, and the picture's pixels when it drew one.
'use strict';

importScripts('kavrin.js');

// Measures texts in the chart's font, as the page's canvas draws them.
const measuring = new OffscreenCanvas(1, 1).getContext('2d');
function measureText(text, size, family) {
  measuring.font = size + 'px "' + family + '", sans-serif';
  return measuring.measureText(text).width;
}

let study = null;  // the request whose progress is being told
const ready = KavrinModule({
  measureText,
  onProgress: (done, total) => { if (study !== null) postMessage({id: study, op: 'progress', done, total}); },
});

// The session's answer to a request, the request copied onto the module's
// heap (never its stack), so that a text of any length fits.
function ask(M, request) {
  const json = JSON.stringify(request);
  const bytes = M.lengthBytesUTF8(json) + 1;
  const pointer = M._malloc(bytes);
  M.stringToUTF8(json, pointer, bytes);
  try {
    return JSON.parse(M.UTF8ToString(M._kv_request(pointer)));
  } finally {
    M._free(pointer);
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

onmessage = (event) => {
  ready.then((M) => {
    const request = event.data;
    let answer;
    try {
      if (request.op === 'study' || request.op === 'compare') study = request.id;
      answer = ask(M, request);
      answer.picture = answer.picture ? picture(M) : undefined;
    } catch (error) {
      // The module is in no state to go on: the page starts a fresh worker.
      answer = {broken: String(error)};
    } finally {
      study = null;
    }
    answer.id = request.id;
    answer.op = request.op;
    postMessage(answer, answer.picture ? [answer.picture.rgba.buffer] : []);
  });
};
