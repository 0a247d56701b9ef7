// The rules of a running level: flight, hit boxes, rewards, explosions and the end.
#include <gtest/gtest.h>

#include "extras.h"
#include "game_fixture.h"
#include "huhn.h"
#include "replay.h"
#include "tool1.h"

class Level : public GameTest {
 protected:
  void SetUp() override {
    StartGame();
    planeActive = extraActive = plane2Active = negativActive = ammoActive = 0;
    Form1->Edit1.SetText("Tester");
    Form1->difficulty = 2;
    StartLevel();
    f = Form1;
  }
  // A wave of `n` chickens of one kind that has just broken out.
  void Wave(bool leftward, int kind, int n = 1) {
    ampelActive = 0;
    (leftward ? chickenLeftActive : chickenRightActive) = 1;
    for (int i = 1; i <= 3; ++i) {
      f->huhnTable[i] = THuhn{leftward ? 500 : 90, leftward ? 390 : 350, kind, i == 1 ? "Normal" : i <= n ? "Stop" : "No"};
    }
  }
  TForm1* f = nullptr;
};

TEST_F(Level, FlightStepsAtBothSpeeds) {
  struct Step {
    bool leftward;
    int kind, dx25, dy25, dx20, dy20;
  };
  const Step steps[] = {{true, 1, -6, -1, -8, -1}, {true, 2, -5, -3, -6, -4}, {true, 3, -4, -6, -6, -7},
                        {false, 1, 6, 0, 8, 0},   {false, 2, 5, -3, 6, -4},  {false, 3, 4, -6, 6, -7}};
  for (const Step& s : steps) {
    for (double divisor : {2.5, 2.0}) {
      speedDivisor = divisor;
      Wave(s.leftward, s.kind);
      const int x = f->huhnTable[1].X, y = f->huhnTable[1].Y;
      s.leftward ? MoveChickensLeft() : MoveChickensRight();
      EXPECT_EQ(f->huhnTable[1].X - x, divisor == 2.5 ? s.dx25 : s.dx20) << s.kind << " " << divisor;
      EXPECT_EQ(f->huhnTable[1].Y - y, divisor == 2.5 ? s.dy25 : s.dy20) << s.kind << " " << divisor;
    }
  }
}

TEST_F(Level, FollowersBreakOutAtTheReleaseLineAndFlatPathsEndBehindTheScenery) {
  speedDivisor = 2.5;
  Wave(true, 1, 3);
  f->huhnTable[1].X = 451;
  MoveChickensLeft();  // 445: crossed x 450
  EXPECT_EQ(f->huhnTable[2].State, "Normal");
  EXPECT_EQ(f->huhnTable[3].State, "Stop");  // the second has not crossed yet

  Wave(true, 1, 1);
  f->huhnTable[1].X = 95;
  MoveChickensLeft();  // 89: gone behind "h1", no hit, and the wave is over
  EXPECT_EQ(f->scoreHits, 0);
  EXPECT_EQ(f->explosionPhase[0], -1);
  EXPECT_EQ(chickenLeftActive, 0);
  EXPECT_EQ(ampelActive, 1);  // the next countdown starts at once
}

TEST_F(Level, AShotHitsOneChickenTheLowerPlaceFirst) {
  Wave(true, 2, 2);
  f->huhnTable[2].State = "Normal";
  f->huhnTable[1].X = 200, f->huhnTable[1].Y = 100;
  f->huhnTable[2].X = 210, f->huhnTable[2].Y = 110;
  LevelClick(231, 133);  // outside place 1 (x + 30, y + 32), inside place 2
  EXPECT_EQ(f->huhnTable[1].State, "Normal");
  EXPECT_EQ(f->huhnTable[2].State, "Tod");
  EXPECT_EQ(f->scorePoints, 200);
  EXPECT_EQ(f->explosionPhase[1], AddExt(0, 0.3_ext));
  EXPECT_EQ(f->explosionX[1], 225);
  EXPECT_EQ(backend->records.back().what.pan, PanOf(210));
  LevelClick(210, 110);  // overlapping: only the lower place
  EXPECT_EQ(f->huhnTable[1].State, "Tod");
  EXPECT_EQ(f->scoreHits, 2);
  EXPECT_EQ(f->shotsLeft, 200 - 2);
}

TEST_F(Level, ShotsCountOnlyAboveLeichtAndNoneLeftMeansNoShot) {
  f->difficulty = 1;
  for (int i = 0; i < 3; ++i) LevelClick(5, 5);
  EXPECT_EQ(f->shotsLeft, 200);
  f->difficulty = 3;
  f->shotsLeft = 1;
  LevelClick(5, 5);
  EXPECT_EQ(f->shotsLeft, 0);
  Wave(true, 2, 1);
  f->huhnTable[1].X = 200, f->huhnTable[1].Y = 100;
  LevelClick(210, 110);
  EXPECT_EQ(f->huhnTable[1].State, "Normal");  // no shot left: ignored altogether
}

TEST_F(Level, PlaneAndItsDropObjects) {
  planeActive = 1;
  f->planeX = 370;
  f->dropX = 180;
  f->dropY = 200;
  LevelClick(375, 80);  // the plane counts only from x 371
  EXPECT_EQ(f->planeX, 370);
  f->planeX = 371;
  LevelClick(448, 96);
  EXPECT_EQ(f->planeX, 650);
  EXPECT_EQ(f->scorePoints, 150);
  EXPECT_EQ(f->explosionX[4], 411);
  // A drop object still to be released counts once the drop has begun.
  f->planeX = 200;
  LevelClick(180 + 20 * 5 + 30, 200 - 50 + 10);  // object 5, bottom right corner of its box
  EXPECT_EQ(f->dropGone[6], 1);
  EXPECT_EQ(f->scorePoints, 400);
  EXPECT_EQ(f->explosionY[16], 200 + 5 - 50);
  EXPECT_EQ(backend->records.back().what.pan, PanOf(280));

  // Landing: object 0 touches the ground at 320, costs 500 and explodes there.
  f->dropY = 319.5;
  f->planeX = 400;
  UpdatePlane();
  EXPECT_EQ(f->dropGone[1], 1);
  EXPECT_EQ(f->scorePoints, -100);
  EXPECT_EQ(f->explosionY[11], 325);
  EXPECT_EQ(f->explosionX[11], 195);
  EXPECT_EQ(backend->records.back().what.pan, -4375);
  // All gone: the sortie runs to its end once the plane has passed x 650.
  for (int k = 1; k <= 10; ++k) f->dropGone[k] = 1;
  f->planeX = 651;
  UpdatePlane();
  EXPECT_EQ(planeActive, 0);
  EXPECT_EQ(f->planeX, -100);
  EXPECT_EQ(f->dropY, 86);
}

TEST_F(Level, EveryObjectOfARowCountsUpToTheLastOne) {
  // A sortie left alone: all ten objects land, each costing 500 and exploding
  // where it lands; then the sortie ends, ready for the next.
  auto sortie = [&](bool shootLast) {
    planeActive = 1;
    for (int i = 0; i < 3000 && planeActive; ++i) {
      UpdatePlane();
      if (shootLast && f->planeX == 400) LevelClick(180 + 20 * 9 + 15, Round(f->dropY) - 90 + 5);
    }
    EXPECT_EQ(planeActive, 0);
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(f->dropGone[k], 0) << k;
  };
  sortie(false);
  EXPECT_EQ(f->scorePoints, -10 * 500);
  std::vector<int> pans;
  for (const auto& r : backend->records)
    if (r.what.kind == plat::Sighting::Sound) pans.push_back(r.what.pan);
  ASSERT_EQ(pans.size(), 10u);
  for (int k = 0; k <= 9; ++k) {
    EXPECT_EQ(pans[size_t(k)], PanOf(180 + 20 * k)) << k;
    EXPECT_EQ(f->explosionX[11 + k], 195 + 20 * k) << k;
    EXPECT_EQ(f->explosionY[11 + k], 325) << k;
  }
  // The last one shot in the air: 250 for it, the nine others land.
  f->scorePoints = 0;
  sortie(true);
  EXPECT_EQ(f->scorePoints, 250 - 9 * 500);
  EXPECT_EQ(f->explosionX[20], 375);

  // The extra column goes on until its fifth object is shot too.
  extraActive = 1;
  f->extra1Shot = 1;
  f->extra1X = 650;
  f->extra2X = 100;
  for (int k = 0; k <= 4; ++k) {
    UpdateExtra();
    ASSERT_EQ(extraActive, 1) << k;
    LevelClick(f->extra2X + 30, 30 + 35 * k + 10);
    EXPECT_EQ(f->extra2Gone[k + 1], 1) << k;
  }
  EXPECT_EQ(f->scorePoints, 250 - 9 * 500 + 5 * 150);
  UpdateExtra();
  EXPECT_EQ(extraActive, 0);
}

TEST_F(Level, BonusObjectsGiveTheirRewardsAndTheBoxWinsOverNegativ) {
  extraActive = 1;
  f->extra2X = 470;
  f->extra1X = -500;
  LevelClick(470, 152);  // column object 3 (y 135..156)
  EXPECT_EQ(f->extra2Gone[4], 1);
  EXPECT_EQ(f->scorePoints, 150);
  f->extra1X = 100, f->extra1Y = 50;
  LevelClick(157, 71);
  EXPECT_EQ(f->extra1Shot, 1);
  EXPECT_EQ(f->extra1X, 650);

  negativActive = 1;
  f->negativX = 100;
  f->negativY = 200;
  LevelClick(103, 214);
  EXPECT_EQ(negativActive, 0);
  EXPECT_EQ(f->scorePoints, 200 - 1000);

  ammoActive = 1;
  f->ammoX = 500, f->ammoY = 130;
  f->shotsLeft = 3;
  LevelClick(519, 152);
  EXPECT_EQ(ammoActive, 0);
  EXPECT_EQ(f->shotsLeft, 200);

  // Where the ammunition box and negativ overlap, the box is taken.
  ammoActive = negativActive = 1;
  f->ammoX = f->negativX = 300;
  f->ammoY = 50, f->negativY = 50;
  LevelClick(310, 70);
  EXPECT_EQ(ammoActive, 0);
  EXPECT_EQ(negativActive, 1);
}

// A level left from the pause in the middle of everything: the next one starts
// as this one did (only the bonus objects under way go on, from their rest).
TEST_F(Level, ALevelLeftInTheMiddleLeavesNothingToTheNext) {
  const std::string fresh = replay::EncodeStart();
  ampelActive = chickenLeftActive = chickenRightActive = 1;
  for (int k = 1; k <= 10; ++k) f->dropGone[k] = 1;
  for (int k = 1; k <= 5; ++k) f->extra2Gone[k] = 1;
  for (int i = 0; i <= 20; ++i) f->explosionPhase[i] = 4.2;
  f->scorePoints = f->scoreHits = f->chickensReleased = f->shotsLeft = 77;
  f->planeX = f->dropX = f->ammoY = f->plane2X = f->extra1X = f->extra2X = 77;
  f->dropY = f->negativY = f->endSequenceTime = f->flapPhase = 7.7;
  f->extra1Shot = f->ampelVisible = 1;
  f->shakeX = f->shakeY = 3;
  speedDivisor = 2.0;
  StartLevel();
  EXPECT_EQ(replay::EncodeStart(), fresh);
}

TEST_F(Level, ExplosionsRestartAndShortenEachOther) {
  StartExplosion(3, 100, 100);
  AdvanceExplosions();
  StartExplosion(3, 300, 200);  // a running slot starts again at the new place
  EXPECT_EQ(f->explosionX[3], 300);
  EXPECT_EQ(f->explosionPhase[3], AddExt(0, 0.3_ext));
  StartExplosion(4, 0, 0);  // the second start advances the first once more
  EXPECT_EQ(f->explosionPhase[3], AddExt(AddExt(0, 0.3_ext), 0.3_ext));
  int frames = 0;
  while (f->explosionPhase[4] > -1) {
    AdvanceExplosions();
    frames += f->explosionPhase[4] > 0;
  }
  EXPECT_EQ(frames, 27);
}

TEST_F(Level, TheEndWaitsForFlightsAndExplosionsButNotForNegativOrTheBox) {
  f->chickensReleased = 100;
  negativActive = ammoActive = 1;
  extraActive = 1;
  Tick();
  EXPECT_EQ(f->gameState, "Level");
  extraActive = 0;
  StartExplosion(20, 10, 10);
  Tick();
  EXPECT_EQ(f->gameState, "Level");
  f->explosionPhase[20] = -1;
  const uint64_t flips = f->screen1.FlipCount;
  Tick();
  EXPECT_EQ(f->gameState, "Atombombe");
  EXPECT_EQ(f->screen1.FlipCount, flips);  // nothing drawn in that tick
  EXPECT_EQ(f->placement, 0);
  Tick();
  EXPECT_EQ(f->screen1.FlipCount, flips + 1);
}

TEST_F(Level, CountdownLightsOneLampAfterAnotherAndReleasesTheWave) {
  StartWave();
  std::vector<int> firstTickWith;
  for (int tick = 1; ampelActive; ++tick) {
    UpdateAmpel();
    const int lamps = f->ampelVisible ? int(f->ampelTime) : -1;
    if (lamps >= 0 && int(firstTickWith.size()) == lamps) firstTickWith.push_back(tick);
    if (!ampelActive) firstTickWith.push_back(tick);
  }
  EXPECT_EQ(firstTickWith, (std::vector<int>{1, 50, 100, 150, 200}));
  EXPECT_EQ(f->chickensReleased, f->waveSize);
  EXPECT_EQ(chickenLeftActive + chickenRightActive, 1);
  // The painted-over light: with one lamp only columns 0..21 remain.
  f->ampelTime = 1.5;
  UpdateAmpel();
  const TSurface& light = *f->ampelSurface;
  EXPECT_NE(light.Pixel(11, 7), 0);
  EXPECT_EQ(light.Pixel(33, 7), 0);
  EXPECT_EQ(light.Pixel(50, 7), 0);
}

TEST_F(Level, TheLastWavesMakeExactlyOneHundred) {
  for (int released : {96, 97, 98, 99}) {
    f->chickensReleased = released;
    StartWave();
    if (released > 96) {
      EXPECT_EQ(f->waveSize, 100 - released);
    }
    EXPECT_LE(f->waveSize, 3);
  }
  f->chickensReleased = 100;
  ampelActive = 0;
  StartWave();
  EXPECT_EQ(ampelActive, 0);
}

TEST_F(Level, TheEndSequenceTickByTick) {
  f->chickensReleased = 100;
  Tick();
  ASSERT_EQ(f->gameState, "Atombombe");
  // For each tick: the state after it, and the ticks in which each thing happened.
  std::vector<std::pair<int, std::string>> states;
  std::vector<int> warning, detonation, clouds, gameOver;
  for (int tick = 1; f->gameState != "Results"; ++tick) {
    const size_t sounds = backend->records.size();
    const double atom = f->atomFrame;
    const bool nirwana = f->gameState == "Nirwana";
    const auto texts = TextsOf([&] { Tick(); });
    if (states.empty() || states.back().second != f->gameState) states.emplace_back(tick, f->gameState);
    for (const TDrawnText& t : texts)
      if (t.text == "Nukleare Absch\xFCsse entdeckt" && t.x == 250 && t.y == 200) warning.push_back(tick);
    for (size_t i = sounds; i < backend->records.size(); ++i)
      if (backend->records[i].what.kind == plat::Sighting::Sound && backend->records[i].what.item == 1)
        detonation.push_back(tick);
    if (f->atomFrame != atom) clouds.push_back(tick);
    if ((nirwana || f->gameState == "Nirwana") && f->screen1.Surface.Pixel(320, 240) != 0) gameOver.push_back(tick);
    ASSERT_LT(tick, 2000);
  }
  // Runs of ticks as first..last pairs.
  auto runs = [](const std::vector<int>& ticks) {
    std::vector<std::pair<int, int>> r;
    for (int t : ticks) {
      if (r.empty() || r.back().second + 1 != t) r.emplace_back(t, t);
      r.back().second = t;
    }
    return r;
  };
  using Runs = std::vector<std::pair<int, int>>;
  EXPECT_EQ(states, (std::vector<std::pair<int, std::string>>{{1, "Atombombe"}, {816, "Nirwana"}, {1165, "Results"}}));
  EXPECT_EQ(runs(warning), (Runs{{1, 55}, {96, 155}, {195, 254}, {295, 354}}));
  EXPECT_EQ(detonation, (std::vector<int>{574}));
  EXPECT_EQ(runs(clouds), (Runs{{575, 815}}));
  // "Game over" is drawn from the 51st tick of "Nirwana" on, first too faint to show.
  EXPECT_EQ(runs(gameOver), (Runs{{867, 1165}}));
}

TEST_F(Level, TheShotCountTurnsRedBelow51AndStaysWhiteOnLeicht) {
  struct Case {
    int difficulty, shots;
    std::string text;
    TColor colour;
  };
  for (const Case& c : {Case{2, 51, "51", clWhite}, Case{2, 50, "50", clRed}, Case{3, 1, "1", clRed},
                        Case{3, 200, "200", clWhite}, Case{1, 200, "---", clWhite}}) {
    f->difficulty = c.difficulty;
    f->shotsLeft = c.shots;
    const auto texts = TextsOf([&] { Tick(); });
    int found = 0;
    for (const TDrawnText& t : texts) {
      if (t.x == 605 && t.y == 4) {
        ++found;
        EXPECT_EQ(t.text, c.text);
        EXPECT_EQ(t.color, c.colour) << c.shots;
      } else {
        EXPECT_EQ(t.color, clWhite) << t.text;
      }
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(f->screen1.Surface.Canvas().Font.Color, clWhite);
  }
}

TEST_F(Level, WingsShowTheSecondPictureFiveTicksInEleven) {
  Wave(true, 2);
  std::string seen;
  for (int tick = 0; tick < 22; ++tick) {
    Tick();
    const TSurface& sprite = *f->huhnbSurface;
    for (auto [item, mark] : {std::pair{14, 'a'}, {25, 'b'}})
      if (std::equal(sprite.Bits(), sprite.Bits() + 36 * 35, f->ImageList1.Items[size_t(item)]->Picture().Bits()))
        seen += mark;
  }
  EXPECT_EQ(seen, "aaaaabbbbbaaaaaabbbbba");
}

TEST_F(Level, RandomizeTakesItsSeedFromTheHostsClock) {
  backend->clockMs = 1000;
  Randomize();
  const uint32_t first = RandSeed;
  EXPECT_EQ(first, backend->RandomizeSeed());
  backend->clockMs = 1020;
  Randomize();
  EXPECT_NE(RandSeed, first);
}

TEST_F(Level, FlightLinesCountOnlyOnceCrossed) {
  speedDivisor = 2.5;
  struct Case {
    const char* what;
    bool leftward;
    int kind, x, y;
    bool follower;  // a second chicken waits for the release; otherwise the wave ends
  };
  // One step reaches the line exactly (nothing yet), the next crosses it.
  for (const Case& c : {Case{"release left", true, 1, 456, 390, true}, Case{"release left high", true, 3, 500, 356, true},
                        Case{"release right", false, 2, 145, 350, true},
                        Case{"release right high", false, 3, 90, 306, true},
                        Case{"far end right", false, 1, 494, 350, false}, Case{"far end left", true, 1, 96, 390, false},
                        Case{"off right", false, 2, 635, 350, false}, Case{"off left", true, 2, -34, 390, false},
                        Case{"off top", true, 3, 300, -34, false}}) {
    chickenLeftActive = chickenRightActive = 0;
    Wave(c.leftward, c.kind, c.follower ? 2 : 1);
    f->huhnTable[1].X = c.x, f->huhnTable[1].Y = c.y;
    for (int step = 0; step < 2; ++step) {
      c.leftward ? MoveChickensLeft() : MoveChickensRight();
      const bool done = c.follower ? f->huhnTable[2].State == "Normal" : (chickenLeftActive | chickenRightActive) == 0;
      EXPECT_EQ(done, step == 1) << c.what << " after step " << step + 1;
    }
  }
}

TEST_F(Level, TheAnimationClocksShowEveryFrameAndWrapAtTheirCount) {
  f->schussFrame = f->feuerFrame = f->atomFrame = 0;
  int highest[3] = {0, 0, 0}, atomBack = 0;
  for (int call = 1; call <= 300; ++call) {
    AdvanceAnimations();
    const int shown[3] = {Round(f->schussFrame), Round(f->feuerFrame), Round(f->atomFrame)};
    for (int i = 0; i < 3; ++i) highest[i] = std::max(highest[i], shown[i]);
    if (!atomBack && f->atomFrame == 0) atomBack = call;
  }
  EXPECT_EQ(highest[0], f->gifSchuss->Count() - 1);
  EXPECT_EQ(highest[1], f->gifFeuer->Count() - 1);
  EXPECT_EQ(highest[2], 25);
  EXPECT_EQ(atomBack, 51);  // 0.5 steps: frame 25 shows once, at 25.0
}

TEST_F(Level, OnlySchwerKeepsTheFasterChickensIntoItsLevel) {
  for (int difficulty : {1, 2, 3}) {
    speedDivisor = 2.0;  // "Schwer" was chosen once
    f->difficulty = difficulty;
    StartLevel();
    EXPECT_EQ(speedDivisor, difficulty == 3 ? 2.0 : 2.5) << difficulty;
  }
}
