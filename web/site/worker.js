// worker.js: the game's engine (WebAssembly) in a Web Worker, so that playing a whole match never holds up the page.
// Every answer is the engine's JSON, parsed; a shown tick also carries the game's frame as RGBA bytes.
'use strict';
importScripts('fusewick.js');

const ready = FusewickModule({print() {}, printErr() {}});

function call(m, name, types, args) {
  return JSON.parse(m.ccall(name, 'string', types, args));
}

onmessage = async (e) => {
  const m = await ready;
  const q = e.data;
  let answer;
  try {
    if (q.op === 'open') answer = call(m, 'fw_open', ['string'], [q.text]);
    else if (q.op === 'verify') answer = call(m, 'fw_verify', ['string'], [q.text]);
    else if (q.op === 'fingerprints') answer = call(m, 'fw_fingerprints', ['string'], [q.text]);
    else if (q.op === 'record') answer = call(m, 'fw_record', ['string'], [JSON.stringify(q.request)]);
    else if (q.op === 'check') answer = {diagnostics: call(m, 'fw_check', ['string', 'string', 'string'], [q.kind, q.path, q.text])};
    else if (q.op === 'event') answer = {tick: m.ccall('fw_event_tick', 'number', ['number', 'number'], [q.tick, q.forward ? 1 : 0])};
    else if (q.op === 'show') {
      answer = call(m, 'fw_show', ['number'], [q.tick]);
      if (!answer.error) {
        const at = m.ccall('fw_frame', 'number', [], []);
        const size = m.ccall('fw_frame_size', 'number', [], []);
        answer.frame = m.HEAPU8.slice(at, at + size).buffer;
      }
    } else answer = {error: 'unknown request ' + q.op};
  } catch (err) {
    answer = {error: 'the engine failed: ' + err};
  }
  answer.id = q.id;
  postMessage(answer, answer.frame ? [answer.frame] : []);
};
