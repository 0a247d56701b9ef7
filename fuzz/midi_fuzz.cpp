// Fuzz target: a MIDI file read for its events and its length.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/core/midifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::MidiFile midi;
  try {
    midi = plat::ParseMidi(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const plat::EMidiFormat&) {
    return 0;  // the music does not open
  }
  double last = 0;
  for (const plat::MidiEvent& e : midi.events) {
    if (e.timeUs < last || e.timeUs > midi.lengthUs) std::abort();
    last = e.timeUs;
    if (e.status == 0xF0 && uint64_t(e.sysexOffset) + e.sysexLength > midi.sysex.size()) std::abort();
  }
  if (midi.LengthMs() < 0) std::abort();
  return 0;
}
