// The page around the game: checks for WebGL 2, downloads the packed data with a progress bar,
// waits for a click or key (browsers start sound only after one), then starts the game. Reports
// the game steps it sees per second of wall time, and shows failures as plain text.
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const page = { phase: 'loading', loaded: 0, total: 0, rate: 0, error: '' };
  window.brimmelPage = page;

  function show(id) {
    for (const card of ['loading', 'start', 'message']) $(card).hidden = card !== id;
  }
  function fail(text) {
    page.phase = 'failed';
    page.error = text;
    $('message-text').textContent = text;
    show('message');
  }

  // Keys the game uses must not scroll or otherwise act on the page.
  const gameKeys = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'KeyX', 'KeyZ', 'Numpad8',
    'Numpad6', 'Numpad2', 'F2', 'Space', 'PageUp', 'PageDown', 'Home', 'End']);
  window.addEventListener('keydown', (e) => { if (gameKeys.has(e.code)) e.preventDefault(); }, true);

  $('fullscreen').addEventListener('click', () => {
    const frame = $('frame');
    if (document.fullscreenElement) document.exitFullscreen();
    else if (frame.requestFullscreen) frame.requestFullscreen().catch(() => {});
    canvas.focus();
  });

  const probe = document.createElement('canvas').getContext('webgl2');
  if (!probe) {
    fail('This game needs WebGL 2, which this browser does not offer or has switched off.');
    return;
  }

  const mb = (n) => (n / 1048576).toFixed(1);
  function progress(loaded, total) {
    page.loaded = loaded;
    page.total = total;
    const percent = total > 0 ? Math.min(100, Math.floor((loaded * 100) / total)) : 0;
    $('progress').value = percent;
    $('progress-text').textContent = `${mb(loaded)} MB of ${mb(total)} MB (${percent} %)`;
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error(`${src} did not load`));
      document.body.appendChild(s);
    });
  }

  // One download, counted as it arrives (servers may send it compressed: what is counted is
  // the unpacked size, which the index names).
  async function fetchInto(url, size, tick) {
    const response = await fetch(url);
    if (!response.ok || !response.body) throw new Error(`${url}: HTTP ${response.status}`);
    const data = new Uint8Array(size);
    const reader = response.body.getReader();
    let loaded = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      if (loaded + value.length > size) throw new Error(`${url} is larger than its index says`);
      data.set(value, loaded);
      loaded += value.length;
      tick(value.length);
    }
    if (loaded !== size) throw new Error(`${url} ended after ${loaded} of ${size} bytes`);
    return data;
  }

  // The music comes apart from the packed data, as sample differences in byte planes
  // (pack_music.py): undone here, in place of a decoder gzip does not offer.
  function unpackMusic(src) {
    const size = src.length;
    const out = new Uint8Array(size);
    let p = 0;
    for (let k = 0; k < 4; k++) for (let i = k; i < size; i += 4) out[i] = src[p++];
    const even = size - (size % 2);
    for (let i = 4; i < even; i += 2) {
      const v = ((out[i] | (out[i + 1] << 8)) + (out[i - 4] | (out[i - 3] << 8))) & 0xffff;
      out[i] = v & 0xff;
      out[i + 1] = v >> 8;
    }
    return out;
  }

  // The packed data tree (its loader script names its size) and the music, side by side.
  async function fetchData() {
    const loader = await fetch('brimmel-data.js');
    if (!loader.ok) throw new Error(`brimmel-data.js: HTTP ${loader.status}`);
    const size = Number((/"remote_package_size":\s*(\d+)/.exec(await loader.text()) || [])[1] || 0);
    const index = await fetch('music/index.json');
    if (!index.ok) throw new Error(`music/index.json: HTTP ${index.status}`);
    const music = await index.json();
    const total = size + music.reduce((n, m) => n + m.size, 0);
    let loaded = 0;
    const tick = (n) => progress((loaded += n), total);
    const [pack, ...tracks] = await Promise.all([fetchInto('brimmel.data', size, tick),
      ...music.map((m) => fetchInto(m.url, m.size, tick))]);
    return { pack: pack.buffer, total, music: music.map((m, i) => ({ path: m.path, data: tracks[i] })) };
  }

  function installMusic(music) {
    for (const m of music) {
      const slash = m.path.lastIndexOf('/');
      const dir = m.path.slice(0, slash);
      window.Module.FS_createPath('/', dir.slice(1), true, true);
      window.Module.FS_createDataFile(dir, m.path.slice(slash + 1), unpackMusic(m.data), true, false, false);
    }
  }

  let ready = null;
  const runtime = new Promise((resolve) => { ready = resolve; });
  window.Module = {
    canvas,
    print: (text) => console.log(text),
    printErr: (text) => console.log(text),
    onRuntimeInitialized: () => ready(),
    onAbort: (what) => fail(`The game stopped with an error (${what}). Reloading the page starts it again.`),
    onGameEnded: () => {
      page.phase = 'ended';
      $('message-text').textContent = 'The game has ended. Reload the page to play again.';
      show('message');
    },
  };

  function start(event) {
    if (page.phase !== 'ready') return;
    event.preventDefault();
    page.phase = 'running';
    show(null);
    canvas.focus();
    // Within the gesture, so the game's audio context may start at once.
    window.Module.callMain([]);
    if (page.phase === 'running') watchRate();
  }

  function watchRate() {
    const samples = [];
    setInterval(() => {
      samples.push([performance.now(), window.Module._brimmel_steps()]);
      if (samples.length > 11) samples.shift();  // five seconds: steps come in bursts
      if (samples.length < 2) return;
      const [t0, s0] = samples[0];
      const [t1, s1] = samples[samples.length - 1];
      page.rate = ((s1 - s0) * 1000) / (t1 - t0);
      $('rate').textContent = `${page.rate.toFixed(1)} steps/s`;
    }, 500);
  }

  (async () => {
    try {
      const data = await fetchData();
      progress(data.total, data.total);
      window.Module.getPreloadedPackage = () => data.pack;
      await loadScript('brimmel-data.js');
      await loadScript('brimmel.js');
      await runtime;
      installMusic(data.music);
    } catch (e) {
      fail(`The game could not be downloaded (${e.message}). Check the connection and reload the page.`);
      return;
    }
    if (page.phase !== 'loading') return;
    page.phase = 'ready';
    show('start');
    $('start').addEventListener('click', start);
    window.addEventListener('keydown', start);
  })();
})();
