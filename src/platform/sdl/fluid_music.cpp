// The music rendered by FluidSynth into SDL_mixer's output: the game's own
// sequencer plays in the mixer's audio thread.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/core/files.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/sdl/fluid.h"
#include "platform/sdl/music.h"

namespace plat {
namespace {

constexpr int kRate = 44100;

class FluidMusic final : public MusicOutput {
 public:
  explicit FluidMusic(const MixerFormat& mixer)
      : rendered_(mixer.open && mixer.samples16 && mixer.channels >= 1), rate_(mixer.rate), channels_(mixer.channels) {
    if (!rendered_) return;
    // The SoundFont loads beside the rest of the start, so the first picture
    // need not wait for it; a piece played before it is there starts when it is.
    sequencer_ = std::make_unique<Sequencer>(rate_);
    loader_ = std::thread([this] { LoadSynth(); });
  }

  ~FluidMusic() override {
    if (loader_.joinable()) loader_.join();
    if (hooked_) Mix_HookMusic(nullptr, nullptr);
    sequencer_.reset();
    synth_.reset();
  }

  std::unique_ptr<MusicStream> Open(std::shared_ptr<const MidiFile> midi) override {
    if (!rendered_) {
      // Silent, but only where a SoundFont could make it sound.
      RequireSoundFontFile();
      return MakeClockMusic(midi->LengthMs(), [] { return SDL_GetTicks(); });
    }
    RequireSoundFont();
    if (!hooked_) {
      Mix_HookMusic(&FluidMusic::FillMusic, this);
      hooked_ = true;
    }
    return std::make_unique<SynthMusic>(*this, std::move(midi));
  }

 private:
  class SynthMusic final : public MusicStream {
   public:
    SynthMusic(FluidMusic& music, std::shared_ptr<const MidiFile> midi)
        : music_(music), length_(midi->LengthMs()), ticket_(music.sequencer_->Load(std::move(midi))) {}
    ~SynthMusic() override { music_.sequencer_->Unload(ticket_); }

    void Play() override {
      music_.RequireSoundFont();
      music_.sequencer_->Play(ticket_);
    }
    void Stop() override { music_.sequencer_->Stop(ticket_); }
    int Position() const override { return music_.sequencer_->Position(ticket_, length_); }
    bool Playing() const override { return music_.sequencer_->Playing(ticket_); }

   private:
    FluidMusic& music_;
    int length_;
    uint64_t ticket_;
  };

  static void RequireSoundFontFile() {
    const std::vector<std::string> paths = SoundFontCandidates();
    if (std::none_of(paths.begin(), paths.end(), [](const std::string& p) { return FileExists(p); }))
      throw std::runtime_error("no SoundFont found");
  }

  // Throws when no SoundFont can make the music sound: none is there, or
  // (known once the loading has ended) none loaded.
  void RequireSoundFont() const {
    RequireSoundFontFile();
    if (load_ == Load::Failed) throw std::runtime_error("no SoundFont loads");
  }

  // Loader thread: the synthesizer with its SoundFont. A failure is kept
  // for the next music operation to report.
  void LoadSynth() {
    try {
      auto synth = std::make_unique<FluidSynth>(rate_);
      if (synth->LoadSoundFont() < 0) {
        load_ = Load::Failed;
        return;
      }
      synth_ = std::move(synth);
      sequencer_->Attach(synth_.get());
      load_ = Load::Done;
    } catch (const std::exception&) {
      load_ = Load::Failed;
    }
  }

  static void SDLCALL FillMusic(void* self, Uint8* stream, int bytes) {
    static_cast<FluidMusic*>(self)->Fill(reinterpret_cast<int16_t*>(stream), bytes / int(sizeof(int16_t)));
  }

  // Audio thread: `samples` 16-bit samples of channels_ interleaved channels.
  void Fill(int16_t* out, int samples) {
    const int frames = samples / channels_;
    if (channels_ == 2) {
      sequencer_->Render(out, frames);
      return;
    }
    for (int done = 0; done < frames;) {
      const int n = std::min(frames - done, kScratchFrames);
      sequencer_->Render(scratch_.data(), n);
      for (int i = 0; i < n; ++i) {
        int16_t* frame = out + size_t(done + i) * size_t(channels_);
        const int16_t left = scratch_[size_t(2 * i)], right = scratch_[size_t(2 * i + 1)];
        if (channels_ == 1) {
          frame[0] = int16_t((left + right) / 2);
        } else {
          frame[0] = left;
          frame[1] = right;
        }
      }
      done += n;
    }
  }

  static constexpr int kScratchFrames = 1024;
  const bool rendered_;
  const int rate_, channels_;
  bool hooked_ = false;
  std::unique_ptr<FluidSynth> synth_;  // the loader's until it has ended
  std::unique_ptr<Sequencer> sequencer_;
  enum class Load { Running, Done, Failed };
  std::atomic<Load> load_{Load::Running};
  std::thread loader_;
  std::array<int16_t, 2 * kScratchFrames> scratch_{};
};

}  // namespace

std::unique_ptr<MusicOutput> OpenMusicOutput(const MixerFormat& mixer) { return std::make_unique<FluidMusic>(mixer); }

double MeasureSoundFontLoad() { return FluidSynth(kRate).LoadSoundFont(); }

}  // namespace plat
