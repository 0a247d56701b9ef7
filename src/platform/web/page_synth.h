// FluidSynth in the page, fed as the desktop feeds its own: through the
// page's kelo_fluid_* functions, on the main thread (web_audio.cpp) or in the
// audio worklet's own program (music_worklet.cpp).
#pragma once

#include "platform/core/sequencer.h"
#include "platform/web/page.h"

namespace plat {

class PageSynth final : public Synthesizer {
 public:
  void Send(const MidiEvent& e, const MidiFile& midi) override {
    if (e.status == 0xF0)
      kelo_fluid_sysex(midi.sysex.data() + e.sysexOffset, int(e.sysexLength));
    else
      kelo_fluid_event(e.status, e.data1, e.data2);
  }
  void Reset() override { kelo_fluid_reset(); }
  void NotesOff() override { kelo_fluid_notes_off(); }
  int ActiveVoices() override { return kelo_fluid_voices(); }
  void Render(int16_t* out, int frames) override { kelo_fluid_render(out, frames); }
};

}  // namespace plat
