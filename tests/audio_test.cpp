#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform/core/handover.h"
#include "platform/headless/harness_backend.h"
#include "platform/core/media.h"
#include "platform/core/midifile.h"
#include "platform/core/sequencer.h"
#include "support.h"
#include "tool1.h"

namespace fs = std::filesystem;

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

TEST(MidiFile, EveryMessageIsReadAtItsOwnLength) {
  // Each kind of channel message, then again in running status, a tick apart;
  // a system-exclusive message, an escaped packet and a text after them.
  const int kinds[] = {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6};
  auto oneByte = [](int status) { return status >= 0xC0 && status < 0xE0; };  // program, channel pressure
  std::vector<int> body;
  for (int status : kinds) {
    body.insert(body.end(), {0x01, status, 0x11});
    if (!oneByte(status)) body.push_back(0x22);
    body.insert(body.end(), {0x01, 0x33});
    if (!oneByte(status)) body.push_back(0x44);
  }
  body.insert(body.end(), {0x01, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x01, 0xF7, 0x02, 0x90, 0x40, 0x01, 0xFF, 0x01, 0x04,
                           'K', 'e', 'l', 'o', 0x01, 0xE0, 0x00, 0x40, 0x00, 0xFF, 0x2F, 0x00});
  // A longer header and a chunk of another kind before the track are passed over.
  std::string file = Midi(0, 1000, {body});
  file[7] = 8;
  file.insert(14, std::string("\0\0XTRA\0\0\0\x02zz", 12));
  const plat::MidiFile midi = plat::ParseMidi(file);
  ASSERT_EQ(midi.events.size(), 16u);
  for (size_t i = 0; i < 14; ++i) {
    SCOPED_TRACE(i);
    const int status = kinds[i / 2];
    const plat::MidiEvent& e = midi.events[i];
    EXPECT_EQ(e.status, status);
    EXPECT_EQ(e.data1, i % 2 ? 0x33 : 0x11);
    EXPECT_EQ(e.data2, oneByte(status) ? 0 : i % 2 ? 0x44 : 0x22);
    EXPECT_EQ(e.timeUs, 500.0 * double(i + 1));  // a tick is half a millisecond
  }
  EXPECT_EQ(midi.events[14].status, 0xF0);
  EXPECT_EQ(midi.events[14].timeUs, 500.0 * 15);
  ASSERT_EQ(midi.events[14].sysexLength, 2u);
  EXPECT_EQ(midi.sysex[midi.events[14].sysexOffset + 1], 0x7F);
  EXPECT_EQ(midi.events[15].status, 0xE0);
  EXPECT_EQ(midi.events[15].data2, 0x40);
  EXPECT_EQ(midi.events[15].timeUs, 500.0 * 18);
  EXPECT_EQ(midi.lengthUs, 500.0 * 18);
}

// The media player on the headless driver's silent sink and virtual clock.
TEST(MusicPlayer, KeepsTimeAndRewindsOnTheVirtualClock) {
  testing_support::GameFolder folder;
  const fs::path dir = folder.Path();
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
}

// Start-up without the menu music: the game asks to end without a message,
// and the rest of start-up still runs.
TEST(StartUp, MissingMenuMusicEndsTheGameSilently) {
  testing_support::GameFolder folder;
  folder.Remove("data/1.mid");
  const auto run = testing_support::RunHarness(folder,
                                               "expect gameState Main\n"
                                               "expect terminationRequested true\n"
                                               "expect events.0.op open\n"
                                               "expect events.0.failed true\n"
                                               "dump -\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("\"kind\":\"dialog\""), std::string::npos) << run.out;

  // With the file, the menu music plays from display start on the virtual clock.
  std::filesystem::copy_file(fs::path(KELO_GAME_DIR) / "data" / "1.mid", folder.File("data/1.mid"));
  const auto again = testing_support::RunHarness(
      folder, "expect music.open true\ntick 50\nexpect music.position 1000\nexpect music.playing true\n");
  EXPECT_EQ(again.status, 0) << again.err;
}

namespace {

// A synthesizer that notes what it is sent and when (in frames rendered so far).
class FakeSynth final : public plat::Synthesizer {
 public:
  struct Sent {
    int64_t frame;
    int status, key;
  };
  std::vector<Sent> sent;
  int resets = 0, notesOff = 0, voices = 0;
  int held = 0;  // notes started and not yet ended
  int64_t rendered = 0;

  void Send(const plat::MidiEvent& e, const plat::MidiFile&) override {
    sent.push_back({rendered, e.status, e.data1});
    const int kind = e.status & 0xF0;
    if (kind == 0x90 && e.data2) {
      ++voices;
      ++held;
    } else if ((kind == 0x80 || kind == 0x90) && held > 0) {
      --held;
    }
    if ((kind == 0x80 || (kind == 0x90 && !e.data2)) && voices > 0) --voices;
  }
  void Reset() override {
    ++resets;
    voices = 0;
  }
  void NotesOff() override {
    ++notesOff;
    voices = held = 0;
  }
  int ActiveVoices() override { return voices; }
  void Render(int16_t* out, int frames) override {
    std::fill(out, out + 2 * frames, int16_t(1000));
    rendered += frames;
  }
};

// Renders `frames` frames in uneven blocks, as an audio callback would.
int16_t RenderFor(plat::Sequencer& sequencer, int frames) {
  std::vector<int16_t> block(2 * 37);
  int16_t last = 0;
  for (int done = 0; done < frames; done += 37) {
    const int n = std::min(37, frames - done);
    sequencer.Render(block.data(), n);
    last = block[size_t(2 * n - 1)];
  }
  return last;
}

}  // namespace

// At 1000 frames a second a frame is a millisecond: every event comes on its
// own frame, and the position is the frames played.
TEST(Sequencer, PlaysEveryEventOnItsFrameAndCountsThePosition) {
  plat::Sequencer sequencer(1000);
  FakeSynth synth;
  const auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(TempoAcrossTracks()));
  const uint64_t piece = sequencer.Load(midi);
  sequencer.Play(piece);
  // No synthesizer yet (its SoundFont still loading): silence, and the piece waits at its start.
  EXPECT_EQ(RenderFor(sequencer, 300), 0);
  EXPECT_EQ(sequencer.Position(piece, 1500), 0);

  sequencer.Attach(&synth);
  RenderFor(sequencer, 1000);
  EXPECT_EQ(synth.resets, 1);
  EXPECT_EQ(sequencer.Position(piece, 1500), 1000);
  ASSERT_EQ(synth.sent.size(), 2u);
  EXPECT_EQ(synth.sent[0].frame, 0);
  EXPECT_EQ(synth.sent[1].frame, 500);

  sequencer.Stop(piece);
  RenderFor(sequencer, 400);
  EXPECT_EQ(synth.notesOff, 1);
  EXPECT_EQ(sequencer.Position(piece, 1500), 1000);  // paused
  EXPECT_FALSE(sequencer.Playing(piece));

  sequencer.Play(piece);
  RenderFor(sequencer, 499);
  EXPECT_EQ(sequencer.Position(piece, 1500), 1499);
  EXPECT_TRUE(sequencer.Playing(piece));
  RenderFor(sequencer, 1);
  EXPECT_EQ(sequencer.Position(piece, 1500), 1500);  // the end, only at the last event
  EXPECT_FALSE(sequencer.Playing(piece));
  ASSERT_EQ(synth.sent.size(), 4u);
  EXPECT_EQ(synth.sent[2].frame, 1250 + 400);  // 400 frames rendered while paused
  EXPECT_EQ(synth.sent[3].key, 64);

  sequencer.Play(piece);  // at the end: from the start, its first event at once
  EXPECT_EQ(sequencer.Position(piece, 1500), 0);
  RenderFor(sequencer, 10);
  EXPECT_EQ(synth.sent.size(), 5u);
  EXPECT_EQ(synth.resets, 1);  // the loop rings on into its start

  // A piece loaded over it takes the sequencer: the old one's calls do nothing.
  const uint64_t next = sequencer.Load(std::make_shared<const plat::MidiFile>(plat::ParseMidi(ShortTune())));
  sequencer.Play(piece);
  EXPECT_FALSE(sequencer.Playing(next));
  EXPECT_EQ(sequencer.Position(piece, 1500), 0);
}

// The tune's notes end on its last frame. However the audio blocks fall on
// that frame, every note has ended when the game starts the tune again.
TEST(Sequencer, EndsEveryNoteBeforeThePieceLoopsWhereverTheBlocksFall) {
  const auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(ShortTune()));
  std::vector<int16_t> out(2 * 64);
  for (int block = 1; block <= 48; ++block) {
    for (int lead = 0; lead < block; ++lead) {  // the piece's end falls on every frame of a block
      plat::Sequencer sequencer(1000);
      FakeSynth synth;
      sequencer.Attach(&synth);
      const uint64_t piece = sequencer.Load(midi);
      sequencer.Play(piece);
      sequencer.Render(out.data(), lead);
      for (int loops = 0; loops < 3;) {
        sequencer.Render(out.data(), block);
        if (sequencer.Playing(piece)) continue;
        ASSERT_EQ(synth.held, 0) << "blocks of " << block << " frames, " << lead << " before the first";
        sequencer.Play(piece);
        ++loops;
      }
      EXPECT_EQ(synth.notesOff, 0);
      EXPECT_EQ(synth.sent.size(), 3 * 7u);  // a program, three notes and their ends, three times
    }
  }
}

TEST(Sequencer, GoesQuietOnceNothingSoundsAndKeepsCraftedTimesInRange) {
  plat::Sequencer sequencer(1000);
  FakeSynth synth;
  sequencer.Attach(&synth);
  const uint64_t piece = sequencer.Load(std::make_shared<const plat::MidiFile>(plat::ParseMidi(ShortTune())));
  sequencer.Play(piece);
  RenderFor(sequencer, 400);
  EXPECT_EQ(sequencer.Position(piece, 400), 400);
  synth.voices = 0;  // every note has rung out
  RenderFor(sequencer, 2100);
  const int64_t before = synth.rendered;
  EXPECT_EQ(RenderFor(sequencer, 100), 0);  // silence without asking the synthesizer
  EXPECT_EQ(synth.rendered, before);

  // Times far beyond any piece stay in range: no overflow, the event never comes.
  EXPECT_EQ(sequencer.ToFrame(1e300), sequencer.ToFrame(1e30));
  EXPECT_GT(sequencer.ToFrame(1e30), int64_t(1) << 60);
  EXPECT_EQ(sequencer.ToFrame(-1), 0);
  EXPECT_EQ(sequencer.ToFrame(2500.4), 3);
  plat::MidiFile crafted = plat::ParseMidi(ShortTune());
  crafted.events.back().timeUs = 1e300;
  crafted.lengthUs = 1e300;
  const uint64_t odd = sequencer.Load(std::make_shared<const plat::MidiFile>(crafted));
  sequencer.Play(odd);
  RenderFor(sequencer, 1000);
  EXPECT_TRUE(sequencer.Playing(odd));
  EXPECT_EQ(sequencer.Position(odd, 1000), 999);
}

namespace {

// One tick a millisecond: a controller at 0, a note from 100 to 300, and the
// track's end at 5000, long after the note has rung out.
std::string LongTail() {
  return Midi(0, 500, {{0x00, 0xB0, 7, 90, 0x64, 0x90, 60, 100, 0x81, 0x48, 0x80, 60, 0, 0xA4, 0x5C, 0xFF, 0x2F, 0x00}});
}

}  // namespace

// What is heard over time: a piece cued exactly onto a note plays that note,
// and a piece that has gone quiet still runs on to its end and starts again.
TEST(Sequencer, ACueOnANotePlaysItAndASilentTailRunsToTheEndAndLoops) {
  const auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(LongTail()));
  plat::Sequencer sequencer(1000);
  FakeSynth synth;
  sequencer.Attach(&synth);
  for (int cue : {100, 101}) {
    SCOPED_TRACE(cue);
    synth.sent.clear();
    const uint64_t piece = sequencer.Load(midi);
    sequencer.Cue(piece, cue);
    sequencer.Play(piece);
    RenderFor(sequencer, 1);
    ASSERT_EQ(synth.sent.size(), cue == 100 ? 2u : 1u);  // the controller set up, the note only on its frame
    EXPECT_EQ(synth.sent[0].status, 0xB0);
    if (cue == 100) {
      EXPECT_EQ(synth.sent[1].status, 0x90);
    }
  }

  // At the sound card's rate, music handed over on the clock exactly when the
  // note is due plays it too.
  plat::Sequencer card(44100);
  FakeSynth cardSynth;
  card.Attach(&cardSynth);
  uint32_t clock = 0;
  plat::HandoverMusic music(midi, [&] { return clock; }, nullptr);
  music.Play();
  clock = 100;
  music.MoveTo(card);
  RenderFor(card, 1);
  ASSERT_EQ(cardSynth.sent.size(), 2u);
  EXPECT_EQ(cardSynth.sent[1].status, 0x90);

  // From the start: the note ends at 300, the tail is silence, the position runs on.
  const uint64_t piece = sequencer.Load(midi);
  sequencer.Play(piece);
  synth.sent.clear();
  RenderFor(sequencer, 4999);
  EXPECT_EQ(sequencer.Position(piece, 5000), 4999);
  EXPECT_TRUE(sequencer.Playing(piece));
  RenderFor(sequencer, 1);
  EXPECT_EQ(sequencer.Position(piece, 5000), 5000);
  EXPECT_FALSE(sequencer.Playing(piece));
  RenderFor(sequencer, 500);
  EXPECT_EQ(sequencer.Position(piece, 5000), 5000);
  ASSERT_EQ(synth.sent.size(), 3u);
  EXPECT_EQ(synth.sent[2].frame - synth.sent[1].frame, 200);

  // Played again at its end, as the level does: everything from the start on its frames.
  sequencer.Play(piece);
  synth.sent.clear();
  const int64_t start = synth.rendered;
  RenderFor(sequencer, 301);
  ASSERT_EQ(synth.sent.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(synth.sent[i].frame - start, int64_t(i == 0 ? 0 : 100 + 200 * (i - 1))) << i;
  EXPECT_EQ(sequencer.Position(piece, 5000), 301);
}

namespace {

// One tick a millisecond: a program and a note at 0, a controller at 200, the
// note off at 400, another note from 600 to its end at 1000.
std::string TuneWithController() {
  return Midi(0, 500,
              {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 5, 0x00, 0x90, 60, 100, 0x81, 0x48, 0xB0, 7, 80,
                0x81, 0x48, 0x80, 60, 0, 0x81, 0x48, 0x90, 62, 100, 0x83, 0x10, 0x80, 62, 0, 0x00, 0xFF, 0x2F, 0x00}});
}

}  // namespace

// A piece that had to wait for its output (a page's sound comes with the
// first click) keeps time on the clock, then goes on in the sequencer from
// there: the channels set up as they would be, the notes from that point on.
TEST(Handover, MusicGoesOnFromTheClocksPositionOnceItCanSound) {
  const auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(TuneWithController()));
  uint32_t clock = 0;
  int closed = 0;
  plat::Sequencer sequencer(1000);
  FakeSynth synth;
  sequencer.Attach(&synth);
  {
    plat::HandoverMusic music(midi, [&] { return clock; }, [&](plat::HandoverMusic*) { ++closed; });
    music.Play();
    clock = 500;
    EXPECT_EQ(music.Position(), 500);
    music.MoveTo(sequencer);
    EXPECT_TRUE(music.Sounding());
    EXPECT_EQ(music.Position(), 500);
    EXPECT_TRUE(music.Playing());
    clock = 5000;  // the clock no longer counts
    RenderFor(sequencer, 200);
    EXPECT_EQ(music.Position(), 700);
    ASSERT_EQ(synth.sent.size(), 3u);
    EXPECT_EQ(synth.sent[0].status, 0xC0);  // the program and the controller, at once
    EXPECT_EQ(synth.sent[1].status, 0xB0);
    EXPECT_EQ(synth.sent[1].frame, 0);
    EXPECT_EQ(synth.sent[2].status, 0x90);  // the note due at 600, no earlier one
    EXPECT_EQ(synth.sent[2].key, 62);
    EXPECT_EQ(synth.sent[2].frame, 100);
  }
  EXPECT_EQ(closed, 1);

  // Paused, it stays paused; at its end, it stays there until played again.
  clock = 0;
  plat::HandoverMusic paused(midi, [&] { return clock; }, nullptr);
  paused.Play();
  clock = 300;
  paused.Stop();
  clock = 900;
  paused.MoveTo(sequencer);
  EXPECT_EQ(paused.Position(), 300);
  EXPECT_FALSE(paused.Playing());
  RenderFor(sequencer, 100);
  EXPECT_EQ(paused.Position(), 300);

  plat::HandoverMusic ended(midi, [&] { return clock; }, nullptr);
  ended.Play();
  clock += 2000;
  ended.MoveTo(sequencer);
  EXPECT_EQ(ended.Position(), 1000);
  EXPECT_FALSE(ended.Playing());
  ended.Play();
  EXPECT_EQ(ended.Position(), 0);
  EXPECT_TRUE(ended.Playing());
}

// The page's audio worklet renders the music: the game's commands reach it
// later, and what it reports back may be older than the last of them.
TEST(Handover, MusicInARemoteSequencerGoesOnAsTheRendererReportsIt) {
  const auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(TuneWithController()));
  // The far side, as music_worklet.cpp: carries the commands out in order and reports.
  struct Far {
    plat::Sequencer sequencer{1000};
    FakeSynth synth;
    std::vector<plat::RemoteSequencer::Command> waiting;
    uint64_t ticket = 0;
    std::shared_ptr<const plat::MidiFile> piece;
    void Apply(plat::RemoteSequencer& near) {
      for (const auto& c : waiting) {
        switch (c.kind) {
          case plat::RemoteSequencer::kLoad:
            piece = std::make_shared<const plat::MidiFile>(*c.midi);
            ticket = sequencer.Load(piece);
            break;
          case plat::RemoteSequencer::kUnload: sequencer.Unload(c.ticket); break;
          case plat::RemoteSequencer::kPlay: sequencer.Play(c.ticket); break;
          case plat::RemoteSequencer::kStop: sequencer.Stop(c.ticket); break;
          case plat::RemoteSequencer::kCue: sequencer.Cue(c.ticket, c.frame); break;
        }
      }
      waiting.clear();
      Report(near);
    }
    void Report(plat::RemoteSequencer& near) {
      near.Report(ticket, sequencer.Position(ticket, piece->LengthMs()), sequencer.Playing(ticket));
    }
  } far;
  far.sequencer.Attach(&far.synth);
  plat::RemoteSequencer near(1000, [&](const plat::RemoteSequencer::Command& c) { far.waiting.push_back(c); });

  uint32_t clock = 0;
  plat::HandoverMusic music(midi, [&] { return clock; }, nullptr);
  music.Play();
  clock = 500;
  music.MoveTo(near);
  EXPECT_EQ(music.Position(), 0);  // loaded, nothing heard of it yet
  EXPECT_FALSE(music.Playing());
  far.Apply(near);
  EXPECT_EQ(music.Position(), 500);
  EXPECT_TRUE(music.Playing());

  // At its end the game starts it again, and again while the worklet has not answered.
  RenderFor(far.sequencer, 600);
  far.Report(near);
  EXPECT_EQ(music.Position(), 1000);
  EXPECT_FALSE(music.Playing());
  music.Play();
  RenderFor(far.sequencer, 100);  // still at its end: nothing plays before the command arrives
  far.Report(near);
  EXPECT_EQ(music.Position(), 1000);
  music.Play();
  far.Apply(near);
  RenderFor(far.sequencer, 50);
  far.Report(near);
  EXPECT_EQ(music.Position(), 50);  // started once, not twice
  EXPECT_TRUE(music.Playing());
  music.Stop();
  far.Apply(near);
  EXPECT_FALSE(music.Playing());
}
