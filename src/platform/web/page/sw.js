// The page's service worker: keeps every file of one build (the list below,
// written in when the page is put together) and serves them, with or without
// a network. A new build is fetched whole in the background and waits; the
// page lets it take over at a start with no other tab of the game open,
// before it loads anything. A build
// that cannot be fetched whole is dropped, and the old one goes on playing.
'use strict';
importScripts(/* scripts */);

// A start asks the new build to take over: it does where that start is the
// game's only tab. Another tab plays its own build to its end (it may still
// fetch that build's files: the pictures that come later, the SoundFont).
self.addEventListener('message', (e) => {
  if (e.data !== 'take-over') return;
  e.waitUntil(self.clients.matchAll({ type: 'window', includeUncontrolled: true }).then((tabs) => {
    const alone = tabs.length <= 1;
    if (alone) self.skipWaiting();
    if (e.ports[0]) e.ports[0].postMessage(alone);
  }));
});
// Of the two programs only the one this browser runs (vectors.js).
const unused = self.keloVectors ? /^kelo\.[0-9a-f]+\.wasm$/ : /^kelo-simd\.[0-9a-f]+\.wasm$/;
// Any address of the page (?seed=N too) is index.html.
workbox.precaching.precacheAndRoute((/* files */).filter((f) => !unused.test(f.url)),
  { ignoreURLParametersMatching: [/.*/] });
