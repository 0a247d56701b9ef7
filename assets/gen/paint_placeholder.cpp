// Plain labelled shapes for every item until the painted artwork replaces them.
#include <cmath>

#include "../catalogue.h"
#include "paint.h"

namespace gen {
namespace {

Image Blob(int w, int h, uint32_t colour) {
  Image img(w, h, 0);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double dx = (x - cx) / (w / 2.0), dy = (y - cy) / (h / 2.0);
      if (dx * dx + dy * dy <= 1.0) img.Set(x, y, colour);
    }
  return img;
}

Image Backdrop(int w, int h, uint32_t top, uint32_t bottom) {
  Image img(w, h);
  for (int y = 0; y < h; ++y) {
    auto mix = [&](int s) {
      int a = int((top >> s) & 255), b = int((bottom >> s) & 255);
      return a + (b - a) * y / std::max(1, h - 1);
    };
    img.FillRect(0, y, w, y + 1, Rgb(mix(16), mix(8), mix(0)));
  }
  return img;
}

void Bar(Image& img, int y0, int y1, int width, uint32_t colour) { img.FillRect(0, y0, width, y1 + 1, colour); }

}  // namespace

Image PaintImageList1(int index) {
  const auto& s = assets::kImageList1[index];
  switch (index) {
    case 0: return Backdrop(s.width, s.height, Rgb(90, 150, 230), Rgb(60, 140, 50));
    case 1: {
      Image img = Backdrop(s.width, s.height, Rgb(40, 60, 120), Rgb(20, 20, 40));
      img.Frame(52, 159, 329, 192, Rgb(220, 30, 30));
      img.Frame(357, 159, 568, 390, Rgb(220, 30, 30));
      return img;
    }
    case 2: {
      Image img(s.width, s.height, 0);
      img.FillRect(2, 2, 20, 12, Rgb(230, 30, 30));
      img.FillRect(24, 2, 42, 12, Rgb(240, 220, 30));
      img.FillRect(46, 2, 56, 12, Rgb(40, 220, 40));
      return img;
    }
    case 16: {
      Image img(s.width, s.height, 0);
      for (int i = 0; i < 11; ++i) img.Set(5, i, Rgb(255, 255, 255)), img.Set(i, 5, Rgb(255, 255, 255));
      return img;
    }
    default: {
      uint32_t colour = Rgb(80 + index * 6, 200 - index * 5, 60 + index * 7);
      return Blob(s.width, s.height, colour);
    }
  }
}

Image PaintMenu1(int index) {
  const auto& s = assets::kMenu1[index];
  const uint32_t word = Rgb(60, 90, 230), first = Rgb(250, 150, 20);
  Image img(s.width, s.height, 0);
  switch (index) {
    case 1: Bar(img, 0, 13, 176, word); Bar(img, 26, 39, 133, word); Bar(img, 56, 69, 158, word); Bar(img, 192, 204, 120, word); break;
    case 3: Bar(img, 0, 13, 176, word); Bar(img, 27, 39, 176, word); Bar(img, 53, 66, 176, word); Bar(img, 192, 204, 120, word); break;
    case 5: Bar(img, 0, 13, 179, Rgb(33, 26, 26)); Bar(img, 163, 176, 118, word); Bar(img, 192, 204, 120, word); break;
    case 8: Bar(img, 192, 204, 160, word); break;
    case 14: case 16: Bar(img, 0, 22, 146, word); Bar(img, 81, 103, 171, word); Bar(img, 192, 204, 120, word);
      img.FillRect(10, 30, 40, 42, index == 14 ? Rgb(200, 40, 40) : Rgb(40, 200, 40)); break;
    case 12: img.FillRect(3, 6, 109, 20, word); img.FillRect(198, 6, 288, 20, word);
      img.FillRect(300, 6, 392, 20, word); img.FillRect(401, 6, 509, 20, word); break;
    case 6: img.FillRect(20, 20, 234, 120, Rgb(200, 200, 200)); break;
    case 9: img = Image(s.width, s.height, Rgb(180, 20, 20)); break;
    case 10: img = Backdrop(s.width, s.height, Rgb(20, 30, 90), Rgb(0, 0, 0)); break;
    case 17: img = Backdrop(s.width, s.height, Rgb(250, 150, 40), Rgb(40, 20, 60)); break;
    default:  // titles
      img.FillRect(0, 2, 14, 22, Rgb(250, 230, 20));
      img.FillRect(16, 2, 150, 22, word);
      break;
  }
  (void)first;
  return img;
}

Animation PaintSchuss() {
  Animation a;
  a.transparentColor = Rgb(0, 255, 0);
  for (int f = 0; f < 4; ++f) {
    Image img(15, 15, Rgb(0, 255, 0));
    img.FillRect(4, 2 + f, 11, 13, Rgb(200, 170, 40));
    a.frames.push_back(img);
  }
  return a;
}

Animation PaintFeuer() {
  Animation a;
  for (int f = 0; f < 6; ++f) {
    Image img(70, 97, Rgb(255, 255, 255));
    Image flame = Blob(40, 60 + 4 * f, Rgb(240, 120 + 10 * f, 20));
    for (int y = 0; y < flame.h; ++y)
      for (int x = 0; x < flame.w; ++x)
        if (flame.Get(x, y)) img.Set(15 + x, 96 - flame.h + y, flame.Get(x, y));
    a.frames.push_back(img);
  }
  return a;
}

Animation PaintAtom() {
  Animation a;
  for (int f = 0; f < 26; ++f) {
    Image img(78, 80, 0);
    Image cloud = Blob(20 + 2 * f, 14 + f, Rgb(250, 140 + 4 * f, 40));
    for (int y = 0; y < cloud.h; ++y)
      for (int x = 0; x < cloud.w; ++x)
        if (cloud.Get(x, y)) img.Set(39 - cloud.w / 2 + x, 40 - f + y, cloud.Get(x, y));
    img.FillRect(34, 50, 44, 80, Rgb(200, 120, 40));
    a.frames.push_back(img);
  }
  return a;
}

}  // namespace gen
