// link.js: a replay in a link and back: the replay file compressed with raw DEFLATE, in base64url without padding,
// after #replay=. The browser's own CompressionStream does the DEFLATE. Shared by the viewer and the playground.
'use strict';

const MAX_LINK_BYTES = 32 * 1024;  // beyond this the page offers the file instead of a link

async function streamBytes(bytes, stream) {
  const out = new Blob([bytes]).stream().pipeThrough(stream);
  return new Uint8Array(await new Response(out).arrayBuffer());
}

function toBase64Url(bytes) {
  let s = '';
  for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(s).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64Url(text) {
  if (!/^[A-Za-z0-9_-]*$/.test(text)) throw new Error('bad characters');
  const b64 = text.replace(/-/g, '+').replace(/_/g, '/') + '==='.slice((text.length + 3) % 4);
  const s = atob(b64);
  const bytes = new Uint8Array(s.length);
  for (let i = 0; i < s.length; ++i) bytes[i] = s.charCodeAt(i);
  return bytes;
}

async function replayToLinkData(text) {
  return toBase64Url(await streamBytes(new TextEncoder().encode(text), new CompressionStream('deflate-raw')));
}

async function linkDataToReplay(data) {
  const bytes = await streamBytes(fromBase64Url(data), new DecompressionStream('deflate-raw'));
  return new TextDecoder('utf-8', {fatal: true}).decode(bytes);
}

// The parts of a location's hash: {replay, src, tick}.
function hashParts(hash) {
  const parts = {};
  for (const piece of hash.replace(/^#/, '').split('&')) {
    const eq = piece.indexOf('=');
    if (eq > 0) parts[piece.slice(0, eq)] = piece.slice(eq + 1);
  }
  return parts;
}

function viewerLink(data) {
  return new URL('index.html#replay=' + data, location.href).href;
}

function downloadText(text, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([text], {type: 'application/json'}));
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

// A worker running the engine, with calls that answer promises. `onCrash` hears of a worker that failed.
function engineWorker() {
  const worker = new Worker('worker.js');
  let next = 1;
  const waiting = new Map();
  worker.onmessage = (e) => {
    const w = waiting.get(e.data.id);
    waiting.delete(e.data.id);
    if (w) w.resolve(e.data);
  };
  worker.onerror = (e) => {
    for (const w of waiting.values()) w.reject(new Error('the engine stopped: ' + (e.message || 'unknown fault')));
    waiting.clear();
  };
  return {
    call(message, transfer) {
      const id = next++;
      return new Promise((resolve, reject) => {
        waiting.set(id, {resolve, reject});
        worker.postMessage(Object.assign({id}, message), transfer || []);
      });
    },
    terminate() {
      worker.terminate();
      for (const w of waiting.values()) w.reject(new Error('stopped'));
      waiting.clear();
    },
  };
}
