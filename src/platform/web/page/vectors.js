// Whether this browser has WebAssembly's vector instructions: the page then
// runs kelo-simd.wasm, and the service worker keeps that one only.
'use strict';
self.keloVectors = (() => {
  try {
    return WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
      10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]));
  } catch (e) {
    return false;
  }
})();
