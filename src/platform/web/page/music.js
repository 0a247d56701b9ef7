// The music on the browser's audio thread: the game's sequencer, built as a
// small program of its own (kelo-music.wasm, music_worklet.cpp), plays each
// piece into FluidSynth here, so the game's thread never renders a sample.
// The page loads libfluidsynth.js, js-synthesizer's worklet part and fluid.js
// into the worklet before this. The game's commands come through the port as
// they are given; what plays goes back after each command, whenever a piece
// starts or stops, and every 4096 frames (about ten times a second) while one
// plays.
'use strict';
const kReportFrames = 4096;

class KeloMusic extends AudioWorkletProcessor {
  constructor() {
    super();
    this.program = null;  // the music program's exports, once FluidSynth has its SoundFont
    this.playing = false;
    this.sinceReport = 0;
    this.port.onmessage = (e) => this.take(e.data);
  }

  take(m) {
    if (m.start) {
      this.start(m.start, m.soundFont).then(
        () => this.port.postMessage({ ready: sampleRate }),
        (e) => this.port.postMessage({ failed: String(e && e.message || e) }));
      return;
    }
    const x = this.program;
    if (m.piece) {
      const at = x.music_scratch(m.piece.length);
      new Uint8Array(x.memory.buffer, at, m.piece.length).set(m.piece);
      x.music_load(m.events, m.sysex, m.lengthUs);
    } else {
      x.music_command(m.command, m.ticket, m.frame);
    }
    this.report();
  }

  async start(program, soundFont) {
    const JSSynth = globalThis.JSSynth;
    await JSSynth.Synthesizer.waitForWasmInitialized();
    JSSynth.disableLogging();  // what fails is told the page (below)
    const synth = new JSSynth.Synthesizer();
    synth.init(sampleRate, { initialGain: 0.45 });
    await synth.loadSFont(soundFont);
    const fluid = globalThis.keloFluid(AudioWorkletGlobalScope.wasmModule, synth.getRawSynthesizer());
    let x = null;
    const { instance } = await WebAssembly.instantiate(program, {
      env: {
        kelo_fluid_event: (status, d1, d2) => fluid.event(status, d1, d2),
        kelo_fluid_sysex: (at, length) => fluid.sysex(new Uint8Array(x.memory.buffer, at, length)),
        kelo_fluid_reset: () => fluid.reset(),
        kelo_fluid_notes_off: () => fluid.notesOff(),
        kelo_fluid_voices: () => fluid.voices(),
        kelo_fluid_render: (out, frames) => fluid.render(new Int16Array(x.memory.buffer), out >> 1, frames),
        emscripten_notify_memory_growth: () => {},
      },
      wasi_snapshot_preview1: { proc_exit: (code) => { throw new Error(`the music program ended (${code})`); } },
    });
    x = instance.exports;
    x._initialize();
    x.music_open(sampleRate);
    this.program = x;
  }

  report() {
    const x = this.program;
    this.playing = x.music_playing() !== 0;
    this.sinceReport = 0;
    this.port.postMessage([x.music_ticket(), x.music_position(), this.playing ? 1 : 0]);
  }

  process(inputs, outputs) {
    const x = this.program, [left, right] = outputs[0];
    if (!x) return true;  // silence until the music program runs
    const n = left.length, at = x.music_render(n) >> 1, s = new Int16Array(x.memory.buffer);
    for (let i = 0; i < n; ++i) {
      left[i] = s[at + 2 * i] / 32768;
      right[i] = s[at + 2 * i + 1] / 32768;
    }
    this.sinceReport += n;
    const playing = x.music_playing() !== 0;
    if (playing !== this.playing || (playing && this.sinceReport >= kReportFrames)) this.report();
    return true;
  }
}

registerProcessor('kelo-music', KeloMusic);
