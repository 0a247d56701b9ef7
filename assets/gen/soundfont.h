// A SoundFont cut down to what the game's music plays: the presets the pieces
// select, of those only the zones their notes reach, and the samples of those.
// FluidSynth plays the pieces from the cut file exactly as from the whole one.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/midifile.h"

namespace gen {

// A note a piece plays: the preset it sounds with (bank 128: the drum kits) and
// its key and velocity.
struct PlayedNote {
  int bank = 0, program = 0, key = 0, velocity = 0;
  bool operator<(const PlayedNote& o) const;
};

// Every note of the piece with the preset it sounds with, as FluidSynth
// chooses it (channel 10 drums, bank select by controller 0).
std::vector<PlayedNote> NotesPlayed(const plat::MidiFile& midi);

// The SoundFont 2 file `sf2` with only the presets, zones and samples these
// notes sound with. Throws std::runtime_error when `sf2` is not a SoundFont.
std::vector<uint8_t> CutSoundFont(const std::vector<uint8_t>& sf2, const std::vector<PlayedNote>& notes);

}  // namespace gen
