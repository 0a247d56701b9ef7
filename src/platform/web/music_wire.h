// What the game sends the music's worklet program (music_worklet.cpp): a
// piece travels as its events' bytes as they lie in memory, then the bytes of
// its system exclusive messages (both programs are built by one compiler for
// the same machine); the other commands (RemoteSequencer::Kind) name the
// piece by the ticket its load gave.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/core/midifile.h"

namespace plat {

static_assert(std::is_trivially_copyable_v<MidiEvent>, "events travel as their bytes");
constexpr int kWireEventBytes = int(sizeof(MidiEvent));

inline MidiFile ReadWire(const uint8_t* bytes, int eventCount, int sysexBytes, double lengthUs) {
  MidiFile midi;
  midi.events.resize(size_t(eventCount));
  if (eventCount > 0) std::memcpy(midi.events.data(), bytes, size_t(eventCount) * sizeof(MidiEvent));
  bytes += size_t(eventCount) * sizeof(MidiEvent);
  midi.sysex.assign(bytes, bytes + sysexBytes);
  midi.lengthUs = lengthUs;
  return midi;
}

}  // namespace plat
