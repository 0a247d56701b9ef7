// The music on Windows' own General MIDI synthesizer (the midiOut device
// every Windows has), fed by the game's own sequencer on a clock thread.
#pragma once

#include <memory>

#include "platform/core/midi_device.h"
#include "platform/sdl/music.h"

namespace plat {

// The music on `port`; without a port it keeps time silently on its clock.
std::unique_ptr<MusicOutput> MakeMidiOutMusic(std::unique_ptr<MidiPort> port);

}  // namespace plat
