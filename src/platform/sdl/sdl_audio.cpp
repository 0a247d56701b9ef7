// The sound card: effects through SDL_mixer, music played by the game's own
// sequencer into FluidSynth in the mixer's audio thread.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "assets/catalogue.h"
#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform/core/imagelist.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/sdl/fluid.h"

namespace plat {
namespace {

constexpr int kRate = 44100;
constexpr int kBufferFrames = 1024;  // about 23 ms
constexpr int kEffectChannelStep = 8;

// Builds an in-memory RIFF wave of a built-in item, for the mixer to convert.
Mix_Chunk* LoadBuiltinWave(int index) {
  const assets::WaveEntry& wave = assets::kWaves[index];
  const std::vector<unsigned char> pcm = BuiltinWave(index);
  std::vector<uint8_t> wav;
  auto put = [&wav](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(uint8_t(v >> (8 * i)));
  };
  auto tag = [&wav](const char* t) { wav.insert(wav.end(), t, t + 4); };
  const uint32_t block = uint32_t(wave.channels * wave.bits / 8);
  tag("RIFF");
  put(uint32_t(36 + pcm.size()), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // uncompressed PCM
  put(uint32_t(wave.channels), 2);
  put(uint32_t(wave.rate), 4);
  put(uint32_t(wave.rate) * block, 4);
  put(block, 2);
  put(uint32_t(wave.bits), 2);
  tag("data");
  put(uint32_t(pcm.size()), 4);
  wav.insert(wav.end(), pcm.begin(), pcm.end());
  return Mix_LoadWAV_RW(SDL_RWFromConstMem(wav.data(), int(wav.size())), 1);
}

class SdlAudio final : public AudioDevice {
 public:
  SdlAudio() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    audioStarted_ = true;
    if (Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, kBufferFrames) != 0) return;
    Uint16 format = 0;
    if (!Mix_QuerySpec(&rate_, &format, &channels_)) {
      Mix_CloseAudio();
      return;
    }
    mixerOpen_ = true;
    musicRendered_ = format == AUDIO_S16SYS && channels_ >= 1;
    for (int i = 0; i < assets::kWaveCount; ++i) waves_[size_t(i)] = LoadBuiltinWave(i);
    if (musicRendered_) {
      // The SoundFont loads beside the rest of the start, so the first picture
      // need not wait for it; a piece played before it is there starts when it is.
      sequencer_ = std::make_unique<Sequencer>(rate_);
      loader_ = std::thread([this] { LoadSynth(); });
    }
  }

  ~SdlAudio() override {
    if (loader_.joinable()) loader_.join();
    if (hooked_) Mix_HookMusic(nullptr, nullptr);
    sequencer_.reset();
    synth_.reset();
    if (mixerOpen_) {
      Mix_HaltChannel(-1);
      for (Mix_Chunk*& w : waves_)
        if (w) Mix_FreeChunk(w);
      Mix_CloseAudio();
    }
    Mix_Quit();
    if (audioStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  void PlayWave(int index, int pan) override {
    if (!mixerOpen_ || index < 0 || index >= assets::kWaveCount || !waves_[size_t(index)]) return;
    // A channel that is not sounding, or a new one.
    const int count = Mix_AllocateChannels(-1);
    int channel = 0;
    while (channel < count && Mix_Playing(channel)) ++channel;
    if (channel == count && Mix_AllocateChannels(count + kEffectChannelStep) <= count) return;
    // A channel loses its panning when it finishes: set it right before each play.
    const StereoLevel level = PanLevel(pan);
    Mix_SetPanning(channel, level.left, level.right);
    Mix_PlayChannel(channel, waves_[size_t(index)], 0);
  }

  int SoundingEffects() const override { return mixerOpen_ ? Mix_Playing(-1) : 0; }

  std::unique_ptr<MusicStream> OpenMusic(std::shared_ptr<const MidiFile> midi) override {
    if (!mixerOpen_ || !musicRendered_) {
      // Silent, but only where a SoundFont could make it sound.
      const std::vector<std::string> paths = SoundFontCandidates();
      if (std::none_of(paths.begin(), paths.end(), [](const std::string& p) { return FileExists(p); }))
        throw std::runtime_error("no SoundFont found");
      return MakeClockMusic(midi->LengthMs(), [] { return SDL_GetTicks(); });
    }
    RequireSoundFont();
    if (!hooked_) {
      Mix_HookMusic(&SdlAudio::FillMusic, this);
      hooked_ = true;
    }
    return std::make_unique<SynthMusic>(*this, std::move(midi));
  }

  // Throws when no SoundFont can make the music sound: none is there, or
  // (known once the loading has ended) none loaded.
  void RequireSoundFont() const {
    const std::vector<std::string> paths = SoundFontCandidates();
    if (std::none_of(paths.begin(), paths.end(), [](const std::string& p) { return FileExists(p); }))
      throw std::runtime_error("no SoundFont found");
    if (load_ == Load::Failed) throw std::runtime_error("no SoundFont loads");
  }

 private:
  class SynthMusic final : public MusicStream {
   public:
    SynthMusic(SdlAudio& audio, std::shared_ptr<const MidiFile> midi)
        : audio_(audio), length_(midi->LengthMs()), ticket_(audio.sequencer_->Load(std::move(midi))) {}
    ~SynthMusic() override { audio_.sequencer_->Unload(ticket_); }

    void Play() override {
      audio_.RequireSoundFont();
      audio_.sequencer_->Play(ticket_);
    }
    void Stop() override { audio_.sequencer_->Stop(ticket_); }
    int Position() const override { return audio_.sequencer_->Position(ticket_, length_); }
    bool Playing() const override { return audio_.sequencer_->Playing(ticket_); }

   private:
    SdlAudio& audio_;
    int length_;
    uint64_t ticket_;
  };

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
    static_cast<SdlAudio*>(self)->Fill(reinterpret_cast<int16_t*>(stream), bytes / int(sizeof(int16_t)));
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
  bool audioStarted_ = false, mixerOpen_ = false, musicRendered_ = false, hooked_ = false;
  int rate_ = kRate, channels_ = 2;
  std::array<Mix_Chunk*, assets::kWaveCount> waves_{};
  std::unique_ptr<FluidSynth> synth_;  // the loader's until it has ended
  std::unique_ptr<Sequencer> sequencer_;
  enum class Load { Running, Done, Failed };
  std::atomic<Load> load_{Load::Running};
  std::thread loader_;
  std::array<int16_t, 2 * kScratchFrames> scratch_{};
};

}  // namespace

std::unique_ptr<AudioDevice> OpenSdlAudio() { return std::make_unique<SdlAudio>(); }

double MeasureSoundFontLoad() { return FluidSynth(kRate).LoadSoundFont(); }

}  // namespace plat
