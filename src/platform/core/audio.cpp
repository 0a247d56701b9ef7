#include "platform/core/audio.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/core/files.h"
#include "platform/core/system.h"
#include "platform/core/midifile.h"

namespace plat {

StereoGain PanGain(int pan) {
  pan = std::clamp(pan, -10000, 10000);
  const double far = std::pow(10.0, -std::abs(pan) / 100.0 / 20.0);
  return pan < 0 ? StereoGain{1.0, far} : StereoGain{far, 1.0};
}

StereoLevel PanLevel(int pan) {
  const StereoGain g = PanGain(pan);
  return {uint8_t(std::lround(g.left * 255)), uint8_t(std::lround(g.right * 255))};
}

namespace {

class ClockMusic final : public MusicStream {
 public:
  ClockMusic(int lengthMs, std::function<uint32_t()> clock) : length_(lengthMs), clock_(std::move(clock)) {}

  void Play() override {
    const int at = Position();
    if (at >= length_) {
      base_ = 0;
    } else if (playing_) {
      return;
    } else {
      base_ = at;
    }
    start_ = clock_();
    playing_ = true;
  }

  void Stop() override {
    base_ = Position();
    playing_ = false;
  }

  int Position() const override {
    if (!playing_) return base_;
    const uint32_t elapsed = clock_() - start_;
    return int(std::min<int64_t>(length_, int64_t(base_) + elapsed));
  }

  bool Playing() const override { return playing_ && Position() < length_; }

 private:
  int length_;
  std::function<uint32_t()> clock_;
  bool playing_ = false;
  int base_ = 0;        // position when last started or stopped
  uint32_t start_ = 0;  // clock when last started
};

}  // namespace

std::unique_ptr<MusicStream> MakeClockMusic(int lengthMs, std::function<uint32_t()> clock) {
  return std::make_unique<ClockMusic>(lengthMs, std::move(clock));
}

std::unique_ptr<MusicStream> SilentAudio::OpenMusic(std::shared_ptr<const MidiFile> midi) {
  return MakeClockMusic(midi->LengthMs(), clock_);
}

std::vector<std::string> SoundFontCandidates() {
  std::vector<std::string> paths;
  if (const char* env = std::getenv("SDL_SOUNDFONTS")) paths = SplitPathList(env);
  paths.push_back(ProgramFolder() + "data/default-GM.sf2");
  for (std::string& p : SystemSoundFonts()) paths.push_back(std::move(p));
  return paths;
}

}  // namespace plat
