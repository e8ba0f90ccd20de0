// site_test.js: the browser site in real headless Chromium. The default match opens from a link and from the site,
// checks itself and shows the engine's frame byte for byte; native replays (the corpus when present and 500
// generated matches) reproduce in the page through window.fusewick.verify, and the page's own recordings reproduce
// with fusewick-arena --replay; an edited replay diverges at the tick edited; bad input gives a message that says
// what to do; names are text; the site loads nothing but its own files.
// Usage: node site_test.js REPO_DIR FUSEWICK_ARENA  (NODE_PATH must find puppeteer-core)
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert/strict');
const {spawn, execFileSync, spawnSync} = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const puppeteer = require('puppeteer-core');

const [ROOT, ARENA] = process.argv.slice(2);
const SITE = path.join(ROOT, 'build-web', 'site');
const GENERATED = 500;
let server, browser, origin, tmp;

const linkData = (text) => zlib.deflateRawSync(Buffer.from(text)).toString('base64url');
const defaultReplay = () => fs.readFileSync(path.join(SITE, 'matches', 'default.replay'), 'utf8');

before(async () => {
  tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'fusewick-site-'));
  server = spawn('python3', [path.join(ROOT, 'web', 'serve.py'), SITE, '0'], {stdio: ['ignore', 'pipe', 'inherit']});
  const port = await new Promise((resolve, reject) => {
    server.stdout.on('data', (d) => { const m = /listening on (\d+)/.exec(String(d)); if (m) resolve(m[1]); });
    server.on('exit', () => reject(new Error('the server did not start')));
  });
  origin = `http://127.0.0.1:${port}`;
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--user-data-dir=${path.join(tmp, 'profile')}`],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.kill();
  fs.rmSync(tmp, {recursive: true, force: true});
});

// A page on the site, failing the test on any request that leaves it or any script error.
async function openPage(hash = '', file = 'index.html') {
  const page = await browser.newPage();
  page.faults = [];
  await page.setRequestInterception(true);
  page.on('request', (r) => {
    const url = r.url();
    if (!url.startsWith(origin + '/') && !url.startsWith('data:') && !url.startsWith('blob:')) {
      page.faults.push('request outside the site: ' + url);
      r.abort();
    } else r.continue();
  });
  page.on('pageerror', (e) => page.faults.push('script error: ' + e.message));
  page.on('dialog', (d) => { page.faults.push('dialog: ' + d.message()); d.dismiss(); });
  page.on('console', (m) => { if (/Content.Security.Policy|Refused/.test(m.text())) page.faults.push(m.text()); });
  await page.goto(`${origin}/${file}${hash}`);
  return page;
}

async function settled(page) {
  await page.waitForFunction(() => document.body.dataset.state !== 'loading', {timeout: 30000});
  return page.evaluate(() => ({...document.body.dataset, message: document.getElementById('message').textContent}));
}

// [SECTION] Generated matches: random programs on the bundled maps, recorded by the native runner

function randomTeam(rng) {
  const types = ['CAPTAIN', 'GHOST', 'STRETCHER', 'SAFETY', 'SPRINTER', 'HOARDER', 'HULK'];
  const lines = ['# generated'];
  for (let p = 1; p <= 4; ++p) lines.push(`P${p} ${types[Math.floor(rng() * types.length)]}`);
  for (let p = 1; p <= 4; ++p) {
    const n = 2 + Math.floor(rng() * (rng() < 0.2 ? 40 : 10));
    for (let i = 0; i < n; ++i) {
      const r = rng();
      if (r < 0.35) lines.push(`P${p}.MOVE ${1 + Math.floor(rng() * 6)}`);
      else if (r < 0.5) lines.push(`P${p}.LEFT`);
      else if (r < 0.6) lines.push(`P${p}.RIGHT`);
      else if (r < 0.65) lines.push(`P${p}.REVERSE`);
      else if (r < 0.85) lines.push(`P${p}.DROP`);
      else lines.push(`P${p}.WAIT ${1 + Math.floor(rng() * (rng() < 0.1 ? 400 : 20))}`);
    }
  }
  return lines.join('\n') + '\n';
}

function mulberry32(seed) {
  return () => {
    seed = (seed + 0x6D2B79F5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function generatedReplays(count) {
  const rng = mulberry32(20261207);
  const maps = ['default.map', ...fs.readdirSync(path.join(ROOT, 'maps')).map((m) => 'maps/' + m)];
  const dir = path.join(tmp, 'generated');
  fs.mkdirSync(dir, {recursive: true});
  const replays = [];
  for (let i = 0; i < count; ++i) {
    const teams = [0, 1, 2, 3].map((t) => { const f = path.join(dir, `g${i}_${t}.fpl`); fs.writeFileSync(f, randomTeam(rng)); return f; });
    const out = path.join(dir, `g${i}.replay`);
    execFileSync(ARENA, ['--record', out, '--max-ticks', String(500 + Math.floor(rng() * 3000)), '-M',
                         path.join(ROOT, maps[i % maps.length]), ...teams], {stdio: 'ignore'});
    replays.push(fs.readFileSync(out, 'utf8'));
  }
  return replays;
}

// [SECTION] The tests

test('the default match opens from the site, reproduces, and the canvas holds the engine\'s frame', async () => {
  const started = Date.now();
  const page = await openPage('#src=matches/default.replay&tick=390');
  await page.setViewport({width: 1500, height: 900});
  const d = await settled(page);
  const firstFrame = Date.now() - started;
  assert.equal(d.state, 'ready', d.message);
  assert.equal(d.replay, 'reproduces');
  assert.equal(d.ticks, '861');
  assert.equal(d.tick, '390');
  const shown = await page.evaluate(() => {
    const c = document.getElementById('game');
    const bytes = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let hash = 0;
    for (let i = 0; i < bytes.length; ++i) hash = (Math.imul(hash, 31) + bytes[i]) | 0;
    return {w: c.width, h: c.height, hash, verdict: document.getElementById('verdict').textContent};
  });
  assert.deepEqual([shown.w, shown.h], [1000, 520]);  // the game's window at 40 pixels a cell
  assert.match(shown.verdict, /reproduces/);
  // The same tick drawn by the engine outside the browser.
  const engine = await require(path.join(ROOT, 'build-web', 'fusewick.js'))({print() {}, printErr() {}});
  JSON.parse(engine.ccall('fw_open', 'string', ['string'], [defaultReplay()]));
  JSON.parse(engine.ccall('fw_show', 'string', ['number'], [390]));
  const at = engine.ccall('fw_frame', 'number', [], []);
  const frame = engine.HEAPU8.subarray(at, at + engine.ccall('fw_frame_size', 'number', [], []));
  let hash = 0;
  for (let i = 0; i < frame.length; ++i) hash = (Math.imul(hash, 31) + frame[i]) | 0;
  assert.equal(shown.hash, hash, 'the canvas holds other bytes than the engine drew');
  if (process.env.FUSEWICK_SCREENSHOTS) await page.screenshot({path: path.join(process.env.FUSEWICK_SCREENSHOTS, 'web-viewer.png'), fullPage: true});
  assert.deepEqual(page.faults, []);
  console.log(`# first frame of the default match at tick 390: ${firstFrame} ms`);
  await page.close();
});

test('the default match\'s link opens paused at its tick, and keys step, jump and follow', async () => {
  const page = await openPage('#replay=' + linkData(defaultReplay()) + '&tick=100');
  const d = await settled(page);
  assert.equal(d.replay, 'reproduces');
  assert.equal(d.tick, '100');
  await page.focus('#game');
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction(() => document.body.dataset.tick === '101');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('ArrowLeft');
  await page.waitForFunction(() => document.body.dataset.tick === '99');
  await page.keyboard.press(']');
  await page.waitForFunction(() => Number(document.body.dataset.tick) > 99);
  const title = () => page.$eval('#followed-title', (e) => e.textContent);
  assert.equal(await title(), 'Player 1.1');
  await page.keyboard.press('Tab');
  assert.equal(await title(), 'Player 1.2');
  await page.keyboard.down('Shift');
  await page.keyboard.press('Tab');
  await page.keyboard.press('Tab');
  await page.keyboard.up('Shift');
  assert.equal(await title(), 'Player 4.4');
  // A click on a player's picture follows it: player 3.2 where the engine outside the browser says it stands.
  const engine = await require(path.join(ROOT, 'build-web', 'fusewick.js'))({print() {}, printErr() {}});
  JSON.parse(engine.ccall('fw_open', 'string', ['string'], [defaultReplay()]));
  const tick = Number(await page.evaluate(() => document.body.dataset.tick));
  const at = JSON.parse(engine.ccall('fw_show', 'string', ['number'], [tick])).players[9];
  const box = await page.$eval('#game', (c) => { const r = c.getBoundingClientRect(); return {x: r.left, y: r.top}; });
  await page.mouse.click(box.x + (at.x + 5.5) * 40, box.y + (at.y + 1.5) * 40);
  assert.equal(await title(), 'Player 3.2');
  // The cause of a death in words, and the overlay of hidden bombs only on b: the game's canvas never changes.
  await page.keyboard.press('End');
  await page.waitForFunction(() => document.body.dataset.tick === '861');
  const states = await page.$$eval('#players tbody tr td:nth-child(3)', (cells) => cells.map((c) => c.textContent));
  assert.ok(states.some((s) => /^dead: hit by the bomb of [1-4]\.[1-4] from \(\d+, \d+\)$/.test(s)), states.join('\n'));
  const pixels = () => page.$eval('#game', (c) => Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data.filter((_, i) => i % 97 === 0)).join());
  const overlayInk = () => page.$eval('#overlay', (c) => c.getContext('2d').getImageData(0, 0, c.width, c.height).data.some((v) => v !== 0));
  await page.keyboard.press('Home');
  await page.waitForFunction(() => document.body.dataset.tick === '0');
  await page.keyboard.press(']');
  await page.waitForFunction(() => document.body.dataset.tick !== '0');
  // A tick with a bomb under a player, as the engine outside the browser finds it.
  const opened = JSON.parse(engine.ccall('fw_open', 'string', ['string'], [defaultReplay()]));
  let hiddenTick = 0;
  for (let t = 1; t <= opened.ticks && !hiddenTick; ++t)
    if (JSON.parse(engine.ccall('fw_show', 'string', ['number'], [t])).hidden.length) hiddenTick = t;
  assert.ok(hiddenTick > 0);
  await page.evaluate((t) => { const s = document.getElementById('seek'); s.value = String(t); s.dispatchEvent(new Event('input')); }, hiddenTick);
  await page.waitForFunction((t) => document.body.dataset.tick === String(t), {}, hiddenTick);
  const before = await pixels();
  assert.equal(await overlayInk(), false, 'the overlay is off by default');
  await page.focus('#game');
  await page.keyboard.press('b');
  assert.equal(await page.$eval('#hidden-bombs', (c) => c.checked), true);
  assert.equal(await pixels(), before, 'the game\'s canvas stays the game\'s frame');
  assert.equal(await overlayInk(), true, 'b marks the hidden bomb');
  assert.deepEqual(page.faults, []);
  await page.close();
});

test('native replays reproduce in the page: the corpus and generated matches', async () => {
  const corpus = path.join(ROOT, 'tests', 'corpus');
  const texts = fs.existsSync(corpus)
    ? fs.readdirSync(corpus).filter((f) => f.endsWith('.replay')).map((f) => fs.readFileSync(path.join(corpus, f), 'utf8'))
    : [];
  const fromCorpus = texts.length;
  // The corpus's full fingerprints, tick by tick, against the page's.
  if (fromCorpus) {
    const page = await openPage();
    await settled(page);
    const names = fs.readdirSync(corpus).filter((f) => f.endsWith('.replay'));
    for (const name of names) {
      const kept = path.join(corpus, name.replace(/\.replay$/, '.fingerprints.gz'));
      if (!fs.existsSync(kept)) continue;
      const expected = zlib.gunzipSync(fs.readFileSync(kept)).toString().trim().split('\n');
      const got = (await page.evaluate((t) => window.fusewick.fingerprints(t), fs.readFileSync(path.join(corpus, name), 'utf8'))).trim().split('\n');
      assert.equal(got.length, expected.length, name);
      const first = got.findIndex((g, i) => i > 0 && g !== expected[i]);
      assert.equal(first, -1, `${name}: the page's state after tick ${first} differs`);
    }
    await page.close();
  }
  texts.push(...generatedReplays(GENERATED));
  const page = await openPage();
  await settled(page);
  const started = Date.now();
  const words = [];
  for (let i = 0; i < texts.length; i += 50)
    words.push(...await page.evaluate(async (batch) => {
      const out = [];
      for (const t of batch) out.push(await window.fusewick.verify(t).catch((e) => 'error: ' + e.message));
      return out;
    }, texts.slice(i, i + 50)));
  const failing = words.map((w, i) => [i, w]).filter(([, w]) => w !== 'reproduces');
  assert.deepEqual(failing, [], 'replays that do not reproduce in the page');
  console.log(`# ${fromCorpus} corpus and ${GENERATED} generated replays verified in the page in ${Date.now() - started} ms`);
  await page.close();
});

test('replays recorded in the page reproduce with fusewick-arena --replay', async () => {
  const rng = mulberry32(7);
  const page = await openPage();
  await settled(page);
  const map = fs.readFileSync(path.join(ROOT, 'default.map'), 'utf8');
  for (let i = 0; i < 20; ++i) {
    const teams = [0, 1, 2, 3].map(() => randomTeam(rng));
    const text = await page.evaluate((map, teams) => window.fusewick.record({map, teams, maxTicks: 3000}), map, teams);
    const file = path.join(tmp, `page${i}.replay`);
    fs.writeFileSync(file, text);
    const run = spawnSync(ARENA, ['--replay', file], {encoding: 'utf8'});
    assert.equal(run.status, 0, `page recording ${i}: ${run.stderr}`);
  }
  const bad = await page.evaluate(() => window.fusewick.record({map: 'nonsense', teams: ['', '', '', '']}).then(() => 'resolved', (e) => e.message));
  assert.match(bad, /^Error compiling default\.map/);
  await page.close();
});

test('an edited replay diverges at the tick edited, and an edited result is told apart', async () => {
  const page = await openPage();
  await settled(page);
  const original = JSON.parse(defaultReplay());
  for (const tick of [1, 390, 861]) {
    const doc = structuredClone(original);
    const bytes = Buffer.from(doc.hashes.ticks, 'base64');
    bytes[tick - 1] ^= 0x5a;
    doc.hashes.ticks = bytes.toString('base64');
    assert.equal(await page.evaluate((t) => window.fusewick.verify(t), JSON.stringify(doc)), `diverges at tick ${tick}`);
  }
  const doc = structuredClone(original);
  doc.result.scores[0] += 1;
  assert.equal(await page.evaluate((t) => window.fusewick.verify(t), JSON.stringify(doc)), 'result differs');
  await page.close();
});

test('bad input gives a message on the page that says what to do', async (t) => {
  const original = JSON.parse(defaultReplay());
  const withVersion = {...original, version: 99};
  const withBadTeam = structuredClone(original);
  withBadTeam.files[1].text = 'P1 CAPTAIN\nP1.FLY 3\n';
  const cases = [
    ['a damaged link', '#replay=%%%not-base64', /link is damaged.*\n.*Copy the whole link again/],
    ['a link cut short', '#replay=' + linkData(defaultReplay()).slice(0, 300), /link is damaged/],
    ['not a replay', '#replay=' + linkData('hello, world\n'), /not a replay this viewer can read.*\n.*Open a \.replay file/],
    ['an unknown version', '#replay=' + linkData(JSON.stringify(withVersion)), /another version of Fusewick.*version 99/s],
    ['a team file with errors', '#replay=' + linkData(JSON.stringify(withBadTeam)), /has an error.*Error compiling default\.fpl, line 2.*\n.*Mend the file/s],
    ['a missing file on the site', '#src=matches/none.replay', /cannot be fetched.*404/],
  ];
  for (const [name, hash, message] of cases) {
    await t.test(name, async () => {
      const page = await openPage(hash);
      const d = await settled(page);
      assert.equal(d.state, 'error');
      assert.match(d.error, message);
      assert.equal(d.message, d.error);
      const visible = await page.$eval('#message', (e) => e.offsetHeight > 0);
      assert.ok(visible, 'the message is on the page');
      if (name === 'a team file with errors' && process.env.FUSEWICK_SCREENSHOTS)
        await page.screenshot({path: path.join(process.env.FUSEWICK_SCREENSHOTS, 'web-error.png')});
      assert.deepEqual(page.faults, []);
      await page.close();
    });
  }
});

test('a replay opens from the file picker and by drop; Share gives a link up to 32 KB and the file beyond', async () => {
  const page = await openPage();
  await page.setViewport({width: 1500, height: 900});
  assert.equal((await settled(page)).state, 'ready');
  const short = path.join(tmp, 'default.replay');
  fs.writeFileSync(short, defaultReplay());
  await (await page.$('#file')).uploadFile(short);
  await page.waitForFunction(() => document.body.dataset.replay === 'reproduces', {timeout: 30000});
  assert.equal(await page.evaluate(() => document.body.dataset.ticks), '861');

  // A drop of the longest corpus match (far beyond a link's 32 KB) opens it too, and Share saves it as a file.
  const long = fs.readdirSync(path.join(ROOT, 'tests', 'corpus')).filter((f) => f.startsWith('long-') && f.endsWith('.replay'))
    .map((f) => fs.readFileSync(path.join(ROOT, 'tests', 'corpus', f), 'utf8')).sort((a, b) => b.length - a.length)[0];
  if (long) {
    await page.evaluate((text) => {
      const data = new DataTransfer();
      data.items.add(new File([text], 'long.replay'));
      document.dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true, cancelable: true}));
    }, long);
    await page.waitForFunction((ticks) => document.body.dataset.ticks === ticks && document.body.dataset.replay === 'reproduces',
      {timeout: 60000}, String(JSON.parse(long).result.ticks));
    await page.click('#share');
    await page.waitForFunction(() => document.getElementById('share-out').value !== '', {timeout: 30000});
    assert.match(await page.$eval('#share-out', (e) => e.value), /too long for a link .*the replay file was saved instead/);
  }

  // The default match again: its link opens the same match in a fresh page.
  await (await page.$('#file')).uploadFile(short);
  await page.waitForFunction(() => document.body.dataset.ticks === '861', {timeout: 30000});
  await page.click('#share');
  await page.waitForFunction(() => document.getElementById('share-out').value.includes('#replay='), {timeout: 30000});
  const link = await page.$eval('#share-out', (e) => e.value);
  assert.ok(link.length < 32 * 1024, `a link of ${link.length} characters`);
  const again = await openPage(link.slice(link.indexOf('#')));
  const d = await settled(again);
  assert.deepEqual([d.state, d.replay, d.ticks], ['ready', 'reproduces', '861']);
  assert.deepEqual([...page.faults, ...again.faults], []);
  await page.close();
  await again.close();
});

test('a team file named like HTML shows as text', async () => {
  const page = await openPage();
  await settled(page);
  const name = '<img src=x onerror=alert(1)>.fpl';
  const team = fs.readFileSync(path.join(ROOT, 'default.fpl'), 'utf8');
  const map = fs.readFileSync(path.join(ROOT, 'default.map'), 'utf8');
  const text = await page.evaluate((map, team, name) => window.fusewick.record({map, teams: [team, team, team, team], names: ['default.map', name, 't2.fpl', 't3.fpl', 't4.fpl']}), map, team, name);
  await page.goto(`${origin}/index.html#replay=${linkData(text)}`);
  const d = await settled(page);
  assert.equal(d.replay, 'reproduces');
  assert.equal(await page.$$eval('img', (imgs) => imgs.length), 0);
  assert.equal(await page.$eval('#f-team', (e) => e.textContent), '<img src=x onerror=alert(1)> (<img src=x onerror=alert(1)>.fpl)');
  assert.deepEqual(page.faults, []);
  await page.close();
});

test('the site says by a Content-Security-Policy that it loads nothing but its own files', async () => {
  for (const file of ['index.html', 'play.html']) {
    const page = await browser.newPage();
    const response = await page.goto(`${origin}/${file}`);
    const header = response.headers()['content-security-policy'];
    assert.match(header, /default-src 'self'/);
    assert.match(header, /script-src 'self' 'wasm-unsafe-eval'(;|$)/);
    assert.doesNotMatch(header, /'unsafe-inline'|'unsafe-eval'/);
    const meta = await page.$eval('meta[http-equiv="Content-Security-Policy"]', (m) => m.content);
    assert.match(meta, /default-src 'self'/);
    await page.close();
  }
});

test('the playground checks as one types, runs, stops a match that never ends, and shares', async () => {
  const page = await openPage('', 'play.html');
  await page.waitForFunction(() => document.body.dataset.state === 'ready', {timeout: 30000});
  assert.equal(await page.$$eval('.diags .error', (e) => e.length), 0, 'the bundled files have no errors');
  const team = (await page.$$('.editor textarea'))[1];
  await team.click();
  await page.keyboard.down('Control');
  await page.keyboard.press('End');
  await page.keyboard.up('Control');
  await page.keyboard.type('\nP1.FLY 2\n');
  await page.waitForFunction(() => document.querySelectorAll('.diags .error').length > 0);
  assert.match(await page.$eval('.diags .error', (e) => e.textContent), /^line \d+:\d+: error: /);
  await page.click('#run');
  await page.waitForFunction(() => document.body.dataset.state === 'error');
  assert.match(await page.$eval('#message', (e) => e.textContent), /Error compiling default\.fpl, line \d+/);
  // Stop ends the worker wherever the match is, and the page goes on.
  await page.$$eval('.editor textarea', (areas) => areas.slice(1).forEach((a) => { a.value = 'P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.MOVE 0\n'; a.dispatchEvent(new Event('input')); }));
  await page.$eval('#cap', (c) => { c.value = '1000000'; });
  await page.evaluate(() => { document.getElementById('run').click(); document.getElementById('stop').click(); });
  await page.waitForFunction(() => document.getElementById('result').textContent === 'stopped');
  assert.equal(await page.$eval('#run', (b) => b.disabled), false);
  // With the cap the same match ends, and its link opens in the viewer.
  await page.$eval('#cap', (c) => { c.value = '500'; });
  await page.click('#run');
  await page.waitForFunction(() => document.body.dataset.state === 'ready' && document.body.dataset.ticks !== '0');
  assert.match(await page.$eval('#result', (e) => e.textContent), /^\d+ ticks/);
  const link = await page.$eval('#result a', (a) => a.href);
  // Download replay: a file that the native runner accepts.
  const downloads = path.join(tmp, 'downloads');
  fs.mkdirSync(downloads, {recursive: true});
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.click('#download');
  const saved = path.join(downloads, 'match.replay');
  for (let i = 0; i < 100 && !fs.existsSync(saved); ++i) await new Promise((r) => setTimeout(r, 50));
  const run = spawnSync(ARENA, ['--replay', saved], {encoding: 'utf8'});
  assert.equal(run.status, 0, run.stderr);
  assert.deepEqual(page.faults, []);
  await page.goto(link);
  const d = await settled(page);
  assert.equal(d.replay, 'reproduces');
  await page.close();
});

test('the playground as it opens', async () => {
  const page = await openPage('', 'play.html');
  await page.setViewport({width: 1400, height: 900});
  await page.waitForFunction(() => document.body.dataset.state === 'ready', {timeout: 30000});
  await page.click('#run');
  await page.waitForFunction(() => document.body.dataset.ticks !== '0');
  if (process.env.FUSEWICK_SCREENSHOTS) await page.screenshot({path: path.join(process.env.FUSEWICK_SCREENSHOTS, 'web-playground.png')});
  assert.deepEqual(page.faults, []);
  await page.close();
});
