// The game's own MIDI sequencer: plays the events of one piece into a
// synthesizer, sample-exactly, and counts the samples played: that count is
// the piece's position. The game thread issues commands and reads positions;
// the audio thread renders. One mutex guards what they share.
#pragma once

#include <cstdint>
#include <functional>
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

// What a piece of music asks of the sequencer that plays it: the commands of
// the game thread, and what has been played. A sequencer may render here
// (Sequencer) or elsewhere and report back (the page's audio worklet).
class SequencerControl {
 public:
  explicit SequencerControl(int rate) : rate_(rate) {}
  virtual ~SequencerControl() = default;

  // Returns the ticket of the piece for the calls below.
  virtual uint64_t Load(std::shared_ptr<const MidiFile> midi) = 0;
  virtual void Unload(uint64_t ticket) = 0;
  // Starts or resumes; at the end, from the start.
  virtual void Play(uint64_t ticket) = 0;
  virtual void Stop(uint64_t ticket) = 0;
  // Moves the piece to `frame` samples from its start, for a piece that goes
  // on from where it was before it could sound: the messages before that point
  // that set the channels up (programs, controllers, pitch bends, system
  // exclusives) are sent first, the notes only from there on.
  virtual void Cue(uint64_t ticket, int64_t frame) = 0;
  // Milliseconds played, reaching lengthMs only at the end.
  virtual int Position(uint64_t ticket, int lengthMs) const = 0;
  virtual bool Playing(uint64_t ticket) const = 0;

  // The sample of the piece at which something `us` microseconds into it is
  // due, kept to the range a piece can have.
  int64_t ToFrame(double us) const;
  int Rate() const { return rate_; }

 protected:
  const int rate_;
};

class Sequencer final : public SequencerControl {
 public:
  explicit Sequencer(int rate) : SequencerControl(rate) {}

  // Any thread: the synthesizer is ready (until then a piece waits at its start, silent).
  void Attach(Synthesizer* synth);

  // Game thread.
  uint64_t Load(std::shared_ptr<const MidiFile> midi) override;
  void Unload(uint64_t ticket) override;
  void Play(uint64_t ticket) override;
  void Stop(uint64_t ticket) override;
  void Cue(uint64_t ticket, int64_t frame) override;
  int Position(uint64_t ticket, int lengthMs) const override;
  bool Playing(uint64_t ticket) const override;

  // Audio thread: fills `frames` interleaved stereo frames.
  void Render(int16_t* out, int frames);
  // Rendering has something to do: a piece plays on towards its end, or a
  // reset, a release of the notes or a chase is still to be sent. A clock
  // that drives Render by itself may sleep while it has not.
  bool Busy() const;

 private:
  Synthesizer* synth_ = nullptr;
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

// A sequencer that renders elsewhere (the page's audio worklet), seen from
// the game thread: each command goes out at once through `send`, and the game
// sees what the renderer last reported of the piece (of one it has not
// reported yet: at its start, stopped). A Play the game repeats before the
// report of the first changes nothing: the piece plays then.
class RemoteSequencer final : public SequencerControl {
 public:
  enum Kind { kLoad = 0, kUnload = 1, kPlay = 2, kStop = 3, kCue = 4 };
  struct Command {
    Kind kind;
    uint64_t ticket;
    int64_t frame;          // kCue
    const MidiFile* midi;   // kLoad
  };
  RemoteSequencer(int rate, std::function<void(const Command&)> send)
      : SequencerControl(rate), send_(std::move(send)) {}

  uint64_t Load(std::shared_ptr<const MidiFile> midi) override;
  void Unload(uint64_t ticket) override { send_({kUnload, ticket, 0, nullptr}); }
  void Play(uint64_t ticket) override { send_({kPlay, ticket, 0, nullptr}); }
  void Stop(uint64_t ticket) override { send_({kStop, ticket, 0, nullptr}); }
  void Cue(uint64_t ticket, int64_t frame) override { send_({kCue, ticket, frame, nullptr}); }
  int Position(uint64_t ticket, int) const override { return ticket == seen_.ticket ? seen_.position : 0; }
  bool Playing(uint64_t ticket) const override { return ticket == seen_.ticket && seen_.playing; }

  // The renderer's report: the piece it plays (its ticket counts loads as
  // Load does), its Position and Playing.
  void Report(uint64_t ticket, int position, bool playing) { seen_ = Seen{ticket, position, playing}; }

 private:
  struct Seen {
    uint64_t ticket = 0;
    int position = 0;
    bool playing = false;
  };
  std::function<void(const Command&)> send_;
  Seen seen_;
  uint64_t tickets_ = 0;
};

}  // namespace plat
