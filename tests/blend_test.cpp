// Blending on the real screens, pixel for pixel, at every step: the menu fades,
// the blended explosions and "Game over" (the pause is one of the screens).
// Every expected pixel is worked out here from the rule: the source's share is
// alpha / 255 in 32nds, rounded to the nearest, and each 5-6-5 channel is
// (source x share + target x (32 - share)) / 32, cut to a whole number.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "extras.h"
#include "game_fixture.h"
#include "menu.h"
#include "tool1.h"

namespace {

uint16_t Blend(uint16_t s, uint16_t d, int alpha) {
  if (alpha < 1) return d;
  if (alpha >= 255) return s;
  const int a = int(std::lround(alpha * 32 / 255.0));
  auto channel = [&](int shift, int mask) {
    return ((((s >> shift) & mask) * a + ((d >> shift) & mask) * (32 - a)) / 32) << shift;
  };
  return uint16_t(channel(11, 31) | channel(5, 63) | channel(0, 31));
}

using Picture = std::vector<uint16_t>;

Picture Copy(const TSurface& s) { return Picture(s.Bits(), s.Bits() + size_t(s.Width()) * size_t(s.Height())); }

// Compares a rectangle of the back surface with expected(x, y); names the first few differences.
void ExpectPixels(const TSurface& back, TRect r, const std::function<uint16_t(int, int)>& expected,
                  const std::string& what) {
  int wrong = 0;
  std::ostringstream first;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const uint16_t want = expected(x, y), got = back.Pixel(x, y);
      if (want != got && wrong++ < 3) first << " (" << x << ", " << y << "): " << got << " not " << want;
    }
  EXPECT_EQ(wrong, 0) << what << first.str();
}

class Blending : public GameTest {
 protected:
  void SetUp() override { StartGame(); }
};

}  // namespace

TEST_F(Blending, EveryStepOfAMenuFade) {
  TForm1& f = *Form1;
  // Each step's picture, taken when the fade delivers the events waiting after its flip.
  std::vector<Picture> steps;
  const auto handler = Application.OnMouseMove;
  uint64_t flips = f.screen1.FlipCount;
  Application.OnMouseMove = [&](int, int) {
    if (f.screen1.FlipCount != flips) steps.push_back(Copy(f.screen1.Surface)), flips = f.screen1.FlipCount;
    backend->QueueMove(0, 0);
  };
  backend->QueueMove(0, 0);
  MenuFadeIn(2);
  Application.OnMouseMove = handler;
  ASSERT_EQ(steps.size(), 18u);
  const TSurface& title = f.menu1.Items[2]->Picture();
  const TSurface& panel = f.menu1.Items[3]->Picture();
  const TSurface& background = *f.menuBackground;
  for (int step = 0; step < 18; ++step) {
    TSurface shown(640, 480);
    std::copy(steps[size_t(step)].begin(), steps[size_t(step)].end(), shown.Bits());
    for (const auto& [item, left, top] : {std::tuple{&title, 153, 163}, std::tuple{&panel, 367, 172}}) {
      ExpectPixels(
          shown, Rect(left, top, left + item->Width(), top + item->Height()),
          [&, item = item, left = left, top = top](int x, int y) {
            const uint16_t s = item->Pixel(x - left, y - top), d = background.Pixel(x, y);
            return s == 0 ? d : Blend(s, d, 15 * step);  // black is the pictures' key
          },
          "step " + std::to_string(step));
    }
  }
}

TEST_F(Blending, BlendedExplosionsAreSquashedToTheirRectangle) {
  TForm1& f = *Form1;
  StartLevel();
  f.alphaExplosions = 1;
  const TSurface& background = *f.levelBackground;
  // Slot 6 in the open sky, drawn once in each of its pictures.
  for (int picture = 1; picture <= 8; ++picture) {
    f.explosionX[6] = 200, f.explosionY[6] = 120;
    f.explosionPhase[6] = picture - 0.7;  // the tick advances it to picture - 0.4, which rounds to the picture
    Tick();
    const TSurface& frame = *f.explosionFrames[picture];
    // 75 rows into 74: each row takes the source row under its centre.
    ExpectPixels(
        f.screen1.Surface, Rect(150, 83, 250, 157),
        [&](int x, int y) {
          const int sy = ((y - 83) * 2 + 1) * 75 / (2 * 74);
          const uint16_t s = frame.Pixel(x - 150, sy), d = background.Pixel(x, y);
          return s == 0 ? d : Blend(s, d, 210);
        },
        "picture " + std::to_string(picture));
    EXPECT_EQ(f.screen1.Surface.Pixel(200, 157), background.Pixel(200, 157));
  }
}

TEST_F(Blending, GameOverFadesInOverBlack) {
  TForm1& f = *Form1;
  f.gameState = "Nirwana";
  f.endSequenceTime = 0;
  const TSurface& words = f.menu1.Items[9]->Picture();
  for (int tick = 1; f.gameState == "Nirwana"; ++tick) {
    Tick();
    ExpectPixels(
        f.screen1.Surface, Rect(206, 215, 434, 265),
        [&](int x, int y) { return Blend(words.Pixel(x - 206, y - 215), 0, 2 * tick - 100); },
        "tick " + std::to_string(tick));
  }
}
