// FluidSynth as the synthesizer of the game's sequencer, with the first
// General MIDI SoundFont that loads.
#pragma once

#include "platform/core/sequencer.h"

namespace plat {

class FluidSynth final : public Synthesizer {
 public:
  // A synthesizer for one sample rate, without a SoundFont yet.
  explicit FluidSynth(int rate);
  ~FluidSynth() override;
  FluidSynth(const FluidSynth&) = delete;
  FluidSynth& operator=(const FluidSynth&) = delete;

  // Loads the first of SoundFontCandidates() that loads; returns the
  // milliseconds it took, or -1 when none does.
  double LoadSoundFont();

  void Send(const MidiEvent& e, const MidiFile& midi) override;
  void Reset() override;
  void NotesOff() override;
  int ActiveVoices() override;
  void Render(int16_t* out, int frames) override;

 private:
  void* settings_ = nullptr;  // fluid_settings_t
  void* synth_ = nullptr;     // fluid_synth_t
};

}  // namespace plat
