#include "sheet.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../catalogue.h"
#include "paint.h"
#include "png.h"
#include "text.h"

namespace gen {
namespace {

// The 16-bit display: what a colour turns into, and whether it is a key.
uint16_t To565(uint32_t c) { return uint16_t((((c >> 16) & 255) >> 3) << 11 | (((c >> 8) & 255) >> 2) << 5 | ((c & 255) >> 3)); }

enum class Key { None, Black, White, Colour };

// Draws src at (x, y), skipping the key as the game's 16-bit surfaces do.
void Blit(Image& dst, const Image& src, int x, int y, Key key = Key::Black, uint32_t colour = 0) {
  for (int sy = 0; sy < src.h; ++sy)
    for (int sx = 0; sx < src.w; ++sx) {
      const uint32_t c = src.Get(sx, sy);
      if (key == Key::Black && To565(c) == 0) continue;
      if (key == Key::White && To565(c) == 0xFFFF) continue;
      if (key == Key::Colour && c == colour) continue;
      dst.Set(x + sx, y + sy, c);
    }
}

// Nearest-neighbour scaling into the rectangle (x, y, w, h).
void Stretch(Image& dst, const Image& src, int x, int y, int w, int h, Key key = Key::Black, uint32_t colour = 0) {
  for (int dy = 0; dy < h; ++dy)
    for (int dx = 0; dx < w; ++dx) {
      const uint32_t c = src.Get(dx * src.w / w, dy * src.h / h);
      if (key == Key::Black && To565(c) == 0) continue;
      if (key == Key::Colour && c == colour) continue;
      dst.Set(x + dx, y + dy, c);
    }
}

void Darken(Image& img, int alpha) {
  for (uint32_t& c : img.px) {
    auto ch = [&](int s) { return int((c >> s) & 255) * (255 - alpha) / 255; };
    c = Rgb(ch(16), ch(8), ch(0));
  }
}

// Text as the game writes it (its 8-point face): the top-left of its text cell at (x, y).
void Say(Image& img, int x, int y, const std::u32string& text, uint32_t colour, float size = 10.67f, Face face = Face::SansCondensed) {
  const TextMask m = RenderText(text, face, size, 1);
  const int ox = x - 4, oy = y - 4 + int(std::lround(size * 0.1f));  // the mask's padding, and the cell's top room
  for (int my = 0; my < m.h; ++my)
    for (int mx = 0; mx < m.w; ++mx) {
      const float a = m.Cover(mx, my);
      if (a <= 0 || !img.Inside(ox + mx, oy + my)) continue;
      const uint32_t b = img.Get(ox + mx, oy + my);
      auto ch = [&](int s) { return int(std::lround(float((b >> s) & 255) * (1 - a) + float((colour >> s) & 255) * a)); };
      img.Set(ox + mx, oy + my, Rgb(ch(16), ch(8), ch(0)));
    }
}

std::u32string Wide(const std::string& s) { return std::u32string(s.begin(), s.end()); }

struct Art {
  std::vector<Image> list1, menu1;
  Animation atom, feuer, schuss;
};

// ------------------------------------------------------------------ the contact sheet
Image Checker(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.Set(x, y, ((x / 8 + y / 8) % 2) ? Rgb(190, 60, 190) : Rgb(150, 40, 150));
  return img;
}

Image ContactSheet(const Art& art) {
  struct Cell {
    std::string label;
    const Image* img;
    bool keyed;
    int zoom;  // 2 = doubled, -2 = halved
  };
  std::vector<Cell> cells;
  auto add = [&](const char* list, int i, const assets::PictureEntry& s, const Image& img) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %d \"%s\" %dx%d%s", list, i, s.name, s.width, s.height, s.transparent ? " T" : "");
    cells.push_back({buf, &img, s.transparent, s.width >= 600 ? -2 : (s.width <= 120 && s.height <= 120 ? 3 : (s.width <= 200 ? 2 : 1))});
  };
  for (int i = 0; i < assets::kImageList1Count; ++i) add("ImageList1", i, assets::kImageList1[i], art.list1[size_t(i)]);
  for (int i = 0; i < assets::kMenu1Count; ++i) add("menu1", i, assets::kMenu1[i], art.menu1[size_t(i)]);

  // Flow layout, rows of cells.
  const int sheetW = 1400, gap = 12, labelH = 16;
  struct Placed {
    int x, y, w, h;
  };
  std::vector<Placed> placed;
  int x = gap, y = gap, rowH = 0;
  for (const Cell& c : cells) {
    const int w = c.zoom > 0 ? c.img->w * c.zoom : c.img->w / 2, h = c.zoom > 0 ? c.img->h * c.zoom : c.img->h / 2;
    const int cw = std::max(w, 200);
    if (x + cw > sheetW - gap) x = gap, y += rowH + gap, rowH = 0;
    placed.push_back({x, y, w, h});
    x += cw + gap;
    rowH = std::max(rowH, h + labelH);
  }
  Image sheet(sheetW, y + rowH + gap, Rgb(40, 44, 52));
  for (size_t i = 0; i < cells.size(); ++i) {
    const Cell& c = cells[i];
    const Placed& p = placed[i];
    Say(sheet, p.x, p.y, Wide(c.label), Rgb(230, 230, 230));
    Image back = c.keyed ? Checker(p.w, p.h) : Image(p.w, p.h);
    Stretch(back, *c.img, 0, 0, p.w, p.h, c.keyed ? Key::Black : Key::None);
    Blit(sheet, back, p.x, p.y + labelH, Key::None);
  }
  return sheet;
}

Image GifSheet(const Art& art) {
  const int cols = 9;
  const int rows = (int(art.atom.frames.size()) + cols - 1) / cols;
  Image sheet(cols * 162 + 12, 40 + rows * 166 + 340, Rgb(40, 44, 52));
  Say(sheet, 8, 6, U"data/atom.gif, 2x", Rgb(230, 230, 230));
  for (size_t i = 0; i < art.atom.frames.size(); ++i) {
    const int x = 8 + int(i % cols) * 162, y = 24 + int(i / cols) * 166;
    Image cell(78 * 2, 80 * 2);
    Stretch(cell, art.atom.frames[i], 0, 0, 156, 160, Key::None);
    Blit(sheet, cell, x, y, Key::None);
  }
  const int fy = 24 + rows * 166 + 10;
  Say(sheet, 8, fy, U"data/feuer.gif on white, then keyed over the meadow; data/schuss.gif 4x", Rgb(230, 230, 230));
  Image level = art.list1[0];
  for (size_t i = 0; i < art.feuer.frames.size(); ++i) {
    const int x = 8 + int(i) * 76;
    Blit(sheet, art.feuer.frames[i], x, fy + 18, Key::None);
    Image crop(70, 97);
    for (int yy = 0; yy < 97; ++yy)
      for (int xx = 0; xx < 70; ++xx) crop.Set(xx, yy, level.Get(330 + xx, 300 + yy));
    Blit(crop, art.feuer.frames[i], 0, 0, Key::White);
    Blit(sheet, crop, x, fy + 120, Key::None);
  }
  for (size_t i = 0; i < art.schuss.frames.size(); ++i) {
    Image cell = Checker(60, 60);
    Stretch(cell, art.schuss.frames[i], 0, 0, 60, 60, Key::Colour, uint32_t(art.schuss.transparentColor));
    Blit(sheet, cell, 8 + int(i) * 68, fy + 230, Key::None);
  }
  return sheet;
}

// ------------------------------------------------------------------ composed screens
const Image& L1(const Art& a, int i) { return a.list1[size_t(i)]; }
const Image& M1(const Art& a, int i) { return a.menu1[size_t(i)]; }

void Pointer(Image& screen, const Art& art, int x, int y) { Blit(screen, L1(art, 16), x - 5, y - 5); }

Image MenuScreen(const Art& art, int title, int panel, int atomFrame) {
  Image s = L1(art, 1);
  Say(s, 615, 465, U"1.00", Rgb(255, 255, 255));
  Blit(s, art.atom.frames[size_t(atomFrame)], 155, 310);
  Blit(s, M1(art, title), 153, 163);
  Blit(s, M1(art, panel), 367, 172);
  return s;
}

Image LevelScreen(const Art& art, bool objects) {
  Image s = L1(art, 0);
  auto draw = [&](int item, int x, int y) { Blit(s, L1(art, item), x, y); };
  auto boom = [&](int frame, int cx, int cy) { Blit(s, L1(art, frame <= 5 ? 3 + frame : 16 + frame), cx - 50, cy - 37); };
  if (objects) {
    for (int k = 0; k < 5; ++k) draw(10, 400, 30 + 35 * k);  // the column of extra targets
    draw(9, 150, 120);                                       // extra1
    draw(18, 60, 150);                                       // negativ
    draw(21, 560, 110);                                      // the ammunition box
    draw(20, 240, 160);                                      // plane2
    boom(3, 120, 60);
    boom(6, 560, 40);
    boom(8, 420, 325);  // a landing drop
  } else {
    draw(19, 330, 70);
    for (int k = 0; k < 8; ++k) draw(17, 180 + 20 * k, int(std::lround(200 - 10 * k * 1.0)));
    boom(2, 230, 300);
  }
  draw(13, 144, 295);
  Blit(s, art.feuer.frames[3], 330, 300, Key::White);
  if (objects) {
    draw(25, 300, 240);
    draw(14, 350, 268);
    boom(4, 200, 200);
  } else {
    draw(14, 500, 390);  // right-to-left start, hidden by the barn
    draw(15, 90, 350);   // left-to-right start, hidden by the hen house
    draw(14, 420, 330);
    draw(25, 260, 200);
    draw(26, 160, 300);
    draw(15, 470, 150);
  }
  draw(11, 0, 215);
  draw(12, 450, 152);
  draw(2, 10, 5);
  Say(s, 410, 4, U"Punkte: 4250", Rgb(255, 255, 255));
  Say(s, 520, 4, U"12 von 45", Rgb(255, 255, 255));
  Say(s, 340, 4, U"FPS: 50", Rgb(255, 255, 255));
  Say(s, 605, 4, objects ? U"37" : U"146", objects ? Rgb(255, 0, 0) : Rgb(255, 255, 255));
  Stretch(s, art.schuss.frames[2], 585, 3, 15, 15, Key::Colour, uint32_t(art.schuss.transparentColor));
  Stretch(s, L1(art, 15), 500, 3, 15, 15);
  Pointer(s, art, objects ? 330 : 266, objects ? 250 : 214);
  return s;
}

Image EndScreen(const Art& art) {
  Image s(640, 480);
  const int shakeX = 7, shakeY = -5;
  Blit(s, L1(art, 0), shakeX, shakeY, Key::None);
  Blit(s, art.feuer.frames[5], shakeX + 330, shakeY + 300, Key::White);
  const int corners[3][2] = {{270, 290}, {200, 310}, {340, 330}};
  for (const auto& c : corners) Stretch(s, art.atom.frames[18], shakeX + c[0], shakeY + c[1], 130, 133);
  for (int i = 0; i < 3; ++i) Blit(s, L1(art, 3), 265 + 70 * i, 60 + 30 * i);
  Say(s, 250, 200, U"Nukleare Abschüsse entdeckt", Rgb(255, 255, 255));
  return s;
}

Image ResultsScreen(const Art& art) {
  Image s = MenuScreen(art, 7, 8, 20);
  Say(s, 382, 194, U"4250", Rgb(0, 0, 0));
  Say(s, 382, 247, U"57/100 (57%)", Rgb(0, 0, 0));
  Say(s, 382, 300, U"Keine Wertung", Rgb(0, 0, 0));
  Say(s, 382, 315, U"in der Kategorie Mittel", Rgb(0, 0, 0));
  Pointer(s, art, 450, 370);
  return s;
}

Image HighscoreScreen(const Art& art) {
  Image s = M1(art, 10);
  Blit(s, M1(art, 11), 153, 163);
  Blit(s, M1(art, 12), 64, 420);
  Say(s, 615, 465, U"1.00", Rgb(255, 255, 255));
  const uint32_t blue = Rgb(0, 0, 255), black = 0;
  Say(s, 70, 220, U"Bestenliste in der Kategorie:", blue);
  Say(s, 210, 220, U"Mittel", black);
  Say(s, 70, 240, U"Spielername", blue);
  Say(s, 360, 240, U"Punkte", blue);
  Say(s, 500, 240, U"Treffer", blue);
  const char32_t* names[] = {U"Kelo", U"Bauer Hinrich", U"Quillendorfer (Kelo)", U"Quillendorfer (Kelo)", U"Quillendorfer (Kelo)"};
  const char32_t* points[] = {U"9850", U"6400", U"0", U"0", U"0"};
  const char32_t* hits[] = {U"74/100 (74%)", U"51/100 (51%)", U"000/100 (000%)", U"000/100 (000%)", U"000/100 (000%)"};
  for (int i = 0; i < 5; ++i) {
    const int y = 260 + 15 * i;
    Say(s, 70, y, names[i], black);
    Say(s, 360, y, points[i], black);
    Say(s, 500, y, hits[i], black);
  }
  Pointer(s, art, 240, 432);
  return s;
}

}  // namespace

std::string WriteSheets(const std::string& out) {
  Art art;
  for (int i = 0; i < assets::kImageList1Count; ++i) art.list1.push_back(PaintImageList1(i));
  for (int i = 0; i < assets::kMenu1Count; ++i) art.menu1.push_back(PaintMenu1(i));
  art.atom = PaintAtom(), art.feuer = PaintFeuer(), art.schuss = PaintSchuss();

  std::string stem = out;
  if (stem.size() > 4 && stem.substr(stem.size() - 4) == ".png") stem.resize(stem.size() - 4);
  std::string written;
  auto write = [&](const std::string& path, const Image& img) {
    WritePng(path, img);
    written += path + "\n";
  };
  write(out, ContactSheet(art));
  write(stem + "-gifs.png", GifSheet(art));

  Image main = MenuScreen(art, 0, 1, 12);
  Pointer(main, art, 452, 178);
  write(stem + "-main.png", main);
  Image schwer = MenuScreen(art, 2, 3, 6);
  Pointer(schwer, art, 420, 230);
  write(stem + "-schwer.png", schwer);
  Image name = MenuScreen(art, 4, 5, 24);
  Say(name, 368, 172, U"Kelo der Jäger", Rgb(255, 255, 255));
  write(stem + "-name.png", name);
  Image options = MenuScreen(art, 15, 16, 2);
  write(stem + "-optionen.png", options);
  write(stem + "-results.png", ResultsScreen(art));
  write(stem + "-highscore.png", HighscoreScreen(art));
  write(stem + "-level.png", LevelScreen(art, false));
  write(stem + "-level2.png", LevelScreen(art, true));
  Image pause = LevelScreen(art, false);
  Darken(pause, 100);
  Blit(pause, M1(art, 6), 192, 160);
  write(stem + "-pause.png", pause);
  write(stem + "-bomb.png", EndScreen(art));
  Image over(640, 480);
  Blit(over, M1(art, 9), 206, 215, Key::None);
  write(stem + "-gameover.png", over);
  write(stem + "-ende.png", M1(art, 17));
  return written;
}

}  // namespace gen
