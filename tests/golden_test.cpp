// A whole game played through kelo-harness from a fixed seed: the menus, a
// level at each difficulty with hits on chickens and on every kind of bonus
// object, the end sequence, the results, the three lists and their reset with
// its boxes. The state at chosen steps must equal tests/golden/playthrough.txt
// exactly, and each level is a replay that plays to its claim without pictures
// and equals tests/golden/level-N.rep. After an intended change, tools/golden.sh
// writes the files anew and their diff is reviewed with the change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "replay.h"
#include "support.h"
#include "verify/verify.h"

using testing_support::GameFolder;
using testing_support::HarnessSession;

namespace {

const unsigned kSeed = 11;
const char* const kGoldenFile = KELO_SOURCE_DIR "/tests/golden/playthrough.txt";

// --- A dump as lines of "path value" ----------------------------------------------

using Fields = std::vector<std::pair<std::string, std::string>>;

// The end of the JSON value that starts at pos.
size_t ValueEnd(const std::string& s, size_t pos) {
  size_t i = pos;
  if (s[i] != '{' && s[i] != '[' && s[i] != '"') {
    while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ']') ++i;
    return i;
  }
  int depth = 0;
  for (bool text = false; i < s.size(); ++i) {
    if (text) {
      if (s[i] == '\\') ++i;
      else if (s[i] == '"') text = false;
    } else if (s[i] == '"') {
      text = true;
    } else if (s[i] == '{' || s[i] == '[') {
      ++depth;
    } else if (s[i] == '}' || s[i] == ']') {
      --depth;
    }
    if (!text && depth == 0) return i + 1;
  }
  return s.size();
}

// Objects are walked member by member, and arrays element by element where
// they hold arrays or objects; everything else is one line: numbers, texts,
// arrays of numbers, and the objects inside arrays (events, chickens, entries).
void Flatten(const std::string& s, size_t pos, size_t end, const std::string& path, bool inArray, Fields& out) {
  const bool walkObject = s[pos] == '{' && !inArray;
  const bool walkArray = s[pos] == '[' && pos + 1 < end && (s[pos + 1] == '[' || s[pos + 1] == '{');
  if (!walkObject && !walkArray) {
    out.emplace_back(path, s.substr(pos, end - pos));
    return;
  }
  for (size_t i = pos + 1, index = 0; i + 1 < end; ++index) {
    std::string key = std::to_string(index);
    if (walkObject) {
      const size_t close = s.find('"', i + 1);
      key = s.substr(i + 1, close - i - 1);
      i = close + 2;  // past the colon
    }
    const size_t valueEnd = ValueEnd(s, i);
    Flatten(s, i, valueEnd, path.empty() ? key : path + "." + key, walkArray, out);
    i = valueEnd + 1;  // past the comma
  }
}

Fields Flat(const std::string& dump) {
  std::string line = dump;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  Fields all, kept;
  Flatten(line, 0, line.size(), "", false, all);
  // The program folder differs from run to run.
  for (auto& f : all)
    if (f.first != "appFolder") kept.push_back(f);
  return kept;
}

// --- The record: a label and the fields that changed, per step ---------------------

struct Step {
  std::string label;
  Fields changed;  // a value of "-" marks a field that went away
};

std::string Write(const std::vector<Step>& steps) {
  std::ostringstream out;
  out << "# kelo-harness --seed " << kSeed << ": a whole game, step by step; each step lists what changed.\n"
      << "# Made by tools/golden.sh, compared exactly by the Golden test.\n";
  for (size_t i = 0; i < steps.size(); ++i) {
    out << "== " << i + 1 << " " << steps[i].label << "\n";
    for (const auto& [path, value] : steps[i].changed) out << path << " " << value << "\n";
  }
  return out.str();
}

std::vector<Step> Parse(const std::string& text) {
  std::vector<Step> steps;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("== ", 0) == 0) {
      steps.push_back({line.substr(line.find(' ', 3) + 1), {}});
    } else if (!steps.empty()) {
      const size_t blank = line.find(' ');
      steps.back().changed.emplace_back(line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1));
    }
  }
  return steps;
}

// Applies the changes of a step to the state before it.
void Apply(std::map<std::string, std::string>& state, const Fields& changed) {
  for (const auto& [path, value] : changed) {
    if (value == "-")
      state.erase(path);
    else
      state[path] = value;
  }
}

// --- The player ----------------------------------------------------------------------

class Player {
 public:
  explicit Player(const GameFolder& folder) : game_(folder, kSeed), folder_(folder) {}

  std::vector<Step> steps;
  std::vector<std::string> replays;  // of each level

  // The last level's replay; a place in the list keeps the same one.
  void KeepReplay() {
    replays.push_back(folder_.Read(replay::kLastFile));
    Look();
    if (Number("placement") > 0) {
      EXPECT_EQ(folder_.Read(replay::EntryFile(Number("difficulty"), Number("placement"))), replays.back());
    }
  }

  void Send(const std::string& line) { game_.Send(line); }
  void Press(int x, int y) { Send("press " + std::to_string(x) + " " + std::to_string(y)); }

  // Takes the state now, with everything that happened, as the next step.
  void Record(const std::string& label) {
    dump_ = game_.Dump();
    Record(label, Flat(dump_));
  }

  // A top-level field of the last look (texts without their quotes).
  std::string Value(const std::string& name) const { return testing_support::DumpField(dump_, name); }
  int Number(const std::string& name) const { return std::atoi(Value(name).c_str()); }
  std::string State() const { return Value("gameState"); }

  // The state now, to play by.
  void Look() { dump_ = game_.State(); }

  // Plays the running level to its end, shooting at whatever can be hit.
  void PlayLevel(const std::string& name) {
    std::map<std::string, bool> seen;
    int released = 0;
    bool penaltyTaken = false;
    Look();
    for (int look = 0; look < 20000 && State() == "Level"; ++look) {
      std::string kind;
      int x = -1, y = -1;
      Target(kind, x, y, penaltyTaken);
      if (!kind.empty()) {
        const std::string points = Value("scorePoints"), shots = Value("shotsLeft");
        Press(x, y);
        Send("pump");
        Look();
        const bool hit = Value("scorePoints") != points || (kind == "ammunition box" && Value("shotsLeft") != shots);
        if (kind == "penalty object") penaltyTaken = true;
        if (hit && !seen[kind]) {
          seen[kind] = true;
          Record(name + ": " + kind + " hit");
        }
      }
      if (Number("chickensReleased") >= released + 25) {
        released = Number("chickensReleased") / 25 * 25;
        Record(name + ": past " + std::to_string(released) + " chickens");
      }
      // Nothing flies during a countdown without a bonus object: skip to its end.
      const bool idle = Number("ampelActive") == 1 && Number("planeActive") + Number("plane2Active") +
                                                         Number("extraActive") + Number("negativActive") +
                                                         Number("ammoActive") == 0;
      const int left = 200 - int(std::atof(Value("ampelTime").c_str()) / 0.02);
      // Otherwise a look every fifth tick is enough to hit, and keeps the test quick.
      Send(idle && left > 6 ? "tick " + std::to_string(left - 5) : "tick 5");
      Look();
    }
  }

 private:
  void Record(const std::string& label, const Fields& fields) {
    std::map<std::string, std::string> before(state_.begin(), state_.end());
    Step step{label, {}};
    std::map<std::string, bool> present;
    for (const auto& [path, value] : fields) {
      present[path] = true;
      auto it = before.find(path);
      if (it == before.end() || it->second != value) step.changed.emplace_back(path, value);
    }
    for (const auto& [path, value] : before)
      if (!present[path]) step.changed.emplace_back(path, "-");
    state_.clear();
    for (const auto& f : fields) state_[f.first] = f.second;
    steps.push_back(step);
  }

  // The first target that a press can hit now: chickens first, then the bonus
  // objects in the order the shot asks them.
  void Target(std::string& kind, int& x, int& y, bool penaltyTaken) {
    auto onScreen = [](int px, int py) { return px >= 0 && px < 640 && py >= 0 && py < 480; };
    auto aim = [&](const char* what, int px, int py) {
      if (!kind.empty() || !onScreen(px, py)) return;
      kind = what, x = px, y = py;
    };
    const std::string chickens = Value("huhnTable");
    for (size_t at = chickens.find("{\"X\":"); at != std::string::npos; at = chickens.find("{\"X\":", at + 1)) {
      int cx, cy;
      const std::string one = chickens.substr(at, chickens.find('}', at) - at);
      if (one.find("\"State\":\"Normal\"") == std::string::npos ||
          std::sscanf(one.c_str(), "{\"X\":%d,\"Y\":%d", &cx, &cy) != 2)
        continue;
      const int px = cx + 15, py = cy + 16;
      if ((px >= 491 && py >= 261) || (px <= 112 && py >= 291)) continue;  // behind the foreground
      aim("chicken", px, py);
    }
    if (Number("plane2Active") == 1) aim("airship", Number("plane2X") + 28, Number("plane2Y") + 10);
    if (Number("planeActive") == 1) {
      const int planeX = Number("planeX");
      if (planeX >= 371) aim("plane", planeX + 38, 83);
      const std::string gone = Value("dropGone");
      for (int k = 0; k <= 9 && planeX >= 190; ++k)
        if (gone[size_t(1 + 2 * k)] == '0')
          aim("dropped object", Number("dropX") + 20 * k + 15, int(std::atof(Value("dropY").c_str())) - 10 * k + 5);
    }
    if (Number("ammoActive") == 1 && Number("ammoY") + 20 < 153)
      aim("ammunition box", Number("ammoX") + 11, Number("ammoY") + 20);
    if (Number("negativActive") == 1 && !penaltyTaken) {
      const int py = int(std::atof(Value("negativY").c_str())) + 20;
      if (py < 215) aim("penalty object", Number("negativX") + 11, py);
    }
    if (Number("extraActive") == 1) {
      if (Number("extra1Shot") == 0) aim("extra run", Number("extra1X") + 28, Number("extra1Y") + 10);
      const std::string gone = Value("extra2Gone");
      for (int k = 0; k <= 4 && Number("extra1Shot") == 1; ++k) {
        const int px = Number("extra2X") + 28, py = 40 + 35 * k;
        if (gone[size_t(1 + 2 * k)] == '0' && !(px >= 461 && py >= 153)) aim("extra column", px, py);
      }
    }
  }

  HarnessSession game_;
  const GameFolder& folder_;
  std::map<std::string, std::string> state_;
  std::string dump_;
};

void PlayWholeGame(Player& p) {
  p.Send("tick");
  p.Record("main menu");

  p.Press(400, 204);
  p.Send("tick");
  p.Record("options");
  p.Press(400, 180);
  p.Send("tick");
  p.Record("options: blended explosions on, saved");
  p.Send("answer no");
  p.Press(400, 260);
  p.Send("tick");
  p.Record("options: reset refused");
  p.Press(400, 370);
  p.Send("tick");
  p.Record("main menu from options");

  const char* const names[] = {"Leicht", "Mittel", "Schwer"};
  for (int d = 1; d <= 3; ++d) {
    const std::string level = std::string("level ") + names[d - 1];
    p.Press(400, 178);
    p.Send("tick");
    p.Record("difficulty choice");
    p.Press(400, 178 + 26 * (d - 1));
    p.Send("tick");
    p.Record("name screen for " + std::string(names[d - 1]));
    p.Send(d == 1 ? "type Jäger Kelo" : d == 2 ? "type Müßiggänger" : "type   Ölprinz 3");
    if (d == 2) {
      p.Send("key Return");
    } else {
      p.Press(400, 340);
    }
    p.Send("tick");
    p.Record(level + ": started");
    if (d == 1) {
      p.Send("tick 300");
      p.Send("key F9");
      p.Send("key F10");
      p.Send("tick");
      p.Record(level + ": fire animation and blending switched");
      p.Send("key Escape");
      p.Send("tick 10");
      p.Record(level + ": paused");
      p.Send("key Escape");
      p.Send("tick");
      p.Record(level + ": resumed");
    }
    p.PlayLevel(level);
    p.Record(level + ": end sequence");
    p.Send("until Nirwana 2000");
    p.Record(level + ": game over");
    p.Send("until Results 2000");
    p.Send("tick");
    p.Record(level + ": results");
    p.KeepReplay();
    p.Press(400, 370);
    p.Send("tick");
    p.Record("main menu after " + level);
  }

  p.Press(400, 234);
  p.Send("tick");
  p.Record("highscore lists");
  for (int d = 1; d <= 3; ++d) {
    p.Press(300 + 105 * (d - 1), 432);
    p.Send("tick");
    p.Record(std::string("highscore list ") + names[d - 1]);
  }
  p.Press(100, 432);
  p.Send("tick");

  p.Press(400, 204);
  p.Send("tick");
  p.Send("answer yes");
  p.Press(400, 260);
  p.Send("tick");
  p.Record("options: lists reset");
  p.Press(400, 370);
  p.Send("tick");
  p.Press(400, 234);
  p.Send("tick");
  p.Record("highscore list after the reset");
  p.Press(100, 432);
  p.Send("tick");
  p.Send("key Escape");
  p.Send("tick");
  p.Record("game ended");
}

}  // namespace

// The levels as replays: each plays to its claim without pictures (the game
// that recorded it drew every one), and equals the one kept in tests/golden/,
// which still plays to its own. Writing them anew while this game's play
// version is theirs, they must still play as they claim: a game that plays
// differently needs another play version.
void CheckReplays(const GameFolder& folder, const std::vector<std::string>& fresh, bool write) {
  ASSERT_EQ(fresh.size(), 3u);
  for (size_t i = 0; i < fresh.size(); ++i) {
    const std::string file = KELO_SOURCE_DIR "/tests/golden/level-" + std::to_string(i + 1) + ".rep";
    const replay::Replay now = replay::Decode(fresh[i]);
    const replay::Verdict verdict = replay::Verify(now, folder.Path());
    EXPECT_TRUE(verdict.Holds(now)) << replay::Report(now, verdict);
    std::ifstream in(file, std::ios::binary);
    std::optional<replay::Replay> kept;
    if (in) kept = replay::Decode(std::string(std::istreambuf_iterator<char>(in), {}));
    const bool keptPlays = kept && replay::Verify(*kept, folder.Path()).Holds(*kept);
    if (write) {
      if (kept && kept->playVersion == replay::kPlayVersion && !keptPlays)
        FAIL() << file << " no longer plays as it claims: the game plays differently now, so raise kPlayVersion "
                          "in src/replay.h and write the files again";
      replay::Replay out = now;
      out.date = 0;  // the same play, the same file
      std::ofstream(file, std::ios::binary) << replay::Encode(out);
      continue;
    }
    ASSERT_TRUE(kept) << "cannot read " << file;
    EXPECT_EQ(kept->playVersion, replay::kPlayVersion) << file;
    EXPECT_TRUE(keptPlays) << file;
    EXPECT_TRUE(kept->start == now.start && kept->seeds == now.seeds && kept->input == now.input &&
                kept->claim == now.claim)
        << file << " was recorded otherwise: " << replay::Describe(kept->claim) << " against "
        << replay::Describe(now.claim);
  }
}

TEST(Golden, AWholeGameFromAFixedSeedPlaysAsRecorded) {
  GameFolder folder;
  std::vector<Step> got;
  std::vector<std::string> replays;
  {
    Player player(folder);
    PlayWholeGame(player);
    got = player.steps;
    replays = player.replays;
  }
  const bool write = std::getenv("KELO_WRITE_GOLDEN") != nullptr;
  CheckReplays(folder, replays, write);

  if (write) {
    std::ofstream(kGoldenFile, std::ios::binary) << Write(got);
    GTEST_SKIP() << "wrote " << kGoldenFile;
  }

  std::ifstream in(kGoldenFile, std::ios::binary);
  ASSERT_TRUE(in) << "cannot read " << kGoldenFile;
  const std::vector<Step> wanted = Parse(std::string(std::istreambuf_iterator<char>(in), {}));
  std::map<std::string, std::string> gotState, wantedState;
  for (size_t i = 0; i < std::max(got.size(), wanted.size()); ++i) {
    ASSERT_LT(i, got.size()) << "the game ended before step " << i + 1 << " (" << wanted[i].label << ")";
    ASSERT_LT(i, wanted.size()) << "step " << i + 1 << " (" << got[i].label << ") is not recorded";
    ASSERT_EQ(got[i].label, wanted[i].label) << "step " << i + 1 << " is another step";
    Apply(gotState, got[i].changed);
    Apply(wantedState, wanted[i].changed);
    std::ostringstream differences;
    int count = 0;
    for (const auto& [path, value] : wantedState) {
      auto it = gotState.find(path);
      const std::string have = it == gotState.end() ? "(missing)" : it->second;
      if (have != value && ++count <= 10) differences << "\n  " << path << ": got " << have << ", wanted " << value;
    }
    for (const auto& [path, value] : gotState)
      if (!wantedState.count(path) && ++count <= 10) differences << "\n  " << path << ": got " << value << ", not recorded";
    if (count > 0)
      FAIL() << "step " << i + 1 << " (" << got[i].label << "): " << count << " fields differ" << differences.str();
  }
}
