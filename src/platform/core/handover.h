// Music for an output that starts late: a page in a browser may make sound
// only after the player's first click or key, and its synthesizer arrives
// after the first picture. Until then a piece keeps time on the clock, as
// without any output; once the output is there it goes on in the sequencer
// from the same position, playing or paused as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/core/audio.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"

namespace plat {

class HandoverMusic final : public MusicStream {
 public:
  // `closed` is called when the piece is closed (the device forgets it).
  HandoverMusic(std::shared_ptr<const MidiFile> midi, std::function<uint32_t()> clock,
                std::function<void(HandoverMusic*)> closed);
  ~HandoverMusic() override;
  HandoverMusic(const HandoverMusic&) = delete;
  HandoverMusic& operator=(const HandoverMusic&) = delete;

  // From now on the piece sounds in `sequencer`, from where the clock has it.
  void MoveTo(SequencerControl& sequencer);
  bool Sounding() const { return sequencer_ != nullptr; }

  void Play() override;
  void Stop() override;
  int Position() const override;
  bool Playing() const override;

 private:
  std::shared_ptr<const MidiFile> midi_;
  int length_;
  std::unique_ptr<MusicStream> clock_;
  std::function<void(HandoverMusic*)> closed_;
  SequencerControl* sequencer_ = nullptr;
  uint64_t ticket_ = 0;
};

}  // namespace plat
