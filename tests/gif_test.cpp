// GIF pictures: every frame is what a viewer shows at that moment, and a
// broken or hostile file is an error, never a crash, a hang or gigabytes.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/core/files.h"
#include "platform/core/gif.h"

namespace {

struct Frame {
  int left = 0, top = 0, w = 1, h = 1;
  std::vector<uint32_t> palette = {};  // 0xRRGGBB; empty: the global table
  std::vector<uint8_t> px = {};        // w * h indices, top row first
  int transparent = NO_TRANSPARENT_COLOR;
  int disposal = DISPOSE_DO_NOT;
  bool interlace = false;
  bool control = true;  // written with a graphics control block
};

ColorMapObject* Map(const std::vector<uint32_t>& palette) {
  int n = 2;
  while (n < int(palette.size())) n *= 2;
  std::vector<GifColorType> c(size_t(n), GifColorType{0, 0, 0});
  for (size_t i = 0; i < palette.size(); ++i)
    c[i] = GifColorType{GifByteType(palette[i] >> 16), GifByteType(palette[i] >> 8), GifByteType(palette[i])};
  return GifMakeMapObject(n, c.data());
}

int Append(GifFileType* gif, const GifByteType* bytes, int n) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), size_t(n));
  return n;
}

std::string MakeGif(int w, int h, const std::vector<uint32_t>& global, const std::vector<Frame>& frames) {
  std::string out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, Append, &err);
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = global.empty() ? nullptr : Map(global);
  EXPECT_EQ(EGifPutScreenDesc(gif, w, h, 8, 0, map), GIF_OK);
  GifFreeMapObject(map);
  for (const Frame& f : frames) {
    GraphicsControlBlock gcb{f.disposal, false, 0, f.transparent};
    GifByteType ext[4];
    if (f.control) EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(EGifGCBToExtension(&gcb, ext)), ext);
    map = f.palette.empty() ? nullptr : Map(f.palette);
    if (!map && gif->Image.ColorMap) {
      // The encoder would drop the last frame's table without freeing it.
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
    EXPECT_EQ(EGifPutImageDesc(gif, f.left, f.top, f.w, f.h, f.interlace, map), GIF_OK);
    GifFreeMapObject(map);
    std::vector<int> rows;
    if (f.interlace) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < f.h; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < f.h; ++y) rows.push_back(y);
    }
    std::vector<GifPixelType> line(size_t(f.w));
    for (int y : rows) {
      for (int x = 0; x < f.w; ++x) line[size_t(x)] = f.px.empty() ? 0 : f.px[size_t(y * f.w + x)];
      EXPECT_EQ(EGifPutLine(gif, line.data(), f.w), GIF_OK);
    }
  }
  EGifCloseFile(gif, &err);
  return out;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Load(TGIFImage& gif, const std::string& bytes) { gif.LoadFromMemory(bytes.data(), bytes.size(), "test.gif"); }

const uint16_t kRed = PixelFromRgb(255, 0, 0), kGreen = PixelFromRgb(0, 255, 0), kBlue = PixelFromRgb(0, 0, 255);

// Transparent pixels are black in the opaque copy and the key in the keyed
// copy, which the frame's shown pixels never take.
void ExpectKeyedCopyMatches(const TGIFFrame& f, const std::vector<bool>& clear) {
  ASSERT_TRUE(f.HasTransparency);
  const uint16_t key = f.Keyed.KeyPixel();
  for (int y = 0; y < f.Opaque.Height(); ++y)
    for (int x = 0; x < f.Opaque.Width(); ++x) {
      const bool c = clear[size_t(y * f.Opaque.Width() + x)];
      EXPECT_EQ(f.Keyed.Pixel(x, y) == key, c) << x << ", " << y;
      if (c) {
        EXPECT_EQ(f.Opaque.Pixel(x, y), 0) << x << ", " << y;
      }
    }
}

}  // namespace

TEST(GifLoading, FramesAreLaidOverEachOtherAsAViewerShowsThem) {
  // A 4 x 10 screen: red all over; a blue cross with a see-through corner;
  // a green strip half off the screen that is taken back; an interlaced frame.
  const std::vector<uint32_t> global = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  std::vector<Frame> frames(4);
  frames[0] = Frame{.w = 4, .h = 10, .px = std::vector<uint8_t>(40, 1)};
  frames[1] = Frame{.left = 1, .top = 1, .w = 2, .h = 2, .palette = {0xFFFFFF, 0x0000FF}, .px = {0, 1, 1, 1},
                    .transparent = 0, .disposal = DISPOSE_BACKGROUND};
  frames[2] = Frame{.left = 3, .w = 2, .h = 2, .px = {2, 2, 2, 2}, .disposal = DISPOSE_PREVIOUS};
  std::vector<uint32_t> grey;
  std::vector<uint8_t> rows;
  for (int y = 0; y < 10; ++y) {
    grey.push_back(0x101010u * uint32_t(y + 1));
    for (int x = 0; x < 4; ++x) rows.push_back(uint8_t(x == 1 ? 15 : y));  // column 1 see-through
  }
  grey.resize(16);
  frames[3] = Frame{.w = 4, .h = 10, .palette = grey, .px = rows, .transparent = 15, .interlace = true};

  TGIFImage gif;
  Load(gif, MakeGif(4, 10, global, frames));
  ASSERT_EQ(gif.Count(), 4);
  const TSurface& f0 = gif.Frames[0]->Opaque;
  const TSurface& f1 = gif.Frames[1]->Opaque;
  const TSurface& f2 = gif.Frames[2]->Opaque;
  EXPECT_EQ(f0.Width(), 4);
  EXPECT_EQ(f0.Height(), 10);
  EXPECT_FALSE(gif.Frames[0]->HasTransparency);
  EXPECT_EQ(f0.Pixel(1, 1), kRed);

  // The frame's own table and transparent index: its corner shows the red below.
  EXPECT_FALSE(gif.Frames[1]->HasTransparency);
  EXPECT_EQ(f1.Pixel(1, 1), kRed);
  for (auto [x, y] : {std::pair{2, 1}, {1, 2}, {2, 2}}) EXPECT_EQ(f1.Pixel(x, y), kBlue) << x << ", " << y;

  // The cross's place was cleared to nothing; the strip is cut at the edge.
  std::vector<bool> clear(40, false);
  for (auto [x, y] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}}) clear[size_t(y * 4 + x)] = true;
  ExpectKeyedCopyMatches(*gif.Frames[2], clear);
  EXPECT_EQ(f2.Pixel(3, 0), kGreen);
  EXPECT_EQ(f2.Pixel(3, 1), kGreen);
  EXPECT_EQ(f2.Pixel(3, 2), kRed);
  EXPECT_EQ(f2.Pixel(0, 0), kRed);

  // The strip is taken back; interlaced rows land where they belong, and the
  // see-through column shows what lay below.
  const TGIFFrame& last = *gif.Frames[3];
  clear.assign(40, false);
  clear[1 * 4 + 1] = clear[2 * 4 + 1] = true;
  ExpectKeyedCopyMatches(last, clear);
  for (int y = 0; y < 10; ++y) {
    const uint16_t rowGrey = PixelFromRgb(16 * (y + 1), 16 * (y + 1), 16 * (y + 1));
    for (int x : {0, 2, 3}) EXPECT_EQ(last.Opaque.Pixel(x, y), rowGrey) << x << ", " << y;
    if (y != 1 && y != 2) {
      EXPECT_EQ(last.Opaque.Pixel(1, y), kRed) << y;
    }
  }
}

TEST(GifLoading, AControlBlockCountsForTheOneFrameAfterItOnly) {
  // On a 2 x 1 screen: a frame without a block, one whose blue is see-through
  // and that is cleared afterwards, then two more without blocks.
  const std::vector<uint32_t> global = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
  const std::vector<Frame> frames = {
      Frame{.w = 2, .px = {0, 1}, .control = false},
      Frame{.w = 2, .px = {2, 2}, .transparent = 2, .disposal = DISPOSE_BACKGROUND},
      Frame{.px = {2}, .control = false},
      Frame{.left = 1, .px = {1}, .control = false},
  };
  TGIFImage gif;
  Load(gif, MakeGif(2, 1, global, frames));
  ASSERT_EQ(gif.Count(), 4);
  const uint16_t want[4][2] = {{kRed, kGreen}, {kRed, kGreen}, {kBlue, 0}, {kBlue, kGreen}};
  for (int i = 0; i < 4; ++i)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(gif.Frames[size_t(i)]->Opaque.Pixel(x, 0), want[i][x]) << i << ", " << x;
  EXPECT_TRUE(gif.Frames[2]->HasTransparency);
  EXPECT_FALSE(gif.Frames[3]->HasTransparency);
}

TEST(GifLoading, BrokenOrHostileFilesAreErrors) {
  const std::string corpus = std::string(KELO_SOURCE_DIR) + "/fuzz/corpus/gif/";
  const std::string feuer = Slurp(std::string(KELO_GAME_DIR) + "/data/feuer.gif");
  ASSERT_GT(feuer.size(), 1000u);
  const std::vector<uint32_t> two = {0x000000, 0xFFFFFF};
  std::vector<std::pair<std::string, std::string>> cases = {
      {"nothing", ""},
      {"a header only", "GIF89a"},
      {"a PNG picture named .gif", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0", 29)},
      {"an LZW stream that points nowhere", Slurp(corpus + "crash-bad-free.gif")},
      {"a huge logical screen", Slurp(corpus + "hang-huge-screen.gif")},
      {"an empty logical screen", MakeGif(0, 0, two, {Frame{}})},
      {"a frame beyond the limit", MakeGif(4, 4, two, {Frame{.w = kGifMaxSide + 1}})},
      {"too many frames", MakeGif(1, 1, two, std::vector<Frame>(size_t(kGifMaxFrames) + 1))},
      {"no colour table", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00"
                                      "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
                                      29)},
      // Eight frames of the largest screen are allowed, the ninth is too many pixels.
      {"too many pixels shown", MakeGif(kGifMaxSide, kGifMaxSide, two, std::vector<Frame>(9))},
      {"too many pixels decoded", MakeGif(1, 1, two, std::vector<Frame>(9, Frame{.w = kGifMaxSide, .h = kGifMaxSide}))},
      {"no end mark", feuer.substr(0, feuer.size() - 1)},
  };
  for (size_t cut : {feuer.size() / 2, feuer.size() / 8, size_t(20), feuer.size() - 2})
    cases.emplace_back("feuer.gif cut to " + std::to_string(cut) + " bytes", feuer.substr(0, cut));
  for (const auto& [what, bytes] : cases) {
    TGIFImage gif;
    EXPECT_THROW(Load(gif, bytes), plat::EInOutError) << what;
    EXPECT_EQ(gif.Count(), 0) << what;
  }

  // At the limits themselves a file still loads.
  TGIFImage most;
  Load(most, MakeGif(1, 1, two, std::vector<Frame>(size_t(kGifMaxFrames))));
  EXPECT_EQ(most.Count(), kGifMaxFrames);
  Load(most, MakeGif(kGifMaxSide, 1, two, {Frame{.w = kGifMaxSide}, Frame{.h = kGifMaxSide}}));
  EXPECT_EQ(most.Count(), 2);

  TGIFImage whole;
  Load(whole, feuer);
  EXPECT_GE(whole.Count(), 2);
  TGIFImage missing;
  EXPECT_THROW(missing.LoadFromFile(std::string(KELO_GAME_DIR) + "/data/none.gif"), plat::EInOutError);
}

TEST(GifLoading, AFrameUsingEveryColourStillGetsAKeyAndLooksTheSame) {
  // 256 rows of 256 colours each build up all 65 536 display colours on a
  // 257 x 256 screen whose last column stays see-through.
  std::vector<Frame> frames;
  for (int row = 0; row < 256; ++row) {
    Frame f{.top = row, .w = 256};
    for (int i = 0; i < 256; ++i) {
      const TColor c = FromPixel(uint16_t(row * 256 + i));
      f.palette.push_back(uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | uint32_t(GetBValue(c)));
      f.px.push_back(uint8_t(i));
    }
    frames.push_back(f);
  }
  TGIFImage gif;
  Load(gif, MakeGif(257, 256, {0, 0}, frames));
  ASSERT_EQ(gif.Count(), 256);
  const TGIFFrame& f = *gif.Frames[255];
  std::vector<bool> clear(257 * 256, false), used(65536, false);
  for (int y = 0; y < 256; ++y) clear[size_t(y * 257 + 256)] = true;
  ExpectKeyedCopyMatches(f, clear);
  int moved = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const uint16_t o = f.Opaque.Pixel(x, y), k = f.Keyed.Pixel(x, y);
      used[o] = true;
      if (o == k) continue;
      ++moved;
      const TColor a = FromPixel(o), b = FromPixel(k);
      EXPECT_LE(std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                    std::abs(GetBValue(a) - GetBValue(b)),
                5);
    }
  EXPECT_EQ(std::count(used.begin(), used.end(), true), 65536);
  EXPECT_EQ(moved, 1);  // the one pixel of the colour that became the key
}

TEST(GifLoading, AColourNumberBeyondItsTableShowsBlack) {
  // Two-colour tables are written with two-bit codes, so numbers 2 and 3 fit
  // in the picture but not in the table. The second frame's own table has a
  // see-through number beyond it too.
  const std::vector<uint32_t> global = {0xFF0000, 0x00FF00};
  std::vector<Frame> frames(2);
  frames[0] = Frame{.w = 4, .h = 1, .px = {0, 1, 2, 3}};
  frames[1] = Frame{.w = 4, .h = 1, .palette = {0x0000FF, 0xFFFFFF}, .px = {2, 1, 3, 0}, .transparent = 3};
  TGIFImage gif;
  Load(gif, MakeGif(4, 1, global, frames));
  ASSERT_EQ(gif.Count(), 2);
  const TSurface& first = gif.Frames[0]->Opaque;
  EXPECT_EQ(first.Pixel(0, 0), kRed);
  EXPECT_EQ(first.Pixel(1, 0), kGreen);
  EXPECT_EQ(first.Pixel(2, 0), 0);
  EXPECT_EQ(first.Pixel(3, 0), 0);
  const TSurface& second = gif.Frames[1]->Opaque;
  EXPECT_EQ(second.Pixel(0, 0), 0);
  EXPECT_EQ(second.Pixel(1, 0), PixelFromRgb(255, 255, 255));
  EXPECT_EQ(second.Pixel(2, 0), 0);  // see-through: the black below stays
  EXPECT_EQ(second.Pixel(3, 0), kBlue);
}
