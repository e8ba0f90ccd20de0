// viewer.js: the viewer page. Opens a replay (file picker, drop, #replay=, #src=, &tick=), has the engine in a Web
// Worker play it once checking every tick, then shows any tick: the game's frame as the engine draws it, put on the
// canvas unchanged, the timeline with the match's events, the followed player with its program and every player's
// state in the engine's words. Holds no game rule; names and programs are shown as text, never as HTML.
'use strict';

const $ = (id) => document.getElementById(id);
const SPEEDS = [0.25, 0.5, 1, 2, 4, 8, 16, 32, 64];  // ticks per frame, as fusewick-view's
const KIND_EXPLOSION = 1, KIND_HIT = 2, KIND_DEATH = 4;

const view = {
  engine: null,       // the worker holding the open match
  tools: null,        // a second worker for window.fusewick's record and verify
  match: null,        // what the engine said of the whole match
  replayText: '',
  tick: 0,
  shown: null,        // the last shown tick's answer
  playing: false,
  speed: 2,           // index into SPEEDS
  carry: 0,
  followed: 0,        // team * 4 + player
  overlay: false,
  busy: false,
  wanted: null,       // a tick asked for while another was being drawn
  target: 0,          // the tick last asked for: steps count from it, so quick keys add up
};

function setData(key, value) { document.body.dataset[key] = String(value); }

function showError(message) {
  view.playing = false;
  setData('state', 'error');
  setData('error', message);
  $('message').textContent = message;
  $('verdict').textContent = 'no match open';
  $('verdict').className = '';
}

// [SECTION] Opening a match

async function openText(text, startTick) {
  setData('state', 'loading');
  setData('replay', 'checking');
  setData('error', '');
  $('verdict').textContent = 'checking…';
  $('verdict').className = '';
  $('message').textContent = '';
  const m = await view.engine.call({op: 'open', text});
  if (m.error) {
    setData('replay', '');
    showError(explainOpenError(m.error));
    return;
  }
  view.match = m;
  view.replayText = text;
  setData('ticks', m.ticks);
  setData('replay', m.replay);
  const verdict = $('verdict');
  verdict.textContent = 'replay check: ' + m.replay;
  verdict.className = m.replay === 'reproduces' ? 'reproduces' : m.replay === 'result differs' ? 'differs' : 'diverges';
  for (const c of [$('game'), $('overlay')]) { c.width = m.width; c.height = m.height; }
  $('seek').max = String(m.ticks);
  $('share').disabled = false;
  drawTimeline();
  await show(Math.min(Math.max(0, startTick || 0), m.ticks));
  setData('state', 'ready');
}

// The engine's reason, with what to do about it.
function explainOpenError(reason) {
  if (/^Error compiling/.test(reason))
    return 'A file in this replay has an error, so the match cannot be played:\n' + reason +
           '\nMend the file (the playground shows every error at its line) and record the match again.';
  if (/version/.test(reason))
    return 'This replay was written by another version of Fusewick: ' + reason +
           '\nOpen it with the version that wrote it, or record the match again with this one.';
  return 'This is not a replay this viewer can read: ' + reason +
         '\nOpen a .replay file written by fusewick-arena --record or by the playground.';
}

async function openFromHash() {
  const parts = hashParts(location.hash);
  const tick = parts.tick !== undefined ? Number(parts.tick) || 0 : 0;
  if (parts.replay !== undefined) {
    let text;
    try {
      text = await linkDataToReplay(parts.replay);
    } catch (e) {
      showError('This link is damaged: the replay in it cannot be unpacked (' + e.message + ').\n' +
                'Copy the whole link again, or ask for the replay file and open it here.');
      return;
    }
    await openText(text, tick);
  } else if (parts.src !== undefined) {
    const path = decodeURIComponent(parts.src);
    let response;
    try {
      const url = new URL(path, location.href);
      if (url.origin !== location.origin) throw new Error('only replays on this site can be opened by #src=');
      response = await fetch(url);
      if (!response.ok) throw new Error('the server answered ' + response.status);
    } catch (e) {
      showError('The replay ' + path + ' cannot be fetched: ' + e.message + '.\nCheck the link, or open the file here.');
      return;
    }
    await openText(await response.text(), tick);
  } else {
    setData('state', 'ready');
    setData('replay', '');
    $('verdict').textContent = 'open a replay, or try the default match';
    const a = document.createElement('a');
    a.href = '#src=matches/default.replay';
    a.textContent = ' (the default match)';
    $('drop-hint').append(a);
  }
}

async function openFile(file) {
  if (!file) return;
  let text;
  try {
    text = await file.text();
  } catch (e) {
    showError('The file ' + file.name + ' cannot be read: ' + e.message);
    return;
  }
  history.replaceState(null, '', location.pathname);
  await openText(text, 0);
}

// [SECTION] Showing a tick

async function show(tick) {
  if (!view.match) return;
  view.wanted = tick;
  view.target = tick;
  if (view.busy) return;
  view.busy = true;
  while (view.wanted !== null) {
    const t = view.wanted;
    view.wanted = null;
    const s = await view.engine.call({op: 'show', tick: t});
    if (s.error) { showError(s.error); break; }
    view.tick = s.tick;
    view.shown = s;
    const ctx = $('game').getContext('2d');
    ctx.putImageData(new ImageData(new Uint8ClampedArray(s.frame), view.match.width, view.match.height), 0, 0);
    drawOverlay();
    drawTimeline();
    fillPanel();
    setData('tick', s.tick);
  }
  view.busy = false;
}

function cellSize() {
  const m = view.match;
  return {w: m.width / (m.grid[0] + 10), h: m.height / (m.grid[1] + 2)};
}

// The bombs hidden under a player (key b): a dashed frame on their cells, on a canvas above the game's frame.
function drawOverlay() {
  const c = $('overlay').getContext('2d');
  c.clearRect(0, 0, view.match.width, view.match.height);
  if (!view.overlay || !view.shown) return;
  const {w, h} = cellSize();
  c.strokeStyle = '#ff00ff';
  c.lineWidth = 2;
  c.setLineDash([4, 3]);
  for (const [x, y] of view.shown.hidden) c.strokeRect((x + 5) * w + 1, (y + 1) * h + 1, w - 2, h - 2);
}

function teamColour(t) {
  const [r, g, b] = view.match.teams[t].colour;
  return `rgb(${r},${g},${b})`;
}

function drawTimeline() {
  const canvas = $('timeline');
  if (!view.match) return;
  canvas.width = Math.max(300, view.match.width);
  const c = canvas.getContext('2d');
  const w = canvas.width, last = Math.max(1, view.match.ticks);
  c.clearRect(0, 0, w, canvas.height);
  const column = (t) => Math.round(t / last * (w - 1));
  const rows = {[KIND_EXPLOSION]: 3, [KIND_DEATH]: 13, [KIND_HIT]: 23};
  for (const [tick, kind, team] of view.match.marks) {
    c.fillStyle = teamColour(team);
    c.fillRect(column(tick) - 1, rows[kind], 3, 8);
    c.strokeStyle = '#000';
    c.lineWidth = 0.5;
    c.strokeRect(column(tick) - 1, rows[kind], 3, 8);
  }
  c.fillStyle = '#fff';
  c.fillRect(column(view.tick), 0, 1, canvas.height);
}

function who(t, p) { return (t + 1) + '.' + (p + 1); }

function fillPanel() {
  const m = view.match, s = view.shown;
  const t = Math.floor(view.followed / 4), p = view.followed % 4;
  const team = m.teams[t], pl = s.players[view.followed];
  $('followed-title').textContent = 'Player ' + who(t, p);
  $('f-team').textContent = team.name + ' (' + team.file + ')';
  $('f-type').textContent = team.players[p].type;
  $('f-health').textContent = String(pl.health);
  $('f-bombs').textContent = String(pl.bombs);
  $('f-cell').textContent = '(' + pl.x + ', ' + pl.y + ')';
  $('f-state').textContent = pl.state + (pl.detail ? ' ' + pl.detail : '');
  $('f-death').textContent = pl.death || '—';
  const program = $('program');
  program.replaceChildren();
  const lines = team.players[p].lines;
  const firstLine = lines.length ? lines[0] : 1, lastLine = lines.length ? lines[lines.length - 1] : 0;
  let current = null;
  for (let n = firstLine; n <= lastLine; ++n) {
    const row = document.createElement('div');
    const num = document.createElement('span');
    num.className = 'num';
    num.textContent = String(n);
    row.append(num, team.lines[n - 1] !== undefined ? team.lines[n - 1] : '');
    if (n === pl.line) { row.className = 'current'; current = row; }
    program.append(row);
  }
  if (current) program.scrollTop = current.offsetTop - program.clientHeight / 2;
  const body = $('players').tBodies[0];
  body.replaceChildren();
  s.players.forEach((q, i) => {
    const tr = document.createElement('tr');
    if (i === view.followed) tr.className = 'followed';
    const name = document.createElement('td');
    const sw = document.createElement('span');
    sw.className = 'swatch';
    sw.style.background = teamColour(Math.floor(i / 4));
    name.append(sw, who(Math.floor(i / 4), i % 4));
    const health = document.createElement('td');
    health.textContent = String(q.health);
    const state = document.createElement('td');
    state.textContent = q.death ? 'dead: ' + q.death : q.state + (q.detail ? ' ' + q.detail : '');
    tr.append(name, health, state);
    tr.onclick = () => follow(i);
    body.append(tr);
  });
  $('tick-text').textContent = s.tick + ' / ' + m.ticks;
  $('seek').value = String(s.tick);
  $('play').textContent = view.playing ? 'Pause' : 'Play';
}

function follow(i) {
  view.followed = (i + 16) % 16;
  if (view.shown) fillPanel();
}

// [SECTION] Playing, stepping, events

function go(tick, keepPlaying) {
  if (!view.match) return;
  if (!keepPlaying) view.playing = false;
  show(Math.min(Math.max(0, tick), view.match.ticks));
}

// [ and ]: the engine's viewer model says where the previous or next event is.
async function nextEvent(direction) {
  if (!view.match) return;
  const a = await view.engine.call({op: 'event', tick: view.target, forward: direction > 0});
  go(a.tick);
}

function frameLoop() {
  if (view.playing && view.match && !view.busy) {
    view.carry += SPEEDS[view.speed];
    const step = Math.floor(view.carry);
    view.carry -= step;
    if (step > 0) {
      const t = Math.min(view.tick + step, view.match.ticks);
      if (t >= view.match.ticks) view.playing = false;
      show(t);
    }
  }
  requestAnimationFrame(frameLoop);
}

function togglePlay() {
  if (!view.match) return;
  view.playing = !view.playing;
  if (view.playing && view.tick >= view.match.ticks) show(0);
  $('play').textContent = view.playing ? 'Pause' : 'Play';
}

function setSpeed(i) {
  view.speed = Math.min(Math.max(0, i), SPEEDS.length - 1);
  $('speed').value = String(view.speed);
}

function onKey(e) {
  if (e.target instanceof HTMLInputElement && e.target.type !== 'range' && e.target.type !== 'checkbox') return;
  const keys = {
    ' ': togglePlay, ArrowRight: () => go(view.target + 1), ArrowLeft: () => go(view.target - 1),
    PageDown: () => go(view.target + 100), PageUp: () => go(view.target - 100),
    Home: () => go(0), End: () => go(view.match ? view.match.ticks : 0),
    '[': () => nextEvent(-1), ']': () => nextEvent(1), b: toggleOverlay,
    '+': () => setSpeed(view.speed + 1), '=': () => setSpeed(view.speed + 1), '-': () => setSpeed(view.speed - 1),
  };
  if (e.key === 'Tab' && document.activeElement === $('game')) {
    follow(view.followed + (e.shiftKey ? -1 : 1));
    e.preventDefault();
    return;
  }
  const action = keys[e.key];
  if (action && !e.ctrlKey && !e.metaKey && !e.altKey) {
    action();
    e.preventDefault();
  }
}

function toggleOverlay() {
  view.overlay = !view.overlay;
  $('hidden-bombs').checked = view.overlay;
  if (view.match) drawOverlay();
}

// A click on the board follows the player whose picture is under it, the one in front first.
function clickBoard(e) {
  if (!view.shown) return;
  const rect = $('game').getBoundingClientRect();
  const {w, h} = cellSize();
  const x = (e.clientX - rect.left) * ($('game').width / rect.width) / w - 5;
  const y = (e.clientY - rect.top) * ($('game').height / rect.height) / h - 1;
  let best = -1;
  view.shown.players.forEach((p, i) => {
    if (!p.alive) return;
    const inside = x >= p.x && x < p.x + 1 && y >= p.y - 0.5 && y < p.y + 1;
    if (inside && (best < 0 || p.y >= view.shown.players[best].y)) best = i;
  });
  if (best >= 0) follow(best);
}

async function share() {
  const data = await replayToLinkData(view.replayText);
  const out = $('share-out');
  out.style.display = 'block';
  if (data.length + 40 > MAX_LINK_BYTES) {
    out.value = 'This match is too long for a link (' + data.length + ' bytes); the replay file was saved instead.';
    downloadText(view.replayText, 'match.replay');
    return;
  }
  const link = viewerLink(data) + (view.tick ? '&tick=' + view.tick : '');
  out.value = link;
  out.select();
  try { await navigator.clipboard.writeText(link); } catch (e) { /* the field shows it */ }
}

// [SECTION] For tests and tools

function setUpTools() {
  window.fusewick = {
    async record({map, teams, names, maxTicks} = {}) {
      if (!view.tools) view.tools = engineWorker();
      const request = {map, teams, maxTicks: maxTicks === undefined ? 1000000 : maxTicks};
      if (names) request.names = names;
      const a = await view.tools.call({op: 'record', request});
      if (a.error) throw new Error(a.error);
      return a.replay;
    },
    // Beyond the two above: every state's full fingerprint, one 16-hex-digit line per state (after loading, then
    // after each tick), as the regression corpus keeps them beside each replay.
    async fingerprints(text) {
      if (!view.tools) view.tools = engineWorker();
      const a = await view.tools.call({op: 'fingerprints', text});
      if (a.error) throw new Error(a.error);
      return a.fingerprints;
    },
    async verify(text) {
      if (!view.tools) view.tools = engineWorker();
      const a = await view.tools.call({op: 'verify', text});
      if (a.error) throw new Error(a.error);
      return a.replay;
    },
  };
}

function start() {
  setUpTools();
  view.engine = engineWorker();
  SPEEDS.forEach((s, i) => {
    const o = document.createElement('option');
    o.value = String(i);
    o.textContent = (s < 1 ? '1/' + (1 / s) : String(s)) + (s === 1 ? ' tick' : ' ticks') + ' a frame';
    $('speed').append(o);
  });
  setSpeed(view.speed);
  $('speed').onchange = () => setSpeed(Number($('speed').value));
  $('file').onchange = () => {
    const file = $('file').files[0];
    $('file').value = '';  // so that choosing the same file again, after a drop or a link, opens it again
    openFile(file);
  };
  $('play').onclick = togglePlay;
  $('first').onclick = () => go(0);
  $('last').onclick = () => go(view.match ? view.match.ticks : 0);
  $('back').onclick = () => go(view.target - 1);
  $('forward').onclick = () => go(view.target + 1);
  $('prev-event').onclick = () => nextEvent(-1);
  $('next-event').onclick = () => nextEvent(1);
  $('seek').oninput = () => go(Number($('seek').value), true);
  $('hidden-bombs').onchange = toggleOverlay;
  $('share').onclick = share;
  $('game').onclick = clickBoard;
  $('timeline').onclick = (e) => {
    if (!view.match) return;
    const rect = $('timeline').getBoundingClientRect();
    const col = (e.clientX - rect.left) * ($('timeline').width / rect.width);
    go(Math.round(col / ($('timeline').width - 1) * view.match.ticks), true);
  };
  document.addEventListener('keydown', onKey);
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFile(e.dataTransfer.files[0]);
  });
  window.addEventListener('hashchange', openFromHash);
  requestAnimationFrame(frameLoop);
  openFromHash().catch((e) => showError('The viewer failed: ' + e.message));
}

start();
