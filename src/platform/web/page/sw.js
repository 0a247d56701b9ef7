// The page's service worker: keeps every file of one build (the list below,
// written in when the page is put together) and serves them, with or without
// a network. A new build is fetched whole in the background and waits; the
// page lets it take over at its next start, before it loads anything. A build
// that cannot be fetched whole is dropped, and the old one goes on playing.
'use strict';
importScripts(/* workbox */);

self.addEventListener('message', (e) => {
  if (e.data === 'take-over') self.skipWaiting();
});
// Of the two programs only the one this browser runs (page.js chooses the
// same way): with WebAssembly's vector instructions or without.
let vectors = false;
try {
  vectors = WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
    10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]));
} catch (e) {
  vectors = false;
}
const unused = vectors ? /^kelo\.[0-9a-f]+\.wasm$/ : /^kelo-simd\.[0-9a-f]+\.wasm$/;
// Any address of the page (?seed=N too) is index.html.
workbox.precaching.precacheAndRoute((/* files */).filter((f) => !unused.test(f.url)),
  { ignoreURLParametersMatching: [/.*/] });
