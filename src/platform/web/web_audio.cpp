#include "platform/web/web_audio.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "assets/catalogue.h"
#include "platform/core/handover.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/web/music_wire.h"
#include "platform/web/page.h"
#include "platform/web/page_synth.h"

namespace plat {
namespace {

constexpr int kOutputRunning = 1;
constexpr int kSynthReady = 2;
constexpr int kWorkletReady = 4;

// The game's commands to the sequencer in the page's audio worklet
// (music_worklet.cpp).
void SendToWorklet(const RemoteSequencer::Command& c) {
  if (c.kind == RemoteSequencer::kLoad)
    kelo_music_load(c.midi->events.data(), int(c.midi->events.size()), kWireEventBytes, c.midi->sysex.data(),
                    int(c.midi->sysex.size()), c.midi->lengthUs);
  else
    kelo_music_command(c.kind, double(c.ticket), double(c.frame));
}

class PageAudio;
PageAudio* sounding = nullptr;  // the device the page's music output renders from

class PageAudio final : public WebAudio {
 public:
  explicit PageAudio(std::function<uint32_t()> clock) : clock_(std::move(clock)) {
    for (int i = 0; i < assets::kWaveCount; ++i) {
      const assets::WaveEntry& w = assets::kWaves[i];
      kelo_audio_wave(i, w.bytes, w.rate, w.channels, w.bits);
    }
    sounding = this;
  }

  ~PageAudio() override {
    if (sounding == this) sounding = nullptr;
  }

  // The music moves to the worklet's sequencer where the page has one, else
  // to one here, once the output runs and the SoundFont has loaded.
  void Update() override {
    if (sequencer_) return;  // settled: the output runs and the music has its sequencer
    const int state = kelo_audio_state();
    if (!output_) output_ = (state & kOutputRunning) != 0;
    if (!output_) return;
    if (state & kWorkletReady) {
      auto worklet = std::make_unique<RemoteSequencer>(kelo_audio_rate(), SendToWorklet);
      worklet_ = worklet.get();
      sequencer_ = std::move(worklet);
    } else if (state & kSynthReady) {
      auto here = std::make_unique<Sequencer>(kelo_audio_rate());
      here->Attach(&synth_);
      here_ = here.get();
      sequencer_ = std::move(here);
    } else {
      return;
    }
    for (HandoverMusic* m : open_) m->MoveTo(*sequencer_);
  }

  void PlayWave(int index, int pan) override {
    if (!output_ || index < 0 || index >= assets::kWaveCount) return;
    const StereoLevel level = PanLevel(pan);
    kelo_audio_play(index, level.left, level.right);
  }

  int SoundingEffects() const override { return output_ ? kelo_audio_sounding() : 0; }

  std::unique_ptr<MusicStream> OpenMusic(std::shared_ptr<const MidiFile> midi) override {
    auto music = std::make_unique<HandoverMusic>(std::move(midi), clock_, [this](HandoverMusic* m) {
      open_.erase(std::remove(open_.begin(), open_.end(), m), open_.end());
    });
    open_.push_back(music.get());
    if (sequencer_) music->MoveTo(*sequencer_);
    return music;
  }

  // The page's music output where the music plays on this thread: `frames`
  // interleaved stereo frames.
  void Render(int16_t* out, int frames) {
    if (here_)
      here_->Render(out, frames);
    else
      std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
  }

  void Report(uint64_t ticket, int position, bool playing) {
    if (worklet_) worklet_->Report(ticket, position, playing);
  }

 private:
  std::function<uint32_t()> clock_;
  bool output_ = false;
  PageSynth synth_;
  std::unique_ptr<SequencerControl> sequencer_;
  Sequencer* here_ = nullptr;
  RemoteSequencer* worklet_ = nullptr;  // the music plays in the page's audio worklet
  std::vector<HandoverMusic*> open_;
};

}  // namespace

std::unique_ptr<WebAudio> OpenWebAudio(std::function<uint32_t()> clock) {
  return std::make_unique<PageAudio>(std::move(clock));
}

}  // namespace plat

// Called by the page's audio output while the game waits: `frames`
// interleaved stereo frames of the music, valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* kelo_web_render_music(int frames) {
  static std::vector<int16_t> block;
  block.resize(size_t(std::max(frames, 0)) * 2);
  if (plat::sounding)
    plat::sounding->Render(block.data(), frames);
  else
    std::fill(block.begin(), block.end(), int16_t(0));
  return block.data();
}

// The music worklet's report (RemoteSequencer::Report).
extern "C" EMSCRIPTEN_KEEPALIVE void kelo_web_music_report(double ticket, int position, int playing) {
  if (plat::sounding) plat::sounding->Report(uint64_t(ticket), position, playing != 0);
}
