// The music on Windows: the system's MIDI synthesizer fed by the game's
// sequencer where an output opens, its clock alone where none does (as under
// Wine without sound hardware). Either way a piece plays, keeps its position
// while stopped, and goes on from there.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "platform/core/files.h"
#include "platform/core/midifile.h"
#include "platform/sdl/music.h"

TEST(WindowsMusic, APiecePlaysPausesAndGoesOnWithOrWithoutAMidiOutput) {
  auto midi = std::make_shared<const plat::MidiFile>(
      plat::ParseMidi(plat::ReadWholeFile(KELO_GAME_DIR "/data/1.mid")));
  auto output = plat::OpenMusicOutput(plat::MixerFormat{});
  std::unique_ptr<plat::MusicStream> music = output->Open(midi);
  EXPECT_EQ(music->Position(), 0);
  EXPECT_FALSE(music->Playing());
  music->Play();
  EXPECT_TRUE(music->Playing());
  Sleep(300);
  const int played = music->Position();
  EXPECT_GT(played, 0);
  music->Stop();
  const int stopped = music->Position();
  EXPECT_GE(stopped, played);
  EXPECT_FALSE(music->Playing());
  Sleep(100);
  EXPECT_EQ(music->Position(), stopped);
  music->Play();
  Sleep(100);
  EXPECT_GT(music->Position(), stopped);
  EXPECT_LT(music->Position(), midi->LengthMs());
}
