// Standard MIDI files: the events of all tracks merged into playing order,
// each with its time from the start of the piece, and the time of the piece's
// last event. The music player takes its length from here, because the
// synthesizer learns the length only while it plays.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace plat {

class EMidiFormat : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct MidiEvent {
  double timeUs = 0;   // from the start of the piece
  uint8_t status = 0;  // 0x80..0xEF: a channel message; 0xF0: system exclusive
  uint8_t data1 = 0, data2 = 0;
  uint32_t sysexOffset = 0, sysexLength = 0;  // into MidiFile::sysex, without F0 and the closing F7
};

struct MidiFile {
  std::vector<MidiEvent> events;  // in playing order
  std::vector<uint8_t> sysex;
  double lengthUs = 0;  // time of the last event of any track, end-of-track marks included

  // The length in milliseconds, rounded up: a position in whole milliseconds
  // reaches it only once the last event is due.
  int LengthMs() const;
};

// Reads a standard MIDI file of format 0 or 1; throws EMidiFormat when the
// bytes are not one (or are cut short).
MidiFile ParseMidi(std::string_view bytes);

}  // namespace plat
