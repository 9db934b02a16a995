// Keeps the game for the next visit and for offline play. Every file but the page itself and this
// worker is named after its content, so a cache named after those files never mixes two builds.
// A new build's worker holds everything its page needs before it takes over: files whose names
// did not change come over from the kept cache, the rest from the network. The old cache goes once
// no page that was open when the new worker took over is left.
'use strict';
// A digest of every byte the site serves: any change to any file (the page's own text included)
// changes this worker, which is what makes the browser install it.
const BUILD = '__BUILD__';
const CACHE = '__CACHE__';
// The page and what it needs to show itself, then the game's files.
const SHELL = __SHELL__;
const GAME = __GAME__;
// The page fetches the .gz copies where it can unpack them itself, and so does this worker.
const unzips = typeof DecompressionStream === 'function';
const WANTED = [...SHELL, ...GAME.map((f) => (f.gz && unzips ? f.gz : f.url))];
// The pages open when this worker took over, kept in its cache (a worker may be stopped between
// events and forget what it held).
const OLD_PAGES = './.old-pages';

const isOurs = (name) => name.startsWith('brimmel-');

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    const others = (await caches.keys()).filter((n) => isOurs(n) && n !== CACHE);
    await Promise.all(WANTED.map(async (url) => {
      // The page's own name never changes with its content: it always comes afresh, past the HTTP
      // cache (a host may let browsers keep HTML for a while, and an old page would ask for files
      // the host no longer has). Content-named files are the same wherever they come from.
      const page = url === './';
      if (!page) {
        if (await cache.match(url)) return;
        for (const name of others) {
          const kept = await (await caches.open(name)).match(url);
          if (kept) return cache.put(url, kept);
        }
      }
      const response = await fetch(new Request(url, { cache: page ? 'reload' : 'default' }));
      if (!response.ok) throw new Error(`${url}: HTTP ${response.status}`);
      await cache.put(url, response);
    }));
    await self.skipWaiting();
  })());
});

// Drops the other builds' caches once none of the pages that were open at the take-over is left.
async function tidy() {
  const cache = await caches.open(CACHE);
  const noted = await cache.match(OLD_PAGES);
  const old = noted ? await noted.json() : [];
  const open = new Set((await self.clients.matchAll({ type: 'window', includeUncontrolled: true })).map((c) => c.id));
  const still = old.filter((id) => open.has(id));
  if (still.length > 0) {
    if (still.length < old.length) await cache.put(OLD_PAGES, new Response(JSON.stringify(still)));
    return;
  }
  if (noted) await cache.delete(OLD_PAGES);
  const names = await caches.keys();
  await Promise.all(names.filter((n) => isOurs(n) && n !== CACHE).map((n) => caches.delete(n)));
}

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    const open = await self.clients.matchAll({ type: 'window', includeUncontrolled: true });
    const cache = await caches.open(CACHE);
    await cache.put(OLD_PAGES, new Response(JSON.stringify(open.map((c) => c.id))));
    await self.clients.claim();
    await tidy();
  })());
});

self.addEventListener('message', (event) => {
  if (event.data === 'tidy') event.waitUntil(tidy());
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  const navigate = request.mode === 'navigate';
  if (navigate) event.waitUntil(tidy());
  event.respondWith((async () => {
    const own = await caches.open(CACHE);
    let kept = navigate ? await own.match('./') : await own.match(request, { ignoreSearch: true });
    // A page of an older build, still open, may yet ask for a file of its own.
    if (!kept && !navigate) kept = await caches.match(request, { ignoreSearch: true });
    return kept || fetch(request);
  })());
});
