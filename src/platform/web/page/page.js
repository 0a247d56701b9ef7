// The page around the game: the canvas in device pixels over the visible
// area, input from mouse, touch and keyboard, the text field for on-screen
// keyboards, full screen, sound from the first click or key, the SoundFont
// and the pictures that come later fetched after the first picture, the
// read-only status window.kelo, one tab playing at a time, the lines about
// the browser's storage, the line at the end, and the service worker that
// keeps the game for playing offline.
'use strict';
(function () {
  const W = 640, H = 480;
  // The files of this build by the names they are served under (index.html lists them).
  const list = document.getElementById('kelo-files');
  const files = list ? JSON.parse(list.textContent) : {};
  const named = (name) => files[name] || name;
  const box = document.getElementById('game');
  const canvas = document.getElementById('screen');
  const field = document.getElementById('name');
  const ending = document.getElementById('ending');
  const licences = document.getElementById('licences');
  const notice = document.getElementById('notice');
  const elsewhere = document.getElementById('elsewhere');
  // The picture goes to the screen through WebGL where the browser draws it
  // with a graphics processor (gpu below); otherwise (a WebGL drawn by the
  // processor in software is slower than our own scaler, and stalls the game
  // where the machine is busy), and while a lost WebGL context is not back, through
  // this canvas of its own over the picture's place in the game's. It holds
  // the picture as the program hands it over: at a whole multiple the 640 x 480
  // picture itself, which the browser enlarges by the nearest pixel as it
  // shows the canvas, else the program's own enlargement, pixel for pixel.
  // Desynchronized: the canvas goes to the display without waiting for the
  // page's other drawing.
  const flat = document.createElement('canvas');
  flat.id = 'flat';
  flat.hidden = true;
  box.insertBefore(flat, field);
  const context = flat.getContext('2d', { alpha: false, desynchronized: true });
  let flatPlace = '';

  // --- What the page publishes: read-only ----------------------------------
  const shown = { state: '', fps: 0, ticks: 0, name: '' };
  const status = {};
  for (const key of Object.keys(shown)) Object.defineProperty(status, key, { get: () => shown[key], enumerable: true });
  Object.freeze(status);
  Object.defineProperty(window, 'kelo', { value: status, enumerable: true });

  // --- The canvas: the whole window, in device pixels ----------------------
  let cssWidth = 0, cssHeight = 0;
  const events = [];
  let wake = null;  // the program's wait, while it waits

  // Ends the program's wait (it then looks at its events, the sound and the size).
  function nudge() {
    if (wake) queueMicrotask(wake);
  }
  function post(e) {
    events.push(e);
    nudge();
  }

  // Device pixels of the canvas, exactly where the browser tells them.
  function fit(deviceWidth, deviceHeight) {
    const rect = box.getBoundingClientRect();
    cssWidth = rect.width;
    cssHeight = rect.height;
    const ratio = window.devicePixelRatio || 1;
    const w = deviceWidth || Math.round(rect.width * ratio), h = deviceHeight || Math.round(rect.height * ratio);
    if (canvas.width !== w || canvas.height !== h) {
      canvas.width = w;
      canvas.height = h;
      post({ kind: 7 });
    }
    placeLinks();
    placeField();
  }
  // The game fills what the browser shows of the page (on a phone less than
  // 100vh while the address bar is there, less an on-screen keyboard), less
  // the line about the storage where there is one.
  function fitViewport() {
    const v = window.visualViewport;
    const visible = v ? v.height * v.scale : window.innerHeight;
    box.style.height = Math.max(0, Math.floor(visible - (notice.hidden ? 0 : notice.offsetHeight))) + 'px';
  }
  if (window.visualViewport) window.visualViewport.addEventListener('resize', fitViewport);
  window.addEventListener('resize', fitViewport);
  fitViewport();
  try {
    new ResizeObserver((entries) => {
      const e = entries[entries.length - 1];
      const d = e.devicePixelContentBoxSize && e.devicePixelContentBoxSize[0];
      fit(d ? d.inlineSize : 0, d ? d.blockSize : 0);
    }).observe(canvas, { box: 'device-pixel-content-box' });
  } catch (e) {
    window.addEventListener('resize', () => fit());
  }
  fit();

  // The picture's rectangle in CSS pixels (as the program lays it out).
  function pictureRect() {
    const s = Math.min(canvas.width / W, canvas.height / H);
    const w = Math.round(W * s), h = Math.round(H * s);
    const x = Math.floor((canvas.width - w) / 2), y = Math.floor((canvas.height - h) / 2);
    const kx = cssWidth / canvas.width, ky = cssHeight / canvas.height;
    return { x: x * kx, y: y * ky, w: w * kx, h: h * ky };
  }

  // The link to the licences sits in a bar beside the picture where there is
  // room, else below the game.
  function placeLinks() {
    const p = pictureRect();
    const room = cssWidth - (p.x + p.w) >= licences.offsetWidth + 8 || cssHeight - (p.y + p.h) >= licences.offsetHeight + 4;
    licences.classList.toggle('below', !room);
  }

  // --- The picture through WebGL ----------------------------------------------
  // The 640 x 480 picture is uploaded as it is (16 bits a pixel) and enlarged
  // by the graphics processor as the program's own scaler does: by the nearest
  // pixel to the largest whole multiple that fits, then blended to the size, so
  // that only the seams between enlarged pixels mix two pixels.
  const gpu = {
    gl: null, program: null, texture: null, at: null, lost: false,
    open() {
      const gl = canvas.getContext('webgl', { alpha: false, antialias: false, depth: false, stencil: false,
        desynchronized: true, powerPreference: 'low-power',
        failIfMajorPerformanceCaveat: true });
      if (!gl) return false;
      // Browsers that do not honour the caveat above name their software renderer.
      const names = gl.getExtension('WEBGL_debug_renderer_info');
      if (names && /llvmpipe|softpipe|swiftshader|software/i.test(gl.getParameter(names.UNMASKED_RENDERER_WEBGL))) {
        const lose = gl.getExtension('WEBGL_lose_context');
        if (lose) lose.loseContext();
        return false;
      }
      this.gl = gl;
      return this.build();
    },
    build() {
      const gl = this.gl;
      const shader = (type, text) => {
        const s = gl.createShader(type);
        gl.shaderSource(s, text);
        gl.compileShader(s);
        return s;
      };
      const program = gl.createProgram();
      gl.attachShader(program, shader(gl.VERTEX_SHADER,
        'attribute vec2 p; void main() { gl_Position = vec4(p, 0.0, 1.0); }'));
      // For one axis: the output pixel's centre in the enlarged picture falls
      // between two of its pixels, of one source pixel (no blend) or of two.
      gl.attachShader(program, shader(gl.FRAGMENT_SHADER, `
        precision highp float;
        uniform sampler2D picture;
        uniform vec2 origin, size;
        uniform float multiple;
        const vec2 source = vec2(${W}.0, ${H}.0);
        vec3 taps(float x, float n, float span) {
          float u = (x + 0.5) * n * multiple / span - 0.5, j = floor(u);
          float a = clamp(floor(j / multiple), 0.0, n - 1.0), b = clamp(floor((j + 1.0) / multiple), 0.0, n - 1.0);
          return vec3(a, b, a == b ? 0.0 : u - j);
        }
        void main() {
          vec2 at = gl_FragCoord.xy - origin;
          vec3 tx = taps(floor(at.x), source.x, size.x), ty = taps(floor(size.y - at.y), source.y, size.y);
          vec4 top = mix(texture2D(picture, (vec2(tx.x, ty.x) + 0.5) / source), texture2D(picture, (vec2(tx.y, ty.x) + 0.5) / source), tx.z);
          vec4 bottom = mix(texture2D(picture, (vec2(tx.x, ty.y) + 0.5) / source), texture2D(picture, (vec2(tx.y, ty.y) + 0.5) / source), tx.z);
          gl_FragColor = vec4(mix(top, bottom, ty.z).rgb, 1.0);
        }`));
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS)) return false;
      gl.useProgram(program);
      gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 1, -1, -1, 1, 1, 1]), gl.STATIC_DRAW);
      gl.enableVertexAttribArray(0);
      gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
      this.texture = gl.createTexture();
      gl.bindTexture(gl.TEXTURE_2D, this.texture);
      for (const [k, v] of [[gl.TEXTURE_MIN_FILTER, gl.NEAREST], [gl.TEXTURE_MAG_FILTER, gl.NEAREST],
        [gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE], [gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE]]) gl.texParameteri(gl.TEXTURE_2D, k, v);
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGB, W, H, 0, gl.RGB, gl.UNSIGNED_SHORT_5_6_5, null);
      this.at = {
        origin: gl.getUniformLocation(program, 'origin'), size: gl.getUniformLocation(program, 'size'),
        multiple: gl.getUniformLocation(program, 'multiple'),
      };
      this.program = program;
      return true;
    },
    // Shows the picture (W x H pixels, RGB565) at x, y (from the top left),
    // dw x dh device pixels, at the browser's next frame: the display shows
    // no more pictures than that, and a graphics processor still busy with the
    // last one holds back the frame rather than the game's ticks. `pixels` is
    // the program's own picture, read then: the program changes a picture
    // only while it runs, and writes it whole before it hands over its turn.
    show(pixels, x, y, dw, dh) {
      if (!this.gl || this.lost || !this.program) return false;
      const first = !this.next;
      this.next = { pixels, x, y, dw, dh };
      if (first) requestAnimationFrame(this.draw);
      return true;
    },
    next: null,
    draw: () => {
      const gl = gpu.gl, next = gpu.next;
      gpu.next = null;
      if (gpu.lost || !gpu.program) return;
      const { pixels, x, y, dw, dh } = next;
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, W, H, gl.RGB, gl.UNSIGNED_SHORT_5_6_5, pixels);
      gl.viewport(0, 0, canvas.width, canvas.height);
      gl.clearColor(0, 0, 0, 1);
      gl.clear(gl.COLOR_BUFFER_BIT);
      const bottom = canvas.height - y - dh;
      gl.viewport(x, bottom, dw, dh);
      gl.uniform2f(gpu.at.origin, x, bottom);
      gl.uniform2f(gpu.at.size, dw, dh);
      gl.uniform1f(gpu.at.multiple, Math.max(1, Math.min(Math.floor(dw / W), Math.floor(dh / H))));
      gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
      if (!flat.hidden) flat.hidden = true;  // written only when it changes
    },
  };
  // A lost context is drawn on the 2D canvas until the browser gives it back.
  canvas.addEventListener('webglcontextlost', (e) => {
    e.preventDefault();
    gpu.lost = true;
    if (gpu.next) post({ kind: 7 });  // a picture not drawn yet: the program draws it again
  });
  canvas.addEventListener('webglcontextrestored', () => {
    gpu.lost = false;
    gpu.build();
    post({ kind: 7 });  // the program draws its picture again
  });
  gpu.open();

  // --- Input ----------------------------------------------------------------
  // A pointer's position in the canvas's own pixels: a mouse names a device
  // pixel there, a finger may point between them.
  function at(e) {
    const r = canvas.getBoundingClientRect();
    return { x: (e.clientX - r.left) * canvas.width / (r.width || 1), y: (e.clientY - r.top) * canvas.height / (r.height || 1) };
  }
  const buttons = [0, 2, 1];  // the browser's left, middle, right: the game's 0, 2, 1
  canvas.addEventListener('pointermove', (e) => {
    if (e.pointerType === 'touch' && !e.buttons) return;
    const p = at(e);
    post({ kind: 1, x: p.x, y: p.y });
  });
  canvas.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    startAudio();
    const p = at(e);
    // A tap is a left click there: the pointer moves there first.
    if (e.pointerType !== 'mouse') post({ kind: 1, x: p.x, y: p.y });
    post({ kind: 2, x: p.x, y: p.y, button: buttons[e.button] !== undefined ? buttons[e.button] : 0 });
    touched = e.pointerType !== 'mouse';
  });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  // Some browsers let sound start only at the end of a touch or at a click.
  window.addEventListener('touchend', () => startAudio());
  window.addEventListener('click', () => startAudio());

  // Keys the game knows, which the browser must not use for itself.
  const gameKeys = new Set(['Enter', 'Escape', 'Backspace', 'Tab', 'Delete', 'ArrowLeft', 'ArrowRight', 'ArrowUp',
    'ArrowDown', 'Home', 'End', ' ', 'F1', 'F2', 'F3', 'F4', 'F6', 'F7', 'F8', 'F9', 'F10']);
  const fieldKeys = new Set(['Backspace', 'Delete', 'ArrowLeft', 'ArrowRight', 'Home', 'End']);
  function typed(e) {
    if ([...e.key].length !== 1) return '';
    const altGraph = e.getModifierState && e.getModifierState('AltGraph');
    if ((e.ctrlKey && !altGraph) || e.metaKey) return '';
    return e.key;
  }
  window.addEventListener('keydown', (e) => {
    startAudio();
    if (e.key === 'Enter' && e.altKey) {
      // Alt+Enter switches full screen; the game never sees it.
      e.preventDefault();
      if (!e.repeat) toggleFullScreen();
      return;
    }
    // The field's own editing and composing reach the game through its input.
    if (e.target === field && (e.isComposing || e.keyCode === 229 || fieldKeys.has(e.key) || typed(e))) return;
    const text = typed(e);
    if (gameKeys.has(e.key) || text) e.preventDefault();
    post({ kind: 3, text: e.key, repeat: e.repeat });
    if (text) post({ kind: 4, text: text });
  });

  // The name field for on-screen keyboards holds exactly the game's name:
  // what is typed, pasted or composed there is kept as far as the game takes
  // it (characters of Windows-1252, at most its length), the rest is taken
  // out of the field again, and the game's field is brought to the same text
  // with End, Backspaces and characters. While an input method composes, the
  // game gets what it takes of the composition; the field is set right at its end.
  let fieldText = '';  // the field's text as last set right
  let gameText = '';   // the game's name, as the page has made it
  let composing = false;
  // What the game takes of `text` typed into a name of `length` characters.
  function taken(text, length) {
    let out = '';
    for (const c of text)
      if (game && game._kelo_web_name_takes(length + out.length, c.codePointAt(0))) out += c;
    return out;
  }
  function toGame(text) {
    if (text === gameText) return;
    let same = 0;
    while (same < text.length && same < gameText.length && text[same] === gameText[same]) ++same;
    post({ kind: 3, text: 'End' });
    for (let i = same; i < gameText.length; ++i) post({ kind: 3, text: 'Backspace' });
    if (text.length > same) post({ kind: 4, text: text.slice(same) });
    gameText = text;
  }
  // The field after an edit: what stayed before and after the edit, and of
  // what came in between what the game takes.
  function settleField() {
    const now = field.value, before = fieldText;
    let front = 0, back = 0;
    while (front < now.length && front < before.length && now[front] === before[front]) ++front;
    while (back < now.length - front && back < before.length - front &&
      now[now.length - 1 - back] === before[before.length - 1 - back]) ++back;
    const added = taken(now.slice(front, now.length - back), front + back);
    const text = before.slice(0, front) + added + before.slice(before.length - back);
    if (text !== now) {
      field.value = text;
      field.setSelectionRange(front + added.length, front + added.length);
    }
    fieldText = text;
    toGame(text);
  }
  field.addEventListener('compositionstart', () => { composing = true; });
  field.addEventListener('compositionend', () => {
    composing = false;
    settleField();
  });
  field.addEventListener('input', (e) => {
    if (composing || e.isComposing) toGame(taken(field.value, 0));
    else settleField();
  });
  function placeField() {
    if (shown.state !== 'Name') {
      field.hidden = true;
      if (document.activeElement === field) field.blur();
      return;
    }
    const p = pictureRect(), k = p.w / W;
    field.style.left = (p.x + 362 * k) + 'px';
    field.style.top = (p.y + 166 * k) + 'px';
    field.style.width = (190 * k) + 'px';
    field.style.height = (26 * k) + 'px';
    field.hidden = false;
  }

  // A hidden page, or one without the focus, is the game without the focus:
  // also a page loaded in a background tab, and a tab shown in a window that
  // does not have the focus.
  let active = true;  // as the game starts
  function activity(now) {
    if (now === active) return;
    active = now;
    post({ kind: now ? 5 : 6 });
  }
  const focused = () => !document.hidden && document.hasFocus();
  document.addEventListener('visibilitychange', () => {
    activity(focused());
    // Whatever a failed transaction left unwritten goes again.
    if (document.hidden && store) store.push();
  });
  window.addEventListener('pagehide', () => { if (store) store.push(); });
  window.addEventListener('blur', () => activity(false));
  window.addEventListener('focus', () => activity(focused()));
  activity(focused());

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (box.requestFullscreen) {
      box.requestFullscreen({ navigationUI: 'hide' }).catch(() => {});
    }
  }

  // --- Sound ----------------------------------------------------------------
  // The output runs at the rate the browser gives it; FluidSynth and the
  // game's sequencer run at that same rate: in the audio worklet (music.js)
  // where the browser has one, else on this thread.
  const audio = { context: null, music: null, port: null, synth: null, fluid: null, worklet: false, rate: 0,
    waves: [], buffers: [], sounding: 0 };

  // Made with the page, so that the SoundFont is read at its rate before the
  // first click; browsers keep it suspended until then.
  function makeAudio() {
    const AudioContext = window.AudioContext || window.webkitAudioContext;
    if (!AudioContext) return;
    try {
      audio.context = new AudioContext({ latencyHint: 'interactive' });
    } catch (e) {
      try {
        audio.context = new AudioContext();
      } catch (e2) {
        return;
      }
    }
  }
  makeAudio();

  // Browsers let a page make sound only from a click or a key on; a context
  // they suspend or interrupt later (a call, the lock screen) goes on at the
  // next one.
  function startAudio() {
    const c = audio.context;
    if (c && !finished && c.state !== 'running' && c.state !== 'closed') c.resume().catch(() => {});
  }

  // A file of this build, whole (`tries` times, a second apart, while the
  // network fails).
  async function fetchBytes(name, tries = 1) {
    for (let i = 1; ; ++i) {
      try {
        const r = await fetch(named(name));
        if (!r.ok) throw new Error(`${name}: ${r.status}`);
        return new Uint8Array(await r.arrayBuffer());
      } catch (e) {
        if (i >= tries) throw e;
        await new Promise((resolve) => setTimeout(resolve, 1000));
      }
    }
  }

  // The effects' PCM bytes, one after the other in the order of their numbers;
  // a file that is not whole keeps them all silent.
  async function loadWaves() {
    try {
      const bytes = await fetchBytes('kelo.waves');
      const total = audio.waves.reduce((n, w) => n + w.bytes, 0);
      if (bytes.length !== total) throw new Error(`kelo.waves: ${bytes.length} bytes, not ${total}`);
      let at = 0;
      for (const w of audio.waves) {
        w.pcm = bytes.subarray(at, at + w.bytes);
        at += w.bytes;
      }
    } catch (e) {
      console.warn('The effects stay silent:', e);
    }
  }

  function waveBuffer(index) {
    if (audio.buffers[index]) return audio.buffers[index];
    const w = audio.waves[index];
    if (!w || !w.pcm) return null;
    const frames = w.pcm.length / (w.channels * w.bits / 8);
    const buffer = audio.context.createBuffer(w.channels, frames, w.rate);
    for (let c = 0; c < w.channels; ++c) {
      const out = buffer.getChannelData(c);
      for (let i = 0; i < frames; ++i) {
        const at = i * w.channels + c;
        out[i] = w.bits === 8 ? (w.pcm[at] - 128) / 128 : ((w.pcm[2 * at] | (w.pcm[2 * at + 1] << 24 >> 16)) / 32768);
      }
    }
    return (audio.buffers[index] = buffer);
  }

  // An effect with the desktop's levels (0..255) on each side.
  function playWave(index, left, right) {
    const c = audio.context;
    if (!c || c.state !== 'running') return;
    const buffer = waveBuffer(index);
    if (!buffer) return;
    const source = c.createBufferSource();
    source.buffer = buffer;
    const merger = c.createChannelMerger(2);
    const gains = [left, right].map((level, side) => {
      const g = c.createGain();
      g.gain.value = level / 255;
      g.connect(merger, 0, side);
      return g;
    });
    if (buffer.numberOfChannels === 1) {
      source.connect(gains[0]);
      source.connect(gains[1]);
    } else {
      const splitter = c.createChannelSplitter(2);
      source.connect(splitter);
      splitter.connect(gains[0], 0);
      splitter.connect(gains[1], 1);
    }
    merger.connect(c.destination);
    ++audio.sounding;
    source.onended = () => {
      --audio.sounding;
      merger.disconnect();
    };
    source.start();
  }

  function script(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error('cannot load ' + src));
      document.head.appendChild(s);
    });
  }

  // After the first picture: the pictures that come later, the effects' sound,
  // FluidSynth and the SoundFont. Without the sounds the effects are silent
  // and the music stays on its clock.
  async function loadMusic() {
    laterPictures().catch(() => {});  // asked for again when the program needs them
    loadWaves();
    try {
      if (!audio.context) throw new Error('no audio output');
      const soundFont = fetchBytes('kelo.sf2');
      if (audio.context.audioWorklet && typeof AudioWorkletNode === 'function') {
        try {
          await musicInWorklet(soundFont);
        } catch (e) {
          console.warn('The music plays on the page\'s own thread:', e);
        }
      }
      if (!audio.worklet) await musicHere(soundFont);
      performance.mark('kelo-soundfont-loaded');
      nudge();
    } catch (e) {
      console.warn('The music stays silent:', e);
    }
    keepOffline();
  }

  // FluidSynth and the game's sequencer in the audio worklet (music.js): the
  // game's commands go there (page.music), what plays comes back to the game.
  async function musicInWorklet(soundFont) {
    const c = audio.context;
    for (const name of ['libfluidsynth.js', 'js-synthesizer.worklet.js', 'fluid.js', 'music.js'])
      await c.audioWorklet.addModule(named(name));
    const node = new AudioWorkletNode(c, 'kelo-music', { numberOfInputs: 0, outputChannelCount: [2] });
    const [program, font] = await Promise.all([fetchBytes('kelo-music.wasm'), soundFont]);
    performance.mark('kelo-soundfont-fetched');
    audio.rate = await new Promise((resolve, reject) => {
      node.port.onmessage = (e) => {
        if (e.data.ready) resolve(e.data.ready);
        else reject(new Error(e.data.failed));
      };
      // The SoundFont is copied: the page's own thread may still need it.
      node.port.postMessage({ start: program.buffer, soundFont: font.buffer }, [program.buffer]);
    });
    node.port.onmessage = (e) => {
      if (game && !finished) game._kelo_web_music_report(...e.data);
    };
    node.connect(c.destination);
    audio.music = node;
    audio.port = node.port;
    audio.worklet = true;
  }

  // FluidSynth on this thread, rendering while the game waits.
  async function musicHere(soundFont) {
    await script(named('libfluidsynth.js'));
    const fluidModule = window.Module;
    await script(named('js-synthesizer.js'));
    await script(named('fluid.js'));
    const JSSynth = window.JSSynth;
    JSSynth.Synthesizer.initializeWithFluidSynthModule(fluidModule);
    await JSSynth.waitForReady();
    // Nothing is logged: a SoundFont that does not load keeps the music silent.
    JSSynth.disableLogging(JSSynth.LogLevel.Panic);
    const synth = new JSSynth.Synthesizer();
    synth.init(audio.context.sampleRate, { initialGain: 0.45 });
    const bytes = await soundFont;
    performance.mark('kelo-soundfont-fetched');
    await synth.loadSFont(bytes.buffer);
    const node = audio.context.createScriptProcessor(4096, 0, 2);
    node.onaudioprocess = (e) => {
      const left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
      const n = left.length;
      if (!game || finished) {
        left.fill(0);
        right.fill(0);
        return;
      }
      const at = game._kelo_web_render_music(n) >> 1, s = game.HEAP16;
      for (let i = 0; i < n; ++i) {
        left[i] = s[at + 2 * i] / 32768;
        right[i] = s[at + 2 * i + 1] / 32768;
      }
    };
    node.connect(audio.context.destination);
    audio.music = node;
    audio.synth = synth.getRawSynthesizer();
    audio.fluid = self.keloFluid(fluidModule, audio.synth);
    audio.rate = audio.context.sampleRate;
  }

  // --- The pictures that come later ------------------------------------------
  // What the program draws only after the main menu (the results, the
  // highscore list, the farewell: kelo.pictures) is fetched once the first
  // picture shows; the program waits for it where it needs it sooner. Where
  // it cannot be had after a few tries, the program stops with its error
  // message, and the line at the end says why.
  let later = null, laterFailed = false;
  function laterPictures() {
    if (!later) later = fetchBytes('kelo.pictures', 3).catch((e) => {
      later = null;
      throw e;
    });
    return later;
  }

  // --- Offline --------------------------------------------------------------
  // Once the page has what it loads, the service worker keeps all of this
  // build (browsers have it for HTTPS and 127.0.0.1 only). It fetches a newer
  // build in the background; that one waits for the next start.
  function keepOffline() {
    if (!navigator.serviceWorker) return;
    navigator.serviceWorker.register('sw.js').then((r) => r.update())
      .catch((e) => console.warn('Not kept for offline play:', e));
  }
  // At the start, before anything of the game is loaded and before this tab
  // asks for its turn to play: a newer build that is kept whole takes over,
  // and the page starts again with it; not while another tab of the game is
  // open, which goes on with its build.
  async function newerBuild() {
    if (!navigator.serviceWorker || !navigator.serviceWorker.controller) return false;
    const registration = await navigator.serviceWorker.getRegistration().catch(() => null);
    if (!registration || !registration.waiting) return false;
    const changed = new Promise((resolve) => {
      navigator.serviceWorker.addEventListener('controllerchange', resolve, { once: true });
    });
    // The worker answers at once; one that does not within seconds is left waiting.
    const taken = await Promise.race([changed.then(() => true), new Promise((resolve) => {
      const answer = new MessageChannel();
      answer.port1.onmessage = (e) => resolve(e.data === true);
      registration.waiting.postMessage('take-over', [answer.port2]);
      setTimeout(() => resolve(false), 3000);
    })]);
    if (!taken) return false;
    await changed;
    location.reload();
    return true;
  }

  // --- The storage, and one tab playing at a time ----------------------------
  // Two tabs would each write their own highscore lists over the other's. A
  // second tab says that the game already runs and offers to play there; the
  // first then stops between two ticks, once the storage holds everything it
  // wrote, and lets go; only then does the second read the files.
  const TURN = 'kelo-spiel';
  const PLAY_HERE = 'kelo-spiel-hier';  // a stopped tab reloaded to take the game back
  const ANSWER_MS = 1000;  // without Web Locks: how long a tab that plays may take to say so
  let store = null;    // the storage once open (library_page.js), null while it keeps nothing
  let release = null;  // ends this tab's turn, while it has one
  let handing = null;  // this tab handing the game over
  let halting = null;  // set: the program is not woken again once it waits
  let lost = false, unstored = false;
  const listeners = new Set();
  const talk = tabChannel(TURN, (message) => {
    if (message === 'ask' && release) talk('here');
    if (message === 'take' && release) handOver();
    for (const l of listeners) l(message);
  });

  // Messages between the tabs of the game: a BroadcastChannel, or where there
  // is none, the storage events of localStorage.
  function tabChannel(name, receive) {
    try {
      if (window.BroadcastChannel) {
        const c = new BroadcastChannel(name);
        c.onmessage = (e) => receive(e.data);
        return (m) => c.postMessage(m);
      }
      window.addEventListener('storage', (e) => {
        if (e.key === name && e.newValue) receive(JSON.parse(e.newValue).m);
      });
      return (m) => localStorage.setItem(name, JSON.stringify({ m, n: Math.random() }));
    } catch (e) {
      return () => {};
    }
  }
  function heard(wanted, ms) {
    return new Promise((resolve) => {
      const l = (m) => {
        if (m !== wanted) return;
        listeners.delete(l);
        resolve(true);
      };
      listeners.add(l);
      setTimeout(() => {
        listeners.delete(l);
        resolve(false);
      }, ms);
    });
  }
  // This tab's turn to play, at once or (`wait`) once the other tab lets go.
  // Web Locks where the browser has them (a turn ends with its tab, however
  // that ends); else the tab that plays answers the others' question.
  function turn(wait) {
    if (navigator.locks && navigator.locks.request) {
      return new Promise((resolve) => {
        navigator.locks.request(TURN, wait ? {} : { ifAvailable: true }, (lock) => {
          if (!lock) return resolve(false);
          resolve(true);
          return new Promise((r) => { release = r; });
        }).catch(() => resolve(true));  // no locks here after all: the game plays
      });
    }
    return (async () => {
      for (;;) {
        talk('ask');
        if (!(await heard('here', ANSWER_MS))) break;
        if (!wait) return false;
        await heard('free', 1000);
      }
      release = () => talk('free');
      return true;
    })();
  }
  function letGo() {
    const r = release;
    release = null;
    if (r) r();
  }
  function say(text, button) {
    elsewhere.querySelector('.text').textContent = text;
    elsewhere.querySelector('button').hidden = !button;
    elsewhere.hidden = false;
    box.hidden = true;
    field.hidden = true;
  }
  const chosen = () => new Promise((resolve) => {
    elsewhere.querySelector('button').onclick = resolve;
  });
  // Called by the program before it reads its files.
  async function hold(busy) {
    let playHere = false;
    try {
      playHere = sessionStorage.getItem(PLAY_HERE) !== null;
      sessionStorage.removeItem(PLAY_HERE);
    } catch (e) {
      playHere = false;
    }
    if (!playHere && await turn(false)) return;
    if (!playHere) {
      say(busy, true);
      await chosen();
    }
    say('', false);
    talk('take');
    await turn(true);
    elsewhere.hidden = true;
    box.hidden = false;
  }
  // Until the storage holds all the game wrote; a few tries, each given some seconds.
  async function flush() {
    for (let i = 0; store && i < 3; ++i)
      if (await Promise.race([store.push(), new Promise((r) => setTimeout(() => r(false), 5000))])) return true;
    return !store;
  }
  // Another tab takes the game over: this one stops between two ticks and
  // lets go once its files are stored.
  function handOver() {
    if (handing) return handing;
    handing = new Promise((resolve) => {
      halting = resolve;
      if (finished || wake) {
        wake = null;
        clearTimeout(waitTimer);
        resolve();
      }
    }).then(flush).then(() => {
      letGo();
      finished = true;
      if (audio.context) audio.context.close().catch(() => {});
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      ending.hidden = true;
      say('Das Spiel läuft in einem anderen Tab.', true);
      chosen().then(() => {
        try {
          sessionStorage.setItem(PLAY_HERE, '');
        } catch (e) {
          // The reloaded page asks once more.
        }
        location.reload();
      });
    });
    return handing;
  }
  // The line beside the game while the browser keeps nothing, or has not
  // kept the last writes.
  function showNotice() {
    const text = lost ? 'Dieser Browser speichert nichts: Highscores und Einstellungen bleiben nur, bis die Seite geschlossen wird.'
      : unstored ? 'Der Browser hat zuletzt nicht gespeichert; das Spiel versucht es bei jedem Speichern wieder.' : '';
    notice.textContent = text;
    if (notice.hidden === !text) return;
    notice.hidden = !text;
    fitViewport();
  }

  // --- The program's page ----------------------------------------------------
  let game = null, finished = false, firstPicture = false, touched = false;
  let lastYield = performance.now(), waitTimer = 0;
  function pictureShown() {
    if (!firstPicture) {
      firstPicture = true;
      performance.mark('kelo-first-picture');
      requestAnimationFrame(() => setTimeout(loadMusic, 0));
    }
    return true;
  }
  const page = {
    size: () => [Math.round(cssWidth), Math.round(cssHeight), canvas.width, canvas.height],
    // The picture through WebGL: false where it has none (present then).
    show: (pixels, x, y, dw, dh) => gpu.show(pixels, x, y, dw, dh) && pictureShown(),
    present(rgba, w, h, x, y, dw, dh) {
      if (flat.width !== w || flat.height !== h) {
        flat.width = w;
        flat.height = h;
      }
      // Over dw x dh device pixels at (x, y) of the game's canvas.
      const kx = cssWidth / canvas.width, ky = cssHeight / canvas.height;
      const place = `${x * kx}px,${y * ky}px,${dw * kx}px,${dh * ky}px`;
      if (place !== flatPlace) {
        flatPlace = place;
        [flat.style.left, flat.style.top, flat.style.width, flat.style.height] = place.split(',');
      }
      context.putImageData(new ImageData(rgba, w, h), 0, 0);
      if (flat.hidden) flat.hidden = false;
      pictureShown();
    },
    nextEvent: () => events.shift(),
    wait(ms, wakeUp) {
      if (halting) return halting();  // never woken again: another tab plays
      const now = performance.now();
      // Back to the game at once while it has events, or while it is behind
      // and has had the browser's turn lately.
      if (events.length || (ms === 0 && now - lastYield < 30)) {
        wakeUp();
        return;
      }
      const done = () => {
        if (wake !== done) return;
        wake = null;
        clearTimeout(waitTimer);
        lastYield = performance.now();
        wakeUp();
      };
      wake = done;
      // Never long: the program also looks at the sound and publishes its status.
      waitTimer = setTimeout(done, ms >= 0 ? ms : 250);
    },
    pointer(visible) {
      canvas.style.cursor = visible ? 'default' : 'none';
    },
    status(state, fps, ticks, text) {
      const entered = state !== shown.state;
      shown.state = state;
      shown.fps = fps;
      shown.ticks = ticks;
      shown.name = text;
      if (entered) replays.state(state);
      if (state === 'Name' && (entered || document.activeElement !== field) && text !== fieldText)
        field.value = fieldText = gameText = text;
      if (entered) {
        placeField();
        // After a tap the on-screen keyboard comes up by itself where the browser lets it.
        if (state === 'Name' && touched) field.focus();
      }
    },
    end(code, message) {
      finished = true;
      ending.querySelector('.text').textContent = message || (code === 0 ? 'Kelo - Das Spiel ist beendet.'
        : laterFailed ? 'Kelo - Das Spiel wurde beendet: Ein Teil des Spiels ließ sich nicht laden.'
          : 'Kelo - Das Spiel wurde nach einem Fehler beendet.');
      box.hidden = true;
      field.hidden = true;
      ending.hidden = false;
      licences.classList.add('below');
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      if (audio.context) audio.context.close();
      flush().then(letGo);
    },
    hold,
    storage(opened) {
      store = opened;
      lost = !opened;
      showNotice();
    },
    stored(done) {
      unstored = !done;
      showNotice();
    },
    audioState() {
      const state = (audio.context && audio.context.state === 'running' ? 1 : 0) | (audio.synth ? 2 : 0) |
        (audio.worklet ? 4 : 0);
      if (state > 1 && (state & 1) && !audio.marked) {
        audio.marked = true;
        performance.mark('kelo-music-sounds', { detail: { rate: audio.rate, thread: audio.worklet ? 'audio' : 'page' } });
      }
      return state;
    },
    audioRate: () => audio.rate || audio.context.sampleRate,
    laterPictures: () => laterPictures().catch((e) => {
      console.warn('The later pictures did not come:', e);
      laterFailed = true;
      throw e;
    }),
    wave(index, bytes, rate, channels, bits) { audio.waves[index] = { bytes, rate, channels, bits, pcm: null }; },
    playWave,
    soundingWaves: () => audio.sounding,
    get fluid() { return audio.fluid; },
    music: {
      load: (piece, events, sysex, lengthUs) => audio.port.postMessage({ piece, events, sysex, lengthUs }, [piece.buffer]),
      command: (command, ticket, frame) => audio.port.postMessage({ command, ticket, frame }),
    },
  };

  // The program with WebAssembly's vector instructions where the browser has them (vectors.js).
  const vectors = self.keloVectors;
  // The replays and the world list beside the game (replays.js); a replay to
  // watch is fetched before the program starts.
  const replays = self.keloReplays;
  const seed = new URLSearchParams(location.search).get('seed');
  newerBuild().then(async (restarting) => {
    if (restarting) return;
    try {
      await replays.ready();
    } catch (e) {
      page.end(2, e.message);
      return;
    }
    KeloGame({
      replays,
      locateFile: (path, prefix) => prefix + named(vectors && path === 'kelo.wasm' ? 'kelo-simd.wasm' : path),
      page,
      canvas,
      arguments: seed !== null && /^\d+$/.test(seed) ? ['--seed', seed] : [],
      preRun: [(instance) => { game = instance; }],
      onAbort: () => page.end(1, 'Kelo - Das Spiel ist mit einem Fehler stehen geblieben.'),
    });
  });
  if (navigator.storage && navigator.storage.persist) navigator.storage.persist().catch(() => {});
})();
