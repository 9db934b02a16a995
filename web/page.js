// The page around the game: checks for WebGL 2, downloads the program, the packed data and the
// music with a progress bar over the bytes that arrive (kept by the browser for the next visit and
// for offline play), waits for a click, tap or key (browsers start sound only after one), then
// starts the game. On touch screens it draws controls that press the same keys a keyboard would.
// Reports the game steps it sees per second of wall time, and shows failures as plain text.
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const build = JSON.parse(($('build') || { textContent: '{}' }).textContent);
  const page = { phase: 'loading', loaded: 0, total: 0, rate: 0, error: '', storage: 'unknown', music: [],
    pixels: [0, 0], renderer: '' };
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

  // Esc belongs to the browser (it leaves full screen); the game never sees it here. Tab moves
  // between the page's buttons, so the game must not take it either.
  const pageKeys = new Set(['Escape', 'Tab']);
  window.addEventListener('keydown', guardKeys, true);
  window.addEventListener('keyup', guardKeys, true);
  // Keys the game uses must not scroll or otherwise act on the page (Space and Enter still press
  // a focused button).
  const gameKeys = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'KeyX', 'KeyZ', 'KeyP',
    'Numpad8', 'Numpad6', 'Numpad4', 'Numpad2', 'F2', 'F3', 'Space', 'Enter', 'PageUp', 'PageDown', 'Home', 'End']);
  function guardKeys(e) {
    if (pageKeys.has(e.code)) {
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
  // Software renderers (SwiftShader, llvmpipe) keep the game's own 640x480; a graphics card
  // draws at the size the canvas takes on the screen, up to the page's cap.
  const kMaxPixels = [1920, 1440];
  const debugInfo = probe.getExtension('WEBGL_debug_renderer_info');
  page.renderer = String(debugInfo ? probe.getParameter(debugInfo.UNMASKED_RENDERER_WEBGL) : probe.getParameter(probe.RENDERER));
  const software = /swiftshader|llvmpipe|softpipe|software|basic render/i.test(page.renderer);
  const loseProbe = probe.getExtension('WEBGL_lose_context');
  if (loseProbe) loseProbe.loseContext();

  // --- The kept copy: a cache named after this build, shared with the service worker. ---------
  const cacheName = `brimmel-${build.version || 'dev'}`;
  let cache = null;
  async function openCache() {
    try {
      if (!window.caches) throw new Error('no Cache API');
      cache = await caches.open(cacheName);
      page.storage = 'kept';
    } catch (e) {
      storageRefused(e);
    }
  }
  function storageRefused(e) {
    cache = null;
    page.storage = 'refused';
    const note = $('storage-note');
    note.textContent = `This browser refused to keep the game (${e.message || e.name}): it plays now, but ` +
      'downloads again on the next visit and cannot start offline.';
    note.hidden = false;
  }
  if ('serviceWorker' in navigator && build.version) {
    navigator.serviceWorker.register('sw.js').catch(storageRefused);
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
    let response = cache ? await cache.match(url) : undefined;
    const kept = !!response;
    if (!response) response = await fetch(url);
    if (!response.ok || !response.body) throw new Error(`${url}: HTTP ${response.status}`);
    const data = new Uint8Array(size);
    const reader = response.body.getReader();
    let loaded = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      if (loaded + value.length > size) throw new Error(`${url} is larger than this page expects`);
      data.set(value, loaded);
      loaded += value.length;
      tick(value.length);
    }
    if (loaded !== size) throw new Error(`${url} ended after ${loaded} of ${size} bytes`);
    if (cache && !kept) {
      await cache.put(url, new Response(data, { headers: { 'Content-Type': 'application/octet-stream' } }))
        .catch(storageRefused);
    }
    if (url !== f.gz) return data;
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
    brimmelDrawingSize: () => drawingSize(),
  };
  // The game's own message boxes become the page's words, not a blocking dialog.
  window.alert = (text) => {
    console.log(`game message: ${text}`);
    // The desktop's wording names its own requirements; here the browser's are what count.
    fail(String(text).replace(/\s*See profile\.txt\.?/, '').replace(/OpenGL 3\.3 is required/, 'WebGL 2 is required'));
  };
  // Nothing is downloaded again: the browser keeps the files, and the page starts over.
  $('again').addEventListener('click', () => {
    sessionStorage.setItem('brimmel.again', '1');
    location.reload();
  });

  // The size the game draws at: the canvas's box in device pixels on a graphics card (4:3, capped),
  // its own 640x480 on a software renderer.
  function drawingSize() {
    if (software) return [640, 480];
    const box = canvas.getBoundingClientRect();
    const scale = window.devicePixelRatio || 1;
    let w = Math.round(box.width * scale);
    w = Math.max(640, Math.min(kMaxPixels[0], w - (w % 4)));
    return [w, (w / 4) * 3];
  }

  // The game draws at the size its settings file names: written here, before it starts.
  function setDrawingSize() {
    const [w, h] = drawingSize();
    page.pixels = [w, h];
    if (w === 640 && h === 480) return;
    const FS = window.Module.FS;
    const text = FS.readFile('/TORIDEN.ini', { encoding: 'utf8' });
    FS.writeFile('/TORIDEN.ini', text.replace(/^WIDTH=.*$/m, `WIDTH=${w}`).replace(/^HEIGHT=.*$/m, `HEIGHT=${h}`));
  }

  function start(event) {
    if (page.phase !== 'ready') return;
    if (event.type === 'keydown' && pageKeys.has(event.code)) return;
    event.preventDefault();
    page.phase = 'running';
    show(null);
    canvas.focus();
    setDrawingSize();
    // Within the gesture, so the game's audio context may start at once.
    window.Module.callMain([]);
    if (page.phase === 'running') {
      watchRate();
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
      $('rate').textContent = `${page.rate.toFixed(1)} steps/s`;
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
  function touchMode() {
    if (document.body.classList.contains('touch')) return;
    document.body.classList.add('touch');
    if (page.phase === 'running') $('touch').hidden = false;
  }
  if (navigator.maxTouchPoints > 0 || matchMedia('(any-pointer: coarse)').matches) touchMode();
  window.addEventListener('touchstart', touchMode, { passive: true, capture: true });
  window.addEventListener('blur', () => releaseAll());

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
    page.phase = 'ready';
    const touch = document.body.classList.contains('touch');
    const again = sessionStorage.getItem('brimmel.again');
    sessionStorage.removeItem('brimmel.again');
    $('start-text').textContent = `${touch ? 'Tap' : 'Click, tap or press a key'} to ${again ? 'play again' : 'start'}`;
    show('start');
    $('start').addEventListener('click', start);
    window.addEventListener('keydown', start);
  })();
})();
