// The real message loop, the frame timer's grid, presenting on a slow display
// and the modal box, on a backend whose clock the test drives.
#include <gtest/gtest.h>

#include <string>

#include "driven_backend.h"
#include "platform/core/dxdraw.h"
#include "platform/core/keys.h"
#include "platform/core/msgbox.h"
#include "platform/core/timer.h"

namespace {

class Loop : public ::testing::Test {
 protected:
  void SetUp() override { Application.Initialize(&host); }
  void TearDown() override {
    Application.OnKeyDown = nullptr;
    Application.OnException = nullptr;
    Application.Initialize(nullptr);
  }
  // Runs the message loop until the close request at `ms` ends it.
  void RunUntil(uint32_t ms) {
    host.KindAt(ms, plat::EventKind::CloseRequest);
    Application.Run();
  }

  DrivenBackend host;
};

TEST_F(Loop, TicksKeepTheirGridEventsComeInBetweenAndTheLoopSleeps) {
  TDXTimer timer;
  timer.Enabled = true;
  std::vector<uint32_t> ticks;
  timer.OnTimer = [&] {
    ticks.push_back(host.clockMs);
    host.clockMs += 3;  // the game step
    if (ticks.size() == 3) throw std::runtime_error("a failing step");
  };
  std::vector<std::string> seen;
  Application.OnKeyDown = [&](int key) { seen.push_back(std::to_string(key) + "@" + std::to_string(host.clockMs)); };
  Application.OnException = [&](const std::exception& e) { seen.push_back(e.what()); };
  host.KeyAt(105, 'A');
  host.KeyAt(105, 'B');
  host.KindAt(300, plat::EventKind::Deactivate);
  host.KindAt(500, plat::EventKind::Activate);
  RunUntil(1010);

  // 20 .. 280, then (primed afresh at 500) 520 .. 1000: each on its millisecond.
  ASSERT_EQ(ticks.size(), 14u + 25u);
  for (size_t k = 0; k < ticks.size(); ++k) EXPECT_EQ(ticks[k], k < 14 ? 20 * (k + 1) : 520 + 20 * (k - 14)) << k;
  EXPECT_EQ(seen, (std::vector<std::string>{"a failing step", "65@105", "66@105"}));
  // Never a wait of nothing (a busy loop); without a timer that may tick, a wait without limit.
  EXPECT_EQ(std::count(host.waits.begin(), host.waits.end(), 0), 0);
  EXPECT_EQ(std::count(host.waits.begin(), host.waits.end(), -1), 1);
}

TEST_F(Loop, AStoppedGameStartsAFreshGridAndOnlyASlowStepSlowsIt) {
  TDXDraw screen;
  TDXTimer timer;
  timer.Enabled = true;
  std::vector<uint32_t> ticks;
  timer.OnTimer = [&] {
    ticks.push_back(host.clockMs);
    if (ticks.size() == 10) host.clockMs += 2000;                     // the process was stopped
    if (ticks.size() > 20 && ticks.size() <= 40) host.clockMs += 30;  // slow steps
    screen.Flip();
  };
  RunUntil(3200);
  // After the stop: one tick at once, then 20 ms apart again (no burst to catch up).
  EXPECT_EQ(ticks[9], 200u);
  EXPECT_EQ(ticks[10], 2200u);
  EXPECT_EQ(ticks[11], 2220u);
  // A step of 30 ms makes every tick late: each begins when the last ends.
  for (size_t k = 21; k < 40; ++k) EXPECT_EQ(ticks[k] - ticks[k - 1], 30u) << k;
  // Then at most the last kMaxLagMs are caught up, and the grid goes on.
  size_t k = 41;
  while (k < ticks.size() && ticks[k] == ticks[k - 1]) ++k;
  EXPECT_LE(k - 41, TDXTimer::kMaxLagMs / 20);
  for (++k; k < ticks.size(); ++k) EXPECT_EQ(ticks[k] - ticks[k - 1], 20u) << k;
  // While every tick is late its picture is left out, but one is shown every
  // kLongestUnshownMs all the same.
  size_t slowShown = 0;
  for (size_t i = 1; i < host.shown.size(); ++i) {
    if (host.shown[i].atMs <= ticks[21] || host.shown[i].atMs > ticks[40]) continue;
    ++slowShown;
    EXPECT_LE(host.shown[i].atMs - host.shown[i - 1].atMs, plat::TApplication::kLongestUnshownMs + 30) << i;
  }
  EXPECT_GE(slowShown, 4u);
  EXPECT_LT(slowShown, 10u);
}

// A display that takes 35 ms to show a picture: the game keeps its pace (every
// tick once, on its grid, late by one present at most) and shows the newest
// picture about every other tick.
TEST_F(Loop, ASlowDisplayNeverSlowsTheGame) {
  host.presentMs = 35;
  TDXDraw screen;
  TDXTimer timer;
  // Pictures drawn back to back while no timer runs may be paced to the display.
  screen.Flip();
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_TRUE(host.shown[0].mayWait);
  host.shown.clear();

  timer.Enabled = true;
  std::vector<uint32_t> ticks;
  timer.OnTimer = [&] {
    ticks.push_back(host.clockMs);
    screen.Surface.Bits()[0] = uint16_t(ticks.size());
    screen.Flip();
    if (ticks.size() == 500) timer.Enabled = false;
  };
  const uint32_t start = host.clockMs;
  RunUntil(start + 10200);

  ASSERT_EQ(ticks.size(), 500u);
  for (size_t k = 0; k < ticks.size(); ++k) {
    const uint32_t due = start + 20 * uint32_t(k + 1);
    EXPECT_GE(ticks[k], due) << k;
    EXPECT_LT(ticks[k], due + 35) << k;
  }
  EXPECT_EQ(screen.FlipCount, 501u);
  ASSERT_GE(host.shown.size(), 200u);
  for (size_t i = 1; i < host.shown.size(); ++i) {
    EXPECT_GT(host.shown[i].firstPixel, host.shown[i - 1].firstPixel) << i;
    EXPECT_LE(host.shown[i].atMs - host.shown[i - 1].atMs, plat::TApplication::kLongestUnshownMs + 35) << i;
    EXPECT_FALSE(host.shown[i].mayWait);
  }
  // The last picture is shown once the loop has time for it.
  EXPECT_EQ(host.shown.back().firstPixel, 500);
}

// The box takes Enter and Space on the focused button, Escape, the access keys
// and left presses on a button; the frame timer ticks behind it, and the game
// sees none of the input meant for the box.
TEST_F(Loop, TheModalBoxChoosesByKeysAndMouse) {
  plat::MessageBoxContent content;
  content.caption = "Best\xE4tigung";
  content.text =
      "Soll die Highscore-Liste wirklich zur\xFC"
      "ckgesetzt werden?";
  content.icon = plat::BoxIcon::Question;
  content.buttons = {"&Ja", "&Nein"};
  content.cancelButton = 1;
  const plat::ModalBox layout(content);
  const TRect ja = layout.buttonRects[0], nein = layout.buttonRects[1];
  auto key = [](int k) {
    plat::Event e;
    e.kind = plat::EventKind::KeyDown;
    e.key = k;
    return e;
  };
  auto press = [](int x, int y, int button = 0) {
    plat::Event e;
    e.kind = plat::EventKind::MouseDown;
    e.x = x;
    e.y = y;
    e.button = button;
    return e;
  };
  struct Case {
    std::vector<plat::Event> input;
    int answer;
    int focusChanges;
  };
  const std::vector<Case> cases = {
      {{key(VK_RETURN)}, 0, 0},
      {{key(VK_RIGHT), key(VK_RETURN)}, 1, 1},
      {{key(VK_TAB), key(VK_TAB), key(VK_SPACE)}, 0, 2},
      {{key(VK_LEFT), key(VK_SPACE)}, 1, 1},
      {{key(VK_ESCAPE)}, 1, 0},
      {{key('X'), key('N')}, 1, 0},
      {{key('J')}, 0, 0},
      {{press(ja.Left + 3, ja.Top + 3, 1), press(nein.Right, nein.Top), press(ja.Left, ja.Bottom),
        press(nein.Right - 1, nein.Bottom - 1)},
       1,
       0},
  };
  TDXTimer timer;
  timer.Enabled = true;
  int ticks = 0, gameKeys = 0;
  timer.OnTimer = [&] { ++ticks; };
  Application.OnKeyDown = [&](int) { ++gameKeys; };
  for (const Case& c : cases) {
    const size_t shownBefore = host.shown.size();
    const uint32_t opened = host.clockMs;
    for (size_t i = 0; i < c.input.size(); ++i) host.At(opened + 100 * uint32_t(i + 1), c.input[i]);
    ticks = 0;
    EXPECT_EQ(Application.MessageBox(content), c.answer) << "case " << &c - cases.data();
    EXPECT_EQ(host.clockMs, opened + 100 * c.input.size());
    EXPECT_GE(ticks, 5 * int(c.input.size()) - 1);
    // Shown when it opens, at every change of focus and once gone.
    EXPECT_EQ(host.shown.size() - shownBefore, size_t(2 + c.focusChanges));
    EXPECT_EQ(host.sightings.back().answer, c.answer == 0 ? "&Ja" : "&Nein");
  }
  EXPECT_EQ(gameKeys, 0);

  // Activation changes reach the application while the box is open.
  host.KindAt(host.clockMs + 10, plat::EventKind::Deactivate);
  host.At(host.clockMs + 20, key(VK_ESCAPE));
  Application.MessageBox(content);
  EXPECT_FALSE(Application.Active);
}

}  // namespace
