// The game's own MIDI sequencer: plays the events of one piece into a
// synthesizer, sample-exactly, and counts the samples played: that count is
// the piece's position. The game thread issues commands and reads positions;
// the audio thread renders. One mutex guards what they share.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/midifile.h"

namespace plat {

// What renders the music: a General MIDI synthesizer fed event by event.
class Synthesizer {
 public:
  virtual ~Synthesizer() = default;
  // A channel message, or a system-exclusive one (its bytes in midi.sysex).
  virtual void Send(const MidiEvent& e, const MidiFile& midi) = 0;
  // Every channel back to its power-on state.
  virtual void Reset() = 0;
  // Sustain pedals up and every note released.
  virtual void NotesOff() = 0;
  // Voices still sounding (release and reverb tails included).
  virtual int ActiveVoices() = 0;
  // `frames` frames of interleaved 16-bit stereo.
  virtual void Render(int16_t* out, int frames) = 0;
};

class Sequencer {
 public:
  explicit Sequencer(int rate) : rate_(rate) {}

  // Any thread: the synthesizer is ready (until then a piece waits at its start, silent).
  void Attach(Synthesizer* synth);

  // Game thread. Returns the ticket of the piece for the calls below.
  uint64_t Load(std::shared_ptr<const MidiFile> midi);
  void Unload(uint64_t ticket);
  // Starts or resumes; at the end, from the start.
  void Play(uint64_t ticket);
  void Stop(uint64_t ticket);
  // Moves the piece to `frame` samples from its start, for a piece that goes
  // on from where it was before it could sound: the messages before that point
  // that set the channels up (programs, controllers, pitch bends, system
  // exclusives) are sent first, the notes only from there on.
  void Cue(uint64_t ticket, int64_t frame);
  // Milliseconds played, reaching lengthMs only at the end.
  int Position(uint64_t ticket, int lengthMs) const;
  bool Playing(uint64_t ticket) const;

  // Audio thread: fills `frames` interleaved stereo frames.
  void Render(int16_t* out, int frames);
  // Rendering has something to do: a piece plays on towards its end, or a
  // reset, a release of the notes or a chase is still to be sent. A clock
  // that drives Render by itself may sleep while it has not.
  bool Busy() const;

  // The sample of the piece at which something `us` microseconds into it is
  // due, kept to the range a piece can have.
  int64_t ToFrame(double us) const;

 private:
  Synthesizer* synth_ = nullptr;
  const int rate_;
  mutable std::mutex mutex_;
  std::shared_ptr<const MidiFile> midi_;
  std::vector<int64_t> eventFrames_;
  int64_t endFrame_ = 0;
  int64_t frame_ = 0;  // samples of the piece played
  size_t next_ = 0;    // the next event to send
  bool playing_ = false;
  bool resetPending_ = false, notesOffPending_ = false, chasePending_ = false;
  int64_t quietFrames_ = 0;
  uint64_t ticket_ = 0;
};

}  // namespace plat
