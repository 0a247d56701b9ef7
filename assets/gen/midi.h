// A small builder for standard MIDI files (format 1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gen {

class MidiWriter {
 public:
  explicit MidiWriter(int division) : division_(division) {}

  // Starts a new track; later events go into it.
  void NewTrack() { tracks_.emplace_back(); }

  void Tempo(uint32_t tick, int microsPerQuarter);
  void TimeSignature(uint32_t tick, int beats, int beatUnit);
  void TrackName(const std::string& name);
  void Program(uint32_t tick, int channel, int program);
  void Control(uint32_t tick, int channel, int controller, int value);
  // A note from `tick` lasting `length` ticks.
  void Note(uint32_t tick, int channel, int key, int velocity, uint32_t length);
  // A marker event that only fixes the end of the piece.
  void End(uint32_t tick);

  std::vector<uint8_t> Bytes() const;

 private:
  struct Event {
    uint32_t tick;
    int order;  // note-offs before note-ons at the same tick
    std::vector<uint8_t> data;
  };
  void Add(uint32_t tick, int order, std::vector<uint8_t> data);

  int division_;
  std::vector<std::vector<Event>> tracks_;
};

}  // namespace gen
