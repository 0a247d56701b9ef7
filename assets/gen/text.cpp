#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <limits>
#include <map>
#include <stdexcept>

namespace gen {
namespace {

const char* FontFile(Face face) {
  switch (face) {
    case Face::Sans: return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    case Face::SansCondensed: return "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";
    case Face::SansBold: return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    case Face::SansCondensedBold: return "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
  }
  throw std::runtime_error("unknown face");
}

FT_Face Open(Face face) {
  static FT_Library lib = nullptr;
  static std::map<Face, FT_Face> faces;
  if (!lib && FT_Init_FreeType(&lib)) throw std::runtime_error("cannot start FreeType");
  auto it = faces.find(face);
  if (it != faces.end()) return it->second;
  FT_Face f = nullptr;
  if (FT_New_Face(lib, FontFile(face), 0, &f)) throw std::runtime_error(std::string("cannot open ") + FontFile(face));
  faces.emplace(face, f);
  return f;
}

// Squared distance transform of one line (Felzenszwalb and Huttenlocher).
void Edt1(const std::vector<double>& f, std::vector<double>& d, std::vector<int>& v, std::vector<double>& z) {
  const int n = int(f.size());
  const double inf = std::numeric_limits<double>::infinity();
  int k = 0;
  v[0] = 0, z[0] = -inf, z[1] = inf;
  for (int q = 1; q < n; ++q) {
    auto cut = [&](int p) { return ((f[size_t(q)] + double(q) * q) - (f[size_t(p)] + double(p) * p)) / (2.0 * q - 2.0 * p); };
    double s = cut(v[size_t(k)]);
    while (s <= z[size_t(k)]) s = cut(v[size_t(--k)]);  // z[0] is -inf: stops at 0
    ++k;
    v[size_t(k)] = q, z[size_t(k)] = s, z[size_t(k) + 1] = inf;
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[size_t(k) + 1] < q) ++k;
    const int p = v[size_t(k)];
    d[size_t(q)] = double(q - p) * (q - p) + f[size_t(p)];
  }
}

// Distance in fine pixels from every pixel to the nearest inked one.
std::vector<float> DistanceToInk(const TextMask& m, int pad) {
  const int w = m.w + 2 * pad, h = m.h + 2 * pad;
  const double big = 1e12;
  std::vector<double> grid(size_t(w) * size_t(h), big);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      if (m.cover[size_t(y) * size_t(m.w) + size_t(x)] >= 0.5f) grid[size_t(y + pad) * size_t(w) + size_t(x + pad)] = 0;
  const int n = std::max(w, h);
  std::vector<double> f(static_cast<size_t>(n)), d(static_cast<size_t>(n)), z(static_cast<size_t>(n) + 1);
  std::vector<int> v(static_cast<size_t>(n));
  for (int x = 0; x < w; ++x) {
    f.resize(size_t(h)), d.resize(size_t(h));
    for (int y = 0; y < h; ++y) f[size_t(y)] = grid[size_t(y) * size_t(w) + size_t(x)];
    Edt1(f, d, v, z);
    for (int y = 0; y < h; ++y) grid[size_t(y) * size_t(w) + size_t(x)] = d[size_t(y)];
  }
  for (int y = 0; y < h; ++y) {
    f.resize(size_t(w)), d.resize(size_t(w));
    for (int x = 0; x < w; ++x) f[size_t(x)] = grid[size_t(y) * size_t(w) + size_t(x)];
    Edt1(f, d, v, z);
    for (int x = 0; x < w; ++x) grid[size_t(y) * size_t(w) + size_t(x)] = d[size_t(x)];
  }
  std::vector<float> out(grid.size());
  for (size_t i = 0; i < grid.size(); ++i) out[i] = float(std::sqrt(grid[i]));
  return out;
}

}  // namespace

TextMask RenderText(const std::u32string& text, Face face, float size, int ss, float spacing) {
  FT_Face f = Open(face);
  if (FT_Set_Char_Size(f, 0, FT_F26Dot6(std::lround(size * float(ss) * 64.f)), 72, 72))
    throw std::runtime_error("cannot size a face");
  const float asc = float(f->size->metrics.ascender) / 64.f, desc = float(-f->size->metrics.descender) / 64.f;

  // First pass: pen positions and the extent.
  struct Placed {
    FT_UInt glyph;
    float pen;
  };
  std::vector<Placed> placed;
  float pen = 0;
  FT_UInt prev = 0;
  for (char32_t c : text) {
    const FT_UInt g = FT_Get_Char_Index(f, FT_ULong(c));
    if (prev && g && FT_HAS_KERNING(f)) {
      FT_Vector k;
      if (!FT_Get_Kerning(f, prev, g, FT_KERNING_UNFITTED, &k)) pen += float(k.x) / 64.f;
    }
    placed.push_back({g, pen});
    if (FT_Load_Glyph(f, g, FT_LOAD_NO_HINTING)) throw std::runtime_error("cannot load a glyph");
    pen += float(f->glyph->advance.x) / 64.f + spacing * float(ss);
    prev = g;
  }

  const int pad = 4 * ss;
  TextMask m;
  m.ss = ss;
  m.w = int(std::ceil(pen)) + 2 * pad;
  m.h = int(std::ceil(asc + desc)) + 2 * pad;
  m.cover.assign(size_t(m.w) * size_t(m.h), 0.f);
  m.letter.assign(m.cover.size(), -1);
  std::vector<float> best(m.cover.size(), 0.f);
  const float base = float(pad) + asc;

  for (size_t i = 0; i < placed.size(); ++i) {
    if (FT_Load_Glyph(f, placed[i].glyph, FT_LOAD_NO_HINTING | FT_LOAD_RENDER)) throw std::runtime_error("cannot render a glyph");
    const FT_Bitmap& bm = f->glyph->bitmap;
    const int ox = int(std::lround(float(pad) + placed[i].pen)) + f->glyph->bitmap_left;
    const int oy = int(std::lround(base)) - f->glyph->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        const int x = ox + int(c), y = oy + int(r);
        if (x < 0 || y < 0 || x >= m.w || y >= m.h) continue;
        const float v = float(bm.buffer[size_t(r) * size_t(std::abs(bm.pitch)) + c]) / 255.f;
        const size_t k = size_t(y) * size_t(m.w) + size_t(x);
        m.cover[k] = std::min(1.f, m.cover[k] + v);
        if (v > best[k]) best[k] = v, m.letter[k] = int(i);
      }
  }

  int x0 = m.w, y0 = m.h, x1 = -1, y1 = -1;
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      if (m.cover[size_t(y) * size_t(m.w) + size_t(x)] >= 0.5f) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  if (x1 < 0) x0 = y0 = 0, x1 = y1 = 0;
  const float inv = 1.f / float(ss);
  m.ink = {float(x0) * inv, float(y0) * inv, float(x1 + 1) * inv, float(y1 + 1) * inv};
  m.baseline = base * inv;
  return m;
}

Box DrawText(Layer& l, const TextMask& m, float x, float y, const TextLook& look) {
  if (m.ss != l.ss) throw std::runtime_error("text of a different fineness");
  const int ss = l.ss;
  const float r = look.outline.a > 0 ? look.outlineWidth * float(ss) : 0.f;
  const int pad = int(std::ceil(r)) + 2;
  std::vector<float> dist;
  if (r > 0) dist = DistanceToInk(m, pad);
  const int dw = m.w + 2 * pad;
  auto ring = [&](int mx, int my) {  // outline coverage at mask pixel (mx, my)
    if (r <= 0) return 0.f;
    const int gx = mx + pad, gy = my + pad;
    if (gx < 0 || gy < 0 || gx >= dw || gy >= m.h + 2 * pad) return 0.f;
    return Clamp01(r + 0.5f - dist[size_t(gy) * size_t(dw) + size_t(gx)]);
  };
  // Offset of the mask origin in fine pixels of the layer.
  const int ox = int(std::lround((x - m.ink.x0) * float(ss))), oy = int(std::lround((y - m.ink.y0) * float(ss)));
  const float inkTop = m.ink.y0 * float(ss), inkH = std::max(1.f, (m.ink.y1 - m.ink.y0) * float(ss));
  const int sdx = int(std::lround(look.shadowDx * float(ss))), sdy = int(std::lround(look.shadowDy * float(ss)));

  for (int my = -pad; my < m.h + pad; ++my)
    for (int mx = -pad; mx < m.w + pad; ++mx) {
      const int lx = ox + mx, ly = oy + my;
      if (lx < 0 || ly < 0 || lx >= l.w || ly >= l.h) continue;
      if (look.shadow.a > 0) {
        const float s = std::max(ring(mx - sdx, my - sdy), m.Cover(mx - sdx, my - sdy));
        if (s > 0) l.Blend(lx, ly, look.shadow, s);
      }
      const float o = ring(mx, my);
      if (o > 0) l.Blend(lx, ly, look.outline, o);
      const float c = m.Cover(mx, my);
      if (c > 0) {
        const int letter = m.letter[size_t(my) * size_t(m.w) + size_t(mx)];
        l.Blend(lx, ly, look.fill(std::max(0, letter), (float(my) + 0.5f - inkTop) / inkH), c);
      }
    }
  const float grow = r > 0 ? look.outlineWidth : 0.f;
  Box b{x - grow, y - grow, x + (m.ink.x1 - m.ink.x0) + grow, y + (m.ink.y1 - m.ink.y0) + grow};
  if (look.shadow.a > 0) b.x1 += std::max(0.f, look.shadowDx), b.y1 += std::max(0.f, look.shadowDy);
  return b;
}

float FitSize(const std::u32string& text, Face face, float maxW, float maxH, float margin, float spacing, int ss) {
  auto fits = [&](float size) {
    const TextMask m = RenderText(text, face, size, ss, spacing);
    return m.ink.x1 - m.ink.x0 + 2 * margin <= maxW && m.ink.y1 - m.ink.y0 + 2 * margin <= maxH;
  };
  float lo = 4, hi = maxH * 2;
  while (hi - lo > 0.25f) {
    const float mid = (lo + hi) / 2;
    (fits(mid) ? lo : hi) = mid;
  }
  return std::floor(lo * 4) / 4;
}

TextLook WordLook(Col head, Col body, float outlineWidth) {
  TextLook look;
  look.fill = [head, body](int letter, float v) {
    const Col base = letter == 0 ? head : body;
    // Lighter towards the top, a little darker at the foot.
    return v < 0.45f ? Mix(Lighten(base, 0.45f), base, v / 0.45f) : Mix(base, Darken(base, 0.25f), (v - 0.45f) / 0.55f);
  };
  look.outline = Hex(0x1C1630);
  look.outlineWidth = outlineWidth;
  return look;
}

}  // namespace gen
