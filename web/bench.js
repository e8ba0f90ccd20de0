// bench.js: the browser site's figures, measured in headless Chromium against the native runner on this machine
// (a benchmark, not a test): the engine's speed in the page as a ratio to fusewick-arena on a quiet and a busy
// match, the first frame of the default match's link, a seek anywhere in a 100,000-tick match, the site's size
// compressed, and the link lengths of the bundled matches.
// Usage (after scripts/web --build-only and building fusewick-arena, with puppeteer-core from tests/web installed):
//   NODE_PATH=build/web-npm/node_modules node web/bench.js build/src/app/fusewick-arena
'use strict';
const {spawn, spawnSync, execFileSync} = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const puppeteer = require('puppeteer-core');

const ROOT = path.resolve(__dirname, '..');
const SITE = path.join(ROOT, 'build-web', 'site');
const ARENA = path.resolve(process.argv[2] || 'build/src/app/fusewick-arena');
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'fusewick-bench-'));

function team(types, body) {
  return types.map((t, i) => `P${i + 1} ${t}`).join('\n') + '\n' + body.join('\n') + '\n';
}

// Quiet: four players walk into a wall and stand there, holding the match open to the cap of 100,000 ticks.
// Busy: every player walks, turns and drops bombs all the time.
function recordMatches() {
  const quiet = team(['CAPTAIN', 'CAPTAIN', 'CAPTAIN', 'CAPTAIN'], [1, 2, 3, 4].map((p) => `P${p}.MOVE 0`));
  let seed = 3;
  const pick = (a) => a[(seed = (seed * 1103515245 + 12345) % 2147483648) % a.length];
  const busyLines = [];
  for (let p = 1; p <= 4; ++p)
    for (let i = 0; i < 3000; ++i) busyLines.push(pick([`P${p}.MOVE 1`, `P${p}.DROP`, `P${p}.LEFT`, `P${p}.RIGHT`, `P${p}.MOVE 2`, `P${p}.DROP`]));
  const busy = team(['HOARDER', 'HULK', 'GHOST', 'SAFETY'], busyLines);
  const out = {};
  for (const [name, text] of [['quiet', quiet], ['busy', busy]]) {
    const file = path.join(tmp, name + '.fpl');
    fs.writeFileSync(file, text);
    const replay = path.join(SITE, 'matches', `bench-${name}.replay`);
    execFileSync(ARENA, ['--record', replay, '--max-ticks', '100000', '-M', path.join(ROOT, 'default.map'), file, file, file, file],
                 {stdio: 'ignore'});
    out[name] = replay;
  }
  out.tiny = path.join(SITE, 'matches', 'bench-tiny.replay');
  execFileSync(ARENA, ['--record', out.tiny, '--max-ticks', '1', path.join(ROOT, 'default.fpl')], {stdio: 'ignore', cwd: ROOT});
  return out;
}

function nativeMs(replay) {
  let best = Infinity;
  for (let i = 0; i < 5; ++i) {
    const t = process.hrtime.bigint();
    const r = spawnSync(ARENA, ['--replay', replay], {stdio: 'ignore'});
    if (r.status !== 0) throw new Error('the native runner refused ' + replay);
    best = Math.min(best, Number(process.hrtime.bigint() - t) / 1e6);
  }
  return best;
}

async function main() {
  const matches = recordMatches();
  const server = spawn('python3', [path.join(ROOT, 'web', 'serve.py'), SITE, '0'], {stdio: ['ignore', 'pipe', 'inherit']});
  const port = await new Promise((resolve) => server.stdout.on('data', (d) => { const m = /listening on (\d+)/.exec(String(d)); if (m) resolve(m[1]); }));
  const origin = `http://127.0.0.1:${port}`;
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--user-data-dir=${path.join(tmp, 'profile')}`],
  });
  try {
    const page = await browser.newPage();
    await page.goto(`${origin}/index.html`);
    await page.waitForFunction(() => document.body.dataset.state === 'ready');
    // The native runner's start, reading and loading, measured on a one-tick match and taken off.
    const start = nativeMs(matches.tiny);
    console.log(`engine in the page against the native runner (best of 5, the whole replay check; ${start.toFixed(1)} ms of native process start and loading taken off):`);
    for (const [name, replay] of Object.entries(matches).filter(([n]) => n !== 'tiny')) {
      const text = fs.readFileSync(replay, 'utf8');
      const ticks = JSON.parse(text).result.ticks;
      const pageMs = await page.evaluate(async (t) => {
        let best = Infinity;
        for (let i = 0; i < 5; ++i) {
          const s = performance.now();
          if (await window.fusewick.verify(t) !== 'reproduces') throw new Error('does not reproduce');
          best = Math.min(best, performance.now() - s);
        }
        return best;
      }, text);
      const native = nativeMs(replay) - start;
      console.log(`  ${name}: ${ticks} ticks, page ${pageMs.toFixed(1)} ms, native ${native.toFixed(1)} ms, ratio ${(native / pageMs).toFixed(2)}`);
    }

    const link = zlib.deflateRawSync(fs.readFileSync(path.join(SITE, 'matches', 'default.replay'))).toString('base64url');
    const firsts = [];
    for (let i = 0; i < 5; ++i) {
      const fresh = await browser.newPage();
      const s = Date.now();
      await fresh.goto(`${origin}/index.html#replay=${link}`);
      await fresh.waitForFunction(() => document.body.dataset.state === 'ready');
      firsts.push(Date.now() - s);
      await fresh.close();
    }
    console.log(`first frame of the default match's link (navigation to the checked match's first frame): ${Math.min(...firsts)} ms best, ${Math.max(...firsts)} ms worst of 5`);

    await page.goto('about:blank');
    await page.goto(`${origin}/index.html#src=matches/bench-quiet.replay`);
    await page.waitForFunction(() => document.body.dataset.state === 'ready' && document.body.dataset.ticks !== '0', {timeout: 60000});
    const seeks = await page.evaluate(async () => {
      const last = Number(document.body.dataset.ticks);
      const times = [];
      for (let i = 0; i < 30; ++i) {
        const target = String(Math.floor(Math.random() * last));
        const s = performance.now();
        await new Promise((resolve) => {
          const seen = new MutationObserver(() => { if (document.body.dataset.tick === target) { seen.disconnect(); resolve(); } });
          seen.observe(document.body, {attributes: true});
          const slider = document.getElementById('seek');
          slider.value = target;
          slider.dispatchEvent(new Event('input'));
        });
        times.push(performance.now() - s);
      }
      return {last, mean: times.reduce((a, b) => a + b) / times.length, worst: Math.max(...times)};
    });
    console.log(`seek to a random tick of the ${seeks.last}-tick match, frame drawn and shown: ${seeks.mean.toFixed(1)} ms mean, ${seeks.worst.toFixed(1)} ms worst of 30`);

    let gz = 0, raw = 0;
    for (const f of ['index.html', 'play.html', 'style.css', 'link.js', 'viewer.js', 'play.js', 'worker.js', 'fusewick.js']) {
      const bytes = fs.readFileSync(path.join(SITE, f));
      raw += bytes.length;
      gz += zlib.gzipSync(bytes, {level: 9}).length;
    }
    console.log(`site (pages, scripts and the engine): ${raw} bytes, ${gz} bytes gzip-compressed`);
    for (const f of fs.readdirSync(path.join(SITE, 'matches')).filter((f) => !f.startsWith('bench-')).sort()) {
      const text = fs.readFileSync(path.join(SITE, 'matches', f));
      const data = zlib.deflateRawSync(text).toString('base64url');
      console.log(`link of ${f}: ${text.length} bytes of replay, ${data.length} characters after #replay=`);
    }
  } finally {
    await browser.close();
    server.kill();
    for (const name of ['quiet', 'busy', 'tiny']) fs.rmSync(path.join(SITE, 'matches', `bench-${name}.replay`), {force: true});
    fs.rmSync(tmp, {recursive: true, force: true});
  }
}

main().catch((e) => { console.error(e); process.exit(1); });
