// One scripted run of the web edition in Debian's chromium, headless, WebGL 2 on SwiftShader:
// the page loads with its progress bar to 100 %, a key starts the game, the logo and then the
// title appear, the page counts 60 game steps a second on the title, the Web Audio context runs,
// X leads through the telop to the home stage and holding the up arrow moves the picture; no
// page or console error and no request leaves the server on the way. Screenshots of each scene
// go to --shots (default: <site>/../web-shots). --measure prints the figures as `name: value unit`.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const args = process.argv.slice(2);
const opt = (name, fallback) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : fallback;
};
const site = path.resolve(opt('--site', 'build-web/site'));
const shots = path.resolve(opt('--shots', path.join(site, '..', 'web-shots')));
const measure = args.includes('--measure');
const repo = path.resolve(__dirname, '..', '..');

const failures = [];
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
  return ok;
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The few PNG shapes chromium writes (8-bit RGB or RGBA, not interlaced), to RGBA pixels.
function decodePng(buf) {
  let pos = 8;
  let width = 0, height = 0, type = 0;
  const idat = [];
  while (pos < buf.length) {
    const len = buf.readUInt32BE(pos);
    const tag = buf.toString('ascii', pos + 4, pos + 8);
    const body = buf.subarray(pos + 8, pos + 8 + len);
    if (tag === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0) throw new Error('unexpected PNG depth or interlace');
      type = body[9];
    } else if (tag === 'IDAT') {
      idat.push(body);
    }
    pos += 12 + len;
  }
  const bpp = type === 6 ? 4 : type === 2 ? 3 : 0;
  if (!bpp) throw new Error(`unexpected PNG colour type ${type}`);
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * bpp;
  const out = Buffer.alloc(width * height * 4);
  const prev = Buffer.alloc(stride);
  const line = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= bpp ? line[i - bpp] : 0;
      const b = prev[i];
      const c = i >= bpp ? prev[i - bpp] : 0;
      let v = src[i];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c;
        const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      line[i] = v & 255;
    }
    for (let x = 0; x < width; x++) {
      out[(y * width + x) * 4] = line[x * bpp];
      out[(y * width + x) * 4 + 1] = line[x * bpp + 1];
      out[(y * width + x) * 4 + 2] = line[x * bpp + 2];
      out[(y * width + x) * 4 + 3] = bpp === 4 ? line[x * bpp + 3] : 255;
    }
    line.copy(prev);
  }
  return { width, height, rgba: out };
}

function stats(img) {
  let r = 0, g = 0, b = 0;
  const n = img.width * img.height;
  for (let i = 0; i < n; i++) {
    r += img.rgba[i * 4];
    g += img.rgba[i * 4 + 1];
    b += img.rgba[i * 4 + 2];
  }
  r /= n; g /= n; b /= n;
  return { r, g, b, lum: 0.299 * r + 0.587 * g + 0.114 * b };
}

function difference(a, b) {
  let sum = 0;
  for (let i = 0; i < a.rgba.length; i += 4)
    sum += Math.abs(a.rgba[i] - b.rgba[i]) + Math.abs(a.rgba[i + 1] - b.rgba[i + 1]) + Math.abs(a.rgba[i + 2] - b.rgba[i + 2]);
  return sum / (a.rgba.length / 4) / 3;
}

function serve() {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', [path.join(repo, 'web', 'serve.py'), site, '--port', '0', '--quiet'],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    server.on('error', reject);
    server.stdout.on('data', (d) => {
      const m = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(String(d));
      if (m) resolve({ server, url: m[0] });
    });
    setTimeout(() => reject(new Error('the server did not start')), 10000);
  });
}

async function main() {
  for (const f of ['index.html', 'brimmel.js', 'brimmel.wasm', 'brimmel.data', 'brimmel-data.js'])
    if (!fs.existsSync(path.join(site, f))) throw new Error(`${site}/${f} is missing: build with scripts/web --build-only`);
  fs.mkdirSync(shots, { recursive: true });
  const { server, url } = await serve();
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox', '--window-size=800,640'],
  });
  try {
    await run(browser, url);
    await failedStarts(browser, url);
  } finally {
    await browser.close();
    server.kill();
  }
}

async function run(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(`console error: ${m.text()}`); });
  page.on('requestfailed', (r) => errors.push(`request failed: ${r.url()}`));
  page.on('response', (r) => { if (r.status() >= 400) errors.push(`HTTP ${r.status()}: ${r.url()}`); });
  // A message box from the game (an alert) is a failure to report, and must not hang the run.
  page.on('dialog', async (d) => {
    errors.push(`dialog: ${d.message()}`);
    await d.dismiss();
  });
  const foreign = [];
  page.on('request', (r) => {
    const u = r.url();
    if (!u.startsWith(url) && !u.startsWith('data:') && !u.startsWith('blob:')) foreign.push(u);
  });
  // Every audio context the page makes, to see whether sound is running, and a listener on
  // whatever reaches the speakers, to hear it.
  await page.evaluateOnNewDocument(() => {
    const Base = window.AudioContext;
    window.__audioContexts = [];
    window.AudioContext = class extends Base {
      constructor(...a) {
        super(...a);
        window.__audioContexts.push(this);
        this.__ear = this.createAnalyser();
        this.__ear.fftSize = 2048;
      }
    };
    const connect = AudioNode.prototype.connect;
    AudioNode.prototype.connect = function (target, ...rest) {
      if (target instanceof AudioDestinationNode && this.context.__ear) connect.call(this, this.context.__ear);
      return connect.call(this, target, ...rest);
    };
    // A game pad the test plugs in (the browser's Gamepad API, standard mapping).
    window.__pads = [];
    navigator.getGamepads = () => window.__pads;
    window.__plugPad = () => {
      const pad = { id: 'Test pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard',
        timestamp: performance.now(), axes: [0, 0, 0, 0],
        buttons: Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 })) };
      window.__pads = [pad];
      const e = new Event('gamepadconnected');
      e.gamepad = pad;
      window.dispatchEvent(e);
    };
    window.__tiltPad = (x, y) => {
      const pad = window.__pads[0];
      pad.axes[0] = x;
      pad.axes[1] = y;
      pad.timestamp = performance.now();
    };
    // The loudest RMS heard over the next `ms` milliseconds.
    window.__loudness = (ms) => new Promise((resolve) => {
      const buf = new Float32Array(2048);
      let most = 0;
      const end = performance.now() + ms;
      const look = () => {
        for (const c of window.__audioContexts) {
          c.__ear.getFloatTimeDomainData(buf);
          let sum = 0;
          for (const v of buf) sum += v * v;
          most = Math.max(most, Math.sqrt(sum / buf.length));
        }
        if (performance.now() < end) setTimeout(look, 40);
        else resolve(most);
      };
      look();
    });
  });
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
  let transferred = 0;
  cdp.on('Network.loadingFinished', (e) => { transferred += e.encodedDataLength; });

  const canvas = async () => decodePng(Buffer.from(await (await page.$('#canvas')).screenshot({ type: 'png' })));
  const save = async (name) => {
    const file = path.join(shots, `${name}.png`);
    await (await page.$('#canvas')).screenshot({ path: file });
    console.log(`     screenshot ${file}`);
  };
  async function waitFor(what, test, timeoutMs) {
    const end = Date.now() + timeoutMs;
    while (Date.now() < end) {
      const img = await canvas();
      if (test(stats(img))) return img;
      await sleep(30);
    }
    return null;
  }

  const t0 = Date.now();
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  let highest = 0;
  let phase = '';
  for (const end = Date.now() + 180000; Date.now() < end;) {
    const p = await page.evaluate(() => ({ ...window.brimmelPage, bar: document.getElementById('progress').value,
      text: document.getElementById('progress-text').textContent }));
    highest = Math.max(highest, p.bar);
    phase = p.phase;
    if (phase !== 'loading') {
      check(p.bar === 100 && /\(100 %\)/.test(p.text) && p.loaded === p.total && p.total > 0,
        `progress bar reached 100 % (${p.text})`);
      break;
    }
    await sleep(100);
  }
  if (!check(phase === 'ready', `start card shown (page phase ${phase})`)) {
    await save('failed-start');
    return report(errors, foreign);
  }
  await save('start-card');
  const readyAt = Date.now() - t0;
  check(await page.evaluate(() => !document.getElementById('start').hidden &&
    /click or press a key/i.test(document.getElementById('start').textContent)), 'the card asks for a click or key');

  await page.keyboard.press('Enter');
  const logoSound = page.evaluate(() => window.__loudness(4000));
  const logo = await waitFor('logo', (s) => s.lum > 170, 20000);
  check(logo !== null, 'the logo appears after the key');
  if (logo) {
    await save('logo');
    // The logo picture is warm white (more red than blue): a red-blue swap in the texture path shows.
    const full = await waitFor('logo', (s) => s.lum > 200, 3000) || logo;
    const c = stats(full);
    check(c.r > c.b + 4, `the logo keeps its colours (mean r ${c.r.toFixed(0)}, b ${c.b.toFixed(0)})`);
  }
  const audio = await page.evaluate(() => window.__audioContexts.map((c) => c.state));
  check(audio.includes('running'), `a Web Audio context runs after the first key (${audio.join(', ') || 'none'})`);
  const logoRms = await logoSound;
  check(logoRms > 0.01, `the logo's sound is heard (RMS ${logoRms.toFixed(3)})`);

  // The title fades in from black after the logo: purple-grey, blue above green.
  const titleLike = (s) => s.lum > 12 && s.b > s.g + 2 && s.r > s.g;
  const firstTitle = await waitFor('title', (s) => s.lum < 6 || titleLike(s), 15000) &&
    await waitFor('title', titleLike, 15000);
  const titleAt = Date.now() - t0;
  check(firstTitle !== null, 'the title appears after the logo');
  const title = await waitFor('title', (s) => titleLike(s) && s.lum > 60, 5000);
  if (title) await save('title');

  // The page's own read-out, and the steps counted here over five seconds of wall time.
  await sleep(2500);
  const s0 = await page.evaluate(() => [performance.now(), window.Module._brimmel_steps()]);
  await sleep(5000);
  const s1 = await page.evaluate(() => [performance.now(), window.Module._brimmel_steps(), window.brimmelPage.rate]);
  const rate = ((s1[1] - s0[1]) * 1000) / (s1[0] - s0[0]);
  check(Math.abs(rate - 60) <= 1, `60 ± 1 game steps per second on the title (${rate.toFixed(2)})`);
  check(Math.abs(s1[2] - 60) <= 1, `the page's counter shows 60 ± 1 (${s1[2].toFixed(2)})`);

  // Held for a few frames, as a player's press is: the game reads the keys once a frame.
  await page.keyboard.down('KeyX');
  await sleep(250);
  await page.keyboard.up('KeyX');
  // The title fades to black, the stage card (in the title's colours, other words) shows, fades,
  // and the home stage comes up, green with grass.
  const homeLike = (st) => st.lum > 25 && st.g > st.b + 15;
  let dark = false, telop = null, home = null;
  for (const end = Date.now() + 45000; Date.now() < end && !home;) {
    const img = await canvas();
    const st = stats(img);
    if (st.lum < 15) dark = true;
    else if (!telop && titleLike(st) && st.lum > 40 && (dark || (title && difference(img, title) > 6))) {
      telop = img;
      await save('telop');
    } else if (telop && homeLike(st)) home = img;
  }
  check(telop !== null, 'X leads to the stage card');
  check(home !== null, 'the stage card leads to the home stage');
  const music = await page.evaluate(() => window.__loudness(2000));
  check(music > 0.01, `the home stage's music is heard (RMS ${music.toFixed(3)})`);
  await sleep(1500);
  const still = await canvas();
  await sleep(1500);
  const before = await canvas();
  await save('home');
  await page.keyboard.down('ArrowUp');
  await sleep(1500);
  const during = await canvas();
  await page.keyboard.up('ArrowUp');
  await save('home-walked');
  const moved = difference(before, during);
  const idle = difference(still, before);
  check(moved > 2 * idle + 2,
    `holding the up arrow changes the picture (mean change ${moved.toFixed(1)}, ${idle.toFixed(1)} without)`);
  // F2 draws the collision geometry as lines over the world.
  // The world moves by itself (bear, butterflies): the change F2 makes must stand well above that.
  const plain1 = await canvas();
  await sleep(500);
  const plain2 = await canvas();
  await page.keyboard.down('F2');
  await page.keyboard.up('F2');
  await sleep(500);
  const wire = await canvas();
  await save('home-wireframe');
  await page.keyboard.down('F2');
  await page.keyboard.up('F2');
  // The lines are white: count the pixels that turned near-white.
  const whitened = (a, b) => {
    let n = 0;
    for (let i = 0; i < a.rgba.length; i += 4) {
      const white = (img) => img.rgba[i] > 225 && img.rgba[i + 1] > 225 && img.rgba[i + 2] > 225;
      if (white(b) && !white(a)) n++;
    }
    return n / (a.rgba.length / 4);
  };
  const idleWire = whitened(plain1, plain2);
  const lines = whitened(plain2, wire);
  check(lines > 0.002 && lines > 3 * idleWire,
    `F2 draws the collision wireframe (${(lines * 100).toFixed(2)} % of pixels turned white, ` +
    `${(idleWire * 100).toFixed(2)} % without)`);
  const scrolled = await page.evaluate(() => [window.scrollX, window.scrollY]);
  check(scrolled[0] === 0 && scrolled[1] === 0, 'the game keys did not scroll the page');

  // Walk to the goal point, steering by what the page is told of the player and the camera, and
  // on into the forest.
  const forestAt = await walkToForest(page);
  check(forestAt !== null, `walking to the goal leads into the forest${forestAt ? ` (${forestAt} ms)` : ''}`);
  if (forestAt !== null) {
    await sleep(4000);
    const forest = stats(await canvas());
    check(forest.lum > 25 && forest.g > forest.b, `the forest is drawn (mean r ${forest.r.toFixed(0)}, ` +
      `g ${forest.g.toFixed(0)}, b ${forest.b.toFixed(0)})`);
    await save('forest');
    const forestMusic = await page.evaluate(() => window.__loudness(2000));
    check(forestMusic > 0.01, `the forest's music is heard (RMS ${forestMusic.toFixed(3)})`);
    // A pad plugged in now: its stick walks the player too.
    const where = async () => (await page.evaluate(() => window.Module.UTF8ToString(window.Module._brimmel_status())))
      .split(' ').slice(1, 3).map(Number);
    await page.evaluate(() => window.__plugPad());
    await sleep(500);
    const [x0, z0] = await where();
    await page.evaluate(() => window.__tiltPad(0, -1));
    await sleep(1500);
    await page.evaluate(() => window.__tiltPad(0, 0));
    const [x1, z1] = await where();
    const walked = Math.hypot(x1 - x0, z1 - z0);
    check(walked > 20, `the pad's stick walks the player (${walked.toFixed(0)} units in 1.5 s)`);
  }

  await sleep(3000);
  const frameMs = await page.evaluate(() => window.Module._brimmel_frame_ms());
  check(frameMs > 0, `frames are timed (${frameMs.toFixed(2)} ms median)`);
  // Pictures the page shows a second (the game's steps stay at 60 whatever this is).
  const shown = await page.evaluate(() => new Promise((resolve) => {
    let n = 0;
    const t0 = performance.now();
    const f = () => {
      n++;
      if (performance.now() - t0 < 3000) requestAnimationFrame(f);
      else resolve((n * 1000) / (performance.now() - t0));
    };
    requestAnimationFrame(f);
  }));
  report(errors, foreign);
  if (measure) {
    console.log(`web_transfer_mb: ${(transferred / 1048576).toFixed(2)} MB`);
    console.log(`web_time_to_title_ms: ${titleAt} ms (start card after ${readyAt} ms)`);
    console.log(`web_frame_ms: ${frameMs.toFixed(2)} ms`);
    console.log(`web_display_fps: ${shown.toFixed(1)} fps`);
  }
}

// Arrow keys for a ground direction relative to the camera, as the game reads them (right,
// left, up, down held; the first matching row wins).
const kRows = [
  [[1, 0, 0, 1], -0.785], [[0, 1, 0, 1], 0.785], [[0, 1, 1, 0], -3.925], [[1, 0, 1, 0], -2.355],
  [[0, 0, 0, 1], 0.0], [[0, 0, 1, 0], 3.14], [[1, 0, 0, 0], -1.57], [[0, 1, 0, 0], 1.57],
];
const kArrows = ['ArrowRight', 'ArrowLeft', 'ArrowUp', 'ArrowDown'];
const kGoal = { x: 160, z: 310 };

function steer(yaw, x, z, tx, tz) {
  const bearing = Math.atan2(tx - x, tz - z);
  const wrap = (a) => Math.atan2(Math.sin(a), Math.cos(a));
  let best = null, bestError = 10;
  for (const [keys, offset] of kRows) {
    const error = Math.abs(wrap(yaw + offset - bearing));
    if (error < bestError) [best, bestError] = [keys, error];
  }
  return best;
}

async function walkToForest(page) {
  const held = [0, 0, 0, 0];
  const hold = async (keys) => {
    for (let i = 0; i < 4; i++) {
      if (keys[i] && !held[i]) await page.keyboard.down(kArrows[i]);
      if (!keys[i] && held[i]) await page.keyboard.up(kArrows[i]);
      held[i] = keys[i];
    }
  };
  const start = Date.now();
  try {
    while (Date.now() - start < 90000) {
      const [scene, x, z, yaw] = (await page.evaluate(() => window.Module.UTF8ToString(window.Module._brimmel_status())))
        .split(' ');
      if (scene === 'CForestStageScene') return Date.now() - start;
      await hold(scene === 'CHomeStageScene' ? steer(Number(yaw), Number(x), Number(z), kGoal.x, kGoal.z) : [0, 0, 0, 0]);
      await sleep(60);
    }
    return null;
  } finally {
    await hold([0, 0, 0, 0]);
  }
}

// A start that cannot work says so in words on the page: a download that fails, a browser
// without WebGL 2.
async function failedStarts(browser, url) {
  const cases = [
    ['a failed data download', async (page) => {
      await page.setRequestInterception(true);
      page.on('request', (r) => (r.url().endsWith('/brimmel.data') ? r.abort() : r.continue()));
    }, /could not be downloaded/],
    ['a browser without WebGL 2', async (page) => {
      await page.evaluateOnNewDocument(() => {
        const get = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
          return kind === 'webgl2' ? null : get.call(this, kind, ...rest);
        };
      });
    }, /needs WebGL 2/],
  ];
  for (const [what, arrange, words] of cases) {
    const page = await browser.newPage();
    await arrange(page);
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    const shown = await page.waitForFunction(() => window.brimmelPage && window.brimmelPage.phase === 'failed' &&
      !document.getElementById('message').hidden && document.getElementById('message-text').textContent,
    { timeout: 30000 }).then((h) => h.jsonValue(), () => '');
    check(words.test(shown), `${what} is told on the page ("${shown}")`);
    await page.close();
  }
}

function report(errors, foreign) {
  check(errors.length === 0, `no page or console errors${errors.length ? ':\n  ' + errors.join('\n  ') : ''}`);
  check(foreign.length === 0, `no third-party requests${foreign.length ? ': ' + foreign.join(', ') : ''}`);
}

main().then(() => {
  if (failures.length) {
    console.log(`${failures.length} check(s) failed`);
    process.exit(1);
  }
  console.log('all checks passed');
}, (e) => {
  console.log(`FAIL ${e.stack || e}`);
  process.exit(1);
});
