// The audio output below the wave list and the media player: effects with
// stereo pan and MIDI music, either mixed into a real output device or, in
// silence, only keeping time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct MidiFile;

// The loudness of both sides for a pan from -10000 (left only) to 10000
// (right only): the far side is attenuated by |pan| / 100 dB. Pans outside
// that range are limited to it.
struct StereoGain {
  double left, right;
};
StereoGain PanGain(int pan);
// The same as the mixer's levels of 0..255 per side.
struct StereoLevel {
  uint8_t left, right;
};
StereoLevel PanLevel(int pan);

// One open piece of music. Times are milliseconds from the start of the piece.
class MusicStream {
 public:
  virtual ~MusicStream() = default;
  // Starts or resumes; at the end of the piece starts again from its start;
  // while playing does nothing.
  virtual void Play() = 0;
  // Pauses: the position stays where it is.
  virtual void Stop() = 0;
  // Reaches the piece's length at its last event and stays there.
  virtual int Position() const = 0;
  // Started and not yet at the end.
  virtual bool Playing() const = 0;
};

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // Starts wave item `index` once from its start, over everything else that sounds.
  virtual void PlayWave(int index, int pan) = 0;
  // Effects sounding right now.
  virtual int SoundingEffects() const { return 0; }
  // Readies a piece to play from its start; throws std::runtime_error when
  // there is no MIDI device (no SoundFont).
  virtual std::unique_ptr<MusicStream> OpenMusic(std::shared_ptr<const MidiFile> midi) = 0;
};

// A piece that sounds nowhere but keeps time on a millisecond clock.
std::unique_ptr<MusicStream> MakeClockMusic(int lengthMs, std::function<uint32_t()> clock);

// No output at all: effects are dropped, music keeps time on the clock.
class SilentAudio final : public AudioDevice {
 public:
  explicit SilentAudio(std::function<uint32_t()> clock) : clock_(std::move(clock)) {}
  void PlayWave(int, int) override {}
  std::unique_ptr<MusicStream> OpenMusic(std::shared_ptr<const MidiFile> midi) override;

 private:
  std::function<uint32_t()> clock_;
};

// Where a General MIDI SoundFont is looked for, in this order: the paths in
// SDL_SOUNDFONTS (separated by the system's separator of path lists, or ';'),
// the game folder's data/, the system's standard places.
std::vector<std::string> SoundFontCandidates();

// The sound card through SDL_mixer, with the music of the system's own way:
// rendered by FluidSynth into the same output (it needs a SoundFont to be
// found), or on Windows played by its General MIDI synthesizer. Never fails:
// without an output device the effects are silent and the music keeps time on
// the system clock. Needs SDL's audio driver choice made beforehand.
std::unique_ptr<AudioDevice> OpenSdlAudio();

// Loads the SoundFont the music would use into a synthesizer of its own and
// returns the milliseconds it took, or -1 when none loads.
double MeasureSoundFontLoad();

}  // namespace plat
