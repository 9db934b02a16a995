// Keeps the game's files for the next visit and for offline play. Every file but the page itself
// and this worker is named after its content, so a cache named after the build never mixes two
// builds; a new build's worker fills its own cache and drops the old ones.
'use strict';
const VERSION = '__VERSION__';
const CACHE = `brimmel-${VERSION}`;
// The page and what it needs to show itself; the page adds the big files as it downloads them.
const SHELL = __SHELL__;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(SHELL)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('brimmel-') && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    const kept = request.mode === 'navigate'
      ? await cache.match('./') : await cache.match(request, { ignoreSearch: true });
    return kept || fetch(request);
  })());
});
