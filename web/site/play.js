// play.js: the playground. The map and the four team files in editors, highlighted, with the checker's diagnostics
// (the engine's own, in a Web Worker) at their lines as one types; Run plays the match in a Worker of its own that
// Stop ends, under a tick cap; the result can be watched, shared as a link and downloaded as a replay file.
// Texts and names are shown as text, never as HTML.
'use strict';

const $ = (id) => document.getElementById(id);
const FILES = [
  {kind: 'map', name: 'default.map', url: 'files/default.map'},
  {kind: 'team', name: 'default.fpl', url: 'files/default.fpl'},
  {kind: 'team', name: 'default.fpl', url: 'files/default.fpl'},
  {kind: 'team', name: 'default.fpl', url: 'files/default.fpl'},
  {kind: 'team', name: 'default.fpl', url: 'files/default.fpl'},
];
const play = {checker: null, runner: null, editors: [], replay: ''};

function setData(key, value) { document.body.dataset[key] = String(value); }

// [SECTION] Highlighting: the shape of a line, for the eye only (the checker says what is right)

function tokens(kind, line) {
  if (/^#/.test(line)) return [['comment', line]];
  if (kind === 'map') return line.split(/(X+)/).filter(Boolean).map((s) => [s[0] === 'X' ? 'wall' : '', s]);
  const m = /^(\s*P\d)(\.?)(\s*[A-Za-z]+)?(.*)$/.exec(line);
  if (!m) return [['', line]];
  const out = [['player', m[1]]];
  if (m[2]) out.push(['', m[2]]);
  if (m[3]) out.push([m[2] ? 'command' : 'type', m[3]]);
  for (const piece of m[4].split(/(\s+)/)) if (piece) out.push([/^-?\d/.test(piece) ? 'number' : '', piece]);
  return out;
}

function paint(editor) {
  const pre = editor.pre;
  pre.replaceChildren();
  const errorLines = new Set(editor.diagnostics.filter((d) => d.severity === 'error').map((d) => d.line));
  editor.area.value.split('\n').forEach((line, i) => {
    const row = document.createElement('span');
    if (errorLines.has(i + 1)) row.className = 'tok-error';
    for (const [cls, text] of tokens(editor.kind, line)) {
      const span = document.createElement('span');
      if (cls) span.className = 'tok-' + cls;
      span.textContent = text;
      row.append(span);
    }
    pre.append(row, '\n');
  });
  pre.scrollTop = editor.area.scrollTop;
  pre.scrollLeft = editor.area.scrollLeft;
}

async function check(editor) {
  const a = await play.checker.call({op: 'check', kind: editor.kind, path: editor.nameInput.value, text: editor.area.value});
  editor.diagnostics = Array.isArray(a.diagnostics) ? a.diagnostics : [];
  const list = editor.diags;
  list.replaceChildren();
  for (const d of editor.diagnostics) {
    const row = document.createElement('div');
    row.className = d.severity;
    row.textContent = `line ${d.line}:${d.column}: ${d.severity}: ${d.message}` + (d.hint ? ` (${d.hint})` : '');
    list.append(row);
  }
  paint(editor);
}

function makeEditor(file, text) {
  const box = document.createElement('div');
  box.className = 'editor';
  const label = document.createElement('label');
  label.append(file.kind === 'map' ? 'map' : 'team', ' ');
  const nameInput = document.createElement('input');
  nameInput.value = file.name;
  label.append(nameInput);
  const code = document.createElement('div');
  code.className = 'code';
  const pre = document.createElement('pre');
  const area = document.createElement('textarea');
  area.spellcheck = false;
  area.value = text;
  area.setAttribute('aria-label', file.name);
  code.append(pre, area);
  const diags = document.createElement('div');
  diags.className = 'diags';
  box.append(label, code, diags);
  $('editors').append(box);
  const editor = {kind: file.kind, nameInput, area, pre, diags, diagnostics: [], timer: 0};
  const later = () => { clearTimeout(editor.timer); editor.timer = setTimeout(() => check(editor), 150); paint(editor); };
  area.addEventListener('input', later);
  nameInput.addEventListener('input', later);
  area.addEventListener('scroll', () => { pre.scrollTop = area.scrollTop; pre.scrollLeft = area.scrollLeft; });
  return editor;
}

// [SECTION] Running

function showMessage(text) {
  $('message').textContent = text;
  setData('error', text);
  setData('state', text ? 'error' : 'ready');
}

async function run() {
  showMessage('');
  $('run').disabled = true;
  $('stop').disabled = false;
  $('result').textContent = 'playing…';
  setData('state', 'loading');
  play.runner = engineWorker();
  const [map, ...teams] = play.editors;
  const request = {map: map.area.value, teams: teams.map((e) => e.area.value),
                   names: play.editors.map((e) => e.nameInput.value), maxTicks: Math.max(1, Number($('cap').value) || 1)};
  try {
    const a = await play.runner.call({op: 'record', request});
    if (a.error) {
      $('result').textContent = '';
      showMessage('The match cannot be played: ' + a.error + '\nMend the file at that line (its editor lists every problem).');
    } else {
      play.replay = a.replay;
      setData('ticks', a.ticks);
      setData('tick', a.ticks);
      setData('state', 'ready');
      const r = JSON.parse(a.replay).result;
      $('result').textContent = `${a.ticks} ticks${r.capped ? ' (stopped at the cap)' : ''}, scores ${r.scores.join(' / ')} — `;
      const watch = document.createElement('a');
      watch.textContent = 'watch it';
      watch.href = viewerLink(await replayToLinkData(a.replay));
      $('result').append(watch);
      $('share').disabled = false;
      $('download').disabled = false;
    }
  } catch (e) {
    $('result').textContent = 'stopped';
    setData('state', 'ready');
  } finally {
    play.runner.terminate();
    play.runner = null;
    $('run').disabled = false;
    $('stop').disabled = true;
  }
}

function stop() {
  if (play.runner) play.runner.terminate();
}

async function share() {
  const data = await replayToLinkData(play.replay);
  const out = $('share-out');
  out.style.display = 'block';
  if (data.length + 40 > MAX_LINK_BYTES) {
    out.value = 'This match is too long for a link; download the replay instead.';
    return;
  }
  out.value = viewerLink(data);
  out.select();
  try { await navigator.clipboard.writeText(out.value); } catch (e) { /* the field shows it */ }
}

async function start() {
  play.checker = engineWorker();
  try {
    const texts = await Promise.all(FILES.map((f) => fetch(f.url).then((r) => { if (!r.ok) throw new Error(f.url + ': ' + r.status); return r.text(); })));
    play.editors = FILES.map((f, i) => makeEditor(f, texts[i]));
  } catch (e) {
    showMessage('The bundled map and teams cannot be loaded (' + e.message + '). Reload the page.');
    return;
  }
  await Promise.all(play.editors.map(check));
  $('run').onclick = run;
  $('stop').onclick = stop;
  $('share').onclick = share;
  $('download').onclick = () => downloadText(play.replay, 'match.replay');
  setData('state', 'ready');
}

start();
