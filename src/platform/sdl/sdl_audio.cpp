// The sound card: effects through SDL_mixer, and beside them the system's way
// of making the music sound (music.h).
#include <SDL.h>
#include <SDL_mixer.h>

#include <array>
#include <vector>

#include "assets/catalogue.h"
#include "platform/core/audio.h"
#include "platform/core/imagelist.h"
#include "platform/core/midifile.h"
#include "platform/sdl/music.h"

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
    MixerFormat mixer;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
      audioStarted_ = true;
      if (Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, kBufferFrames) == 0) {
        Uint16 format = 0;
        if (Mix_QuerySpec(&mixer.rate, &format, &mixer.channels)) {
          mixerOpen_ = mixer.open = true;
          mixer.samples16 = format == AUDIO_S16SYS;
          for (int i = 0; i < assets::kWaveCount; ++i) waves_[size_t(i)] = LoadBuiltinWave(i);
        } else {
          Mix_CloseAudio();
        }
      }
    }
    music_ = OpenMusicOutput(mixer);
  }

  ~SdlAudio() override {
    music_.reset();
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
    return music_->Open(std::move(midi));
  }

 private:
  bool audioStarted_ = false, mixerOpen_ = false;
  std::array<Mix_Chunk*, assets::kWaveCount> waves_{};
  std::unique_ptr<MusicOutput> music_;
};

}  // namespace

std::unique_ptr<AudioDevice> OpenSdlAudio() { return std::make_unique<SdlAudio>(); }

}  // namespace plat
