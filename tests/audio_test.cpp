#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/files.h"
#include "platform/harness_backend.h"
#include "platform/media.h"
#include "platform/midifile.h"
#include "tool1.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Builds a standard MIDI file from raw track bodies (delta times included).
std::string Midi(int format, int division, const std::vector<std::vector<int>>& tracks) {
  std::string out = "MThd";
  auto put = [&out](uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += char(v >> (8 * i));
  };
  put(6, 4);
  put(uint32_t(format), 2);
  put(uint32_t(tracks.size()), 2);
  put(uint32_t(division), 2);
  for (const std::vector<int>& body : tracks) {
    out += "MTrk";
    put(uint32_t(body.size()), 4);
    for (int b : body) out += char(b);
  }
  return out;
}

fs::path TempDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("kelo-audio-" + std::to_string(getpid()) + "-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

// 480 ticks a quarter. Track 0: 120 bpm; track 1 (not the first!): 240 bpm
// from tick 960; track 2: a running-status note pair, a note at 1440, and an
// end-of-track mark 480 ticks after its last note.
std::string TempoAcrossTracks() {
  return Midi(1, 480,
              {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00},
               {0x87, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90, 0x00, 0xFF, 0x2F, 0x00},
               {0x00, 0x90, 60, 100,  // note on at 0
                0x83, 0x60, 60, 0,    // running status: off at 480
                0x87, 0x40, 0x90, 64, 90, 0x00, 0x80, 64, 0,  // on and off at 1440
                0x83, 0x60, 0xFF, 0x2F, 0x00}});
}

// Three notes of 400 ms at 120 bpm (480 ticks a quarter: 384 ticks).
std::string ShortTune() {
  return Midi(0, 480,
              {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0, 0x00, 0x90, 60, 110, 0x00, 64, 110, 0x00, 67,
                110, 0x83, 0x00, 0x80, 60, 0, 0x00, 64, 0, 0x00, 67, 0, 0x00, 0xFF, 0x2F, 0x00}});
}

}  // namespace

TEST(EffectPan, ScreenPositionsGiveTheirPansAndSides) {
  struct Case {
    int x, pan, left, right;
  };
  // Left edge: left only; middle: both alike; right edge: right only; off the
  // screen the pan goes beyond the range and is limited. x = -1 shows the
  // truncation towards zero.
  for (const Case c : {Case{0, -10000, 255, 0}, Case{320, 0, 255, 255}, Case{640, 10000, 0, 255},
                       Case{-100, -13125, 255, 0}, Case{800, 15000, 0, 255}, Case{1, -9969, 255, 0},
                       Case{-1, -10031, 255, 0}}) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(PanOf(c.x), c.pan);
    const plat::StereoLevel level = plat::PanLevel(PanOf(c.x));
    EXPECT_EQ(level.left, c.left);
    EXPECT_EQ(level.right, c.right);
  }
  // |Pan| / 100 dB on the far side only.
  EXPECT_NEAR(plat::PanGain(2000).left, 0.1, 1e-9);
  EXPECT_EQ(plat::PanGain(2000).right, 1.0);
  EXPECT_NEAR(plat::PanGain(-600).right, 0.501187, 1e-6);
  EXPECT_EQ(plat::PanGain(-600).left, 1.0);
  EXPECT_EQ(plat::PanLevel(-2000).right, 26);
}

TEST(MidiFile, TempoChangesInAnyTrackShapeTheTimes) {
  const plat::MidiFile midi = plat::ParseMidi(TempoAcrossTracks());
  // 960 ticks at 500000 us a quarter, then 480 at 250000 to the note, 480 more to the end mark.
  ASSERT_EQ(midi.events.size(), 4u);
  EXPECT_DOUBLE_EQ(midi.events[1].timeUs, 500000);
  EXPECT_EQ(midi.events[1].status, 0x90);
  EXPECT_EQ(midi.events[1].data2, 0);
  EXPECT_DOUBLE_EQ(midi.events[2].timeUs, 1250000);
  EXPECT_EQ(midi.events[2].data1, 64);
  EXPECT_DOUBLE_EQ(midi.lengthUs, 1500000);
  EXPECT_EQ(midi.LengthMs(), 1500);

  // Frames per second instead of ticks per quarter: 25 fps x 40 ticks.
  const plat::MidiFile smpte =
      plat::ParseMidi(Midi(0, 0xE728, {{0x00, 0x90, 60, 100, 0x81, 0x7A, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}}));
  EXPECT_DOUBLE_EQ(smpte.lengthUs, 250000);  // 250 ticks

  // Times are ticks x tempo over the division rounded once, to the nearest
  // double: the same on every machine. 7 ticks a quarter at 333333 us.
  const plat::MidiFile seventh = plat::ParseMidi(Midi(
      0, 7, {{0x00, 0xFF, 0x51, 0x03, 0x05, 0x16, 0x15, 0x01, 0x90, 60, 100, 0x02, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}}));
  ASSERT_EQ(seventh.events.size(), 2u);
  EXPECT_EQ(seventh.events[0].timeUs, 333333.0 / 7);
  EXPECT_EQ(seventh.events[1].timeUs, 3 * 333333.0 / 7);
  const plat::MidiFile thirty =  // 30 frames of 7 ticks a second
      plat::ParseMidi(Midi(0, 0xE207, {{0x01, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}}));
  EXPECT_EQ(thirty.lengthUs, 1e6 / 210);

  // The slowest tempo, one tick a quarter and the longest pause: far beyond
  // the range of a length, which stays the largest instead of turning negative.
  const plat::MidiFile endless = plat::ParseMidi(
      Midi(0, 1, {{0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00}}));
  EXPECT_EQ(endless.LengthMs(), INT_MAX);

  const std::string good = ShortTune();
  for (const std::string& bad : {std::string(), std::string("RIFF") + good.substr(4), good.substr(0, good.size() - 5),
                                 Midi(2, 480, {{0x00, 0xFF, 0x2F, 0x00}}),
                                 Midi(0, 480, {{0x00, 60, 100, 0x00, 0xFF, 0x2F, 0x00}})}) {
    EXPECT_THROW(plat::ParseMidi(bad), plat::EMidiFormat);
  }
}

// The media player on the headless driver's silent sink and virtual clock.
TEST(MusicPlayer, KeepsTimeAndRewindsOnTheVirtualClock) {
  const fs::path dir = TempDir("player");
  plat::HarnessBackend backend(0);
  Application.Initialize(&backend);
  TMediaPlayer player;

  player.FileName = WriteFile(dir / "tune.mid", TempoAcrossTracks());
  player.Open();
  EXPECT_EQ(player.Length(), 1500);
  EXPECT_EQ(player.Position(), 0);
  EXPECT_FALSE(player.IsPlaying());
  player.Play();
  backend.clockMs += 1000;
  EXPECT_EQ(player.Position(), 1000);
  player.Stop();
  backend.clockMs += 300;
  EXPECT_EQ(player.Position(), 1000);  // paused
  player.Play();
  backend.clockMs += 200;
  player.Play();  // while playing: goes on
  backend.clockMs += 299;
  EXPECT_EQ(player.Position(), 1499);
  EXPECT_TRUE(player.IsPlaying());
  backend.clockMs += 1;
  EXPECT_EQ(player.Position(), player.Length());
  EXPECT_FALSE(player.IsPlaying());
  backend.clockMs += 500;
  EXPECT_EQ(player.Position(), 1500);
  player.Play();  // at the end: from the start
  EXPECT_EQ(player.Position(), 0);
  backend.clockMs += 20;
  EXPECT_EQ(player.Position(), 20);
  player.Close();
  EXPECT_FALSE(player.IsOpen());
  EXPECT_THROW(player.Play(), EMCIDeviceError);

  // A missing file and one that is not MIDI fail the same way, and are recorded.
  player.FileName = (dir / "missing.mid").string();
  EXPECT_THROW(player.Open(), EMCIDeviceError);
  player.FileName = WriteFile(dir / "broken.mid", ShortTune().substr(0, 14));  // a header without its track
  EXPECT_THROW(player.Open(), EMCIDeviceError);
  EXPECT_FALSE(player.IsOpen());

  std::vector<std::string> ops;
  for (const auto& r : backend.records) ops.push_back(r.what.op + (r.what.failed ? "!" : ""));
  EXPECT_EQ(ops, (std::vector<std::string>{"open", "play", "stop", "play", "play", "play", "close", "play!", "open!",
                                           "open!"}));
  EXPECT_EQ(backend.records.back().what.file, player.FileName);
  Application.Initialize(nullptr);
  fs::remove_all(dir);
}

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
  std::unique_ptr<plat::MusicStream> music =
      audio->OpenMusic(std::make_shared<const plat::MidiFile>(plat::ParseMidi(ShortTune())));
  music->Play();
  std::this_thread::sleep_for(100ms);
  EXPECT_GE(music->Position(), 100);
  EXPECT_LT(music->Position(), 400);
}

// The synthesizer renders into the output (the disk driver writes it to a
// file in real time) and the position counts what it rendered.
TEST(SoundCard, MusicPositionFollowsTheRenderedPiece) {
  const fs::path dir = TempDir("card");
  const std::string raw = (dir / "out.raw").string();
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  plat::SetProgramFolder(KELO_GAME_DIR);  // its data/ holds the SoundFont
  std::unique_ptr<plat::AudioDevice> audio = plat::OpenSdlAudio();
  auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(ShortTune()));
  ASSERT_EQ(midi->LengthMs(), 400);
  std::unique_ptr<plat::MusicStream> music = audio->OpenMusic(midi);

  // The SoundFont loads beside the start: the piece waits at its start until it is there.
  music->Play();
  const auto asked = std::chrono::steady_clock::now();
  while (music->Position() == 0 && std::chrono::steady_clock::now() - asked < 10s) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(200ms);
  music->Stop();
  const int stopped = music->Position();
  EXPECT_GT(stopped, 50);
  EXPECT_LT(stopped, 400);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(music->Position(), stopped);
  EXPECT_FALSE(music->Playing());

  const auto resumed = std::chrono::steady_clock::now();
  music->Play();
  while (music->Position() < 400 && std::chrono::steady_clock::now() - resumed < 3s)
    std::this_thread::sleep_for(5ms);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - resumed);
  EXPECT_EQ(music->Position(), 400);
  EXPECT_FALSE(music->Playing());
  EXPECT_GE(took.count(), (400 - stopped) - 60);  // no jump to the end
  EXPECT_LE(took.count(), (400 - stopped) + 600);

  music->Play();  // from the start
  EXPECT_LT(music->Position(), 50);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(music->Playing());
  music.reset();
  audio.reset();

  std::ifstream in(raw, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int peak = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    peak = std::max(peak, std::abs(int(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8))));
  EXPECT_GT(peak, 1000) << "the music did not reach the output";
  fs::remove_all(dir);
}

// Start-up without the menu music: the game asks to end without a message,
// and the rest of start-up still runs.
TEST(StartUp, MissingMenuMusicEndsTheGameSilently) {
  const fs::path dir = TempDir("startup");
  const fs::path game = dir / "game";
  fs::copy(KELO_GAME_DIR, game, fs::copy_options::recursive);
  fs::remove(game / "data" / "1.mid");
  const std::string script = WriteFile(dir / "script",
                                       "expect gameState Main\n"
                                       "expect terminationRequested true\n"
                                       "expect events.0.op open\n"
                                       "expect events.0.failed true\n"
                                       "dump " + (dir / "dump.json").string() + "\n");
  const std::string command = std::string(KELO_HARNESS) + " --folder " + game.string() + " " + script;
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(dir / "dump.json");
  std::stringstream dump;
  dump << in.rdbuf();
  EXPECT_EQ(dump.str().find("\"kind\":\"dialog\""), std::string::npos) << dump.str();

  // With the file, the menu music plays from display start on the virtual clock.
  fs::copy_file(fs::path(KELO_GAME_DIR) / "data" / "1.mid", game / "data" / "1.mid");
  WriteFile(dir / "script", "expect music.open true\ntick 50\nexpect music.position 1000\nexpect music.playing true\n");
  EXPECT_EQ(std::system(command.c_str()), 0);
  fs::remove_all(dir);
}
