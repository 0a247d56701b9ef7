// The built-in artwork and the GIFs of the data folder: the catalogue of both
// image lists, the geometry the game's rules rely on (words over their press
// regions, covers over the chickens' path ends), and the painting toolkit's
// guarantees. How the pictures look is the screens' test (screens_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "gen/gifwrite.h"
#include "gen/kit.h"
#include "gen/text.h"
#include "platform/core/gif.h"
#include "platform/core/imagelist.h"

namespace {

struct Row {
  const char* name;
  int w, h;
  bool transparent;
};

// The catalogue as the game was designed: index order, name, size, transparency.
const Row kList1[] = {
    {"level", 640, 480, false}, {"menu1", 640, 480, false}, {"Ampel", 58, 14, true},   {"Bombe", 10, 50, true},
    {"ex1", 100, 75, true},     {"ex2", 100, 75, true},     {"ex3", 100, 75, true},    {"ex4", 100, 75, true},
    {"ex5", 100, 75, true},     {"extra1", 57, 21, true},   {"extra2", 57, 21, true},  {"h1", 154, 185, true},
    {"h2", 190, 297, true},     {"h3", 317, 63, true},      {"huhna", 36, 35, true},   {"huhnb", 36, 35, true},
    {"Maus", 11, 11, true},     {"Mensch", 30, 10, true},   {"negativ", 24, 28, true}, {"plane", 77, 26, true},
    {"plane2", 57, 21, true},   {"schuss", 24, 28, true},   {"ex6", 100, 75, true},    {"ex7", 100, 75, true},
    {"ex8", 100, 75, true},     {"Huhna2", 36, 35, true},   {"Huhnb2", 36, 35, true},
};
const Row kMenu[] = {
    {"Hauptmenu", 171, 24, true},         {"Hauptmenu rechts", 179, 206, true}, {"Schwierigkeit", 171, 24, true},
    {"Schwierigkeit rechts", 179, 206, true}, {"Name", 171, 24, true},      {"Name rechts", 179, 206, true},
    {"pause", 254, 140, true},            {"Resultate", 171, 24, true},         {"Resultate rechts", 179, 206, true},
    {"Game over", 228, 50, false},        {"Highmain", 640, 480, false},        {"Highscore", 171, 24, true},
    {"Highscore unten", 511, 24, true},   {"Optionen", 171, 24, true},          {"Optionen rechts", 179, 206, true},
    {"Optionen", 171, 24, true},          {"Optionen rechts2", 179, 206, true}, {"Ende", 640, 480, false},
};

const TDXImageList& List1() {
  static const TDXImageList list(TBuiltinList::ImageList1);
  return list;
}
const TDXImageList& Menu() {
  static const TDXImageList list(TBuiltinList::Menu1);
  return list;
}
const TSurface& Pic(const TDXImageList& l, int i) { return l.Items[size_t(i)]->Picture(); }

int R(uint16_t p) { return GetRValue(FromPixel(p)); }
int G(uint16_t p) { return GetGValue(FromPixel(p)); }
int B(uint16_t p) { return GetBValue(FromPixel(p)); }

// Every pixel (x, y) of the rectangle, inclusive bounds.
void Each(int x0, int y0, int x1, int y1, const std::function<void(int, int)>& fn) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) fn(x, y);
}

struct Band {
  int top, bottom, left, right;  // inclusive
  int lead = 3;                  // the ink starts within this many columns of `left`
};

// All ink of a transparent picture lies in the bands; every band has ink
// that starts within its first `lead` columns.
void ExpectInkOnlyIn(const TSurface& s, const std::vector<Band>& bands, const char* what) {
  std::vector<int> firstCol(bands.size(), 1 << 20);
  Each(0, 0, s.Width() - 1, s.Height() - 1, [&](int x, int y) {
    if (s.Pixel(x, y) == 0) return;
    for (size_t b = 0; b < bands.size(); ++b)
      if (y >= bands[b].top && y <= bands[b].bottom && x >= bands[b].left && x <= bands[b].right) {
        firstCol[b] = std::min(firstCol[b], x);
        return;
      }
    ADD_FAILURE() << what << ": ink at (" << x << ", " << y << ") outside its word areas";
  });
  for (size_t b = 0; b < bands.size(); ++b)
    EXPECT_LE(firstCol[b], bands[b].left + bands[b].lead) << what << ": band " << b << " (rows " << bands[b].top << "-" << bands[b].bottom << ")";
}

void ExpectOpaque(const TSurface& s, int x0, int y0, int x1, int y1, const char* what) {
  int holes = 0;
  Each(x0, y0, x1, y1, [&](int x, int y) { holes += s.Pixel(x, y) == 0; });
  EXPECT_EQ(holes, 0) << what << " lets the background through";
}

TEST(Catalogue, BothListsHaveEveryItemAtItsIndexSizeAndTransparency) {
  auto check = [](const TDXImageList& list, const Row* rows, size_t n, const char* which) {
    ASSERT_EQ(list.Items.size(), n) << which;
    for (size_t i = 0; i < n; ++i) {
      const auto& item = *list.Items[i];
      EXPECT_EQ(item.Name, rows[i].name) << which << " " << i;
      EXPECT_EQ(item.Picture().Width(), rows[i].w) << which << " " << i;
      EXPECT_EQ(item.Picture().Height(), rows[i].h) << which << " " << i;
      EXPECT_EQ(item.Transparent, rows[i].transparent) << which << " " << i;
      if (!rows[i].transparent) continue;
      // A transparent item shows something and lets the background through somewhere.
      int key = 0;
      Each(0, 0, rows[i].w - 1, rows[i].h - 1, [&](int x, int y) { key += item.Picture().Pixel(x, y) == 0; });
      EXPECT_GT(key, 0) << which << " " << i;
      EXPECT_LT(key, rows[i].w * rows[i].h) << which << " " << i;
    }
  };
  check(List1(), kList1, std::size(kList1), "ImageList1");
  check(Menu(), kMenu, std::size(kMenu), "menu1");
}

TEST(Catalogue, MenuWordsLieOverTheirButtonRegions) {
  ExpectInkOnlyIn(Pic(Menu(), 1), {{0, 13, 0, 175}, {26, 39, 0, 132}, {56, 69, 0, 157}, {192, 204, 0, 119}}, "Hauptmenu rechts");
  ExpectInkOnlyIn(Pic(Menu(), 3), {{0, 13, 0, 175}, {27, 39, 0, 175}, {53, 66, 0, 175}, {192, 204, 0, 119}}, "Schwierigkeit rechts");
  ExpectInkOnlyIn(Pic(Menu(), 5), {{0, 13, 0, 178}, {20, 156, 0, 178, 178}, {163, 176, 1, 118}, {192, 204, 0, 119}}, "Name rechts");
  for (int i : {14, 16})
    ExpectInkOnlyIn(Pic(Menu(), i), {{0, 22, 1, 146}, {23, 45, 1, 146, 12}, {81, 103, 1, 171}, {192, 204, 0, 119}}, "Optionen rechts");
  ExpectInkOnlyIn(Pic(Menu(), 12), {{6, 19, 3, 108}, {6, 19, 198, 287}, {6, 19, 300, 391}, {6, 19, 401, 508}}, "Highscore unten");
  // The results panel: labels above the figures, which need the rows clear.
  const TSurface& results = Pic(Menu(), 8);
  ExpectInkOnlyIn(results, {{0, 21, 0, 178}, {35, 74, 0, 178}, {88, 127, 0, 178}, {192, 204, 0, 159}}, "Resultate rechts");
  // The input bar of the name screen: exactly its colour over the first 14 rows.
  const TSurface& name = Pic(Menu(), 5);
  Each(0, 0, name.Width() - 1, 13, [&](int x, int y) { ASSERT_EQ(name.Pixel(x, y), PixelFromRgb(33, 26, 26)) << x << ", " << y; });
  // The two options panels differ only where the setting is shown.
  int differ = 0;
  Each(0, 0, 178, 205, [&](int x, int y) {
    if (Pic(Menu(), 14).Pixel(x, y) == Pic(Menu(), 16).Pixel(x, y)) return;
    ++differ;
    EXPECT_TRUE(y >= 23 && y <= 45) << "options panels differ at " << x << ", " << y;
  });
  EXPECT_GT(differ, 20);
}

TEST(Catalogue, ForegroundCoversTheChickensPathEnds) {
  ExpectOpaque(Pic(List1(), 11), 0, 290 - 215, 125, 399 - 215, "h1");
  ExpectOpaque(Pic(List1(), 12), 491 - 450, 261 - 152, 189, 448 - 152, "h2");
  // The hedge hides what lands behind it (y 320 to 330) along most of its length.
  const TSurface& h3 = Pic(List1(), 13);
  int covered = 0;
  Each(0, 320 - 295, 316, 330 - 295, [&](int x, int y) { covered += h3.Pixel(x, y) != 0; });
  EXPECT_GT(covered, 317 * 11 * 7 / 10);
}

TEST(DataGifs, FramesSizesAndBackgrounds) {
  const std::string data = std::string(KELO_GAME_DIR) + "/data/";
  TGIFImage atom, feuer, schuss;
  atom.LoadFromFile(data + "atom.gif");
  feuer.LoadFromFile(data + "feuer.gif");
  schuss.LoadFromFile(data + "schuss.gif");

  ASSERT_GE(atom.Count(), 26);
  for (const auto& f : atom.Frames) {
    const TSurface& s = f->Opaque;
    ASSERT_EQ(s.Width(), 78);
    ASSERT_EQ(s.Height(), 80);
    for (auto [x, y] : {std::pair{0, 0}, {77, 0}, {0, 79}, {77, 79}}) EXPECT_EQ(s.Pixel(x, y), 0);
    int cloud = 0;
    Each(0, 0, 77, 79, [&](int x, int y) { cloud += s.Pixel(x, y) != 0; });
    EXPECT_GT(cloud, 40);
  }

  ASSERT_GE(feuer.Count(), 2);
  const uint16_t white = PixelFromRgb(255, 255, 255);
  for (const auto& f : feuer.Frames) {
    const TSurface& s = f->Opaque;
    ASSERT_EQ(s.Width(), 70);
    ASSERT_EQ(s.Height(), 97);
    for (auto [x, y] : {std::pair{0, 0}, {69, 0}, {0, 96}, {69, 96}}) EXPECT_EQ(s.Pixel(x, y), white);
    int flame = 0;
    Each(0, 0, 69, 96, [&](int x, int y) {
      const uint16_t p = s.Pixel(x, y);
      if (p == white) return;
      EXPECT_LT(std::min({R(p), G(p), B(p)}), 200) << "near-white at " << x << ", " << y;
      flame += R(p) > 220 && G(p) > 80 && B(p) < 100;
    });
    EXPECT_GT(flame, 300);
  }

  ASSERT_GE(schuss.Count(), 2);
  int changes = 0;
  for (int i = 0; i < schuss.Count(); ++i) {
    const TGIFFrame& f = *schuss.Frames[size_t(i)];
    EXPECT_TRUE(f.HasTransparency);
    ASSERT_EQ(f.Opaque.Width() % 15, 0);
    ASSERT_EQ(f.Opaque.Width(), f.Opaque.Height());
    const TGIFFrame& next = *schuss.Frames[size_t((i + 1) % schuss.Count())];
    Each(0, 0, f.Opaque.Width() - 1, f.Opaque.Height() - 1, [&](int x, int y) { changes += f.Opaque.Pixel(x, y) != next.Opaque.Pixel(x, y); });
  }
  EXPECT_GT(changes, 0) << "schuss.gif does not move";
}

}  // namespace

// ---------------------------------------------------------------- the painting toolkit
// The generator's own guarantees that the checks above cannot see from the
// finished pictures: hard edges on the key, loops that close, lettering that
// fits, and files that the game's loader reads back unchanged.
namespace {

uint16_t From(uint32_t rgb) { return PixelFromRgb(int(rgb >> 16) & 255, int(rgb >> 8) & 255, int(rgb) & 255); }

TEST(Painting, KeyedPicturesHaveHardEdgesAndNoHiddenHoles) {
  gen::Layer l(24, 24, 4);
  gen::Fill(l, gen::Circle(12, 12, 9), gen::Hex(0xC02010));
  gen::Fill(l, gen::Circle(12, 12, 3), gen::Hex(0x040204));  // would vanish into the key in 16 bits
  const gen::Image img = gen::Keyed(l);
  int opaque = 0;
  Each(0, 0, 23, 23, [&](int x, int y) {
    const uint32_t c = img.Get(x, y);
    if (c == 0) return;
    ++opaque;
    EXPECT_NE(From(c), 0) << "opaque pixel turns into the key at " << x << ", " << y;
    const float d = std::hypot(float(x) + 0.5f - 12, float(y) + 0.5f - 12);
    if (d > 5) {
      EXPECT_EQ(c, 0xC02010u) << "edge blended towards the key at " << x << ", " << y;
    }
  });
  EXPECT_NEAR(opaque, 254, 12);  // the disc's area
  EXPECT_NE(img.Get(12, 12), 0u);
}

TEST(Painting, LetteringFitsItsRoomAndItsOutlineHasItsWidth) {
  const float size = gen::FitSize(U"Neues Spiel", gen::Face::SansBold, 176, 14, 1);
  const gen::TextMask m = gen::RenderText(U"Neues Spiel", gen::Face::SansBold, size, 4);
  EXPECT_LE(m.ink.y1 - m.ink.y0 + 2, 14.01f);
  EXPECT_GE(m.ink.y1 - m.ink.y0, 10.f);  // and not needlessly small
  EXPECT_EQ(m.letter.size(), m.cover.size());

  gen::Layer l(60, 60, 4);
  const gen::TextMask bar = gen::RenderText(U"I", gen::Face::SansBold, 30, 4);
  gen::TextLook look = gen::WordLook(gen::Hex(0xFF8A1A), gen::Hex(0x2E64E8), 3);
  gen::DrawText(l, bar, 20, 10, look);
  const gen::Image img = gen::Keyed(l);
  int x0 = 60, x1 = -1;
  Each(0, 0, 59, 59, [&](int x, int y) {
    if (img.Get(x, y)) x0 = std::min(x0, x), x1 = std::max(x1, x);
  });
  EXPECT_NEAR(float(x1 + 1 - x0), bar.ink.x1 - bar.ink.x0 + 6, 1.01f);
  EXPECT_NEAR(float(x0), 17, 1.01f);
}

TEST(Painting, WrittenGifsLoadBackUnchanged) {
  const std::string dir = testing::TempDir();
  // GIF with far more colours than a palette holds: pure white and pure
  // black stay exact, nothing else becomes either of them.
  gen::Animation anim;
  gen::Image frame(64, 32, gen::Rgb(255, 255, 255));
  Each(8, 0, 63, 31, [&](int x, int y) { frame.Set(x, y, gen::Rgb(200 + x % 56, 180 + y * 2, 140 + (x * y) % 100)); });
  Each(0, 16, 7, 31, [&](int x, int y) { frame.Set(x, y, gen::Rgb(0, 0, 0)); });
  frame.Set(9, 3, gen::Rgb(250, 246, 238)), frame.Set(9, 20, gen::Rgb(9, 5, 9));
  anim.frames = {frame, frame};
  gen::WriteGif(dir + "kelo_check.gif", anim);
  TGIFImage gif;
  gif.LoadFromFile(dir + "kelo_check.gif");
  ASSERT_EQ(gif.Count(), 2);
  const uint16_t white = PixelFromRgb(255, 255, 255);
  Each(0, 0, 63, 31, [&](int x, int y) {
    const uint16_t p = gif.Frames[1]->Opaque.Pixel(x, y);
    const uint32_t c = frame.Get(x, y);
    if (c == 0xFFFFFFu || c == 0) {
      EXPECT_EQ(p, From(c)) << x << ", " << y;
    } else if (From(c) != white && From(c) != 0) {
      EXPECT_NE(p, white) << x << ", " << y;
      EXPECT_NE(p, 0) << x << ", " << y;
    }
  });

  // GIF with its own transparent colour: exactly those pixels are skipped.
  gen::Animation keyed;
  keyed.transparentColor = gen::Rgb(255, 0, 255);
  gen::Image icon(15, 15, gen::Rgb(255, 0, 255));
  Each(4, 2, 10, 13, [&](int x, int y) { icon.Set(x, y, gen::Rgb(240, 190, 60)); });
  keyed.frames = {icon};
  gen::WriteGif(dir + "kelo_check_key.gif", keyed);
  TGIFImage key;
  key.LoadFromFile(dir + "kelo_check_key.gif");
  ASSERT_TRUE(key.Frames[0]->HasTransparency);
  const TSurface& k = key.Frames[0]->Keyed;
  Each(0, 0, 14, 14, [&](int x, int y) {
    EXPECT_EQ(k.Pixel(x, y) == k.KeyPixel(), icon.Get(x, y) == gen::Rgb(255, 0, 255)) << x << ", " << y;
  });
}

}  // namespace
