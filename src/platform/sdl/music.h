// The music beside SDL_mixer's effects. Each desktop system makes MIDI sound
// its own way: FluidSynth rendering into the mixer's output (fluid_music.cpp),
// or the system's own General MIDI synthesizer (windows/midi_out.cpp). Either
// plays the game's own sequencer, so schedule, position, length and looping
// are the same everywhere.
#pragma once

#include <memory>

#include "platform/core/audio.h"

namespace plat {

class MusicOutput {
 public:
  virtual ~MusicOutput() = default;
  // Readies a piece to play from its start; throws std::runtime_error when
  // no music can be made at all.
  virtual std::unique_ptr<MusicStream> Open(std::shared_ptr<const MidiFile> midi) = 0;
};

// The mixer's output as it opened: 16-bit samples at `rate` Hz in `channels`
// interleaved channels; `open` false when there is no output device.
struct MixerFormat {
  bool open = false;
  bool samples16 = false;
  int rate = 44100;
  int channels = 2;
};

// Called once the mixer is open (or has failed to open), before any effect plays.
std::unique_ptr<MusicOutput> OpenMusicOutput(const MixerFormat& mixer);

}  // namespace plat
