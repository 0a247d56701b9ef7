// The page around the game: the canvas in device pixels, input from mouse,
// touch and keyboard, the text field for on-screen keyboards, full screen,
// sound from the first click or key, the SoundFont after the first picture,
// the read-only status window.kelo, the line at the end, and the service
// worker that keeps the game for playing offline.
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
  // The picture goes to the screen through WebGL where the browser draws it
  // with a graphics processor (gpu below); otherwise (a WebGL drawn by the
  // processor in software is slower than our own scaler, and stalls the game
  // where the machine is busy), and while a lost WebGL context is not back, through
  // this canvas of its own over the game's (drawn with 2D calls). Desynchronized:
  // the canvas goes to the display without waiting for the page's other drawing.
  const flat = document.createElement('canvas');
  flat.id = 'flat';
  flat.hidden = true;
  box.insertBefore(flat, field);
  const context = flat.getContext('2d', { alpha: false, desynchronized: true });
  const frame = document.createElement('canvas');  // the picture before it is enlarged
  frame.width = W;
  frame.height = H;
  const frameContext = frame.getContext('2d', { alpha: false });

  // --- What the page publishes: read-only ----------------------------------
  const shown = { state: '', fps: 0, ticks: 0 };
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
      canvas.width = flat.width = w;
      canvas.height = flat.height = h;
      context.imageSmoothingEnabled = false;
      post({ kind: 7 });
    }
    placeLinks();
    placeField();
  }
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
        desynchronized: true, powerPreference: 'low-power', preserveDrawingBuffer: true,
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
    // Shows the picture (W x H pixels, RGB565) at x, y (from the top left), dw x dh device pixels.
    show(pixels, x, y, dw, dh) {
      const gl = this.gl;
      if (!gl || this.lost || !this.program) return false;
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, W, H, gl.RGB, gl.UNSIGNED_SHORT_5_6_5, pixels);
      gl.viewport(0, 0, canvas.width, canvas.height);
      gl.clearColor(0, 0, 0, 1);
      gl.clear(gl.COLOR_BUFFER_BIT);
      const bottom = canvas.height - y - dh;
      gl.viewport(x, bottom, dw, dh);
      gl.uniform2f(this.at.origin, x, bottom);
      gl.uniform2f(this.at.size, dw, dh);
      gl.uniform1f(this.at.multiple, Math.max(1, Math.min(Math.floor(dw / W), Math.floor(dh / H))));
      gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
      flat.hidden = true;
      return true;
    },
  };
  // A lost context is drawn on the 2D canvas until the browser gives it back.
  canvas.addEventListener('webglcontextlost', (e) => {
    e.preventDefault();
    gpu.lost = true;
  });
  canvas.addEventListener('webglcontextrestored', () => {
    gpu.lost = false;
    gpu.build();
    post({ kind: 7 });  // the program draws its picture again
  });
  gpu.open();

  // --- Input ----------------------------------------------------------------
  function at(e) {
    const r = canvas.getBoundingClientRect();
    return { x: e.clientX - r.left, y: e.clientY - r.top };
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
    if (e.target === field && (e.key === 'Backspace' || typed(e))) return;  // the field's own input
    const text = typed(e);
    if (gameKeys.has(e.key) || text) e.preventDefault();
    post({ kind: 3, text: e.key, repeat: e.repeat });
    if (text) post({ kind: 4, text: text });
  });

  // The name field for on-screen keyboards: what is typed there goes to the
  // game's own field as characters and backspaces.
  let fieldText = '';
  field.addEventListener('input', () => {
    const now = field.value;
    let same = 0;
    while (same < now.length && same < fieldText.length && now[same] === fieldText[same]) ++same;
    for (let i = same; i < fieldText.length; ++i) post({ kind: 3, text: 'Backspace' });
    if (now.length > same) post({ kind: 4, text: now.slice(same) });
    fieldText = now;
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

  // A hidden page, or one without the focus, is the game without the focus.
  let active = true;
  function activity(now) {
    if (now === active) return;
    active = now;
    post({ kind: now ? 5 : 6 });
  }
  document.addEventListener('visibilitychange', () => activity(!document.hidden));
  window.addEventListener('blur', () => activity(false));
  window.addEventListener('focus', () => activity(!document.hidden));

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (box.requestFullscreen) {
      box.requestFullscreen({ navigationUI: 'hide' }).catch(() => {});
    }
  }

  // --- Sound ----------------------------------------------------------------
  const RATE = 44100;
  const audio = { context: null, music: null, synth: null, fluid: null, waves: [], buffers: [], sounding: 0 };

  // Browsers let a page make sound only from a click or a key on.
  function startAudio() {
    if (audio.context) {
      if (audio.context.state === 'suspended') audio.context.resume();
      return;
    }
    const AudioContext = window.AudioContext || window.webkitAudioContext;
    if (!AudioContext) return;
    try {
      audio.context = new AudioContext({ sampleRate: RATE, latencyHint: 'interactive' });
    } catch (e) {
      audio.context = new AudioContext();
    }
    // The music: the game's sequencer renders into FluidSynth while the game waits.
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
    audio.context.resume();
  }

  // The effects' PCM bytes, one after the other in the order of their numbers;
  // a file that is not whole keeps them all silent.
  async function loadWaves() {
    try {
      const r = await fetch(named('kelo.waves'));
      if (!r.ok) throw new Error('kelo.waves: ' + r.status);
      const bytes = new Uint8Array(await r.arrayBuffer());
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

  // FluidSynth (js-synthesizer's libfluidsynth), called as the desktop calls its own.
  const fluid = {
    memory: 0, size: 0,
    buffer(bytes) {
      const f = audio.fluid;
      if (this.size < bytes) {
        if (this.memory) f._free(this.memory);
        this.memory = f._malloc(bytes);
        this.size = bytes;
      }
      return this.memory;
    },
    event(status, d1, d2) {
      const f = audio.fluid, s = audio.synth, ch = status & 15;
      switch (status & 0xF0) {
        case 0x80: f._fluid_synth_noteoff(s, ch, d1); break;
        case 0x90: if (d2) f._fluid_synth_noteon(s, ch, d1, d2); else f._fluid_synth_noteoff(s, ch, d1); break;
        case 0xA0: f._fluid_synth_key_pressure(s, ch, d1, d2); break;
        case 0xB0: f._fluid_synth_cc(s, ch, d1, d2); break;
        case 0xC0: f._fluid_synth_program_change(s, ch, d1); break;
        case 0xD0: f._fluid_synth_channel_pressure(s, ch, d1); break;
        case 0xE0: f._fluid_synth_pitch_bend(s, ch, d1 | (d2 << 7)); break;
      }
    },
    sysex(bytes) {
      const p = this.buffer(Math.max(bytes.length, 1));
      audio.fluid.HEAPU8.set(bytes, p);
      audio.fluid._fluid_synth_sysex(audio.synth, p, bytes.length, 0, 0, 0, 0);
    },
    reset() { audio.fluid._fluid_synth_system_reset(audio.synth); },
    notesOff() {
      for (let ch = 0; ch < 16; ++ch) audio.fluid._fluid_synth_cc(audio.synth, ch, 64, 0);  // sustain pedal up
      audio.fluid._fluid_synth_all_notes_off(audio.synth, -1);
    },
    voices() { return audio.fluid._fluid_synth_get_active_voice_count(audio.synth); },
    render(heap, at, frames) {
      const p = this.buffer(frames * 4);
      audio.fluid._fluid_synth_write_s16(audio.synth, frames, p, 0, 2, p, 1, 2);
      heap.set(audio.fluid.HEAP16.subarray(p >> 1, (p >> 1) + 2 * frames), at);
    },
  };

  function script(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error('cannot load ' + src));
      document.head.appendChild(s);
    });
  }

  // After the first picture: the effects' sound, FluidSynth and the SoundFont.
  // Without them the effects are silent and the music stays on its clock.
  async function loadMusic() {
    loadWaves();
    try {
      const soundFont = fetch(named('kelo.sf2')).then((r) => {
        if (!r.ok) throw new Error('kelo.sf2: ' + r.status);
        return r.arrayBuffer();
      });
      await script(named('libfluidsynth.js'));
      const fluidModule = window.Module;
      await script(named('js-synthesizer.js'));
      const JSSynth = window.JSSynth;
      JSSynth.Synthesizer.initializeWithFluidSynthModule(fluidModule);
      await JSSynth.waitForReady();
      // Nothing is logged: a SoundFont that does not load keeps the music silent.
      JSSynth.disableLogging(JSSynth.LogLevel.Panic);
      const synth = new JSSynth.Synthesizer();
      synth.init(RATE, { initialGain: 0.45 });
      const bytes = await soundFont;
      performance.mark('kelo-soundfont-fetched');
      await synth.loadSFont(bytes);
      performance.mark('kelo-soundfont-loaded');
      audio.fluid = fluidModule;
      audio.synth = synth.getRawSynthesizer();
      nudge();
    } catch (e) {
      console.warn('The music stays silent:', e);
    }
    keepOffline();
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
  // At the start, before anything of the game is loaded: a newer build that is
  // kept whole takes over, and the page starts again with it.
  async function newerBuild() {
    if (!navigator.serviceWorker || !navigator.serviceWorker.controller) return false;
    const registration = await navigator.serviceWorker.getRegistration().catch(() => null);
    if (!registration || !registration.waiting) return false;
    await new Promise((resolve) => {
      navigator.serviceWorker.addEventListener('controllerchange', resolve, { once: true });
      registration.waiting.postMessage('take-over');
    });
    location.reload();
    return true;
  }

  // --- The program's page ----------------------------------------------------
  let game = null, finished = false, firstPicture = false, touched = false;
  let lastYield = performance.now();
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
      flat.hidden = false;
      const image = new ImageData(rgba, w, h);
      if (w === dw && h === dh) {
        context.putImageData(image, x, y);
      } else {
        frameContext.putImageData(image, 0, 0);
        context.imageSmoothingEnabled = false;
        context.drawImage(frame, 0, 0, w, h, x, y, dw, dh);
      }
      pictureShown();
    },
    nextEvent: () => events.shift(),
    wait(ms, wakeUp) {
      const now = performance.now();
      // Back to the game at once while it has events, or while it is behind
      // and has had the browser's turn lately.
      if (events.length || (ms === 0 && now - lastYield < 30)) {
        wakeUp();
        return;
      }
      let timer = 0;
      const done = () => {
        if (wake !== done) return;
        wake = null;
        clearTimeout(timer);
        lastYield = performance.now();
        wakeUp();
      };
      wake = done;
      // Never long: the program also looks at the sound and publishes its status.
      timer = setTimeout(done, ms >= 0 ? ms : 250);
    },
    pointer(visible) {
      canvas.style.cursor = visible ? 'default' : 'none';
    },
    status(state, fps, ticks, text) {
      const entered = state !== shown.state;
      shown.state = state;
      shown.fps = fps;
      shown.ticks = ticks;
      if (state === 'Name' && (entered || document.activeElement !== field) && text !== fieldText) field.value = fieldText = text;
      if (entered) {
        placeField();
        // After a tap the on-screen keyboard comes up by itself where the browser lets it.
        if (state === 'Name' && touched) field.focus();
      }
    },
    end(code, message) {
      finished = true;
      ending.querySelector('.text').textContent = message ||
        (code === 0 ? 'Kelo - Das Spiel ist beendet.' : 'Kelo - Das Spiel wurde nach einem Fehler beendet.');
      box.hidden = true;
      field.hidden = true;
      ending.hidden = false;
      licences.classList.add('below');
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      if (audio.context) audio.context.close();
    },
    audioState() {
      const state = (audio.context && audio.context.state === 'running' ? 1 : 0) | (audio.synth ? 2 : 0);
      if (state === 3 && !audio.marked) {
        audio.marked = true;
        performance.mark('kelo-music-sounds');
      }
      return state;
    },
    audioRate: () => (audio.context ? audio.context.sampleRate : RATE),
    wave(index, bytes, rate, channels, bits) { audio.waves[index] = { bytes, rate, channels, bits, pcm: null }; },
    playWave,
    soundingWaves: () => audio.sounding,
    fluid,
  };

  // The program with WebAssembly's vector instructions where the browser has them (vectors.js).
  const vectors = self.keloVectors;
  const seed = new URLSearchParams(location.search).get('seed');
  newerBuild().then((restarting) => {
    if (restarting) return;
    KeloGame({
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
