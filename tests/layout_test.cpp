// Where the picture stands in a window of any size, how the pointer maps to
// display pixels, and which way of showing the picture is tried first.
#include "platform/core/layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/core/files.h"
#include "platform/core/scaler.h"

namespace {

using plat::PictureRect;
using plat::WindowGeometry;

TEST(Layout, ThePictureFillsWhatItCanWithItsAspectAndBarsAround) {
  struct Case {
    int ow, oh;
    PictureRect want;
  };
  for (const Case c : {Case{640, 480, {0, 0, 640, 480}}, Case{1920, 1080, {240, 0, 1440, 1080}},
                       Case{1366, 768, {171, 0, 1024, 768}}, Case{1280, 1024, {0, 32, 1280, 960}},
                       Case{320, 480, {0, 120, 320, 240}}, Case{3, 2, {0, 0, 3, 2}}, Case{1, 1, {0, 0, 1, 1}}}) {
    const PictureRect p = plat::FitPicture(c.ow, c.oh);
    EXPECT_EQ((std::vector<int>{p.x, p.y, p.w, p.h}), (std::vector<int>{c.want.x, c.want.y, c.want.w, c.want.h}))
        << c.ow << "x" << c.oh;
  }
  // A window with no room (Windows allows a client area 0 pixels high) holds no picture.
  for (const auto& [w, h] : {std::pair{0, 0}, std::pair{800, 0}, std::pair{0, 600}, std::pair{1, 0}})
    EXPECT_TRUE(plat::FitPicture(w, h).Empty()) << w << "x" << h;
}

// Every display pixel's centre maps back to that pixel, on plain and dense
// screens alike, and positions on the bars go to the picture's nearest edge.
TEST(Layout, EveryPixelMapsToItselfAtEveryScaleAndTheBarsToTheEdge) {
  for (const WindowGeometry g :
       {WindowGeometry{640, 480, 640, 480}, WindowGeometry{1280, 960, 1280, 960}, WindowGeometry{1366, 768, 1366, 768},
        WindowGeometry{1920, 1080, 1920, 1080}, WindowGeometry{960, 540, 1920, 1080},
        WindowGeometry{1440, 900, 2880, 1800}, WindowGeometry{800, 600, 800, 600}, WindowGeometry{400, 300, 400, 300},
        WindowGeometry{160, 120, 160, 120}}) {
    SCOPED_TRACE(std::to_string(g.windowWidth) + "x" + std::to_string(g.windowHeight) + " showing " +
                 std::to_string(g.outputWidth) + "x" + std::to_string(g.outputHeight));
    const PictureRect p = plat::FitPicture(g.outputWidth, g.outputHeight);
    // Where a window unit holds at least one display pixel, each pixel can be
    // reached and comes back as itself.
    const bool fine = p.w * g.windowWidth >= 640 * g.outputWidth;
    for (int y = 0; y < 480; y += fine ? 1 : 7)
      for (int x = 0; x < 640; x += fine ? 1 : 7) {
        int wx = 0, wy = 0, bx = -1, by = -1;
        plat::DisplayToWindow(g, x, y, wx, wy);
        plat::WindowToDisplay(g, wx, wy, bx, by);
        if (fine) {
          ASSERT_EQ(bx, x) << "at " << x << "," << y;
          ASSERT_EQ(by, y) << "at " << x << "," << y;
        } else {
          // Coarser units than pixels: within the unit's share of pixels.
          const int perUnit = 640 * g.outputWidth / (p.w * g.windowWidth);
          ASSERT_LE(std::abs(bx - x), perUnit) << "at " << x << "," << y;
          ASSERT_LE(std::abs(by - y), perUnit) << "at " << x << "," << y;
        }
      }
    int x = -1, y = -1;
    if (fine) {
      plat::WindowToDisplay(g, 0, 0, x, y);
      EXPECT_EQ(std::pair(x, y), std::pair(0, 0));
      plat::WindowToDisplay(g, g.windowWidth - 1, g.windowHeight - 1, x, y);
      EXPECT_EQ(std::pair(x, y), std::pair(639, 479));
    }
    plat::WindowToDisplay(g, -50, g.windowHeight + 50, x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(0, 479));
    const PictureRect w = plat::PictureInWindow(g);
    EXPECT_EQ(w.x * 2 + w.w, g.windowWidth - (g.windowWidth - w.w) % 2);
  }
}

// A pointer that reports finer than the window's units (a browser on a dense
// screen, a finger) points at the pixel under it, not half a unit further on;
// whole units still count by their centres.
TEST(Layout, FractionalPositionsAreThePointUnderThePointer) {
  int x = -1, y = -1;
  const WindowGeometry dense{320, 240, 640, 480};  // two pixels to a unit
  plat::WindowToDisplay(dense, 0.75, 10.25, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(1, 20));
  plat::WindowToDisplay(dense, 10, 20, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(21, 41));
  const WindowGeometry wide{1366, 768, 1366, 768};  // 1.6 pixels to a picture pixel, from x 171
  plat::WindowToDisplay(wide, 172.5, 3.1, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(0, 1));
}

TEST(Layout, OutputsAreTriedGpuFirstThenTheWindowsPixelsThenAnyRenderer) {
  using plat::Output;
  EXPECT_EQ(plat::OutputOrder(false, false), (std::vector<Output>{Output::WindowPixels, Output::AnyRenderer}));
  EXPECT_EQ(plat::OutputOrder(false, true),
            (std::vector<Output>{Output::GpuRenderer, Output::WindowPixels, Output::AnyRenderer}));
  EXPECT_EQ(plat::OutputOrder(true, false),
            (std::vector<Output>{Output::GpuRenderer, Output::WindowPixels, Output::AnyRenderer}));

  // Waiting for a 50 Hz display takes up to 20 ms by itself: that is no slow display.
  EXPECT_FALSE(plat::PresentSlowerThanRefresh(20.0, 50));
  EXPECT_FALSE(plat::PresentSlowerThanRefresh(22.0, 50));
  EXPECT_TRUE(plat::PresentSlowerThanRefresh(23.0, 50));
  EXPECT_FALSE(plat::PresentSlowerThanRefresh(17.0, 60));
  EXPECT_TRUE(plat::PresentSlowerThanRefresh(19.5, 60));
  EXPECT_TRUE(plat::PresentSlowerThanRefresh(10.0, 144));
  EXPECT_FALSE(plat::PresentSlowerThanRefresh(100.0, 0));  // refresh unknown: no judgement
}

TEST(Layout, SoundFontListsSplitAtTheSystemsSeparator) {
  const char sep = plat::PathListSeparator();
  const std::string list = std::string("/a/one.sf2") + sep + sep + "/b/two.sf2;/c/three.sf2";
  EXPECT_EQ(plat::SplitPathList(list), (std::vector<std::string>{"/a/one.sf2", "/b/two.sf2", "/c/three.sf2"}));
  EXPECT_EQ(plat::SplitPathList(""), std::vector<std::string>{});
  if (sep == ';') {
    EXPECT_EQ(plat::SplitPathList("C:\\Sounds\\gm.sf2"), std::vector<std::string>{"C:\\Sounds\\gm.sf2"});
  }
}

// Small windows get a small picture; a window with no room gets none, and
// nothing is written for it.
TEST(Scaler, SizesBelowThePictureAndNoSizeAtAll) {
  std::vector<uint16_t> picture(640 * 480, 0xFFFF);
  for (const auto& [w, h] : {std::pair{320, 240}, std::pair{213, 160}, std::pair{7, 5}, std::pair{1, 1},
                            std::pair{0, 0}, std::pair{640, 0}, std::pair{0, 480}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    plat::PictureScaler scaler;
    scaler.Configure(w, h, plat::PixelOrder::Xrgb);
    EXPECT_EQ(scaler.Empty(), w == 0 || h == 0);
    // A guard row and column around the picture must stay untouched.
    const int pitch = w + 1;
    std::vector<uint32_t> out(size_t(pitch) * size_t(h + 1) + 1, 0x12345678u);
    scaler.Scale(picture.data(), out.data(), pitch * 4);
    for (int y = 0; y <= h; ++y)
      for (int x = 0; x < pitch; ++x) {
        const bool inside = x < w && y < h;
        ASSERT_EQ(out[size_t(y) * size_t(pitch) + size_t(x)], inside ? 0xFFFFFFFFu : 0x12345678u) << x << "," << y;
      }
  }
}

}  // namespace
