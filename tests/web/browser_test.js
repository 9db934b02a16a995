// Scripted runs of the web edition. In Debian's chromium, headless, WebGL 2 on SwiftShader, the
// whole test: the page loads with its progress bar to 100 % over the bytes that arrive (at most
// 6 MB) and Chromium finds it installable; the browser's own keys stay the browser's; a key starts
// the game, the logo and then the title appear, the page counts 60 game steps a second on the
// title, the Web Audio context runs, X leads through the telop to the home stage, holding the up
// arrow moves the picture, a layout whose Z is elsewhere (AZERTY) jumps with its Z, F12's picture
// comes as a download; Esc leaves the game running, a setting changed in the pause screen is kept
// across a reload, full screen keeps 4:3, a smaller window is drawn at its size, and a game that
// ends offers "Play again", which starts over without downloading the game again. Offline after
// that one visit, the page still reaches the title. On emulated phones (landscape and portrait)
// taps and a drag alone go from the start card through the title into the home stage and walk the
// player, with nothing hidden, and fingers let go when the page is hidden. A touch-screen laptop
// follows the pointer in use; a slow renderer that calls itself a GPU gets a smaller drawing; two
// builds served one after the other keep offline play and an old tab working. Starts that cannot
// work say why, and one with every storage API throwing still plays. Then Firefox ESR and WebKitGTK
// go along the core path (engines.js). No page or console error and no request leaves the server
// on the way. Screenshots go to --shots (default: <site>/../web-shots). --engines names the
// engines to drive (default chromium,firefox,webkit); --measure prints the figures as
// `name: value unit`; --soak MINUTES also plays the forest that long with scripted input and
// measures the memory.
'use strict';
const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');
const engines = require('./engines');

const args = process.argv.slice(2);
const opt = (name, fallback) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : fallback;
};
const site = path.resolve(opt('--site', 'build-web/site'));
const shots = path.resolve(opt('--shots', path.join(site, '..', 'web-shots')));
const measure = args.includes('--measure');
const soakMinutes = Number(opt('--soak', '0'));
// Which engines to drive: Chromium gets the whole test, the others its core (engines.js).
const only = opt('--engines', 'chromium,firefox,webkit').split(',');
const figures = [];
const figure = (line) => figures.push(line);
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

// The wire between the browser and the server: counts the bytes the server sends, and can be cut
// (the network off) and joined again on the same port.
function wire(serverPort) {
  let bytes = 0;
  let listener = null;
  const sockets = new Set();
  let port = 0;
  const open = () => new Promise((resolve) => {
    listener = net.createServer((client) => {
      const upstream = net.connect(serverPort, '127.0.0.1');
      sockets.add(client);
      sockets.add(upstream);
      client.on('close', () => sockets.delete(client));
      upstream.on('close', () => sockets.delete(upstream));
      upstream.on('data', (d) => { bytes += d.length; });
      client.on('error', () => upstream.destroy());
      upstream.on('error', () => client.destroy());
      client.pipe(upstream);
      upstream.pipe(client);
    });
    listener.listen(port, '127.0.0.1', () => {
      port = listener.address().port;
      resolve();
    });
  });
  return {
    open,
    cut: () => new Promise((resolve) => {
      for (const s of sockets) s.destroy();
      listener.close(() => resolve());
    }),
    url: () => `http://127.0.0.1:${port}/`,
    bytes: () => bytes,
    reset: () => { bytes = 0; },
  };
}

function serve() {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', [path.join(repo, 'web', 'serve.py'), site, '--port', '0', '--quiet'],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    server.on('error', reject);
    server.stdout.on('data', (d) => {
      const m = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(String(d));
      if (m) resolve({ server, port: Number(m[1]) });
    });
    setTimeout(() => reject(new Error('the server did not start')), 10000);
  });
}

// What a host is to send, as web/serve.py sends it: files named after their content kept for
// good, the page and the worker checked each time with a validator, and answered with 304.
function head(url, headers = {}) {
  return new Promise((resolve, reject) => {
    http.get(url, { headers }, (res) => {
      res.resume();
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers }));
    }).on('error', reject);
  });
}
async function serverHeaders(base) {
  const html = fs.readFileSync(path.join(site, 'index.html'), 'utf8');
  const named = /"url":"(brimmel\.[0-9a-f]{12}\.wasm)"/.exec(html)[1];
  const kept = await head(base + named);
  check(kept.status === 200 && /max-age=31536000/.test(kept.headers['cache-control']) &&
    /immutable/.test(kept.headers['cache-control']) && kept.headers['content-type'] === 'application/wasm',
  `a content-named file is kept for good (${kept.headers['cache-control']}, ${kept.headers['content-type']})`);
  for (const name of ['', 'sw.js']) {
    const first = await head(base + name, { 'Accept-Encoding': 'gzip' });
    const again = await head(base + name, { 'Accept-Encoding': 'gzip', 'If-None-Match': first.headers.etag || '-' });
    const since = await head(base + name, { 'If-Modified-Since': first.headers['last-modified'] || '-' });
    check(first.status === 200 && first.headers['cache-control'] === 'no-cache' && again.status === 304 &&
      since.status === 304, `/${name} is checked each visit and answered 304 when unchanged ` +
      `(${first.headers['cache-control']}; ${again.status} by ETag, ${since.status} by Last-Modified)`);
  }
}

async function main() {
  for (const f of ['index.html', 'sw.js'])
    if (!fs.existsSync(path.join(site, f))) throw new Error(`${site}/${f} is missing: build with scripts/web --build-only`);
  fs.mkdirSync(shots, { recursive: true });
  const { server, port } = await serve();
  const net0 = wire(port);
  await net0.open();
  await serverHeaders(`http://127.0.0.1:${port}/`);
  const t0 = Date.now();
  const lap = (what) => console.log(`     (${what}: ${((Date.now() - t0) / 1000).toFixed(0)} s so far)`);
  if (only.includes('chromium')) {
    const browser = await puppeteer.launch({
      executablePath: '/usr/bin/chromium',
      headless: true,
      args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox', '--window-size=800,640'],
    });
    try {
      await run(browser, net0);
      lap('first visit');
      await offline(browser, net0);
      lap('offline');
      for (const [w, h] of [[844, 390], [390, 844]]) {
        await touchRun(browser, net0.url(), w, h);
        lap(`touch ${w}x${h}`);
      }
      await failedStarts(browser, net0.url());
      lap('failed starts');
      await touchScreenLaptop(browser, net0.url());
      await slowRenderer(browser, net0.url());
      lap('laptop, slow renderer');
      await updates(browser);
      lap('updates');
      if (soakMinutes > 0) await soak(browser, net0.url(), soakMinutes);
    } finally {
      await browser.close();
    }
  }
  server.kill();
  // The other engines, each on a server of its own (stopping it takes their network away).
  const ownServer = async () => {
    const s = await serve();
    return { url: `http://127.0.0.1:${s.port}/`, stop: async () => { s.server.kill(); } };
  };
  for (const name of ['firefox', 'webkit']) {
    if (!only.includes(name)) continue;
    await engines.corePath(engines[name], { serve: ownServer, shots, check, figure, measure });
    lap(name);
  }
  if (measure || soakMinutes > 0) for (const line of figures) console.log(line);
}

// What every page is watched for: errors of any kind, and requests that leave the server.
function watch(page, url, { offline = false } = {}) {
  const errors = [];
  const foreign = [];
  page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
  page.on('console', (m) => {
    // Offline, the browser's check for a new service worker fails, as it should.
    if (m.type() === 'error' && !(offline && /sw\.js|Failed to fetch|ERR_CONNECTION_REFUSED/.test(m.text())))
      errors.push(`console error: ${m.text()}`);
  });
  page.on('requestfailed', (r) => { if (!offline) errors.push(`request failed: ${r.url()}`); });
  page.on('response', (r) => { if (r.status() >= 400) errors.push(`HTTP ${r.status()}: ${r.url()}`); });
  // A message box from the game (an alert) is a failure to report, and must not hang the run.
  page.on('dialog', async (d) => {
    errors.push(`dialog: ${d.message()}`);
    await d.dismiss();
  });
  page.on('request', (r) => {
    const u = r.url();
    if (!u.startsWith(url) && !u.startsWith('data:') && !u.startsWith('blob:')) foreign.push(u);
  });
  return { errors, foreign };
}

const status = async (page) => (await page.evaluate(() => (window.Module && window.Module._brimmel_status
  ? window.Module.UTF8ToString(window.Module._brimmel_status()) : '-'))).split(' ');
async function waitForPhase(page, phases, timeoutMs) {
  return page.waitForFunction((p) => window.brimmelPage && p.includes(window.brimmelPage.phase), { timeout: timeoutMs },
    phases).then(() => page.evaluate(() => window.brimmelPage.phase), async () => page.evaluate(() => window.brimmelPage &&
    window.brimmelPage.phase));
}
async function waitForScene(page, scene, timeoutMs) {
  for (const end = Date.now() + timeoutMs; Date.now() < end;) {
    if ((await status(page))[0] === scene) return true;
    await sleep(100);
  }
  return false;
}

// The browser's own keys (F5, Ctrl+R, Ctrl+F, Ctrl+L, zoom) sent where a key goes: each answers
// whether the page or the game took it (cancelled its default).
function browserKeys(page) {
  return page.evaluate(() => [['F5', 'F5'], ['KeyR', 'r', true], ['KeyF', 'f', true], ['KeyL', 'l', true],
    ['Equal', '=', true], ['Minus', '-', true], ['Digit0', '0', true]].map(([code, key, ctrlKey]) => {
    const e = new KeyboardEvent('keydown', { code, key, ctrlKey: !!ctrlKey, bubbles: true, cancelable: true });
    (document.activeElement || document.body).dispatchEvent(e);
    return [`${ctrlKey ? 'Ctrl+' : ''}${key.toUpperCase()}`, e.defaultPrevented];
  }));
}

async function run(browser, net0) {
  const url = net0.url();
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const { errors, foreign } = watch(page, url);
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
  net0.reset();

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
  // The bar counted the game's files as they came: what the browser saw arrive is that and the
  // page itself.
  const firstBytes = transferred;
  const counted = await page.evaluate(() => window.brimmelPage.total);
  check(firstBytes <= 6 * 1048576, `the first visit transfers at most 6 MB (${(firstBytes / 1048576).toFixed(2)} MB; ` +
    `${(net0.bytes() / 1048576).toFixed(2)} MB left the server)`);
  check(counted <= firstBytes && counted > 0.9 * firstBytes,
    `the progress bar counted the bytes that arrived (${(counted / 1048576).toFixed(2)} MB of ` +
    `${(firstBytes / 1048576).toFixed(2)} MB)`);
  const tracks = await page.evaluate(() => window.brimmelPage.music);
  for (const t of tracks) {
    check(t.decodedFrames === t.frames && Math.abs(t.rmsDb - t.sourceRmsDb) < 1,
      `${t.path} comes back from MP3 whole (${t.frames} frames, ${t.decodedFrames} decoded; level ` +
      `${t.sourceRmsDb.toFixed(2)} dB -> ${t.rmsDb.toFixed(2)} dB)`);
  }
  check(tracks.length === 2, `both music tracks were unpacked (${tracks.length})`);
  check(await page.evaluate(() => !document.getElementById('start').hidden &&
    /click, tap or press a key/i.test(document.getElementById('start').textContent)), 'the card asks for a click, tap or key');

  // Installable by the browsers' own rules: Chromium's DevTools check lists nothing missing, and
  // the manifest holds icons of 192 and 512 pixels (the install prompts' sizes), each as large as it says.
  const installErrors = (await cdp.send('Page.getInstallabilityErrors')).installabilityErrors || [];
  check(installErrors.length === 0, `Chromium finds the page installable (${installErrors.map((e) => e.errorId).join(', ') ||
    'no installability errors'})`);
  const manifestUrl = await page.evaluate(() => document.querySelector('link[rel=manifest]').href);
  const icons = [];
  for (const icon of JSON.parse(fs.readFileSync(path.join(site, new URL(manifestUrl).pathname), 'utf8')).icons) {
    const png = fs.readFileSync(path.join(site, icon.src));
    icons.push(`${icon.sizes}=${png.readUInt32BE(16)}x${png.readUInt32BE(20)}`);
  }
  check(['192x192=192x192', '512x512=512x512'].every((i) => icons.includes(i)) &&
    icons.every((i) => i.split('=')[0] === i.split('=')[1]), `the manifest's icons include 192 and 512 pixels (${icons.join(', ')})`);
  // The browser's own keys reach the browser, and do not start the game.
  const cardKeys = await browserKeys(page);
  check(cardKeys.every(([, taken]) => !taken) && await page.evaluate(() => window.brimmelPage.phase) === 'ready',
    `on the start card the browser's keys stay the browser's (${cardKeys.map(([k, taken]) => `${k}${taken ? ' taken' : ''}`).join(', ')})`);

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
  const playKeys = await browserKeys(page);
  check(playKeys.every(([, taken]) => !taken), `in play the browser's keys stay the browser's ` +
    `(${playKeys.map(([k, taken]) => `${k}${taken ? ' taken' : ''}`).join(', ')})`);
  const tabTitle = await page.title();
  check(tabTitle === 'BRIMMEL', `the tab keeps the game's name ("${tabTitle}")`);

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

  // A layout whose letters sit elsewhere (AZERTY: Z where a US keyboard has W): the key that types
  // Z jumps, the one in the US Z place (typing W) does not.
  const jump = async (code, key) => {
    const y0 = Number((await status(page))[4]);
    const down = { code, key, text: key, unmodifiedText: key, windowsVirtualKeyCode: key.toUpperCase().charCodeAt(0) };
    await cdp.send('Input.dispatchKeyEvent', { type: 'keyDown', ...down });
    let most = 0;
    for (let i = 0; i < 12; i++) {
      await sleep(80);
      most = Math.max(most, Number((await status(page))[4]) - y0);
      if (i === 3) await cdp.send('Input.dispatchKeyEvent', { type: 'keyUp', code, key, windowsVirtualKeyCode: down.windowsVirtualKeyCode });
    }
    await sleep(800);
    return most;
  };
  const wrongPlace = await jump('KeyZ', 'w');
  const azertyZ = await jump('KeyW', 'z');
  check(azertyZ > 1 && wrongPlace < 0.5, `letters follow the layout: AZERTY's Z (code KeyW) jumps ` +
    `(${azertyZ.toFixed(1)} up), its W in the US Z place does not (${wrongPlace.toFixed(1)})`);
  // F12's picture reaches the player as a download, at the size the game draws.
  const downloads = path.join(shots, 'downloads');
  fs.rmSync(downloads, { recursive: true, force: true });
  fs.mkdirSync(downloads, { recursive: true });
  const browserCdp = await page.browser().target().createCDPSession();
  await browserCdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.keyboard.down('F12');
  await page.keyboard.up('F12');
  let picture = null;
  for (let i = 0; i < 50 && !picture; i++) {
    await sleep(100);
    const done = fs.readdirSync(downloads).filter((f) => /^brimmel-.*\.png$/.test(f));
    if (done.length) picture = path.join(downloads, done[0]);
  }
  const drawn = await page.evaluate(() => window.brimmelPage.pixels);
  const shotSize = picture ? (() => { const b = fs.readFileSync(picture); return [b.readUInt32BE(16), b.readUInt32BE(20)]; })() : [0, 0];
  check(picture !== null && Math.abs(shotSize[0] - drawn[0]) <= 1 && Math.abs(shotSize[1] - drawn[1]) <= 1,
    `F12's picture is offered as a download (${picture ? `${path.basename(picture)}, ${shotSize.join('x')}` : 'none'}; ` +
    `drawing at ${drawn.join('x')})`);

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
  const scrolled = await page.evaluate(() => [window.scrollX, window.scrollY]);
  check(scrolled[0] === 0 && scrolled[1] === 0, 'the game keys did not scroll the page');
  const load = os.loadavg()[0];
  figure(`web_time_to_title_ms: ${titleAt} ms (start card after ${readyAt} ms)`);
  figure(`web_frame_ms: ${frameMs.toFixed(2)} ms`);
  const chosen = await page.evaluate(() => window.brimmelPage.pixels);
  figure(`web_display_fps: ${shown.toFixed(1)} fps (load average ${load.toFixed(2)}; drawing at ${chosen.join('x')})`);
  figure(`web_transfer_mb: ${(firstBytes / 1048576).toFixed(2)} MB`);

  // The page's keys: Esc is the browser's and leaves the game running; Tab reaches the page's
  // button; the picture has a name for screen readers.
  const steps0 = await page.evaluate(() => window.Module._brimmel_steps());
  await page.keyboard.press('Escape');
  await sleep(1500);
  const afterEsc = await page.evaluate(() => [window.brimmelPage.phase, window.Module._brimmel_steps()]);
  check(afterEsc[0] === 'running' && afterEsc[1] > steps0 + 30,
    `Esc leaves the game running (page ${afterEsc[0]}, ${afterEsc[1] - steps0} steps in 1.5 s)`);
  // P pauses: no step runs and nothing is heard, the picture is dimmed under "PAUSED"; P again
  // plays on. M mutes and unmutes.
  const tap = async (code) => { await page.keyboard.down(code); await sleep(120); await page.keyboard.up(code); };
  const stepsIn = async (ms) => {
    const a = await page.evaluate(() => window.Module._brimmel_steps());
    await sleep(ms);
    return (await page.evaluate(() => window.Module._brimmel_steps())) - a;
  };
  const playing = stats(await canvas());
  await tap('KeyP');
  await sleep(300);
  const pausedSteps = await stepsIn(1000);
  const pausedSound = await page.evaluate(() => window.__loudness(1000));
  const pausedPicture = stats(await canvas());
  await save('paused');
  check(pausedSteps === 0 && pausedSound < 0.002 && pausedPicture.lum < playing.lum,
    `P pauses (${pausedSteps} steps in 1 s, RMS ${pausedSound.toFixed(4)}, brightness ` +
      `${playing.lum.toFixed(0)} -> ${pausedPicture.lum.toFixed(0)})`);
  // A setting changed in the pause screen is written to the browser's storage.
  await tap('ArrowLeft');
  await sleep(1500);
  const keptText = () => page.evaluate(() => {
    try {
      return new TextDecoder().decode(window.Module.FS.readFile('/kept/TORIDEN.ini'));
    } catch (e) {
      return '';
    }
  });
  const written = await keptText();
  check(/^MUSIC=90\s*$/m.test(written), `the pause screen's music level is written to the kept settings ` +
    `(${(/^MUSIC=.*$/m.exec(written) || ['no MUSIC line'])[0]})`);
  await tap('KeyP');
  await sleep(300);
  const resumedSteps = await stepsIn(1000);
  check(resumedSteps > 40, `P again plays on (${resumedSteps} steps in 1 s)`);
  await tap('KeyM');
  await sleep(300);
  const mutedSound = await page.evaluate(() => window.__loudness(1000));
  await tap('KeyM');
  await sleep(300);
  const unmutedSound = await page.evaluate(() => window.__loudness(1500));
  check(mutedSound < 0.002 && unmutedSound > 0.01,
    `M mutes and unmutes (RMS ${mutedSound.toFixed(4)}, then ${unmutedSound.toFixed(3)})`);

  await page.focus('#canvas');
  await page.keyboard.press('Tab');
  const focused = await page.evaluate(() => document.activeElement && document.activeElement.id);
  check(focused === 'fullscreen', `Tab from the picture reaches the full-screen button (${focused})`);
  const label = await page.evaluate(() => document.getElementById('canvas').getAttribute('aria-label') || '');
  check(/BRIMMEL/.test(label), `the picture has a label ("${label}")`);

  // Full screen: the canvas's own box keeps 4:3, centred, on a screen of another shape.
  await page.click('#fullscreen');
  await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 5000 }).catch(() => {});
  await sleep(300);
  const fsBox = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { full: !!document.fullscreenElement, w: r.width, h: r.height, x: r.x, y: r.y,
      vw: window.innerWidth, vh: window.innerHeight };
  });
  check(fsBox.full && Math.abs(fsBox.w / fsBox.h - 4 / 3) < 0.01 &&
    (Math.abs(fsBox.h - fsBox.vh) < 1.5 || Math.abs(fsBox.w - fsBox.vw) < 1.5) &&
    Math.abs(fsBox.x * 2 + fsBox.w - fsBox.vw) < 2 && Math.abs(fsBox.y * 2 + fsBox.h - fsBox.vh) < 2,
  `full screen keeps 4:3 with bars (canvas ${fsBox.w.toFixed(0)}x${fsBox.h.toFixed(0)} at ` +
    `${fsBox.x.toFixed(0)},${fsBox.y.toFixed(0)} on ${fsBox.vw}x${fsBox.vh})`);
  await save('fullscreen');
  await page.evaluate(() => document.exitFullscreen().catch(() => {}));
  await sleep(300);
  // The drawing follows the canvas: never more pixels than a smaller window shows.
  await page.setViewport({ width: 480, height: 400 });
  await sleep(1500);
  const small = await page.evaluate(() => ({ pixels: window.brimmelPage.pixels, canvas: [document.getElementById('canvas').width,
    document.getElementById('canvas').height], box: document.getElementById('canvas').getBoundingClientRect().width }));
  check(small.pixels[0] <= small.box && small.canvas[0] === small.pixels[0] && small.canvas[1] === small.pixels[1] &&
    small.pixels[0] * 3 === small.pixels[1] * 4, `in a smaller window the game draws at the canvas's size ` +
    `(${small.canvas.join('x')} in a box ${small.box.toFixed(0)} pixels wide)`);
  await page.setViewport({ width: 800, height: 640 });
  await sleep(300);

  // An effect beyond its maximum distance is as loud as at that distance, as OpenAL's clamped
  // model has it (Web Audio's inverse model alone would keep fading).
  const clamp = await page.evaluate(() => {
    const ctx = window.AL && window.AL.currentCtx;
    const src = ctx && Object.values(ctx.sources).find((s) => s.panner && s.maxDistance > 0 && s.maxDistance < 1e6 &&
      s.rolloffFactor > 0);
    if (!src) return null;
    const saved = src.position.slice();
    const l = ctx.listener.position;
    const heard = (k) => {
      src.position = [l[0] + src.maxDistance * k, l[1], l[2]];
      window.AL.updateSourceSpace(src);
      const p = src.panner;
      const d = Math.hypot(p.positionX.value - l[0], p.positionY.value - l[1], p.positionZ.value - l[2]);
      return p.refDistance / (p.refDistance + p.rolloffFactor * (Math.max(d, p.refDistance) - p.refDistance));
    };
    const at = [heard(0.5), heard(1), heard(2), heard(10)];
    src.position = saved;
    window.AL.updateSourceSpace(src);
    return at;
  });
  check(clamp !== null && Math.abs(clamp[2] - clamp[1]) < 1e-6 && Math.abs(clamp[3] - clamp[1]) < 1e-6 && clamp[0] >= clamp[1],
    `an effect keeps its level beyond its maximum distance (gain at 0.5, 1, 2, 10 x max: ${
      clamp ? clamp.map((g) => g.toFixed(3)).join(', ') : 'no positional source'})`);

  // The game ends (asked by the page, as the close box would): "Play again" starts it over, and
  // the browser downloads next to nothing for it.
  await page.evaluate(() => window.Module._brimmel_request_quit());
  const ended = await waitForPhase(page, ['ended'], 10000);
  const again = await page.evaluate(() => !document.getElementById('again').hidden &&
    document.getElementById('message-text').textContent);
  check(ended === 'ended' && /ended/.test(again || ''), `a game that ends offers Play again ("${again}")`);
  await save('ended');
  await cdp.send('Network.setCacheDisabled', { cacheDisabled: false });
  transferred = 0;
  net0.reset();
  const t1 = Date.now();
  await Promise.all([page.waitForNavigation({ waitUntil: 'domcontentloaded' }), page.click('#again')]);
  const replay = await waitForPhase(page, ['ready', 'failed'], 60000);
  const replayText = await page.evaluate(() => document.getElementById('start-text').textContent);
  check(replay === 'ready' && /play again/i.test(replayText), `Play again brings back the start card ("${replayText}")`);
  const kept = [await page.evaluate(() => window.brimmelPage.settings), await keptText()];
  check(kept[0] === 'kept' && /^MUSIC=90\s*$/m.test(kept[1]), `the settings are kept across a reload ` +
    `(${kept[0]}; ${(/^MUSIC=.*$/m.exec(kept[1]) || ['no MUSIC line'])[0]})`);
  await page.keyboard.press('Enter');
  const replayTitle = await waitForScene(page, 'CTitleScene', 30000);
  check(replayTitle, 'the game starts again and reaches the title');
  const repeatBytes = net0.bytes();
  check(repeatBytes < 200 * 1024, `the second visit transfers under 200 KB (${(repeatBytes / 1024).toFixed(1)} KB from ` +
    `the server, ${(transferred / 1024).toFixed(1)} KB seen by the page)`);
  figure(`web_repeat_visit_kb: ${(repeatBytes / 1024).toFixed(1)} KB (title after ${Date.now() - t1} ms)`);
  report(errors, foreign);
  await page.close();
}

// With the network gone after one visit and the HTTP cache emptied, the page still starts and
// reaches the title.
async function offline(browser, net0) {
  const url = net0.url();
  await net0.cut();
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const { errors, foreign } = watch(page, url, { offline: true });
  // The HTTP cache emptied (phones evict it freely): what starts the game is the worker's cache.
  await (await page.createCDPSession()).send('Network.clearBrowserCache');
  try {
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    const phase = await waitForPhase(page, ['ready', 'failed'], 60000);
    check(phase === 'ready', `offline, the page starts (phase ${phase})`);
    if (phase === 'ready') {
      await page.keyboard.press('Enter');
      check(await waitForScene(page, 'CTitleScene', 30000), 'offline, the game reaches the title');
      await sleep(1500);
      await page.screenshot({ path: path.join(shots, 'offline-title.png') });
      console.log(`     screenshot ${path.join(shots, 'offline-title.png')}`);
    }
    report(errors, foreign);
  } finally {
    await page.close();
    await net0.open();
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

// A phone, landscape and portrait: taps and a drag alone go from the start card through the title
// into the home stage and walk the player. The controls and the picture all fit on the screen,
// fingers hold their own controls and let go when the page is hidden, and the picture is drawn
// at a 4:3 size no larger than the canvas's device pixels (portrait has twice as many).
async function touchRun(browser, url, width, height) {
  const portrait = height > width;
  const name = `touch-${width}x${height}`;
  const page = await browser.newPage();
  const { errors, foreign } = watch(page, url);
  if (portrait) {
    await page.evaluateOnNewDocument(() => {
      const get = WebGL2RenderingContext.prototype.getParameter;
      WebGL2RenderingContext.prototype.getParameter = function (p) {
        return p === 0x9246 || p === 0x1f01 ? 'Test GPU' : get.call(this, p);
      };
    });
  }
  await page.emulate({ userAgent: await browser.userAgent(), viewport: { width, height, deviceScaleFactor: portrait ? 2 : 1,
    isMobile: true, hasTouch: true, isLandscape: !portrait } });
  const shot = async (what) => {
    const file = path.join(shots, `${name}-${what}.png`);
    await page.screenshot({ path: file });
    console.log(`     screenshot ${file}`);
  };
  try {
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    const phase = await waitForPhase(page, ['ready', 'failed'], 90000);
    if (!check(phase === 'ready', `${name}: the start card shows (phase ${phase})`)) return;
    const startLayout = await page.evaluate(() => ({
      touch: document.body.classList.contains('touch'),
      legend: getComputedStyle(document.getElementById('legend')).display,
    }));
    check(startLayout.touch && startLayout.legend === 'none', `${name}: the page knows a touch screen and the key ` +
      `legend gives way (legend display ${startLayout.legend})`);
    await shot('start');
    const card = await page.evaluate(() => {
      const r = document.getElementById('start').getBoundingClientRect();
      return [r.x + r.width / 2, r.y + r.height / 2];
    });
    await page.touchscreen.tap(card[0], card[1]);
    const running = await waitForPhase(page, ['running'], 10000);
    check(running === 'running', `${name}: a tap on the card starts the game`);
    // Everything on screen, nothing on top of anything else (the picture may lie under the pads
    // only where a landscape screen leaves no room beside it).
    const layout = await page.evaluate(() => {
      const box = (el) => { const r = el.getBoundingClientRect(); return { id: el.id, x: r.x, y: r.y, w: r.width, h: r.height }; };
      return { pads: [...document.querySelectorAll('.pad')].map(box), screen: box(document.getElementById('screen')),
        button: box(document.getElementById('fullscreen')), vw: window.innerWidth, vh: window.innerHeight,
        shown: !document.getElementById('touch').hidden, canvas: [document.getElementById('canvas').width,
          document.getElementById('canvas').height], pixels: window.brimmelPage.pixels };
    });
    const inside = (b) => b.x >= -0.5 && b.y >= -0.5 && b.x + b.w <= layout.vw + 0.5 && b.y + b.h <= layout.vh + 0.5;
    const overlap = (a, b) => Math.max(0, Math.min(a.x + a.w, b.x + b.w) - Math.max(a.x, b.x)) *
      Math.max(0, Math.min(a.y + a.h, b.y + b.h) - Math.max(a.y, b.y));
    const clashes = [];
    for (let i = 0; i < layout.pads.length; i++) {
      for (let j = i + 1; j < layout.pads.length; j++)
        if (overlap(layout.pads[i], layout.pads[j]) > 0) clashes.push(`${layout.pads[i].id}/${layout.pads[j].id}`);
      if (layout.button.w > 0 && overlap(layout.pads[i], layout.button) > 0) clashes.push(`${layout.pads[i].id}/fullscreen`);
    }
    const covered = layout.pads.reduce((n, p) => n + overlap(p, layout.screen), 0) / (layout.screen.w * layout.screen.h);
    check(layout.shown && layout.pads.length === 6 && layout.pads.every(inside) && inside(layout.screen) &&
      clashes.length === 0 && layout.pads.every((p) => p.w >= 44) && covered < (portrait ? 0.001 : 0.05),
    `${name}: the picture and six thumb-sized controls fit on the screen without covering each other ` +
      `(${clashes.join(', ') || 'no clashes'}; outside: ${layout.pads.filter((p) => !inside(p)).map((p) => p.id).join(', ') ||
        'none'}; smallest ${Math.min(...layout.pads.map((p) => p.w)).toFixed(0)} px; ` +
      `${(covered * 100).toFixed(1)} % of the picture under a control)`);
    const device = layout.screen.w * (portrait ? 2 : 1);
    check(layout.canvas[0] === layout.pixels[0] && layout.canvas[1] === layout.pixels[1] &&
      layout.canvas[0] * 3 === layout.canvas[1] * 4 && layout.canvas[0] <= device + 0.5 && layout.canvas[0] >= 160,
    `${name}: the game draws at a 4:3 size within the canvas's ${device.toFixed(0)} device pixels ` +
      `(canvas ${layout.canvas.join('x')})`);

    check(await waitForScene(page, 'CTitleScene', 30000), `${name}: the title comes up`);
    await sleep(2500);
    await shot('title');
    const spot = await page.evaluate(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return [r.x + r.width * 0.6, r.y + r.height * 0.4];
    });
    await page.touchscreen.tap(spot[0], spot[1]);
    check(await waitForScene(page, 'CHomeStageScene', 45000), `${name}: a tap on the picture confirms, and the home ` +
      'stage follows');
    await sleep(3000);

    // A drag that starts in the left part steers as the arrows do, towards the goal point; a
    // second finger on X meanwhile runs, and lifting it leaves the first finger's keys alone.
    const origin = portrait ? [width * 0.25, height * 0.75] : [width * 0.2, height * 0.6];
    const [, x0, z0] = (await status(page)).map(Number);
    const finger = await page.touchscreen.touchStart(origin[0], origin[1]);
    let both = [], after = [];
    for (let i = 0; i < 30; i++) {
      const [, x, z, yaw] = (await status(page)).map(Number);
      const keys = steer(yaw, x, z, kGoal.x, kGoal.z);
      const dx = keys[0] - keys[1], dy = keys[3] - keys[2];
      const k = 50 / Math.hypot(dx, dy);
      await finger.move(origin[0] + dx * k, origin[1] + dy * k);
      if (i === 10) {
        const x = await page.evaluate(() => { const r = document.getElementById('pad-x').getBoundingClientRect();
          return [r.x + r.width / 2, r.y + r.height / 2]; });
        const second = await page.touchscreen.touchStart(x[0], x[1]);
        await sleep(100);
        both = await page.evaluate(() => window.brimmelPage.keysDown());
        await second.end();
        after = await page.evaluate(() => window.brimmelPage.keysDown());
      }
      await sleep(100);
    }
    await shot('home-walking');
    // The app switcher: the page is hidden with a finger still down, and what it held is let go.
    const padX = await page.evaluate(() => { const r = document.getElementById('pad-x').getBoundingClientRect();
      return [r.x + r.width / 2, r.y + r.height / 2]; });
    const thumb = await page.touchscreen.touchStart(padX[0], padX[1]);
    await sleep(100);
    const beforeHidden = await page.evaluate(() => window.brimmelPage.keysDown());
    const whenHidden = await page.evaluate(() => {
      Object.defineProperty(document, 'hidden', { value: true, configurable: true });
      Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
      document.dispatchEvent(new Event('visibilitychange'));
      const keys = window.brimmelPage.keysDown();
      delete document.hidden;
      delete document.visibilityState;
      document.dispatchEvent(new Event('visibilitychange'));
      return keys;
    });
    await thumb.end();
    check(beforeHidden.includes('KeyX') && whenHidden.length === 0, `${name}: keys held by fingers are let go when ` +
      `the page is hidden (held: ${beforeHidden.join('+')}; hidden: ${whenHidden.join('+') || 'nothing'})`);
    await finger.end();
    const [, x1, z1] = (await status(page)).map(Number);
    const left = await page.evaluate(() => window.brimmelPage.keysDown());
    const walked = Math.hypot(x1 - x0, z1 - z0);
    const closer = Math.hypot(kGoal.x - x0, kGoal.z - z0) - Math.hypot(kGoal.x - x1, kGoal.z - z1);
    check(walked > 20 && closer > 10, `${name}: the drag walks the player towards the goal (${walked.toFixed(0)} units, ` +
      `${closer.toFixed(0)} closer)`);
    check(both.includes('KeyX') && both.some((k) => k.startsWith('Arrow')) && !after.includes('KeyX') &&
      after.some((k) => k.startsWith('Arrow')) && left.length === 0,
    `${name}: two fingers hold their own controls (both down: ${both.join('+')}; X lifted: ${after.join('+')}; ` +
      `all lifted: ${left.join('+') || 'nothing'})`);
    const scrolled = await page.evaluate(() => [window.scrollX, window.scrollY]);
    check(scrolled[0] === 0 && scrolled[1] === 0, `${name}: touches did not scroll the page`);
    report(errors, foreign, name);
  } finally {
    await page.close();
  }
}

// A start that cannot work says so in words on the page: a download that fails, a browser
// without WebGL 2. A browser that refuses to keep the files still plays, and says it cannot keep
// them. Each in a fresh profile, with no kept copy to fall back on.
async function failedStarts(browser, url) {
  const cases = [
    ['a failed data download', async (page) => {
      await page.setRequestInterception(true);
      page.on('request', (r) => (/\.data(\.gz)?$/.test(r.url()) ? r.abort() : r.continue()));
    }, 'failed', /could not be downloaded/],
    ['a browser without WebGL 2', async (page) => {
      await page.evaluateOnNewDocument(() => {
        const get = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
          return kind === 'webgl2' ? null : get.call(this, kind, ...rest);
        };
      });
    }, 'failed', /needs WebGL 2/],
    ['storage refused', async (page) => {
      await page.evaluateOnNewDocument(() => {
        const no = () => Promise.reject(new DOMException('The operation is insecure.', 'SecurityError'));
        CacheStorage.prototype.open = no;
        ServiceWorkerContainer.prototype.register = no;
      });
    }, 'ready', /refused to keep the game/],
    // Site data blocked: every storage API throws as soon as it is touched. The game still starts
    // and ends, and Play again starts it over.
    ['every storage API throwing', async (page) => {
      await page.evaluateOnNewDocument(() => {
        const refuse = () => { throw new DOMException('The operation is insecure.', 'SecurityError'); };
        for (const name of ['localStorage', 'sessionStorage', 'indexedDB', 'caches'])
          Object.defineProperty(window, name, { get: refuse, configurable: true });
        Object.defineProperty(Navigator.prototype, 'serviceWorker', { get: refuse, configurable: true });
      });
    }, 'ready', /refused to keep the game/, async (page) => {
      await page.keyboard.press('Enter');
      const title = await waitForScene(page, 'CTitleScene', 30000);
      await page.evaluate(() => window.Module._brimmel_request_quit());
      const ended = await waitForPhase(page, ['ended'], 10000);
      await Promise.all([page.waitForNavigation({ waitUntil: 'domcontentloaded', timeout: 10000 }).catch(() => {}),
        page.click('#again')]);
      const again = await waitForPhase(page, ['ready', 'failed'], 60000);
      check(title && ended === 'ended' && again === 'ready', `with every storage API throwing the game starts, ends ` +
        `and Play again starts it over (title ${title}, ${ended}, then ${again})`);
    }],
  ];
  for (const [what, arrange, phase, words, then] of cases) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    const { errors } = watch(page, url, { offline: true });
    await arrange(page);
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    const shown = await page.waitForFunction((want) => window.brimmelPage && window.brimmelPage.phase === want &&
      [...document.querySelectorAll('.card:not([hidden]) p')].map((p) => p.hidden ? '' : p.textContent).join(' '),
    { timeout: 60000 }, phase).then((h) => h.jsonValue(), () => '');
    if (check(words.test(shown), `${what} is told on the page ("${shown}")`) && then) {
      await then(page);
      const thrown = errors.filter((e) => e.startsWith('page error'));
      check(thrown.length === 0, `${what}: no script error${thrown.length ? ': ' + thrown.join('; ') : ''}`);
    }
    await context.close();
  }
}

// A laptop with a touch screen and a keyboard: the keyboard's layout until a finger touches, the
// touch controls then, and the keyboard's again once the player types.
async function touchScreenLaptop(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  await page.evaluateOnNewDocument(() => {
    Object.defineProperty(Navigator.prototype, 'maxTouchPoints', { get: () => 10, configurable: true });
  });
  try {
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    await waitForPhase(page, ['ready', 'failed'], 60000);
    const mode = () => page.evaluate(() => document.body.classList.contains('touch') ? 'touch' : 'keyboard');
    const first = await mode();
    await page.evaluate(() => window.dispatchEvent(new Event('touchstart')));
    const touched = await mode();
    await page.keyboard.press('ArrowLeft');
    const typed = await mode();
    check(first === 'keyboard' && touched === 'touch' && typed === 'keyboard', `a touch-screen laptop follows the ` +
      `pointer in use (at first ${first}, after a touch ${touched}, after a key ${typed})`);
  } finally {
    await page.close();
  }
}

// A slow renderer that calls itself a GPU (as WebKit calls every renderer "Apple GPU"): copying
// each picture to the canvas costs time in proportion to its pixels, 30 ms at 640x480. The
// drawing size steps down from the game's own 640x480 until the frames keep their time.
async function slowRenderer(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const { errors, foreign } = watch(page, url);
  await page.evaluateOnNewDocument(() => {
    const get = WebGL2RenderingContext.prototype.getParameter;
    WebGL2RenderingContext.prototype.getParameter = function (p) {
      return p === 0x9246 || p === 0x1f01 ? 'Apple GPU' : get.call(this, p);
    };
    const blit = WebGL2RenderingContext.prototype.blitFramebuffer;
    WebGL2RenderingContext.prototype.blitFramebuffer = function (...a) {
      const until = performance.now() + (30 * this.drawingBufferWidth * this.drawingBufferHeight) / (640 * 480);
      while (performance.now() < until) { /* the renderer at work */ }
      return blit.apply(this, a);
    };
  });
  try {
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    await waitForPhase(page, ['ready', 'failed'], 60000);
    // The rule alone, on frame times made up here: up while frames keep their time (never past
    // the canvas), down when they do not, and not up again to a size that was too slow until a
    // minute has passed.
    const rule = await page.evaluate(() => {
      if (!window.brimmelPage.DrawingSizer) return ['no rule'];
      const sizer = window.brimmelPage.DrawingSizer(640);
      const beat = 1000 / 60;
      let t = 0;
      const feed = (ms, n) => {
        let got = null;
        for (let i = 0; i < n; i++) got = sizer.frame(ms, (t += ms), beat) || got;
        return got && got.join('x');
      };
      const shrink = sizer.setCeiling(702);
      return [shrink, feed(16.7, 300), feed(16.7, 300), feed(40, 150), feed(16.7, 600), (t += 60000, feed(16.7, 300)),
        sizer.setCeiling(300).join('x')];
    });
    check(JSON.stringify(rule) === JSON.stringify([null, '700x525', null, '640x480', null, '700x525', '300x225']),
      `the drawing size's rule: up to the canvas, down when slow, up again a minute later, down to a smaller ` +
      `canvas (${rule.join(', ')})`);
    await page.keyboard.press('Enter');
    await waitForScene(page, 'CTitleScene', 30000);
    const end = Date.now() + 40000;
    let now = await page.evaluate(() => window.brimmelPage.pixels);
    while (Date.now() < end && now[0] >= 640) {
      await sleep(500);
      now = await page.evaluate(() => window.brimmelPage.pixels);
    }
    await sleep(4000);
    const settled = await page.evaluate(() => ({ pixels: window.brimmelPage.pixels, sizes: window.brimmelPage.sizes,
      fps: window.brimmelPage.fps, canvas: document.getElementById('canvas').width }));
    check(settled.pixels[0] < 640 && settled.canvas === settled.pixels[0], `on a slow renderer that calls itself a ` +
      `GPU the drawing size steps down (${(settled.sizes || []).join(' -> ') || 'no step'}; now ${settled.pixels.join('x')}, ` +
      `${(settled.fps || 0).toFixed(0)} pictures/s)`);
    report(errors, foreign, 'slow renderer');
  } finally {
    await page.close();
  }
}

// The forest for a long while with scripted input: the page's script heap and the program's
// memory must end within 5 % of where they stood after the first minute, with no console error.
async function soak(browser, url, minutes) {
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const { errors, foreign } = watch(page, url);
  const cdp = await page.createCDPSession();
  const memory = async () => {
    await cdp.send('HeapProfiler.collectGarbage');
    const heap = (await cdp.send('Runtime.getHeapUsage')).usedSize;
    const program = await page.evaluate(() => window.Module._brimmel_heap_bytes());
    return { heap, program };
  };
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  await waitForPhase(page, ['ready'], 90000);
  await page.keyboard.press('Enter');
  await waitForScene(page, 'CTitleScene', 30000);
  await sleep(2000);
  await page.keyboard.down('KeyX');
  await sleep(250);
  await page.keyboard.up('KeyX');
  await waitForScene(page, 'CHomeStageScene', 45000);
  await sleep(2000);
  if (!check(await walkToForest(page) !== null, 'soak: the forest is reached')) return;
  // A round of play: walk and run in every direction, jump, turn and tilt the camera.
  const moves = [['ArrowUp'], ['ArrowUp', 'KeyX'], ['ArrowLeft'], ['ArrowDown', 'ArrowRight'], ['KeyZ'],
    ['Numpad6'], ['ArrowUp', 'KeyZ'], ['Numpad2'], ['Numpad8'], ['ArrowRight', 'ArrowUp', 'KeyX'], ['Numpad8']];
  let round = 0;
  const play = async (ms) => {
    for (const end = Date.now() + ms; Date.now() < end; round++) {
      const keys = moves[round % moves.length];
      for (const k of keys) await page.keyboard.down(k);
      await sleep(700);
      for (const k of keys) await page.keyboard.up(k);
      await sleep(100);
    }
  };
  await play(60000);
  const first = await memory();
  const samples = [first];
  for (let m = 1; m < minutes; m++) {
    await play(60000);
    samples.push(await memory());
    const last = samples[samples.length - 1];
    console.log(`     soak minute ${m + 1}: heap ${(last.heap / 1048576).toFixed(2)} MB, program ` +
      `${(last.program / 1048576).toFixed(1)} MB, scene ${(await status(page))[0]}`);
  }
  const last = samples[samples.length - 1];
  const growth = Math.max((last.heap / first.heap - 1) * 100, (last.program / first.program - 1) * 100);
  check(growth <= 5, `soak: memory within 5 % of the first minute after ${minutes} minutes (script heap ` +
    `${(first.heap / 1048576).toFixed(2)} -> ${(last.heap / 1048576).toFixed(2)} MB, program ` +
    `${(first.program / 1048576).toFixed(1)} -> ${(last.program / 1048576).toFixed(1)} MB)`);
  report(errors, foreign, 'soak');
  figure(`web_soak_heap_growth_pct: ${growth.toFixed(2)} % (${minutes} min; script heap ` +
    `${(first.heap / 1048576).toFixed(2)} -> ${(last.heap / 1048576).toFixed(2)} MB, program ` +
    `${(first.program / 1048576).toFixed(1)} -> ${(last.program / 1048576).toFixed(1)} MB)`);
  await page.close();
}

// --- Updates: two builds served one after the other. -------------------------------------------

// A host of the test's own, with two habits real hosts have: it lets browsers keep HTML (and
// anything not named after its content) for ten minutes, and sends .gz files with
// Content-Encoding: gzip, so the browser unpacks them on the way. It serves one site folder and
// can be switched to another (a new build uploaded) or stopped (the network gone).
function host() {
  const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
    '.wasm': 'application/wasm', '.data': 'application/octet-stream', '.png': 'image/png',
    '.webmanifest': 'application/manifest+json', '.mp3': 'audio/mpeg' };
  let root = null;
  let server = null;
  let port = 0;
  const sockets = new Set();
  const handle = (req, res) => {
    let name = decodeURIComponent(new URL(req.url, 'http://host').pathname).replace(/^\/+/, '');
    if (name === '' || name.endsWith('/')) name += 'index.html';
    const file = path.join(root, name);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    const packed = file.endsWith('.gz');
    const headers = { 'Content-Type': types[path.extname(packed ? file.slice(0, -3) : file)] || 'application/octet-stream',
      'Cache-Control': /\.[0-9a-f]{12}\./.test(name) ? 'public, max-age=31536000, immutable' : 'max-age=600' };
    if (packed) headers['Content-Encoding'] = 'gzip';
    res.writeHead(200, headers);
    fs.createReadStream(file).pipe(res);
  };
  const start = () => new Promise((resolve) => {
    server = http.createServer(handle);
    server.on('connection', (s) => { sockets.add(s); s.on('close', () => sockets.delete(s)); });
    server.listen(port, '127.0.0.1', () => { port = server.address().port; resolve(); });
  });
  return {
    start,
    serve: (dir) => { root = path.resolve(dir); },
    stop: () => new Promise((resolve) => { for (const s of sockets) s.destroy(); server.close(() => resolve()); }),
    url: () => `http://127.0.0.1:${port}/`,
  };
}

// Builds of the same stage with one change each, as make_site.py makes them: `change` edits a
// copy of the page's sources.
function variant(name, base, change) {
  const stage = path.join(site, '..', 'stage');
  const root = path.join(site, '..', 'web-updates');
  const pages = path.join(root, `${name}-pages`);
  const out = path.join(root, name);
  fs.rmSync(pages, { recursive: true, force: true });
  fs.cpSync(base, pages, { recursive: true });
  change(pages);
  const made = spawnSync('python3', [path.join(repo, 'web', 'make_site.py'), stage, pages, out], { encoding: 'utf8' });
  if (made.status !== 0) throw new Error(`make_site.py: ${made.stderr}`);
  return out;
}
const buildOf = (dir) => JSON.parse(/<script id="build" type="application\/json">(.*?)<\/script>/
  .exec(fs.readFileSync(path.join(dir, 'index.html'), 'utf8'))[1]);

async function updates(browser) {
  const web = path.join(repo, 'web');
  const b = variant('b', web, (dir) => fs.appendFileSync(path.join(dir, 'page.css'), '\n#legend dd { letter-spacing: 0.01em; }\n'));
  const c = variant('c', path.join(site, '..', 'web-updates', 'b-pages'), (dir) => {
    const file = path.join(dir, 'index.html');
    fs.writeFileSync(file, fs.readFileSync(file, 'utf8').replace('<dd>walk</dd>', '<dd>walk about</dd>'));
  });
  check(fs.readFileSync(path.join(site, 'sw.js'), 'utf8') !== fs.readFileSync(path.join(b, 'sw.js'), 'utf8') &&
    fs.readFileSync(path.join(b, 'sw.js'), 'utf8') !== fs.readFileSync(path.join(c, 'sw.js'), 'utf8'),
  'a change to the style sheet, and one to index.html alone, each make a new service worker');
  const cacheB = `brimmel-${buildOf(b).version}`;
  const h = host();
  h.serve(site);
  await h.start();
  const context = await browser.createBrowserContext();
  const pages = [];
  const open = async (what, online = true) => {
    const page = await context.newPage();
    await page.setViewport({ width: 800, height: 640 });
    // Offline, the HTTP cache is emptied first (phones evict it freely): only the worker's cache counts.
    if (!online) await (await page.createCDPSession()).send('Network.clearBrowserCache');
    const watched = watch(page, h.url(), { offline: !online });
    pages.push([what, page, watched]);
    await page.goto(h.url(), { waitUntil: 'domcontentloaded' });
    const phase = await waitForPhase(page, ['ready', 'failed'], 90000);
    const text = await page.evaluate(() => document.getElementById('message-text').textContent);
    check(phase === 'ready', `updates: ${what} shows the start card (${phase}${phase === 'failed' ? `: ${text}` : ''})`);
    return page;
  };
  // The new build's worker is in charge once no worker is installing or waiting and its cache is there.
  const settled = (page, cacheName, holds) => page.waitForFunction(async (name, text) => {
    const r = await navigator.serviceWorker.getRegistration();
    if (!r || r.installing || r.waiting || !r.active || !(await caches.has(name))) return false;
    const kept = await (await caches.open(name)).match('./');
    return !!kept && (!text || (await kept.text()).includes(text));
  }, { timeout: 60000, polling: 250 }, cacheName, holds).then(() => true, () => false);
  const which = (page) => page.evaluate(() => [document.querySelector('link[rel=stylesheet]').getAttribute('href'),
    document.getElementById('legend').textContent.includes('walk about')]);
  try {
    // The first build, with a .gz sent unpacked by the host; the tab stays open and plays.
    const old = await open('the first build, its .gz files sent with Content-Encoding: gzip');
    await old.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: 30000 }).catch(() => {});
    await old.keyboard.press('Enter');
    const oldTitle = await waitForScene(old, 'CTitleScene', 30000);
    // The style sheet changes. One online visit (the old worker still answers it, from its
    // cache) installs the new worker; then the network goes.
    h.serve(b);
    const second = await open('a visit after the style sheet changed');
    const tookOver = await settled(second, cacheB, null);
    await second.close();
    await h.stop();
    const offline = await open('offline, after one visit to the updated site', false);
    const [css] = await which(offline);
    const cssB = /href="(page\.[0-9a-f]{12}\.css)"/.exec(fs.readFileSync(path.join(b, 'index.html'), 'utf8'))[1];
    check(tookOver && css === cssB, `updates: the new build's worker took over and serves its own page offline ` +
      `(style sheet ${css}, the new build's is ${cssB})`);
    await offline.keyboard.press('Enter');
    check(await waitForScene(offline, 'CTitleScene', 30000), 'updates: offline after the update, the game reaches the title');
    await offline.close();
    // index.html alone changes: a new worker all the same, and its page offline.
    h.serve(c);
    await h.start();
    const third = await open('a visit after index.html alone changed');
    const tookOverC = await settled(third, cacheB, 'walk about');
    await third.close();
    await h.stop();
    const offlineC = await open('offline, after index.html changed', false);
    const [, newWords] = await which(offlineC);
    check(tookOverC && newWords, `updates: a change to index.html alone reaches the returning player (legend ` +
      `${newWords ? 'changed' : 'unchanged'})`);
    await offlineC.close();
    // The first tab played on through both updates, and its Play again starts the newest build.
    const steps0 = await old.evaluate(() => window.Module._brimmel_steps());
    await sleep(1000);
    const steps1 = await old.evaluate(() => window.Module._brimmel_steps());
    await old.evaluate(() => window.Module._brimmel_request_quit());
    await waitForPhase(old, ['ended'], 10000);
    await Promise.all([old.waitForNavigation({ waitUntil: 'domcontentloaded' }).catch(() => {}), old.click('#again')]);
    const again = await waitForPhase(old, ['ready', 'failed'], 60000);
    const [, oldNewWords] = await which(old);
    check(oldTitle && steps1 - steps0 > 30 && again === 'ready' && oldNewWords, `updates: a tab open since the first ` +
      `build plays on (${steps1 - steps0} steps in 1 s) and Play again, offline, starts the newest build`);
    // With no tab of an older build left, only the newest build's cache remains.
    const kept = await old.evaluate(async () => {
      navigator.serviceWorker.controller.postMessage('tidy');
      await new Promise((r) => setTimeout(r, 1000));
      return (await caches.keys()).filter((n) => n.startsWith('brimmel-'));
    });
    check(kept.length === 1 && kept[0] === cacheB, `updates: the older builds' caches are gone (${kept.join(', ')})`);
    for (const [what, , { errors }] of pages) {
      const own = errors.filter((e) => !/Failed to load resource|sw\.js/.test(e));
      check(own.length === 0, `updates: ${what}: no page errors${own.length ? ': ' + own.join('; ') : ''}`);
    }
  } finally {
    await context.close();
    await h.stop().catch(() => {});
  }
}

function report(errors, foreign, where = '') {
  const at = where ? `${where}: ` : '';
  check(errors.length === 0, `${at}no page or console errors${errors.length ? ':\n  ' + errors.join('\n  ') : ''}`);
  check(foreign.length === 0, `${at}no third-party requests${foreign.length ? ': ' + foreign.join(', ') : ''}`);
}

main().then(() => {
  if (failures.length) {
    console.log(`${failures.length} check(s) failed`);
    process.exit(1);
  }
  console.log('all checks passed');
  // The wire's listener and the browser's leftover sockets would keep node waiting.
  process.exit(0);
}, (e) => {
  console.log(`FAIL ${e.stack || e}`);
  process.exit(1);
});
