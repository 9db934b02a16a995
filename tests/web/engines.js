// The core of the browser test in the engines besides Chromium: Firefox ESR (driven by
// puppeteer-core over WebDriver BiDi) and WebKitGTK (its MiniBrowser, driven by WebKitWebDriver
// over W3C WebDriver), both headed on the X display the test runs under, with WebGL 2 on the
// machine's own renderer. Each goes once along the player's path: the page loads and its music
// comes back from MP3 at its length and level, the start card, the title, the home stage by
// keyboard, walking, the music heard, Esc kept, and a start with the network off after the visit.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const kMiniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// Firefox through puppeteer-core.
async function firefox() {
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: false,
    args: ['--width=820', '--height=760'],
    // A machine without a sound device (a CI box): Firefox's own stand-in output keeps Web Audio
    // running, as Chromium's headless output and WebKit's GStreamer sink do.
    extraPrefsFirefox: { 'media.cubeb.force_mock_context': true },
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 640 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
  return {
    name: 'firefox',
    version: await browser.version(),
    errors,
    goto: (url) => page.goto(url, { waitUntil: 'domcontentloaded' }),
    run: (fn, ...args) => (typeof fn === 'string' ? page.evaluate(`(${fn})()`) : page.evaluate(fn, ...args)),
    key: (code, down) => (down ? page.keyboard.down(code) : page.keyboard.up(code)),
    shot: (file) => page.screenshot({ path: file }),
    close: () => browser.close(),
  };
}

// WebKitGTK's MiniBrowser through WebKitWebDriver, spoken to over HTTP.
async function webkit() {
  const port = await new Promise((resolve) => {
    const probe = http.createServer().listen(0, '127.0.0.1', () => {
      const p = probe.address().port;
      probe.close(() => resolve(p));
    });
  });
  const driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
  const call = (method, route, body) => new Promise((resolve, reject) => {
    const data = body === undefined ? undefined : JSON.stringify(body);
    const req = http.request({ host: '127.0.0.1', port, method, path: route,
      headers: data ? { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(data) } : {} }, (res) => {
      let text = '';
      res.on('data', (d) => { text += d; });
      res.on('end', () => {
        const answer = text ? JSON.parse(text) : {};
        if (answer.value && answer.value.error) reject(new Error(`${route}: ${answer.value.error}: ${answer.value.message}`));
        else resolve(answer.value);
      });
    });
    req.on('error', reject);
    if (data) req.write(data);
    req.end();
  });
  for (let i = 0; i < 50; i++) {
    if (await call('GET', '/status').then((s) => s && s.ready, () => false)) break;
    await sleep(100);
  }
  const session = await call('POST', '/session', { capabilities: { alwaysMatch: {
    'webkitgtk:browserOptions': { binary: kMiniBrowser, args: ['--automation'] } } } });
  const at = (route) => `/session/${session.sessionId}${route}`;
  await call('POST', at('/window/rect'), { width: 820, height: 760 }).catch(() => {});
  // WebDriver's keys: the characters for letters, its own code points for the others.
  const keys = { Enter: '\uE007', Escape: '\uE00C', ArrowUp: '\uE013', ArrowDown: '\uE015', ArrowLeft: '\uE012',
    ArrowRight: '\uE014' };
  const value = (code) => keys[code] || (/^Key[A-Z]$/.test(code) ? code[3].toLowerCase() : code);
  return {
    name: 'webkit',
    version: `WebKitGTK ${session.capabilities.browserVersion}`,
    errors: [],
    goto: (url) => call('POST', at('/url'), { url }),
    run: async (fn, ...args) => {
      const answer = await call('POST', at('/execute/async'), { args: [args], script: `const done = arguments[1];
        Promise.resolve((${fn})(...arguments[0])).then((v) => done({ v }), (e) => done({ e: String(e) }));` });
      if (answer && answer.e) throw new Error(answer.e);
      return answer ? answer.v : undefined;
    },
    key: (code, down) => call('POST', at('/actions'), { actions: [{ type: 'key', id: 'keyboard',
      actions: [{ type: down ? 'keyDown' : 'keyUp', value: value(code) }] }] }),
    shot: async (file) => fs.writeFileSync(file, Buffer.from(await call('GET', at('/screenshot')), 'base64')),
    close: async () => {
      await call('DELETE', at('')).catch(() => {});
      driver.kill();
    },
  };
}

// The player's path in one engine, against a server that `serve` starts (and whose `stop` takes
// the network away).
async function corePath(make, { serve, shots, check, figure, measure }) {
  let server = await serve();
  let b = null;
  try {
    b = await make();
  } catch (e) {
    check(false, `the engine starts (${e.message})`);
    server.stop();
    return;
  }
  const say = (what) => `${b.name}: ${what}`;
  const shot = async (what) => {
    const file = path.join(shots, `${b.name}-${what}.png`);
    await b.shot(file).then(() => console.log(`     screenshot ${file}`), () => {});
  };
  const status = async () => (await b.run(() => window.Module.UTF8ToString(window.Module._brimmel_status()))).split(' ');
  const waitFor = async (test, ms) => {
    for (const end = Date.now() + ms; Date.now() < end;) {
      const v = await b.run(test).catch(() => null);
      if (v) return v;
      await sleep(200);
    }
    return null;
  };
  const scene = (name, ms) => waitFor(`() => window.Module && window.Module._brimmel_status &&
    window.Module.UTF8ToString(window.Module._brimmel_status()).startsWith('${name} ')`, ms);
  const press = async (code, ms = 150) => {
    await b.key(code, true);
    await sleep(ms);
    await b.key(code, false);
  };
  const phase = (want, ms) => waitFor(`() => window.brimmelPage && ${JSON.stringify(want)}.includes(window.brimmelPage.phase) &&
    window.brimmelPage.phase`, ms);
  try {
    console.log(`     ${b.version}`);
    const t0 = Date.now();
    await b.goto(server.url);
    const first = await phase(['ready', 'failed'], 180000);
    const error = await b.run(() => window.brimmelPage && window.brimmelPage.error).catch(() => '');
    if (!check(first === 'ready', say(`the page loads and shows the start card (${first || 'timed out'}${error ? `: ${error}` : ''})`))) {
      await shot('failed-start');
      return;
    }
    await shot('start-card');
    const tracks = await b.run(() => window.brimmelPage.music);
    check(tracks.length === 2 && tracks.every((t) => t.decodedFrames === t.frames && Math.abs(t.rmsDb - t.sourceRmsDb) < 1),
      say(`the music comes back from MP3 at its length and level (${tracks.map((t) => `${t.decodedFrames}/${t.frames} ` +
        `frames, ${t.sourceRmsDb.toFixed(2)} -> ${t.rmsDb.toFixed(2)} dB`).join('; ')})`));
    await press('Enter');
    const titled = await scene('CTitleScene', 60000);
    const titleAt = Date.now() - t0;
    check(!!titled, say(`a key starts the game and the title comes up (${titleAt} ms after the page was asked for)`));
    await sleep(1500);
    await shot('title');
    await press('KeyX', 250);
    check(!!(await scene('CHomeStageScene', 60000)), say('X leads through the stage card to the home stage'));
    await sleep(3000);
    // What reaches the speakers: an ear on the game's master gain.
    const heard = await b.run(() => new Promise((resolve) => {
      const ctx = window.AL && window.AL.currentCtx;
      if (!ctx) return resolve([0, 'none']);
      const ear = ctx.audioCtx.createAnalyser();
      ear.fftSize = 2048;
      ctx.gain.connect(ear);
      const buf = new Float32Array(2048);
      let most = 0;
      const end = performance.now() + 2000;
      const look = () => {
        ear.getFloatTimeDomainData(buf);
        let sum = 0;
        for (const v of buf) sum += v * v;
        most = Math.max(most, Math.sqrt(sum / buf.length));
        if (performance.now() < end) setTimeout(look, 40);
        else resolve([most, ctx.audioCtx.state]);
      };
      look();
    }));
    check(heard[0] > 0.01 && heard[1] === 'running', say(`the home stage's music is heard (RMS ${heard[0].toFixed(3)}, ` +
      `audio ${heard[1]})`));
    const [, x0, z0] = (await status()).map(Number);
    await b.key('ArrowUp', true);
    await sleep(1500);
    await shot('home-walking');
    await b.key('ArrowUp', false);
    const [, x1, z1] = (await status()).map(Number);
    const walked = Math.hypot(x1 - x0, z1 - z0);
    check(walked > 20, say(`holding the up arrow walks the player (${walked.toFixed(0)} units)`));
    // The drawing size the page settles on, and what the display shows (given time to settle when
    // the figures are asked for).
    if (measure) await sleep(8000);
    const shown = await b.run(() => ({ fps: window.brimmelPage.fps, pixels: window.brimmelPage.pixels,
      sizes: window.brimmelPage.sizes, renderer: window.brimmelPage.renderer }));
    await shot('home');
    const steps0 = await b.run(() => window.Module._brimmel_steps());
    await press('Escape');
    await sleep(1500);
    const [after, steps1] = await b.run(() => [window.brimmelPage.phase, window.Module._brimmel_steps()]);
    check(after === 'running' && steps1 - steps0 > 30, say(`Esc leaves the game running (${steps1 - steps0} steps in 1.5 s)`));
    figure(`web_${b.name}_time_to_title_ms: ${titleAt} ms`);
    figure(`web_${b.name}_display_fps: ${shown.fps.toFixed(1)} fps at home (load average ${os.loadavg()[0].toFixed(2)}; ` +
      `drawing at ${shown.pixels.join('x')}, steps ${shown.sizes.join(' -> ')}; renderer "${shown.renderer}")`);
    // Offline after this one visit: the worker holds the game.
    const held = await waitFor(() => navigator.serviceWorker && navigator.serviceWorker.controller !== null, 30000);
    await server.stop();
    await b.goto(server.url);
    const offline = await phase(['ready', 'failed'], 90000);
    const offlineError = await b.run(() => window.brimmelPage && window.brimmelPage.error).catch(() => '');
    check(held && offline === 'ready', say(`offline after the visit, the page starts (${offline || 'timed out'}` +
      `${offlineError ? `: ${offlineError}` : ''})`));
    if (offline === 'ready') {
      await press('Enter');
      check(!!(await scene('CTitleScene', 60000)), say('offline, the game reaches the title'));
      await sleep(2000);  // past the fade-in
      await shot('offline-title');
    }
    check(b.errors.length === 0, say(`no page errors${b.errors.length ? ': ' + b.errors.join('; ') : ''}`));
  } catch (e) {
    check(false, say(`the run ends in an error: ${e.stack || e}`));
  } finally {
    await b.close().catch(() => {});
    await server.stop().catch(() => {});
  }
}

module.exports = { firefox, webkit, corePath };
