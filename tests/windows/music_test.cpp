// The music on Windows: the system's MIDI synthesizer fed by the game's
// sequencer where an output opens, its clock alone where none does (as under
// Wine without sound hardware). Either way a piece plays, keeps its position
// while stopped, and goes on from there; and the game never waits for the
// device, however slow it is.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>

#include "platform/core/files.h"
#include "platform/core/midifile.h"
#include "platform/sdl/music.h"
#include "platform/windows/midi_out.h"

namespace {

std::shared_ptr<const plat::MidiFile> MenuMusic() {
  return std::make_shared<const plat::MidiFile>(plat::ParseMidi(plat::ReadWholeFile(KELO_GAME_DIR "/data/1.mid")));
}

// Plays, pauses and goes on; the position keeps to the clock.
void PlayPauseAndGoOn(plat::MusicStream& music, int lengthMs) {
  music.Play();
  EXPECT_TRUE(music.Playing());
  Sleep(300);
  const int played = music.Position();
  EXPECT_GT(played, 0);
  music.Stop();
  const int stopped = music.Position();
  EXPECT_GE(stopped, played);
  EXPECT_FALSE(music.Playing());
  Sleep(100);
  EXPECT_EQ(music.Position(), stopped);
  music.Play();
  Sleep(100);
  EXPECT_GT(music.Position(), stopped);
  EXPECT_LT(music.Position(), lengthMs);
}

// A device that does not return from its first message until the test lets
// it (or ten seconds have passed).
class StuckPort final : public plat::MidiPort {
 public:
  ~StuckPort() override {
    CloseHandle(entered);
    CloseHandle(letGo);
  }
  void SendShort(uint32_t) override {
    if (first.exchange(false)) {
      SetEvent(entered);
      WaitForSingleObject(letGo, 10000);
    }
    ++returned;
  }
  bool SendLong(const std::vector<uint8_t>&) override { return false; }
  bool LongsDone() override { return true; }

  HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> first{true};
  std::atomic<int> returned{0};
};

}  // namespace

TEST(WindowsMusic, APiecePlaysPausesAndGoesOnWithOrWithoutAMidiOutput) {
  const auto midi = MenuMusic();
  auto output = plat::OpenMusicOutput(plat::MixerFormat{});
  std::unique_ptr<plat::MusicStream> music = output->Open(midi);
  EXPECT_EQ(music->Position(), 0);
  EXPECT_FALSE(music->Playing());
  PlayPauseAndGoOn(*music, midi->LengthMs());
}

TEST(WindowsMusic, TheGameNeverWaitsForTheMidiDevice) {
  const auto midi = MenuMusic();
  auto owned = std::make_unique<StuckPort>();
  StuckPort& port = *owned;
  auto output = plat::MakeMidiOutMusic(std::move(owned));
  std::unique_ptr<plat::MusicStream> music = output->Open(midi);
  music->Play();
  ASSERT_EQ(WaitForSingleObject(port.entered, 10000), WAIT_OBJECT_0);
  // The clock thread is in the device; every call of the game returns meanwhile.
  music->Position();
  music->Stop();
  music->Playing();
  music->Play();
  music = output->Open(midi);
  EXPECT_EQ(port.returned, 0) << "the game waited for the device";
  SetEvent(port.letGo);

  // Then the piece plays on the device's clock, which sleeps while it is stopped.
  PlayPauseAndGoOn(*music, midi->LengthMs());
}
