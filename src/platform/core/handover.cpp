#include "platform/core/handover.h"

namespace plat {

HandoverMusic::HandoverMusic(std::shared_ptr<const MidiFile> midi, std::function<uint32_t()> clock,
                             std::function<void(HandoverMusic*)> closed)
    : midi_(std::move(midi)),
      length_(midi_->LengthMs()),
      clock_(MakeClockMusic(length_, std::move(clock))),
      closed_(std::move(closed)) {}

HandoverMusic::~HandoverMusic() {
  if (sequencer_) sequencer_->Unload(ticket_);
  if (closed_) closed_(this);
}

void HandoverMusic::MoveTo(SequencerControl& sequencer) {
  if (sequencer_) return;
  const int at = clock_->Position();
  const bool playing = clock_->Playing();
  ticket_ = sequencer.Load(midi_);
  sequencer_ = &sequencer;
  if (at >= length_) {
    // At the end it stays at the end; the next Play starts it again.
    sequencer.Cue(ticket_, sequencer.ToFrame(midi_->lengthUs));
  } else {
    // Rounded up, so the position never steps back at the handover.
    sequencer.Cue(ticket_, (int64_t(at) * sequencer.Rate() + 999) / 1000);
    if (playing) sequencer.Play(ticket_);
  }
  clock_.reset();
}

void HandoverMusic::Play() {
  if (sequencer_)
    sequencer_->Play(ticket_);
  else
    clock_->Play();
}

void HandoverMusic::Stop() {
  if (sequencer_)
    sequencer_->Stop(ticket_);
  else
    clock_->Stop();
}

int HandoverMusic::Position() const { return sequencer_ ? sequencer_->Position(ticket_, length_) : clock_->Position(); }

bool HandoverMusic::Playing() const { return sequencer_ ? sequencer_->Playing(ticket_) : clock_->Playing(); }

}  // namespace plat
