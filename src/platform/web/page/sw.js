// The page's service worker: keeps every file of one build (the list below,
// written in when the page is put together) and serves them, with or without
// a network. A new build is fetched whole in the background and waits; the
// page lets it take over at its next start, before it loads anything. A build
// that cannot be fetched whole is dropped, and the old one goes on playing.
'use strict';
importScripts(/* scripts */);

self.addEventListener('message', (e) => {
  if (e.data === 'take-over') self.skipWaiting();
});
// Of the two programs only the one this browser runs (vectors.js).
const unused = self.keloVectors ? /^kelo\.[0-9a-f]+\.wasm$/ : /^kelo-simd\.[0-9a-f]+\.wasm$/;
// Any address of the page (?seed=N too) is index.html.
workbox.precaching.precacheAndRoute((/* files */).filter((f) => !unused.test(f.url)),
  { ignoreURLParametersMatching: [/.*/] });
