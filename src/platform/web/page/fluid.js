// FluidSynth (js-synthesizer's libfluidsynth), called as the desktop calls its
// own: the game's sequencer sends it what it plays and has it render. Shared
// by the page (where the browser has no audio worklet) and the audio worklet
// (music.js), where `fluid` is the module as libfluidsynth.js made it there and
// `synth` FluidSynth's own synthesizer.
'use strict';
globalThis.keloFluid = (fluid, synth) => {
  let memory = 0, size = 0;
  const buffer = (bytes) => {
    if (size < bytes) {
      if (memory) fluid._free(memory);
      memory = fluid._malloc(bytes);
      size = bytes;
    }
    return memory;
  };
  return {
    event(status, d1, d2) {
      const ch = status & 15;
      switch (status & 0xF0) {
        case 0x80: fluid._fluid_synth_noteoff(synth, ch, d1); break;
        case 0x90: if (d2) fluid._fluid_synth_noteon(synth, ch, d1, d2); else fluid._fluid_synth_noteoff(synth, ch, d1); break;
        case 0xA0: fluid._fluid_synth_key_pressure(synth, ch, d1, d2); break;
        case 0xB0: fluid._fluid_synth_cc(synth, ch, d1, d2); break;
        case 0xC0: fluid._fluid_synth_program_change(synth, ch, d1); break;
        case 0xD0: fluid._fluid_synth_channel_pressure(synth, ch, d1); break;
        case 0xE0: fluid._fluid_synth_pitch_bend(synth, ch, d1 | (d2 << 7)); break;
      }
    },
    sysex(bytes) {
      const p = buffer(Math.max(bytes.length, 1));
      fluid.HEAPU8.set(bytes, p);
      fluid._fluid_synth_sysex(synth, p, bytes.length, 0, 0, 0, 0);
    },
    reset() { fluid._fluid_synth_system_reset(synth); },
    notesOff() {
      for (let ch = 0; ch < 16; ++ch) fluid._fluid_synth_cc(synth, ch, 64, 0);  // sustain pedal up
      fluid._fluid_synth_all_notes_off(synth, -1);
    },
    voices() { return fluid._fluid_synth_get_active_voice_count(synth); },
    // `frames` interleaved 16-bit stereo frames into heap[at...].
    render(heap, at, frames) {
      const p = buffer(frames * 4);
      fluid._fluid_synth_write_s16(synth, frames, p, 0, 2, p, 1, 2);
      heap.set(fluid.HEAP16.subarray(p >> 1, (p >> 1) + 2 * frames), at);
    },
  };
};
