#include "platform/web/web_audio.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "assets/catalogue.h"
#include "platform/core/handover.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/web/page.h"

namespace plat {
namespace {

constexpr int kOutputRunning = 1;
constexpr int kSynthReady = 2;

// FluidSynth in the page, fed as the desktop feeds its own.
class PageSynth final : public Synthesizer {
 public:
  void Send(const MidiEvent& e, const MidiFile& midi) override {
    if (e.status == 0xF0)
      kelo_fluid_sysex(midi.sysex.data() + e.sysexOffset, int(e.sysexLength));
    else
      kelo_fluid_event(e.status, e.data1, e.data2);
  }
  void Reset() override { kelo_fluid_reset(); }
  void NotesOff() override { kelo_fluid_notes_off(); }
  int ActiveVoices() override { return kelo_fluid_voices(); }
  void Render(int16_t* out, int frames) override { kelo_fluid_render(out, frames); }
};

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

  void Update() override {
    if (!output_) output_ = (kelo_audio_state() & kOutputRunning) != 0;
    if (sequencer_ || (kelo_audio_state() & (kOutputRunning | kSynthReady)) != (kOutputRunning | kSynthReady)) return;
    rate_ = kelo_audio_rate();
    sequencer_ = std::make_unique<Sequencer>(rate_);
    sequencer_->Attach(&synth_);
    for (HandoverMusic* m : open_) m->MoveTo(*sequencer_, rate_);
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
    if (sequencer_) music->MoveTo(*sequencer_, rate_);
    return music;
  }

  // The page's music output: `frames` interleaved stereo frames.
  void Render(int16_t* out, int frames) {
    if (sequencer_)
      sequencer_->Render(out, frames);
    else
      std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
  }

 private:
  std::function<uint32_t()> clock_;
  bool output_ = false;
  int rate_ = 44100;
  PageSynth synth_;
  std::unique_ptr<Sequencer> sequencer_;
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
