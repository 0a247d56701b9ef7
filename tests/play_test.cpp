// Whole levels played through kelo-harness by a program that aims at the chickens
// it reads from the dump, at every difficulty; then the list is read back after a
// restart. Also a pause in mid-flight and a level abandoned with a bonus under way.
#include <gtest/gtest.h>

#include <regex>

#include "support.h"

using testing_support::DumpField;
using testing_support::GameFolder;
using testing_support::HarnessSession;
using testing_support::RunHarness;

namespace {

struct Chicken {
  int x, y;
  std::string state;
};

std::vector<Chicken> Chickens(const std::string& dump) {
  static const std::regex one(R"re(\{"X":(-?\d+),"Y":(-?\d+),"Kind":-?\d+,"State":"(\w*)"\})re");
  std::vector<Chicken> out;
  const std::string table = DumpField(dump, "huhnTable");
  for (std::sregex_iterator it(table.begin(), table.end(), one), end; it != end; ++it)
    out.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), (*it)[3]});
  return out;
}

int Num(const std::string& dump, const std::string& field) { return std::stoi(DumpField(dump, field)); }

// Where a press hits this chicken and nothing hides it; false when there is no such place.
bool AimAt(const Chicken& c, int& x, int& y) {
  x = c.x + 15, y = c.y + 16;
  const bool hidden = (x >= 491 && y >= 261) || (x <= 112 && y >= 291);
  return c.state == "Normal" && x >= 0 && x < 640 && y >= 0 && y < 480 && !hidden;
}

}  // namespace

TEST(Play, AnAimingPlayerScores200AHitAtEveryDifficultyAndTheListSurvivesARestart) {
  for (int difficulty = 1; difficulty <= 3; ++difficulty) {
    SCOPED_TRACE("difficulty " + std::to_string(difficulty));
    GameFolder folder;
    const std::string name = "Schütze " + std::to_string(difficulty);
    {
      HarnessSession game(folder, unsigned(difficulty));
      game.Send("tick");
      game.Send("press 400 180");
      game.Send("tick");
      game.Send("press 400 " + std::to_string(180 + 25 * (difficulty - 1)));
      game.Send("tick");
      game.Send("type " + name);
      game.Send("key Return");
      game.Send("tick");
      int hits = 0, presses = 0;
      std::string dump = game.Dump();
      ASSERT_EQ(DumpField(dump, "gameState"), "Level");
      for (int tick = 0; tick < 40000 && DumpField(dump, "gameState") == "Level"; ++tick) {
        if (Num(dump, "ampelActive") == 1) {
          // Nothing flies during the countdown: skip to its end.
          const int left = 200 - int(std::stod(DumpField(dump, "ampelTime")) / 0.02);
          game.Send("tick " + std::to_string(std::max(1, left - 2)));
          dump = game.Dump();
          continue;
        }
        for (const Chicken& c : Chickens(dump)) {
          int x, y;
          if (!AimAt(c, x, y)) continue;
          const int points = Num(dump, "scorePoints"), shots = Num(dump, "shotsLeft");
          game.Send("press " + std::to_string(x) + " " + std::to_string(y));
          game.Send("pump");
          dump = game.Dump();
          ++presses, ++hits;
          ASSERT_EQ(Num(dump, "scorePoints"), points + 200);
          ASSERT_EQ(Num(dump, "scoreHits"), hits);
          ASSERT_EQ(Num(dump, "shotsLeft"), difficulty == 1 ? 200 : shots - 1);
          break;
        }
        game.Send("tick");
        dump = game.Dump();
      }
      EXPECT_GT(hits, 30);
      game.Send("until Results 2000");
      game.Send("tick");
      dump = game.Dump();
      EXPECT_EQ(DumpField(dump, "gameState"), "Results");
      EXPECT_EQ(Num(dump, "chickensReleased"), 100);
      EXPECT_EQ(Num(dump, "scoreHits"), hits);
      EXPECT_EQ(Num(dump, "placement"), 1);
      EXPECT_NE(DumpField(dump, "music").find("\"file\":\"data/1.mid\",\"open\":true,\"playing\":true"),
                std::string::npos);
      EXPECT_EQ(game.Finish(), 0);
    }
    const std::string file = folder.Read("high" + std::to_string(difficulty) + ".sco");
    ASSERT_EQ(file.size(), 230u);
    EXPECT_EQ(file.substr(0, 10), "\x09Sch\xFC" "tze " + std::to_string(difficulty));
    // A new start reads the list back as it was written.
    const auto again = RunHarness(folder, "tick\nexpect highTables." + std::to_string(difficulty - 1) +
                                              ".0.name " + name + "\nexpect highTables." +
                                              std::to_string(difficulty - 1) + ".1.name Quillendorfer (Kelo)\n");
    EXPECT_EQ(again.status, 0) << again.err;
  }
}

TEST(Play, APauseInMidFlightFreezesEverythingAndAbandoningKeepsABonusUnderWay) {
  GameFolder folder;
  HarnessSession game(folder, 7);
  for (const char* line : {"tick", "press 400 180", "tick", "press 400 205", "tick", "type Paula", "key Return",
                           "tick 260"})
    game.Send(line);
  const std::string flying = game.Dump();
  ASSERT_EQ(Num(flying, "chickenLeftActive") + Num(flying, "chickenRightActive"), 1);
  game.Send("key Escape");
  game.Send("tick 100");
  const std::string paused = game.Dump();
  EXPECT_EQ(DumpField(paused, "gameState"), "Pause");
  EXPECT_EQ(DumpField(paused, "huhnTable"), DumpField(flying, "huhnTable"));
  EXPECT_EQ(Num(paused, "ticks"), Num(flying, "ticks"));
  game.Send("key Escape");
  game.Send("tick");
  const std::string resumed = game.Dump();
  EXPECT_NE(DumpField(resumed, "huhnTable"), DumpField(flying, "huhnTable"));
  EXPECT_EQ(Num(resumed, "ticks"), Num(flying, "ticks") + 1);

  // Abandon with the plane under way, then start a new level: it flies again from its rest.
  game.Send("set planeActive 1");
  game.Send("tick 50");
  game.Send("key Escape");
  game.Send("key F4");
  game.Send("tick");
  const std::string menu = game.Dump();
  EXPECT_EQ(DumpField(menu, "gameState"), "Main");
  EXPECT_EQ(Num(menu, "planeActive"), 1);
  for (const char* line : {"press 400 180", "tick", "press 400 180", "tick", "type Paula", "press 400 340", "tick"})
    game.Send(line);
  const std::string level = game.Dump();
  EXPECT_EQ(DumpField(level, "gameState"), "Level");
  EXPECT_EQ(Num(level, "planeX"), -100 + 1);
  EXPECT_EQ(Num(level, "scorePoints"), 0);
  EXPECT_EQ(game.Finish(), 0);
}
