// Music on a MIDI device that sounds by itself (the system's General MIDI
// synthesizer, an instrument on a MIDI port): nothing renders samples for it,
// so a clock thread advances the sequencer by the time that has passed and
// hands the messages due to the device.
//
// The game thread only ever waits for the sequencer's lock, and the lock is
// never held while the device works: the messages are queued under it and
// handed over after it. A system-exclusive message is the device's for as
// long as it takes to send; the messages after it wait in the queue, not in a
// call. The clock sleeps while no piece plays.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/core/sequencer.h"

namespace plat {

// A MIDI output device as the system offers it.
class MidiPort {
 public:
  virtual ~MidiPort() = default;
  // A channel message: status, first and second data byte from the lowest byte up.
  virtual void SendShort(uint32_t message) = 0;
  // Hands a system-exclusive message (F0 ... F7) to the device, which sends it
  // in its own time; false when the device refuses it.
  virtual bool SendLong(const std::vector<uint8_t>& bytes) = 0;
  // Every long message handed over has been sent.
  virtual bool LongsDone() = 0;
};

// The synthesizer the sequencer plays into: a queue for a port.
class MidiPortSynth final : public Synthesizer {
 public:
  // `patience`: frames the messages behind a long one wait for the device
  // to send it; a device that takes longer is stuck, and the music goes on
  // past it rather than falling silent.
  MidiPortSynth(MidiPort& port, int64_t patience) : port_(port), patience_(patience) {}

  void Send(const MidiEvent& e, const MidiFile& midi) override;
  void Reset() override;
  void NotesOff() override;
  int ActiveVoices() override { return 0; }     // the device's tails are its own
  void Render(int16_t*, int) override {}        // the device sounds by itself

  // Hands what is queued to the port, in order, at `now` frames; true while
  // messages wait behind a long one.
  bool Deliver(int64_t now);

 private:
  void Short(int status, int data1, int data2);

  struct Message {
    uint32_t message = 0;
    std::vector<uint8_t> bytes;  // a long message; empty for a short one
  };
  MidiPort& port_;
  const int64_t patience_;
  std::deque<Message> queue_;
  int64_t waitingSince_ = -1;  // the frame since which a long message holds the queue up
};

// A sequencer on a port, advanced by the clock of the thread that calls Tick.
class MidiClock {
 public:
  MidiClock(MidiPort& port, int rate);
  MidiClock(const MidiClock&) = delete;
  MidiClock& operator=(const MidiClock&) = delete;

  Sequencer& Music() { return sequencer_; }

  // One beat of the clock thread, `us` microseconds after its start: plays
  // the frames due and hands their messages to the port. True while a piece
  // plays or messages wait: the next beat is due within a millisecond or two.
  // False when nothing is to be done until the game plays, stops, loads or
  // unloads a piece (the thread sleeps until then; its sleep is nobody's
  // music time).
  bool Tick(int64_t us);

 private:
  static constexpr int kScratchFrames = 4096;
  const int rate_;
  MidiPortSynth synth_;
  Sequencer sequencer_;
  int64_t done_ = 0;  // frames played
  bool asleep_ = true;
  std::vector<int16_t> scratch_;
};

}  // namespace plat
