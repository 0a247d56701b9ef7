// The sound card through SDL_mixer, and the music rendered by FluidSynth.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "platform/sdl/fluid.h"

namespace {

std::shared_ptr<const plat::MidiFile> MenuMusic() {
  return std::make_shared<const plat::MidiFile>(plat::ParseMidi(plat::ReadWholeFile(KELO_GAME_DIR "/data/1.mid")));
}

}  // namespace

TEST(SoundCard, OverlappingEffectsAllSound) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::unique_ptr<plat::AudioDevice> audio = plat::OpenSdlAudio();
  // More copies than the mixer has channels at first: every one sounds from its start.
  for (int i = 0; i < 10; ++i) audio->PlayWave(0, i % 2 ? -10000 : 7000);
  EXPECT_EQ(audio->SoundingEffects(), 10);
  audio->PlayWave(1, 0);
  EXPECT_EQ(audio->SoundingEffects(), 11);
}

// Without an output device: effects are dropped, music keeps real time.
TEST(SoundCard, WithoutADeviceTheMusicStillKeepsTime) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  plat::SetProgramFolder(KELO_GAME_DIR);
  std::unique_ptr<plat::AudioDevice> audio = plat::OpenSdlAudio();
  audio->PlayWave(0, 0);
  EXPECT_EQ(audio->SoundingEffects(), 0);
  const auto midi = MenuMusic();
  std::unique_ptr<plat::MusicStream> music = audio->OpenMusic(midi);
  const auto start = std::chrono::steady_clock::now();
  music->Play();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(music->Position(), 59);
  EXPECT_LE(music->Position(), std::max<int64_t>(waited.count() + 1, 61));
  EXPECT_TRUE(music->Playing());
  plat::SetProgramFolder("");
}

// FluidSynth with the game's SoundFont makes the menu music audible, driven
// by the sequencer alone (no audio device, no clock).
TEST(SoundCard, TheSynthesizerMakesTheMusicSound) {
  plat::SetProgramFolder(KELO_GAME_DIR);  // its data/ holds the SoundFont
  plat::FluidSynth synth(44100);
  ASSERT_GE(synth.LoadSoundFont(), 0);
  plat::Sequencer sequencer(44100);
  sequencer.Attach(&synth);
  const uint64_t piece = sequencer.Load(MenuMusic());
  sequencer.Play(piece);
  std::vector<int16_t> block(2 * 1024);
  int peak = 0;
  for (int i = 0; i < 44100 * 3 / 1024; ++i) {
    sequencer.Render(block.data(), 1024);
    for (int16_t s : block) peak = std::max(peak, std::abs(int(s)));
  }
  EXPECT_GT(peak, 1000);
  EXPECT_EQ(sequencer.Position(piece, 100000), 44100 * 3 / 1024 * 1024 * 1000 / 44100);
  plat::SetProgramFolder("");
}
