// Linked into programs that run under node (tests: --pre-js): hands node's
// environment to getenv(), which otherwise sees only Emscripten's defaults.
if (typeof process === 'object' && process.env) {
  Module['preRun'] = Module['preRun'] || [];
  Module['preRun'].push(function () { Object.assign(ENV, process.env); });
}
