// Replays: a level plays again tick for tick from its file, the file is read
// strictly, an edited replay is refused, the entries' replays follow their
// entries, and watching one saves nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>

#include "driven_backend.h"
#include "extras.h"
#include "game_fixture.h"
#include "huhn.h"
#include "platform/core/keys.h"
#include "replay.h"
#include "replay_codec.h"
#include "tool1.h"
#include "verify/verify.h"

namespace fs = std::filesystem;
using replay::Replay;
using replay::ReplayError;

namespace {

// The one line a refused replay is told with.
std::string Refusal(std::string_view bytes) {
  try {
    replay::Decode(bytes);
  } catch (const ReplayError& e) {
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << e.what();
    return e.what();
  }
  return "";
}

class Replays : public GameTest {
 protected:
  void SetUp() override {
    replay::OnRecorded([this](const Replay& r) { recorded = r; });
  }
  void TearDown() override {
    replay::OnRecorded(nullptr);
    replay::KeepReplays(false);
    GameTest::TearDown();
  }

  // Plays a level of `difficulty` with something of everything a player
  // does: the pointer always on the move, shots at the chickens, the pause,
  // F9 and F10, the focus lost and back; bonus objects come from the level
  // before. Notes the state after every tick.
  void PlayLevel(int difficulty, bool toTheEnd) {
    StartGame();
    replay::KeepReplays(true);
    Press(400, 178);
    Press(400, 178 + 26 * (difficulty - 1));
    backend->QueueText("Zu\xC3\xBC" "chter");
    // A plane and the extra run were still under way when the last level
    // ended, and it was one of "Schwer".
    planeActive = extraActive = 1;
    speedDivisor = kSchwerSpeed;
    Key(VK_RETURN);
    for (int n = 0; n < 100000 && !recordedAny(); ++n) {
      const TForm1& f = *Form1;
      backend->QueueMove(320 + int(200 * std::sin(n / 37.0)), 240 + int(150 * std::cos(n / 23.0)));
      for (int i = 1; i <= 3 && n % 3 == 0; ++i) {
        const int x = f.huhnTable[i].X + 15, y = f.huhnTable[i].Y + 16;
        const bool hidden = (x >= 491 && y >= 261) || (x <= 112 && y >= 291);
        if (f.huhnTable[i].State == "Normal" && !hidden) backend->QueuePress(x, y, n % 2);
      }
      if (n == 300) backend->QueueKey(VK_F9), backend->QueueKey(VK_F10);
      if (n == 500 || n == 540) backend->QueueKey(VK_ESCAPE);
      if (n == 700 || n == 760) {
        plat::Event focus;
        focus.kind = n == 700 ? plat::EventKind::Deactivate : plat::EventKind::Activate;
        backend->pending.push_back(focus);
      }
      if (!toTheEnd && n == 900) backend->QueueKey(VK_ESCAPE), backend->QueueKey(VK_F4);
      const uint64_t before = Form1->DXTimer1.TicksBegun;
      Tick();
      // The tick after F4 belongs to the main menu.
      const bool level = !recordedAny() || recorded.claim.end == replay::End::Finished;
      if (Form1->DXTimer1.TicksBegun != before && level) states.push_back(replay::StateDigest());
    }
    ASSERT_TRUE(recordedAny());
    EXPECT_EQ(recorded.claim.ticks, states.size());
  }
  bool recordedAny() const { return !recorded.input.empty(); }

  // Ends the game that recorded, as Verify needs the process to itself.
  void EndGame() {
    delete Form1;
    Application.Initialize(nullptr);
  }

  Replay recorded;
  std::vector<uint32_t> states;
};

TEST_F(Replays, ALevelPlaysAgainTickForTickWithoutItsPictures) {
  PlayLevel(2, true);
  EndGame();
  EXPECT_EQ(recorded.claim.end, replay::End::Finished);
  EXPECT_GT(recorded.claim.hits, 10);
  EXPECT_EQ(recorded.name, "Zu\xFC" "chter");
  const Replay read = replay::Decode(replay::Encode(recorded));
  // The game that recorded drew every picture; the replay draws none.
  uint32_t checked = 0;
  bool differed = false;
  replay::VerifyOptions options;
  options.afterTick = [&](uint32_t tick) {
    ASSERT_LE(tick, states.size());
    if (replay::StateDigest() != states[tick - 1] && !differed) ADD_FAILURE() << "the state differs after tick " << tick;
    differed |= replay::StateDigest() != states[tick - 1];
    checked = tick;
  };
  const replay::Verdict verdict = replay::Verify(read, folder.Path(), options);
  EXPECT_TRUE(verdict.Holds(read)) << replay::Report(read, verdict);
  EXPECT_EQ(checked, states.size());
}

TEST_F(Replays, ALevelLeftFromThePauseIsKeptAsTheLastAndAnEditedOneIsRefused) {
  PlayLevel(3, false);
  EXPECT_EQ(recorded.claim.end, replay::End::Left);
  EXPECT_EQ(recorded.claim.ticks, states.size());
  const std::string file = folder.Read(replay::kLastFile);
  EXPECT_EQ(file, replay::Encode(recorded));
  EXPECT_FALSE(fs::exists(folder.File(replay::EntryFile(3, 0))));
  EndGame();

  // Watched, it stays on the pause: the main menu and its music never come.
  DrivenBackend host;
  host.KeyAt((recorded.claim.ticks + 200) * 20, VK_ESCAPE);
  EXPECT_EQ(replay::Watch(host, "Kelo - Das Spiel", recorded), 0);
  std::string lastMusic;
  for (const auto& s : host.sightings)
    if (s.kind == plat::Sighting::Music) lastMusic = s.op + " " + s.file;
  EXPECT_NE(lastMusic.find("data/back.mid"), std::string::npos) << lastMusic;
  EXPECT_TRUE(replay::Verify(recorded, folder.Path()).Holds(recorded));

  // Another claim, another seed, a shot left out: each plays to another result.
  Replay claim = recorded;
  claim.claim.points += 200;
  Replay seed = recorded;
  for (uint32_t& s : seed.seeds) s = ~s;
  Replay shot = recorded;
  {
    replay::StartFacts facts;
    replay::ReadStart(shot.start, nullptr, facts);
    replay::InputReader in(recorded.input, facts.x, facts.y);
    replay::InputWriter out;
    out.Start(facts.x, facts.y);
    bool dropped = false;
    plat::Event e;
    for (replay::InputReader::Item item; (item = in.Read(e)) != replay::InputReader::Item::End;) {
      if (item == replay::InputReader::Item::Tick) out.Tick();
      else if (e.kind == plat::EventKind::MouseMove) out.Pointer(e.x, e.y);
      else if (e.kind == plat::EventKind::MouseDown && !dropped) dropped = true;
      else if (e.kind == plat::EventKind::MouseDown) out.Press(e.button, e.x, e.y);
      else if (e.kind == plat::EventKind::KeyDown) out.Tag(uint8_t(replay::KeyTag(e.key)));
      else out.Focus(e.kind == plat::EventKind::Activate);
    }
    out.Finish();
    shot.input = out.Bytes();
  }
  for (const Replay* edited : {&claim, &seed, &shot}) {
    const Replay read = replay::Decode(replay::Encode(*edited));
    const replay::Verdict verdict = replay::Verify(read, folder.Path());
    EXPECT_FALSE(verdict.Holds(read)) << (edited == &claim ? "claim" : edited == &seed ? "seeds" : "a shot") << "\n"
                                      << replay::Report(read, verdict);
  }
}

TEST_F(Replays, TheFileIsReadStrictly) {
  PlayLevel(1, false);
  recorded.date = 0;  // the same bytes on every run
  const std::string good = replay::Encode(recorded);
  EXPECT_LT(good.size(), 20000u);
  EXPECT_EQ(replay::Decode(good).input, recorded.input);

  // Cut anywhere, or any byte changed: refused, never half read (a change
  // the packing does not see, such as a code for a byte never used, reads
  // as the same replay).
  for (size_t n = 0; n < good.size(); n += 1 + n / 64) EXPECT_NE(Refusal(good.substr(0, n)), "") << n;
  for (size_t at = 0; at < good.size(); at += 1 + at / 32) {
    std::string bad = good;
    bad[at] = char(bad[at] ^ 0x24);
    if (Refusal(bad).empty()) {
      EXPECT_EQ(replay::Encode(replay::Decode(bad)), good) << at;
    }
  }
  EXPECT_EQ(Refusal("Hallo, Welt"), "this is not a replay of Kelo - Das Spiel");
  std::string newer = good;
  newer[8] = char(replay::kFormat + 1);
  EXPECT_EQ(Refusal(newer), "the replay is of a newer format (2) than this game reads (1)");

  // Well packed but not what the game can have taken.
  auto packed = [&](auto edit) {
    Replay r = recorded;
    edit(r);
    return Refusal(replay::Encode(r));
  };
  EXPECT_NE(packed([](Replay& r) { r.start[0] = char(replay::ZigZag(4)); }), "");  // difficulty 4
  EXPECT_NE(packed([](Replay& r) { r.start[2] = '\x07'; }), "");                    // a bell in the name
  EXPECT_NE(packed([](Replay& r) { r.start += '\0'; }), "");
  EXPECT_NE(packed([](Replay& r) { r.claim.ticks += 1; }), "");
  EXPECT_NE(packed([](Replay& r) { r.input += 'x'; }), "");
  EXPECT_NE(packed([](Replay& r) { r.input.pop_back(); }), "");
  EXPECT_NE(packed([](Replay& r) { r.input.insert(0, "\xF0\xA0\x9C\x01\x00"); }), "");  // 10 000 pixels to the right
  EXPECT_NE(packed([](Replay& r) { r.input.insert(0, "\xFC"); }), "");
  // A pace the game never gives: crawling chickens in "Leicht", those of
  // "Leicht" in "Schwer".
  for (const int difficulty : {1, 3}) {
    Form1->difficulty = difficulty;
    speedDivisor = difficulty == 1 ? 10.0 : kNormalSpeed;
    EXPECT_EQ(packed([](Replay& r) { r.start = replay::EncodeStart(); }),
              "the replay's chickens fly at a pace the game never gives them") << difficulty;
  }
  Form1->difficulty = 1;
  speedDivisor = kNormalSpeed;

  // Another play version is read, and refused naming both.
  Replay other = recorded;
  other.playVersion = replay::kPlayVersion + 1;
  other.gameVersion = "7.3";
  const Replay read = replay::Decode(replay::Encode(other));
  try {
    replay::RequirePlayVersion(read);
    ADD_FAILURE() << "another play version was taken";
  } catch (const ReplayError& e) {
    EXPECT_EQ(std::string(e.what()), std::string("recorded by Kelo 7.3 (play version 2), which plays differently from "
                                                 "this Kelo ") + replay::GameVersion() + " (play version 1)");
  }
}

// --- The entries' replays --------------------------------------------------------------

class EntryReplays : public GameTest {
 protected:
  void SetUp() override {
    StartGame();
    replay::KeepReplays(true);
  }
  void TearDown() override {
    replay::KeepReplays(false);
    GameTest::TearDown();
  }
  // A replay that shows a result (it need not play to it: only its claim is read).
  std::string Showing(const std::string& name, int points, int hits) {
    Form1->Edit1.SetText(name);
    Replay r;
    r.start = replay::EncodeStart();
    r.claim.points = points, r.claim.hits = hits;
    r.input = "\xFB";
    return replay::Encode(r);
  }
  void List(const std::vector<std::tuple<std::string, int, int>>& entries) {
    THighscoreTable& t = Form1->highTables[1];
    for (size_t i = 0; i < entries.size(); ++i) {
      t.Names[i].Assign(std::get<0>(entries[i]));
      t.Points[i].Assign(std::to_string(std::get<1>(entries[i])));
      t.Hits[i].Assign(std::to_string(std::get<2>(entries[i])));
    }
    folder.Write("high1.sco", std::string(reinterpret_cast<const char*>(&t), sizeof t));
  }
  std::string Shown(int place) {
    if (!fs::exists(folder.File(replay::EntryFile(1, place)))) return "-";
    const Replay r = replay::Decode(folder.Read(replay::EntryFile(1, place)));
    return r.name + " " + std::to_string(r.claim.hits);
  }
  std::string AllShown() {
    std::string s;
    for (int place = 1; place <= 5; ++place) s += Shown(place) + (place < 5 ? ", " : "");
    return s;
  }
  void Restart() {
    delete Form1;
    StartGame();
  }
};

TEST_F(EntryReplays, FollowTheirEntriesAfterAKillAndGoWithAReset) {
  const std::vector<std::tuple<std::string, int, int>> five = {
      {"A", 900, 50}, {"B", 800, 40}, {"C", 700, 30}, {"D", 600, 20}, {"E", 500, 10}};
  for (int i = 0; i < 5; ++i)
    folder.Write(replay::EntryFile(1, i + 1),
                 Showing(std::get<0>(five[size_t(i)]), std::get<1>(five[size_t(i)]), std::get<2>(five[size_t(i)])));
  List(five);
  // A new second place has been written to the list, and the game was killed
  // before its replay and those below it moved: the next start moves them.
  List({five[0], {"N", 850, 45}, five[1], five[2], five[3]});
  folder.Write(replay::EntryFile(1, 0), Showing("N", 850, 45));
  Restart();
  EXPECT_EQ(AllShown(), "A 50, N 45, B 40, C 30, D 20");
  EXPECT_FALSE(fs::exists(folder.File(replay::EntryFile(1, 0))));

  // A list turned around by hand, an unreadable file and a replay nobody shows.
  List({{"D", 600, 20}, five[2], five[1], {"N", 850, 45}, five[0]});
  fs::rename(folder.File(replay::EntryFile(1, 5)), folder.File(replay::EntryFile(1, 0)));
  folder.Write(replay::EntryFile(1, 5), "damaged");
  Restart();
  EXPECT_EQ(AllShown(), "D 20, C 30, B 40, N 45, A 50");
  EXPECT_FALSE(fs::exists(folder.File(replay::EntryFile(1, 0))));

  // The reset takes every entry's replay, and only those.
  folder.Write(replay::kLastFile, Showing("L", 1, 1));
  ResetHighscores();
  for (int list = 1; list <= 3; ++list)
    for (int place = 0; place <= 5; ++place) EXPECT_FALSE(fs::exists(folder.File(replay::EntryFile(list, place))));
  EXPECT_TRUE(fs::exists(folder.File(replay::kLastFile)));
}

// A replay is saved once the list is written: when it cannot be (here a
// folder stands where last.rep belongs), the game ends with its message and
// the score stays.
TEST_F(EntryReplays, AReplayThatCannotBeSavedNeverCostsTheScore) {
  fs::create_directory(folder.File(replay::kLastFile));
  Press(400, 178);
  Press(400, 178);
  backend->QueueText("Bleibt");
  Key(VK_RETURN);
  Tick();
  TForm1& f = *Form1;
  f.chickensReleased = 100, f.scoreHits = 5;
  ampelActive = chickenLeftActive = chickenRightActive = planeActive = extraActive = plane2Active = 0;
  try {
    Tick();  // the level ends
  } catch (const std::exception& e) {
    Application.HandleException(e);  // as the message loop does
  }
  EXPECT_EQ(Count(plat::Sighting::Dialog), 1);
  EXPECT_TRUE(Application.TerminationRequested());
  const std::string list = folder.Read("high1.sco");
  EXPECT_EQ(list.substr(0, 7), "\x06" "Bleibt");
  EXPECT_EQ(Shown(1), "Bleibt 5");
}

// --- Watching ----------------------------------------------------------------------------

TEST_F(Replays, WatchingPlaysTheLevelAtItsPaceAndSavesNothing) {
  PlayLevel(1, true);
  std::vector<plat::Sighting> heard;
  for (const auto& r : backend->records)
    if (r.what.kind == plat::Sighting::Sound) heard.push_back(r.what);
  EndGame();
  auto files = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = files();

  // Paused for ten seconds at the start, then four times as fast; two
  // presses on the right half (to the normal speed and back) never reach the game.
  DrivenBackend host;
  host.KeyAt(1000, VK_SPACE);
  host.KeyAt(11000, VK_SPACE);
  host.KeyAt(11000, VK_RIGHT);
  host.PressAt(20000, 600, 300);
  host.PressAt(20000, 500, 300);
  const uint32_t level = 11000 + (recorded.claim.ticks + 820 + 360) * 5;
  host.KeyAt(level + 2000, VK_ESCAPE);
  const int status = replay::Watch(host, "Kelo - Das Spiel", recorded);
  EXPECT_EQ(status, 0);

  // The same shots hit, at the same places; then the bombs fell.
  std::vector<plat::Sighting> sounds, music;
  for (const auto& s : host.sightings) (s.kind == plat::Sighting::Sound ? sounds : music).push_back(s);
  ASSERT_EQ(sounds.size(), heard.size() + 1);
  for (size_t i = 0; i < heard.size(); ++i) EXPECT_EQ(sounds[i].pan, heard[i].pan) << i;
  EXPECT_EQ(sounds.back().item, 1);
  // The results came, with their music.
  ASSERT_GE(music.size(), 2u);
  EXPECT_EQ(music[music.size() - 2].op, "play");
  EXPECT_NE(music[music.size() - 2].file.find("data/1.mid"), std::string::npos);
  for (const auto& shown : host.shown) EXPECT_FALSE(shown.atMs > 1100 && shown.atMs < 11000) << shown.atMs;
  EXPECT_EQ(files(), before);
}

// --- Replays of the other builds ---------------------------------------------------------

// CI leaves the replays that the desktop games recorded (Linux, Windows) in
// build/replays/: each must play to its claim here too.
TEST(RecordedElsewhere, PlayHereAsTheyClaim) {
  const fs::path from = fs::path(KELO_SOURCE_DIR) / "build" / "replays";
  if (!fs::is_directory(from)) GTEST_SKIP() << "no replays in " << from;
  int played = 0;
  for (const auto& entry : fs::directory_iterator(from)) {
    if (entry.path().extension() != ".rep") continue;
    testing_support::GameFolder folder;
    std::ifstream in(entry.path(), std::ios::binary);
    const Replay r = replay::Decode(std::string(std::istreambuf_iterator<char>(in), {}));
    if (r.playVersion != replay::kPlayVersion) {
      std::printf("%s: left out, of play version %u\n", entry.path().string().c_str(), r.playVersion);
      continue;
    }
    const replay::Verdict verdict = replay::Verify(r, folder.Path());
    EXPECT_TRUE(verdict.Holds(r)) << entry.path() << "\n" << replay::Report(r, verdict);
    ++played;
  }
  std::printf("%d replays of other builds played to their claims\n", played);
}

}  // namespace
