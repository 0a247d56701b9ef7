// The drawing semantics the screens rely on: colour keys, clipping, exclusive
// rectangles, alpha limits and scaling. Text is the screens' test.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/core/dxdraw.h"
#include "platform/core/imagelist.h"
#include "platform/core/surface.h"

namespace {

const uint16_t kRed = ToPixel(RGBColor(255, 0, 0));
const uint16_t kGreen = ToPixel(RGBColor(0, 255, 0));
const uint16_t kBlue = ToPixel(RGBColor(0, 0, 255));

// A 4 x 3 source: black (the key) in the left column, red elsewhere.
void MakeSprite(TSurface& s) {
  s.SetSize(4, 3);
  s.FillRect(Rect(1, 0, 4, 3), RGBColor(255, 0, 0));
}

int Count(const TSurface& s, uint16_t p) {
  int n = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) == p;
  return n;
}

}  // namespace

TEST(Drawing, ColourKeyBelongsToTheSourceAndNearBlackIsKeyedToo) {
  TSurface target(10, 10), sprite;
  target.Fill(RGBColor(0, 255, 0));
  MakeSprite(sprite);
  target.Draw(2, 2, sprite, true);
  EXPECT_EQ(target.Pixel(2, 2), kGreen);  // key pixel skipped
  EXPECT_EQ(target.Pixel(3, 2), kRed);
  target.Draw(2, 2, sprite, false);
  EXPECT_EQ(target.Pixel(2, 2), 0);  // opaque copy takes the black too

  // A colour that becomes black in the display format is see-through as well.
  TSurface dark(1, 1);
  dark.FillRect(Rect(0, 0, 1, 1), RGBColor(7, 3, 7));
  target.Draw(0, 0, dark, true);
  EXPECT_EQ(target.Pixel(0, 0), kGreen);

  // A surface is made and resized with black as its key; loading keeps that.
  sprite.TransparentColor = clWhite;
  sprite.LoadFromGraphic(dark);
  EXPECT_EQ(sprite.TransparentColor, clBlack);
}

TEST(Drawing, EverythingIsClippedAndRightBottomAreExclusive) {
  TSurface target(10, 10), sprite;
  MakeSprite(sprite);
  target.Draw(-2, -1, sprite, false);  // only columns 2..3, rows 1..2 of the sprite land
  EXPECT_EQ(target.Pixel(0, 0), kRed);
  EXPECT_EQ(target.Pixel(1, 1), kRed);
  EXPECT_EQ(target.Pixel(2, 0), 0);
  target.Draw(8, 8, sprite, false);
  EXPECT_EQ(target.Pixel(9, 9), kRed);
  target.Draw(100, -100, sprite, false);  // entirely outside: nothing, no fault
  target.DrawRect(0, 5, Rect(-5, -5, 2, 2), sprite, false);  // source rectangle beyond the source
  EXPECT_EQ(target.Pixel(5, 10 - 5), 0);

  TSurface box(10, 10);
  box.FillRect(Rect(2, 3, 5, 7), RGBColor(0, 0, 255));
  EXPECT_EQ(Count(box, kBlue), 3 * 4);
  box.Fill(clBlack);
  TCanvas& c = box.Canvas();
  c.Brush.Color = RGBColor(255, 0, 0);
  c.Pen.Color = RGBColor(0, 0, 255);
  c.Rectangle(1, 1, 5, 4);  // 4 x 3: outline 10 pixels, inside 2
  EXPECT_EQ(Count(box, kBlue), 10);
  EXPECT_EQ(Count(box, kRed), 2);
  EXPECT_EQ(box.Pixel(5, 1), 0);
  c.Brush.Style = bsClear;
  box.Fill(clBlack);
  c.Rectangle(0, 0, 3, 3);
  EXPECT_EQ(box.Pixel(1, 1), 0);  // a clear brush leaves the inside
}

TEST(Drawing, AlphaLimitsAndBlending) {
  TSurface target(4, 1), source(4, 1);
  source.Fill(RGBColor(255, 255, 255));
  target.DrawAlpha(Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), source, true, 0);
  EXPECT_EQ(Count(target, 0), 4);  // below 1: nothing
  target.DrawAlpha(Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), source, true, 300);
  EXPECT_EQ(Count(target, ToPixel(clWhite)), 4);  // 255 and above: a plain copy
  target.Fill(clBlack);
  target.DrawAlpha(Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), source, true, 128);
  const TColor half = FromPixel(target.Pixel(0, 0));
  EXPECT_NEAR(GetRValue(half), 128, 10);
  EXPECT_NEAR(GetGValue(half), 128, 10);

  // The key of the source is skipped when blending, too.
  source.Fill(clBlack);
  target.Fill(RGBColor(0, 255, 0));
  target.DrawAlpha(Rect(0, 0, 4, 1), Rect(0, 0, 4, 1), source, true, 200);
  EXPECT_EQ(Count(target, kGreen), 4);

  target.Fill(RGBColor(255, 255, 255));
  target.FillRectAlpha(Rect(0, 0, 2, 1), clBlack, 100);
  EXPECT_LT(GetRValue(FromPixel(target.Pixel(0, 0))), 180);
  EXPECT_EQ(target.Pixel(2, 0), ToPixel(clWhite));
}

TEST(Drawing, PictureItemsDrawOnlyTheirOnePattern) {
  TDXImageList list(TBuiltinList::ImageList1);
  TSurface target(640, 480);
  list.Items[16]->Draw(target, 0, 0, 1);
  list.Items[16]->Draw(target, 0, 0, -1);
  EXPECT_EQ(Count(target, 0), 640 * 480);
  list.Items[0]->Draw(target, 0, 0, 0);
  EXPECT_LT(Count(target, 0), 640 * 480);
}

// A flip hands the back surface's pixels to the display without a copy; the
// back surface must still hold the flipped picture wherever it is read or
// drawn on in part, and a flip with nothing drawn shows the same again.
TEST(Drawing, TheBackSurfaceKeepsTheFlippedPictureHoweverItIsUsedNext) {
  TDXDraw screen;
  TSurface& back = screen.Surface;
  std::vector<uint16_t> visible;
  const auto shown = [&](int x, int y) { return visible[size_t(y) * 640 + size_t(x)]; };

  back.Fill(RGBColor(255, 0, 0));
  back.SetPixel(5, 5, kBlue);
  screen.Flip();
  EXPECT_EQ(back.Pixel(5, 5), kBlue);  // read straight after a flip
  back.FillRect(Rect(0, 0, 3, 3), RGBColor(0, 255, 0));
  screen.Flip();
  screen.Flip();  // nothing drawn in between
  screen.VisiblePicture(visible);
  EXPECT_EQ(shown(1, 1), kGreen);
  EXPECT_EQ(shown(5, 5), kBlue);
  EXPECT_EQ(shown(600, 400), kRed);

  // As the source of another drawing, and under a sprite.
  TSurface copy(640, 480), sprite;
  copy.Draw(0, 0, back, false);
  EXPECT_EQ(Count(copy, kRed), 640 * 480 - 9 - 1);
  MakeSprite(sprite);
  back.Draw(100, 100, sprite, true);
  screen.Flip();
  screen.VisiblePicture(visible);
  EXPECT_EQ(shown(100, 100), kRed);  // the sprite's key showed the picture under it
  EXPECT_EQ(shown(5, 5), kBlue);

  // Whole rows, but not all of them (the pixel below them is new since the
  // picture before, which the back surface's own pixels still hold).
  back.SetPixel(600, 400, kGreen);
  screen.Flip();
  TSurface background(640, 480);
  background.Fill(RGBColor(0, 0, 255));
  back.DrawRect(0, 0, Rect(0, 0, 640, 100), background, false);
  screen.Flip();
  screen.VisiblePicture(visible);
  EXPECT_EQ(shown(5, 5), kBlue);
  EXPECT_EQ(shown(600, 400), kGreen);

  // A whole background drawn over it, then a pixel: exactly that.
  back.Draw(0, 0, background, false);
  back.SetPixel(7, 7, kRed);
  screen.Flip();
  screen.VisiblePicture(visible);
  EXPECT_EQ(std::count(visible.begin(), visible.end(), kBlue), 640 * 480 - 1);
  EXPECT_EQ(shown(7, 7), kRed);
}
