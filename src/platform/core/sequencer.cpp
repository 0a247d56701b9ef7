#include "platform/core/sequencer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {

void Sequencer::Attach(Synthesizer* synth) {
  std::lock_guard<std::mutex> lock(mutex_);
  synth_ = synth;
}

int64_t SequencerControl::ToFrame(double us) const {
  // Far beyond any piece (a crafted file's times), yet far from overflowing.
  constexpr double kLastFrame = 4.0e18;
  const double frame = us * rate_ / 1e6;
  if (!(frame < kLastFrame)) return int64_t(kLastFrame);
  if (!(frame > 0)) return 0;
  return std::llround(frame);
}

uint64_t Sequencer::Load(std::shared_ptr<const MidiFile> midi) {
  std::vector<int64_t> frames;
  frames.reserve(midi->events.size());
  for (const MidiEvent& e : midi->events) frames.push_back(ToFrame(e.timeUs));
  const int64_t end = ToFrame(midi->lengthUs);
  std::lock_guard<std::mutex> lock(mutex_);
  midi_ = std::move(midi);
  eventFrames_ = std::move(frames);
  endFrame_ = end;
  frame_ = 0;
  next_ = 0;
  playing_ = false;
  resetPending_ = true;
  chasePending_ = false;
  quietFrames_ = 0;
  return ++ticket_;
}

void Sequencer::Unload(uint64_t ticket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ticket != ticket_) return;
  midi_.reset();
  eventFrames_.clear();
  if (playing_) notesOffPending_ = true;
  playing_ = false;
}

void Sequencer::Play(uint64_t ticket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ticket != ticket_) return;
  if (frame_ >= endFrame_) {
    // From the start. The piece sets its own instruments at its start, and
    // the last notes ring out into the first ones, so the join has no gap.
    frame_ = 0;
    next_ = 0;
    chasePending_ = false;
  } else if (playing_) {
    return;
  }
  playing_ = true;
  quietFrames_ = 0;
}

void Sequencer::Stop(uint64_t ticket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ticket != ticket_ || !playing_) return;
  playing_ = false;
  notesOffPending_ = true;
}

void Sequencer::Cue(uint64_t ticket, int64_t frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ticket != ticket_ || !midi_) return;
  frame_ = std::clamp<int64_t>(frame, 0, endFrame_);
  // Events on the frame itself are still to come.
  next_ = size_t(std::lower_bound(eventFrames_.begin(), eventFrames_.end(), frame_) - eventFrames_.begin());
  chasePending_ = next_ > 0;
}

int Sequencer::Position(uint64_t ticket, int lengthMs) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ticket != ticket_) return 0;
  if (frame_ >= endFrame_) return lengthMs;
  return int(std::min<int64_t>(frame_ * 1000 / rate_, std::max(0, lengthMs - 1)));
}

bool Sequencer::Playing(uint64_t ticket) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ticket == ticket_ && playing_ && frame_ < endFrame_;
}

bool Sequencer::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (resetPending_ || notesOffPending_ || chasePending_) return true;
  const bool eventDue = next_ < eventFrames_.size() && eventFrames_[next_] <= frame_;
  return playing_ && midi_ && (frame_ < endFrame_ || eventDue);
}

void Sequencer::Render(int16_t* out, int frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!synth_) {
    std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
    return;
  }
  if (resetPending_) {
    synth_->Reset();
    resetPending_ = notesOffPending_ = false;
  }
  if (notesOffPending_) {
    synth_->NotesOff();
    notesOffPending_ = false;
  }
  if (chasePending_ && midi_) {
    // Everything but the notes of what was skipped, so the channels sound as they would have.
    for (size_t i = 0; i < next_ && i < midi_->events.size(); ++i) {
      const int kind = midi_->events[i].status & 0xF0;
      if (kind != 0x80 && kind != 0x90 && kind != 0xA0) synth_->Send(midi_->events[i], *midi_);
    }
  }
  chasePending_ = false;
  const bool eventsLeft = playing_ && midi_ && next_ < eventFrames_.size();
  // Once nothing sounds any more (reverb tail included), rendering would only make silence.
  if (!eventsLeft && synth_->ActiveVoices() == 0)
    quietFrames_ += frames;
  else
    quietFrames_ = 0;
  if (quietFrames_ > int64_t(rate_) * 2) {
    std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
    if (playing_) frame_ += frames;
    return;
  }
  const auto sendDue = [this] {
    while (next_ < eventFrames_.size() && eventFrames_[next_] <= frame_) synth_->Send(midi_->events[next_++], *midi_);
  };
  int done = 0;
  while (done < frames) {
    int64_t n = frames - done;
    if (playing_ && midi_) {
      sendDue();
      if (next_ < eventFrames_.size()) n = std::min(n, eventFrames_[next_] - frame_);
    }
    synth_->Render(out + 2 * done, int(n));
    if (playing_) frame_ += n;
    done += int(n);
  }
  // The last notes end on the piece's last frame. A block that ends there
  // sends them at once: the game may start the piece again before the next
  // block, and they would never come, their notes left sounding.
  if (playing_ && midi_ && frame_ >= endFrame_) sendDue();
}

uint64_t RemoteSequencer::Load(std::shared_ptr<const MidiFile> midi) {
  send_({kLoad, 0, 0, midi.get()});
  return ++tickets_;
}

}  // namespace plat
