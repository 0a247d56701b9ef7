// The sound card: effects through SDL_mixer, music rendered by FluidSynth in
// the mixer's audio thread. The game thread only issues commands and reads
// positions; the audio thread renders, and one mutex guards what they share.
#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "assets/catalogue.h"
#include "platform/audio.h"
#include "platform/files.h"
#include "platform/imagelist.h"
#include "platform/midifile.h"

namespace plat {
namespace {

constexpr int kRate = 44100;
constexpr int kBufferFrames = 1024;  // about 23 ms
constexpr int kEffectChannelStep = 8;
constexpr double kMusicGain = 0.45;

// Nothing is logged: failures reach the game as errors of the music device.
void SilenceSynthLog() {
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
}

// Loads the first SoundFont that loads; returns the milliseconds it took, or -1.
double LoadSoundFont(fluid_synth_t* synth) {
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : SoundFontCandidates()) {
    if (!FileExists(path) || fluid_synth_sfload(synth, path.c_str(), 1) == FLUID_FAILED) continue;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  return -1;
}

// A synthesizer with its settings, made for one sample rate.
struct Synth {
  explicit Synth(int rate) {
    SilenceSynthLog();
    settings = new_fluid_settings();
    if (!settings) throw std::runtime_error("cannot make synthesizer settings");
    fluid_settings_setnum(settings, "synth.sample-rate", rate);
    fluid_settings_setnum(settings, "synth.gain", kMusicGain);
    synth = new_fluid_synth(settings);
    if (!synth) {
      delete_fluid_settings(settings);
      throw std::runtime_error("cannot make a synthesizer");
    }
  }
  ~Synth() {
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
  }
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
};

// Plays the events of one piece into the synthesizer, sample-exactly, and
// counts the samples played: that count is the position. Until the
// synthesizer is there (its SoundFont is loading), a piece waits at its start.
class Sequencer {
 public:
  explicit Sequencer(int rate) : rate_(rate) {}

  // Any thread: the synthesizer is ready.
  void Attach(fluid_synth_t* synth) {
    std::lock_guard<std::mutex> lock(mutex_);
    synth_ = synth;
  }

  // Game thread. Returns the ticket of the piece for the calls below.
  uint64_t Load(std::shared_ptr<const MidiFile> midi) {
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
    quietFrames_ = 0;
    return ++ticket_;
  }

  void Unload(uint64_t ticket) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ticket != ticket_) return;
    midi_.reset();
    eventFrames_.clear();
    if (playing_) notesOffPending_ = true;
    playing_ = false;
  }

  void Play(uint64_t ticket) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ticket != ticket_) return;
    if (frame_ >= endFrame_) {
      // From the start. The piece sets its own instruments at its start, and
      // the last notes ring out into the first ones, so the join has no gap.
      frame_ = 0;
      next_ = 0;
    } else if (playing_) {
      return;
    }
    playing_ = true;
    quietFrames_ = 0;
  }

  void Stop(uint64_t ticket) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ticket != ticket_ || !playing_) return;
    playing_ = false;
    notesOffPending_ = true;
  }

  int Position(uint64_t ticket, int lengthMs) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ticket != ticket_) return 0;
    if (frame_ >= endFrame_) return lengthMs;
    return int(std::min<int64_t>(frame_ * 1000 / rate_, std::max(0, lengthMs - 1)));
  }

  bool Playing(uint64_t ticket) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticket == ticket_ && playing_ && frame_ < endFrame_;
  }

  // Audio thread: fills `frames` interleaved stereo frames.
  void Render(int16_t* out, int frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!synth_) {
      std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
      return;
    }
    if (resetPending_) {
      fluid_synth_system_reset(synth_);
      resetPending_ = notesOffPending_ = false;
    }
    if (notesOffPending_) {
      for (int ch = 0; ch < 16; ++ch) fluid_synth_cc(synth_, ch, 64, 0);  // sustain pedal up
      fluid_synth_all_notes_off(synth_, -1);
      notesOffPending_ = false;
    }
    const bool eventsLeft = playing_ && midi_ && next_ < eventFrames_.size();
    // Once nothing sounds any more (reverb tail included), rendering would only make silence.
    if (!eventsLeft && fluid_synth_get_active_voice_count(synth_) == 0)
      quietFrames_ += frames;
    else
      quietFrames_ = 0;
    if (quietFrames_ > int64_t(rate_) * 2) {
      std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
      if (playing_) frame_ += frames;
      return;
    }
    int done = 0;
    while (done < frames) {
      int64_t n = frames - done;
      if (playing_ && midi_) {
        while (next_ < eventFrames_.size() && eventFrames_[next_] <= frame_) Send(midi_->events[next_++]);
        if (next_ < eventFrames_.size()) n = std::min(n, eventFrames_[next_] - frame_);
      }
      fluid_synth_write_s16(synth_, int(n), out, 2 * done, 2, out, 2 * done + 1, 2);
      if (playing_) frame_ += n;
      done += int(n);
    }
  }

 private:
  int64_t ToFrame(double us) const { return std::llround(us * rate_ / 1e6); }

  void Send(const MidiEvent& e) {
    const int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
      case 0x80: fluid_synth_noteoff(synth_, ch, e.data1); break;
      case 0x90:
        if (e.data2)
          fluid_synth_noteon(synth_, ch, e.data1, e.data2);
        else
          fluid_synth_noteoff(synth_, ch, e.data1);
        break;
      case 0xA0: fluid_synth_key_pressure(synth_, ch, e.data1, e.data2); break;
      case 0xB0: fluid_synth_cc(synth_, ch, e.data1, e.data2); break;
      case 0xC0: fluid_synth_program_change(synth_, ch, e.data1); break;
      case 0xD0: fluid_synth_channel_pressure(synth_, ch, e.data1); break;
      case 0xE0: fluid_synth_pitch_bend(synth_, ch, e.data1 | e.data2 << 7); break;
      case 0xF0:
        fluid_synth_sysex(synth_, reinterpret_cast<const char*>(midi_->sysex.data()) + e.sysexOffset,
                          int(e.sysexLength), nullptr, nullptr, nullptr, 0);
        break;
      default: break;
    }
  }

  fluid_synth_t* synth_ = nullptr;
  const int rate_;
  mutable std::mutex mutex_;
  std::shared_ptr<const MidiFile> midi_;
  std::vector<int64_t> eventFrames_;
  int64_t endFrame_ = 0;
  int64_t frame_ = 0;  // samples of the piece played
  size_t next_ = 0;    // the next event to send
  bool playing_ = false;
  bool resetPending_ = false, notesOffPending_ = false;
  int64_t quietFrames_ = 0;
  uint64_t ticket_ = 0;
};

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
      SilenceSynthLog();
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
      auto synth = std::make_unique<Synth>(rate_);
      if (LoadSoundFont(synth->synth) < 0) {
        load_ = Load::Failed;
        return;
      }
      synth_ = std::move(synth);
      sequencer_->Attach(synth_->synth);
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
  std::unique_ptr<Synth> synth_;  // the loader's until it has ended
  std::unique_ptr<Sequencer> sequencer_;
  enum class Load { Running, Done, Failed };
  std::atomic<Load> load_{Load::Running};
  std::thread loader_;
  std::array<int16_t, 2 * kScratchFrames> scratch_{};
};

}  // namespace

std::unique_ptr<AudioDevice> OpenSdlAudio() { return std::make_unique<SdlAudio>(); }

double MeasureSoundFontLoad() {
  Synth synth(kRate);
  return LoadSoundFont(synth.synth);
}

}  // namespace plat
