// The page around the game: checks for WebGL 2, downloads the program, the packed data and the
// music with a progress bar over the bytes that arrive (kept by the browser for the next visit and
// for offline play), waits for a click, tap or key (browsers start sound only after one), then
// starts the game with its settings kept in the browser's storage. It chooses the drawing size
// from the frames the display manages, and on touch screens draws controls that press the same
// keys a keyboard would. Reports the game steps and pictures it sees per second of wall time, and
// shows failures as plain text.
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const build = JSON.parse(($('build') || { textContent: '{}' }).textContent);
  const page = { phase: 'loading', loaded: 0, total: 0, rate: 0, fps: 0, error: '', storage: 'unknown', music: [],
    pixels: [0, 0], renderer: '', settings: 'unknown', sizes: [] };
  window.brimmelPage = page;

  function show(id) {
    for (const card of ['loading', 'start', 'message']) $(card).hidden = card !== id;
  }
  function fail(text) {
    page.phase = 'failed';
    page.error = text;
    $('message-text').textContent = text;
    $('again').hidden = true;
    show('message');
  }

  // Storage the browser may refuse (site data blocked): every use of it goes through here.
  function safely(use, fallback) {
    try {
      return use();
    } catch (e) {
      return fallback;
    }
  }

  // Esc belongs to the browser (it leaves full screen); the game never sees it here. Tab moves
  // between the page's buttons, so the game must not take it either.
  const pageKeys = new Set(['Escape', 'Tab']);
  // Keys the game has no use for are the browser's too, on the start card and in play: function
  // keys but the game's own (F5 reloads, F11 goes full screen) and every combination with Ctrl,
  // Alt or Meta (Ctrl+R, Ctrl+F, Ctrl+L, zoom). SDL's handler would cancel them all.
  const gameFunctionKeys = new Set(['F2', 'F3', 'F12']);
  const browserKey = (e) => pageKeys.has(e.code) || e.ctrlKey || e.altKey || e.metaKey ||
    (/^F\d+$/.test(e.code) && !gameFunctionKeys.has(e.code));
  window.addEventListener('keydown', guardKeys, true);
  window.addEventListener('keypress', guardKeys, true);
  window.addEventListener('keyup', guardKeys, true);
  // Keys the game uses must not scroll or otherwise act on the page (Space and Enter still press
  // a focused button).
  const gameKeys = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'KeyX', 'KeyZ', 'KeyP',
    'Numpad8', 'Numpad6', 'Numpad4', 'Numpad2', 'F2', 'F3', 'F12', 'Space', 'Enter', 'PageUp', 'PageDown', 'Home',
    'End']);
  function guardKeys(e) {
    // A key let go always reaches the game, so one held when Ctrl went down is not left held.
    if (pageKeys.has(e.code) || (e.type !== 'keyup' && browserKey(e))) {
      e.stopImmediatePropagation();
      return;
    }
    const onButton = e.target instanceof HTMLButtonElement && (e.code === 'Space' || e.code === 'Enter');
    if (gameKeys.has(e.code) && !onButton) e.preventDefault();
  }

  $('fullscreen').addEventListener('click', () => {
    const frame = $('frame');
    if (document.fullscreenElement) document.exitFullscreen();
    else if (frame.requestFullscreen) frame.requestFullscreen().catch(() => {});
    else if (frame.webkitRequestFullscreen) frame.webkitRequestFullscreen();
  });
  if (!document.fullscreenEnabled && !document.webkitFullscreenEnabled) $('fullscreen').hidden = true;

  const probe = document.createElement('canvas').getContext('webgl2');
  if (!probe) {
    fail('This game needs WebGL 2, which this browser does not offer or has switched off.');
    return;
  }
  // The renderer's name is kept for the read-outs only: WebKit calls every renderer "Apple GPU",
  // software ones included, so the drawing size follows the frames the display manages instead.
  const debugInfo = safely(() => probe.getExtension('WEBGL_debug_renderer_info'), null);
  page.renderer = String(debugInfo ? probe.getParameter(debugInfo.UNMASKED_RENDERER_WEBGL) : probe.getParameter(probe.RENDERER));
  const loseProbe = probe.getExtension('WEBGL_lose_context');
  if (loseProbe) loseProbe.loseContext();

  // --- The kept copy: a cache named after this build, shared with the service worker. ---------
  const cacheName = `brimmel-${build.version || 'dev'}`;
  let cache = null;
  async function openCache() {
    try {
      const storage = window.caches;  // the getter itself throws where site data is blocked
      if (!storage) throw new Error('no Cache API');
      cache = await storage.open(cacheName);
      page.storage = 'kept';
    } catch (e) {
      storageRefused(e);
    }
  }
  function storageRefused(e) {
    cache = null;
    page.storage = 'refused';
    const note = $('storage-note');
    note.textContent = `This browser refused to keep the game (${(e && (e.message || e.name)) || 'no storage'}): it ` +
      'plays now, but downloads again on the next visit and cannot start offline.';
    note.hidden = false;
  }
  // The worker comes once the page has its files (in the cache it shares with the worker), so a
  // first visit does not download them twice; on a later visit this is the check for a new build.
  function registerWorker() {
    try {
      const workers = navigator.serviceWorker;
      if (!workers || !build.version) return;
      workers.register('sw.js').then(() => {
        if (workers.controller) workers.controller.postMessage('tidy');
      }, storageRefused);
    } catch (e) {
      storageRefused(e);
    }
  }

  const mb = (n) => (n / 1048576).toFixed(1);
  function progress(loaded, total) {
    page.loaded = loaded;
    page.total = total;
    const percent = total > 0 ? Math.min(100, Math.floor((loaded * 100) / total)) : 0;
    $('progress').value = percent;
    $('progress-text').textContent = `${mb(loaded)} MB of ${mb(total)} MB (${percent} %)`;
  }

  // One file as it travels (gzip-compressed where that helps), counted as its bytes arrive, kept
  // for the next visit, then unpacked here: the bar counts what actually comes over the wire.
  const unzips = typeof DecompressionStream === 'function';
  const travelled = (f) => (f.gz && unzips ? { url: f.gz, size: f.gzSize } : { url: f.url, size: f.size });
  async function download(f, tick) {
    const { url, size } = travelled(f);
    let response = cache ? await cache.match(url).catch(() => undefined) : undefined;
    const kept = !!response;
    if (!response) response = await fetch(url);
    if (!response.ok || !response.body) throw new Error(`${url}: HTTP ${response.status}`);
    const reader = response.body.getReader();
    const parts = [];
    let loaded = 0;
    // A host that sends the .gz copy with Content-Encoding: gzip has the browser unpack it on the
    // way: then the file arrives at its plain size (and the bar counts it at its packed one).
    let expected = size;
    let scale = 1;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      if (loaded === 0 && url === f.gz && !(value[0] === 0x1f && (value.length < 2 || value[1] === 0x8b))) {
        expected = f.size;
        scale = size / f.size;
      }
      if (loaded + value.length > expected) throw new Error(`${url} is larger than this page expects`);
      parts.push(value);
      loaded += value.length;
      tick(value.length * scale);
    }
    if (loaded !== expected) throw new Error(`${url} ended after ${loaded} of ${expected} bytes`);
    const data = new Uint8Array(loaded);
    let at = 0;
    for (const part of parts) {
      data.set(part, at);
      at += part.length;
    }
    if (cache && !kept) {
      await cache.put(url, new Response(data, { headers: { 'Content-Type': 'application/octet-stream' } }))
        .catch(storageRefused);
    }
    if (url !== f.gz || expected !== size) return data;
    const plain = await new Response(new Blob([data]).stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
    return new Uint8Array(plain);
  }

  // The music travels compressed (MP3, which every current browser decodes) and is turned back
  // here into the WAVE files the game streams, at their own rate and length.
  async function decodeTrack(m, bytes) {
    const context = new OfflineAudioContext(m.channels, m.frames, m.rate);
    const audio = await context.decodeAudioData(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
    const n = m.frames;
    const ch = m.channels;
    const wav = new ArrayBuffer(44 + n * ch * 2);
    const v = new DataView(wav);
    const text = (at, s) => { for (let i = 0; i < s.length; i++) v.setUint8(at + i, s.charCodeAt(i)); };
    text(0, 'RIFF'); v.setUint32(4, 36 + n * ch * 2, true); text(8, 'WAVE');
    text(12, 'fmt '); v.setUint32(16, 16, true); v.setUint16(20, 1, true); v.setUint16(22, ch, true);
    v.setUint32(24, m.rate, true); v.setUint32(28, m.rate * ch * 2, true); v.setUint16(32, ch * 2, true);
    v.setUint16(34, 16, true); text(36, 'data'); v.setUint32(40, n * ch * 2, true);
    const out = new Int16Array(wav, 44);
    const have = Math.min(n, audio.length);
    let sum = 0;
    for (let c = 0; c < ch; c++) {
      const src = audio.getChannelData(Math.min(c, audio.numberOfChannels - 1));
      for (let i = 0; i < have; i++) {
        const s = Math.max(-1, Math.min(1, src[i]));
        const q = Math.round(s * 32767);
        out[i * ch + c] = q;
        sum += q * q;
      }
    }
    page.music.push({ path: m.path, frames: n, decodedFrames: audio.length,
      rmsDb: 20 * Math.log10(Math.sqrt(sum / Math.max(1, have * ch)) / 32768 + 1e-12), sourceRmsDb: m.rmsDb });
    return new Uint8Array(wav);
  }

  // Everything the game needs, side by side, in one progress bar.
  async function fetchAll() {
    await openCache();
    const files = build.files;
    const all = [files.program, files.module, files.loader, files.data, ...build.music];
    const total = all.reduce((n, f) => n + travelled(f).size, 0);
    let loaded = 0;
    const tick = (n) => progress((loaded += n), total);
    progress(0, total);
    const [program, module, loader, data, ...tracks] = await Promise.all(all.map((f) => download(f, tick)));
    return { program, module, loader, data, tracks };
  }

  function runScript(bytes) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = URL.createObjectURL(new Blob([bytes], { type: 'text/javascript' }));
      s.onload = resolve;
      s.onerror = () => reject(new Error('a script did not run'));
      document.body.appendChild(s);
    });
  }

  let ready = null;
  const runtime = new Promise((resolve) => { ready = resolve; });
  function gameEnded(why) {
    if (page.phase === 'failed') return;
    page.phase = 'ended';
    releaseAll();
    $('touch').hidden = true;
    $('message-text').textContent = why;
    $('again').hidden = false;
    show('message');
    $('again').focus();
  }
  window.Module = {
    canvas,
    print: (text) => console.log(text),
    printErr: (text) => console.log(text),
    onRuntimeInitialized: () => ready(),
    onAbort: (what) => fail(`The game stopped with an error (${what}). Reloading the page starts it again.`),
    onExit: () => gameEnded('The game has ended.'),
    onGameEnded: () => gameEnded('The game has ended.'),
    onGameFile: (path) => offerFile(path),
  };
  // The game's own message boxes become the page's words, not a blocking dialog.
  window.alert = (text) => {
    console.log(`game message: ${text}`);
    // The desktop's wording names its own requirements; here the browser's are what count.
    fail(String(text).replace(/\s*See profile\.txt\.?/, '').replace(/OpenGL 3\.3 is required/, 'WebGL 2 is required'));
  };
  // Nothing is downloaded again: the browser keeps the files, and the page starts over.
  $('again').addEventListener('click', () => {
    safely(() => sessionStorage.setItem('brimmel.again', '1'));
    location.reload();
  });

  // A picture the game made for the player (F12) stays inside the browser's memory: it is offered
  // as a download instead.
  function offerFile(path) {
    const bytes = safely(() => window.Module.FS.readFile(path), null);
    if (!bytes) return;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'image/png' }));
    link.download = path.slice(path.lastIndexOf('/') + 1);
    page.offered = (page.offered || 0) + 1;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  // --- The settings: kept in the browser's storage (IndexedDB) from one visit to the next. -----
  const kKept = '/kept';
  let settingsFile = '/TORIDEN.ini';
  const kSettings = `${kKept}/TORIDEN.ini`;
  const sync = (load) => new Promise((resolve, reject) => window.Module.FS.syncfs(load, (e) => (e ? reject(e) : resolve())));
  // Mounts the kept folder and reads it: the settings the game wrote last time, or (first visit,
  // or storage refused) the packed defaults. Answers the settings file the game is to use.
  async function keptSettings() {
    const FS = window.Module.FS;
    try {
      FS.mkdir(kKept);
      FS.mount(FS.filesystems.IDBFS, {}, kKept);
      await sync(true);
      page.settings = 'kept';
    } catch (e) {
      page.settings = 'refused';
      const note = $('storage-note');
      if (note.hidden) {
        note.textContent = `This browser refused to keep the settings (${(e && (e.message || e.name)) || 'no storage'}): ` +
          'changes last until the page closes.';
        note.hidden = false;
      }
      return '/TORIDEN.ini';
    }
    if (!FS.analyzePath(kSettings).exists) FS.writeFile(kSettings, FS.readFile('/TORIDEN.ini'));
    // The game writes the file back whenever a setting changes; what it wrote goes to storage.
    let written = FS.stat(kSettings).mtime.getTime();
    const save = () => {
      const now = safely(() => FS.stat(kSettings).mtime.getTime(), written);
      if (now === written) return;
      written = now;
      sync(false).catch((e) => console.log(`settings not kept: ${e.message || e}`));
    };
    setInterval(save, 500);
    window.addEventListener('pagehide', save);
    return kSettings;
  }

  // --- The drawing size: chosen from the frames the display manages. -------------------------
  // It starts at the game's own 640x480 (or the canvas's size in device pixels, where that is
  // less), steps up while the display's frames keep their time and down when they do not, and
  // never goes above the canvas's size in device pixels (4:3, at most 1920x1440). The game's 60
  // steps a second never depend on it. page.DrawingSizer is the rule alone, for the tests.
  const kLadder = [400, 480, 560, 640, 800, 960, 1120, 1280, 1600, 1920];
  function DrawingSizer(start = 640) {
    const top = kLadder[kLadder.length - 1];
    let ceiling = top;
    let wanted = start;  // what the frames have earned
    let tooSlow = Infinity;  // the smallest width seen not to keep time, for a minute
    let tooSlowUntil = 0;
    let frames = [];
    let settleUntil = 0;
    const width = () => Math.min(wanted, ceiling);
    const answer = () => {
      frames = [];
      const w = width();
      return [w, (w / 4) * 3];
    };
    return {
      size: () => [width(), (width() / 4) * 3],
      // The canvas's width in device pixels: never draw more than it shows.
      setCeiling(deviceWidth) {
        const before = width();
        ceiling = Math.max(160, Math.min(top, deviceWidth - (deviceWidth % 4)));
        return width() !== before ? answer() : null;
      },
      // One picture shown, `ms` after the one before, at `now`; `beat` is the display's own
      // interval (never under 1/60 s: the game draws at most one picture a step). Answers the new
      // size when there is one.
      frame(ms, now, beat) {
        if (now < settleUntil) return null;
        if (ms > 250) {  // a hidden tab or a stage loading: not the renderer's doing
          frames = [];
          return null;
        }
        frames.push(ms);
        if (frames.length < 90) return null;
        const sorted = [...frames].sort((x, y) => x - y);
        const median = sorted[sorted.length >> 1];
        const late = sorted[Math.floor(sorted.length * 0.9)];
        const w = width();
        frames = [];
        settleUntil = now + 1000;
        if (now > tooSlowUntil) tooSlow = Infinity;  // the machine may have been busy with something else
        if (median > beat * 1.4) {
          const lower = kLadder.filter((r) => r < w).pop();
          if (lower === undefined) return null;
          tooSlow = Math.min(tooSlow, w);
          tooSlowUntil = now + 60000;
          wanted = lower;
          return answer();
        }
        if (late <= beat * 1.25 + 1 && w < ceiling) {
          const higher = Math.min(ceiling, kLadder.find((r) => r > w) || top);
          if (higher >= tooSlow) return null;
          wanted = higher;
          return answer();
        }
        return null;
      },
    };
  }
  page.DrawingSizer = DrawingSizer;
  const deviceWidth = () => {
    const box = canvas.getBoundingClientRect();
    return Math.round(box.width * (window.devicePixelRatio || 1));
  };
  let sizer = null;
  function drawAt(size) {
    if (!size || page.phase !== 'running') return;
    page.pixels = size;
    page.sizes.push(size[0]);
    window.Module._brimmel_draw_at(size[0], size[1]);
  }
  // The display's own beat, measured while the page waits (nothing else is drawn then).
  let beat = 1000 / 60;
  function measureBeat() {
    const times = [];
    const tick = (t) => {
      times.push(t);
      if (times.length < 40 && page.phase !== 'running') requestAnimationFrame(tick);
      else if (times.length > 10) {
        const gaps = times.slice(1).map((t1, i) => t1 - times[i]).sort((a, b) => a - b);
        beat = Math.max(1000 / 60, gaps[gaps.length >> 1]);
      }
    };
    requestAnimationFrame(tick);
  }
  // Follows the pictures the game shows (a turn that ran a step drew one) and the canvas's size.
  function followDisplay() {
    sizer = DrawingSizer(page.pixels[0]);
    new ResizeObserver(() => drawAt(sizer.setCeiling(deviceWidth()))).observe(canvas);
    drawAt(sizer.setCeiling(deviceWidth()));
    let last = 0;
    let steps = window.Module._brimmel_steps();
    let shown = [];
    const tick = (t) => {
      if (page.phase !== 'running') return;
      const now = window.Module._brimmel_steps();
      if (now !== steps) {
        steps = now;
        if (last) drawAt(sizer.frame(t - last, t, beat));
        last = t;
        shown.push(t);
      }
      while (shown.length && shown[0] < t - 2000) shown.shift();
      page.fps = shown.length / 2;
      requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
  }

  function start(event) {
    if (page.phase !== 'ready') return;
    if (event.type === 'keydown' && browserKey(event)) return;
    event.preventDefault();
    page.phase = 'running';
    show(null);
    canvas.focus();
    const w = Math.min(640, Math.max(160, deviceWidth() - (deviceWidth() % 4)));
    page.pixels = [w, (w / 4) * 3];
    // Within the gesture, so the game's audio context may start at once.
    window.Module.callMain(['--config', settingsFile, '--size', `${w}x${page.pixels[1]}`]);
    if (page.phase === 'running') {
      watchRate();
      followDisplay();
      if (document.body.classList.contains('touch')) $('touch').hidden = false;
    }
  }

  function watchRate() {
    const samples = [];
    setInterval(() => {
      if (page.phase !== 'running') return;
      samples.push([performance.now(), window.Module._brimmel_steps()]);
      if (samples.length > 11) samples.shift();  // five seconds: steps come in bursts
      if (samples.length < 2) return;
      const [t0, s0] = samples[0];
      const [t1, s1] = samples[samples.length - 1];
      page.rate = ((s1 - s0) * 1000) / (t1 - t0);
      $('rate').textContent = `${page.rate.toFixed(1)} steps/s, ${page.fps.toFixed(0)} pictures/s at ` +
        `${page.pixels[0]}x${page.pixels[1]}`;
    }, 500);
  }

  // --- Touch: the same keys a keyboard presses, sent where the game's input listens. ----------
  const keyNames = { KeyX: 'x', KeyZ: 'z', KeyP: 'p', Numpad8: '8', Numpad6: '6', Numpad2: '2',
    ArrowUp: 'ArrowUp', ArrowDown: 'ArrowDown', ArrowLeft: 'ArrowLeft', ArrowRight: 'ArrowRight' };
  const held = new Map();
  page.keysDown = () => [...held].filter(([, n]) => n > 0).map(([code]) => code).sort();
  function key(code, down) {
    const n = held.get(code) || 0;
    if (!down && n === 0) return;
    held.set(code, n + (down ? 1 : -1));
    if (down ? n !== 0 : n !== 1) return;
    window.dispatchEvent(new KeyboardEvent(down ? 'keydown' : 'keyup',
      { code, key: keyNames[code] || code, bubbles: true, cancelable: true }));
  }
  function releaseAll() {
    for (const [code, n] of held) if (n > 0) { held.set(code, 1); key(code, false); }
    stickDown = [];
    fingers.clear();
    stickFinger = null;
    restStick();
    for (const b of document.querySelectorAll('.pad.held')) b.classList.remove('held');
  }
  // A press the game reads once a frame: held long enough to be seen.
  function tapKey(code) {
    key(code, true);
    setTimeout(() => key(code, false), 120);
  }

  // Each finger belongs to the control it first touched: a button, the stick (a touch that starts
  // in the left part and moves) or a tap (a touch that lifts where it landed confirms).
  const fingers = new Map();
  let stickFinger = null;
  let stickDown = [];
  const kDeadZone = 12;
  const kDiagonal = Math.cos((67.5 * Math.PI) / 180);
  function stickKeys(codes) {
    for (const c of stickDown) if (!codes.includes(c)) key(c, false);
    for (const c of codes) if (!stickDown.includes(c)) key(c, true);
    stickDown = codes;
  }
  function steer(f, x, y) {
    const dx = x - f.x0, dy = y - f.y0;
    const r = Math.hypot(dx, dy);
    const knob = $('knob');
    const reach = $('stick').offsetWidth / 2 || 60;
    const k = r > reach ? reach / r : 1;
    knob.style.transform = `translate(${dx * k}px, ${dy * k}px)`;
    if (r < kDeadZone) return stickKeys([]);
    const codes = [];
    if (dx / r > kDiagonal) codes.push('ArrowRight');
    if (dx / r < -kDiagonal) codes.push('ArrowLeft');
    if (dy / r < -kDiagonal) codes.push('ArrowUp');
    if (dy / r > kDiagonal) codes.push('ArrowDown');
    stickKeys(codes);
  }
  function restStick() {
    const stick = $('stick');
    stick.classList.remove('on');
    stick.style.left = stick.style.top = '';
    $('knob').style.transform = '';
  }
  function padAt(x, y) {
    const el = document.elementFromPoint(x, y);
    return el ? el.closest('.pad') : null;
  }
  function touchStart(e) {
    e.preventDefault();
    const box = $('touch').getBoundingClientRect();
    for (const t of e.changedTouches) {
      const pad = padAt(t.clientX, t.clientY);
      if (pad && ![...fingers.values()].some((f) => f.pad === pad)) {
        fingers.set(t.identifier, { pad });
        pad.classList.add('held');
        key(pad.dataset.code, true);
        continue;
      }
      const f = { x0: t.clientX, y0: t.clientY, t0: performance.now(), moved: false, stick: false };
      if (stickFinger === null && t.clientX < box.left + box.width / 2) {
        f.stick = true;
        stickFinger = t.identifier;
        const stick = $('stick');
        stick.style.left = `${t.clientX - box.left}px`;
        stick.style.top = `${t.clientY - box.top}px`;
        $('knob').style.transform = '';
        stick.classList.add('on');
      }
      fingers.set(t.identifier, f);
    }
  }
  function touchMove(e) {
    e.preventDefault();
    for (const t of e.changedTouches) {
      const f = fingers.get(t.identifier);
      if (!f) continue;
      if (f.pad) {
        // Sliding off a button lets it go.
        if (padAt(t.clientX, t.clientY) !== f.pad) {
          key(f.pad.dataset.code, false);
          f.pad.classList.remove('held');
          fingers.delete(t.identifier);
        }
        continue;
      }
      if (Math.hypot(t.clientX - f.x0, t.clientY - f.y0) >= kDeadZone) f.moved = true;
      if (f.stick) steer(f, t.clientX, t.clientY);
    }
  }
  function touchEnd(e) {
    e.preventDefault();
    for (const t of e.changedTouches) {
      const f = fingers.get(t.identifier);
      if (!f) continue;
      fingers.delete(t.identifier);
      if (f.pad) {
        key(f.pad.dataset.code, false);
        f.pad.classList.remove('held');
        continue;
      }
      if (f.stick) {
        stickFinger = null;
        stickKeys([]);
        restStick();
      }
      if (!f.moved && e.type === 'touchend' && performance.now() - f.t0 < 500) tapKey('KeyX');
    }
  }
  const surface = $('touch');
  surface.addEventListener('touchstart', touchStart, { passive: false });
  surface.addEventListener('touchmove', touchMove, { passive: false });
  surface.addEventListener('touchend', touchEnd, { passive: false });
  surface.addEventListener('touchcancel', touchEnd, { passive: false });
  // A mouse on the buttons works too (a tablet with a pointer, or trying the layout on a desktop).
  surface.addEventListener('mousedown', (e) => {
    const pad = e.target.closest && e.target.closest('.pad');
    if (!pad) return;
    e.preventDefault();
    key(pad.dataset.code, true);
    window.addEventListener('mouseup', () => key(pad.dataset.code, false), { once: true });
  });
  // The layout follows the pointer in use, not what the machine could do: a laptop with a touch
  // screen and a keyboard starts with the keyboard's; a touch brings the controls, and typing or a
  // mouse takes them away.
  function touchMode(on) {
    if (document.body.classList.contains('touch') === on) return;
    if (!on) releaseAll();
    document.body.classList.toggle('touch', on);
    $('touch').hidden = !(on && page.phase === 'running');
  }
  touchMode(matchMedia('(pointer: coarse)').matches);
  window.addEventListener('touchstart', () => touchMode(true), { passive: true, capture: true });
  window.addEventListener('pointerdown', (e) => { if (e.pointerType === 'mouse') touchMode(false); }, true);
  // The controls' own key events are the page's (not trusted); a keyboard's are the player's.
  window.addEventListener('keydown', (e) => { if (e.isTrusted && !browserKey(e)) touchMode(false); }, true);
  // Whatever the fingers held is let go when the page loses the player: another window, another
  // tab, a phone's app switcher.
  window.addEventListener('blur', () => releaseAll());
  document.addEventListener('visibilitychange', () => { if (document.hidden) releaseAll(); });
  window.addEventListener('pagehide', () => releaseAll());

  (async () => {
    try {
      if (!build.files) throw new Error('this page was not built with its file list');
      const got = await fetchAll();
      progress(page.total, page.total);
      const music = await Promise.all(build.music.map((m, i) => decodeTrack(m, got.tracks[i])));
      window.Module.wasmBinary = got.module.buffer;
      window.Module.getPreloadedPackage = () => got.data.buffer;
      await runScript(got.loader);
      await runScript(got.program);
      await runtime;
      build.music.forEach((m, i) => {
        const slash = m.path.lastIndexOf('/');
        const dir = m.path.slice(0, slash);
        window.Module.FS_createPath('/', dir.slice(1), true, true);
        window.Module.FS_createDataFile(dir, m.path.slice(slash + 1), music[i], true, false, false);
      });
    } catch (e) {
      const what = e && e.name === 'EncodingError' ? `the music could not be decoded: ${e.message}` : e.message;
      fail(`The game could not be downloaded (${what}). Check the connection and reload the page.`);
      return;
    }
    if (page.phase !== 'loading') return;
    settingsFile = await keptSettings();
    registerWorker();
    page.phase = 'ready';
    measureBeat();
    const touch = document.body.classList.contains('touch');
    const again = safely(() => sessionStorage.getItem('brimmel.again'), null);
    safely(() => sessionStorage.removeItem('brimmel.again'));
    $('start-text').textContent = `${touch ? 'Tap' : 'Click, tap or press a key'} to ${again ? 'play again' : 'start'}`;
    show('start');
    $('start').addEventListener('click', start);
    window.addEventListener('keydown', start);
  })();
})();
