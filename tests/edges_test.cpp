// The edges of every hit box, exclusion zone and press region: on each side the
// last pixel that still counts and the first one beyond.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "extras.h"
#include "game_fixture.h"
#include "huhn.h"
#include "tool1.h"

namespace {

struct Probe {
  int x, y;
  bool counts;
};

// Bounds included: two opposite corners lie on all four sides; beyond each
// side, the pixel next to its middle.
std::vector<Probe> EdgesOf(int x1, int x2, int y1, int y2) {
  const int mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
  return {{x1, y1, true},      {x2, y2, true},      {x1 - 1, my, false},
          {x2 + 1, my, false}, {mx, y1 - 1, false}, {mx, y2 + 1, false}};
}

class Edges : public GameTest {
 protected:
  void SetUp() override {
    StartGame();
    Form1->Edit1.SetText("Tester");
    Form1->difficulty = 2;
    StartLevel();
  }
};

}  // namespace

TEST_F(Edges, EveryTargetOfTheShotAndTheZonesThatHideThem) {
  TForm1& f = *Form1;
  struct Target {
    const char* name;
    std::function<void()> place;  // puts the target somewhere and lets it fly
    std::function<bool()> taken;
    std::vector<Probe> probes;
  };
  auto chickenAt = [&f](int x, int y) {
    return [&f, x, y] {
      chickenLeftActive = 1;
      f.huhnTable[1] = THuhn{x, y, 2, "Normal"};
    };
  };
  auto chickenShot = [&f] { return f.huhnTable[1].State == "Tod"; };
  // Drop object 3 of a sortie whose drop has begun, the others gone.
  auto dropAt = [&f](double dropY) {
    return [&f, dropY] {
      planeActive = 1;
      f.planeX = 300, f.dropX = 180, f.dropY = dropY;
      for (int k = 1; k <= 10; ++k) f.dropGone[k] = k == 4 ? 0 : 1;
    };
  };
  auto negativAt = [&f](double y) {
    return [&f, y] { negativActive = 1, f.negativX = 100, f.negativY = y; };
  };
  auto ammoAt = [&f](int y) {
    return [&f, y] { ammoActive = 1, f.ammoX = 500, f.ammoY = y; };
  };
  auto column = [&f](int x) {
    return [&f, x] {
      extraActive = 1, f.extra1X = -500, f.extra2X = x;
      for (int k = 1; k <= 5; ++k) f.extra2Gone[k] = 0;
    };
  };
  const Target targets[] = {
      {"chicken", chickenAt(200, 100), chickenShot, EdgesOf(200, 230, 100, 132)},
      // The zones inside "h2" (x from 491, y from 261) and "h1" (x to 112, y from 291).
      {"chicken behind h2", chickenAt(480, 250), chickenShot, {{490, 270, true}, {491, 270, false}, {500, 260, true}, {500, 261, false}}},
      {"chicken behind h1", chickenAt(100, 280), chickenShot, {{113, 300, true}, {112, 300, false}, {105, 290, true}, {105, 291, false}}},
      {"plane", [&f] { planeActive = 1, f.planeX = 400; for (int k = 1; k <= 10; ++k) f.dropGone[k] = 1; },
       [&f] { return f.planeX == 650; }, EdgesOf(400, 477, 70, 96)},
      {"drop object", dropAt(200), [&f] { return f.dropGone[4] == 1; }, EdgesOf(240, 270, 170, 180)},
      {"drop object between pixels", dropAt(200.5), [&f] { return f.dropGone[4] == 1; }, EdgesOf(240, 270, 171, 180)},
      {"plane2", [&f] { plane2Active = 1, f.plane2X = 300, f.plane2Y = 100; }, [] { return plane2Active == 0; },
       EdgesOf(300, 357, 100, 121)},
      {"ammunition box", ammoAt(60), [] { return ammoActive == 0; }, EdgesOf(503, 519, 73, 87)},
      {"ammunition box above y 153", ammoAt(130), [] { return ammoActive == 0; }, EdgesOf(503, 519, 143, 152)},
      {"negativ", negativAt(100), [] { return negativActive == 0; }, EdgesOf(103, 119, 113, 127)},
      {"negativ between pixels", negativAt(100.5), [] { return negativActive == 0; }, EdgesOf(103, 119, 114, 127)},
      {"negativ above y 215", negativAt(195), [] { return negativActive == 0; }, EdgesOf(103, 119, 208, 214)},
      {"extra1", [&f] { extraActive = 1, f.extra1Shot = 0, f.extra1X = 100, f.extra1Y = 50, f.extra2X = -60; },
       [&f] { return f.extra1Shot == 1; }, EdgesOf(100, 157, 50, 71)},
      {"extra2 object 2", column(200), [&f] { return f.extra2Gone[3] == 1; }, EdgesOf(200, 257, 100, 121)},
      // The zone inside "h2" (x from 461, y from 153) over object 3 (y 135..156).
      {"extra2 behind h2", column(440), [&f] { return f.extra2Gone[4] == 1; },
       {{460, 155, true}, {461, 155, false}, {470, 152, true}, {470, 153, false}}},
  };
  for (const Target& t : targets) {
    for (const Probe& p : t.probes) {
      planeActive = extraActive = plane2Active = negativActive = ammoActive = 0;
      chickenLeftActive = chickenRightActive = 0;
      for (int i = 1; i <= 3; ++i) f.huhnTable[i].State = "No";
      f.shotsLeft = 200;
      t.place();
      LevelClick(p.x, p.y);
      EXPECT_EQ(t.taken(), p.counts) << t.name << " at " << p.x << ", " << p.y;
    }
  }
}

TEST_F(Edges, EveryPressRegionOfTheMenus) {
  TForm1& f = *Form1;
  struct Region {
    const char* screen;
    const char* entry;
    int x1, x2, y1, y2;
  };
  const Region regions[] = {
      {"Main", "Neues Spiel", 367, 542, 172, 185},     {"Main", "Optionen", 367, 499, 198, 211},
      {"Main", "HighScore", 367, 524, 228, 241},       {"Main", "Beenden", 367, 486, 364, 376},
      {"Schwer", "Leicht", 367, 542, 172, 185},        {"Schwer", "Mittel", 367, 542, 199, 211},
      {"Schwer", "Schwer", 367, 542, 225, 238},        {"Schwer", "Zurück", 367, 486, 364, 376},
      {"Name", "Starten", 368, 485, 335, 348},         {"Name", "Zurück", 367, 486, 364, 376},
      {"Highscore", "Leicht", 262, 351, 426, 439},     {"Highscore", "Mittel", 364, 455, 426, 439},
      {"Highscore", "Schwer", 465, 572, 426, 439},     {"Highscore", "Zurück", 67, 172, 426, 439},
      {"Results", "Hauptmenü", 367, 526, 364, 376},    {"Optionen", "Transparente Explosionen", 368, 513, 172, 194},
      {"Optionen", "HighScore-Liste zurücksetzen", 368, 538, 253, 275},
      {"Optionen", "Zurück", 367, 486, 364, 376},
  };
  // What a press can change: the screen, the difficulty, the option, a box or
  // music shown, the end of the game.
  auto seen = [&] {
    return std::tuple(f.gameState, f.difficulty, f.alphaExplosions, backend->records.size(),
                      Application.TerminationRequested());
  };
  for (const Region& r : regions) {
    for (const Probe& p : EdgesOf(r.x1, r.x2, r.y1, r.y2)) {
      f.gameState = r.screen;
      f.difficulty = 0;  // every choice of a difficulty changes it
      f.Edit1.SetText("Paul");
      const auto before = seen();
      Press(p.x, p.y);
      EXPECT_EQ(seen() != before, p.counts) << r.screen << " " << r.entry << " at " << p.x << ", " << p.y;
      if (Application.TerminationRequested()) Application.Initialize(backend.get());
    }
  }
}
