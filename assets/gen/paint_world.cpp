// The farm world: sky, clouds, hills with fields and woods, the meadow with
// its path and fireplace, and the three foreground pieces: the hen house
// under its tree ("h1"), the barn ("h2") and the hedge with its fence ("h3").
#include <algorithm>
#include <cmath>

#include "art.h"

namespace gen {
namespace {

constexpr float kPi = 3.14159265f;

// ------------------------------------------------------------------ sky
void PaintSky(Layer& l, Mood mood) {
  Col top, mid, low, horizon;
  switch (mood) {
    case Mood::Day: top = Hex(0x2E5CB8), mid = Hex(0x5EA0E2), low = Hex(0xA6D4F2), horizon = Hex(0xD8EEF8); break;
    case Mood::Dusk: top = Hex(0x2A1E5C), mid = Hex(0x8C3C78), low = Hex(0xF08850), horizon = Hex(0xFFD27A); break;
    case Mood::Night: top = Hex(0x0A0E2A), mid = Hex(0x16224E), low = Hex(0x283C74), horizon = Hex(0x3C5488); break;
    case Mood::Dawn: top = Hex(0x3C5AA8), mid = Hex(0x9A8CC0), low = Hex(0xF0AA96), horizon = Hex(0xFFE0A0); break;
  }
  Wash(l, {0, 0, float(l.lw), float(l.lh)}, [&](float x, float y) {
    const float t = Clamp01(y / 270.f);
    Col c = Ramp({top, mid, low, horizon}, std::pow(t, 1.15f));
    // A faint diagonal sheen keeps the big gradient from looking flat.
    c = Mul(c, 1 + 0.03f * std::sin((x * 0.6f + y) / 60.f));
    return c;
  });
}

void PaintCloud(Layer& l, float cx, float cy, float w, uint32_t seed, Col light, Col shade, float opacity = 1) {
  Rng rng(seed);
  const float h = w * 0.42f;
  std::vector<Shape> puffs;
  const int n = 5 + rng.Int(3);
  Shape body = Ellipse(cx, cy + h * 0.12f, w * 0.5f, h * 0.32f);
  for (int i = 0; i < n; ++i) {
    const float t = (float(i) + 0.5f) / float(n);
    const float px = cx - w * 0.42f + t * w * 0.84f;
    const float bump = std::sin(t * kPi);
    const float r = w * (0.11f + 0.13f * bump) * rng.Uni(0.8f, 1.15f);
    const float py = cy + h * 0.15f - r * 0.55f - bump * h * 0.22f;
    body = Union(body, Circle(px, py, r));
  }
  // Flat underside.
  body = Intersect(body, RoundRect(cx - w, cy - h * 2, cx + w, cy + h * 0.38f, 1));
  const float top = cy - h * 0.75f, bottom = cy + h * 0.38f;
  Fill(l, Grow(body, 1.2f), Alpha(shade, 0.35f), opacity);
  Fill(l, body, [=](float x, float y) {
    const float v = Clamp01((y - top) / (bottom - top));
    Col c = Mix(light, shade, Smooth(0.35f, 1.f, v));
    // Brighter towards the upper left of each cloud.
    c = Lighten(c, 0.25f * Clamp01(1 - v * 1.6f) * Clamp01(0.6f - (x - cx) / w));
    return c;
  }, opacity);
}

void PaintClouds(Layer& l, Mood mood) {
  Col light = Hex(0xFFFFFF), shade = Hex(0xB8CCE4);
  if (mood == Mood::Dusk) light = Hex(0xFFC8A0), shade = Hex(0x8A5A8C);
  if (mood == Mood::Night) light = Hex(0x485A8C), shade = Hex(0x222C58);
  if (mood == Mood::Dawn) light = Hex(0xFFE4D4), shade = Hex(0xB894B8);
  struct C {
    float x, y, w;
  };
  const C clouds[] = {{72, 128, 96}, {262, 52, 120}, {428, 112, 88}, {600, 56, 110}, {190, 190, 70}, {545, 178, 64}};
  uint32_t seed = 11;
  for (const C& c : clouds) {
    if (mood == Mood::Night && seed % 2 == 0) {
      ++seed;
      continue;
    }
    PaintCloud(l, c.x, c.y, c.w, seed++, light, shade, mood == Mood::Night ? 0.55f : 1.f);
  }
}

void PaintSun(Layer& l, Mood mood) {
  switch (mood) {
    case Mood::Day: {
      const float cx = 150, cy = 74;
      Glow(l, Circle(cx, cy, 22), Hex(0xFFF6C0), 60, 0.45f);
      for (int i = 0; i < 12; ++i) {  // soft rays
        const float a = float(i) * kPi / 6 + 0.2f;
        Fill(l, Poly({cx + std::cos(a - 0.09f) * 28, cy + std::sin(a - 0.09f) * 28, cx + std::cos(a) * 52,
                      cy + std::sin(a) * 52, cx + std::cos(a + 0.09f) * 28, cy + std::sin(a + 0.09f) * 28}),
             Hex(0xFFF2A0), 0.35f);
      }
      Fill(l, Circle(cx, cy, 22), [=](float x, float y) {
        return Mix(Hex(0xFFFBE0), Hex(0xFFD040), Clamp01(std::hypot(x - cx + 6, y - cy + 6) / 30));
      });
      break;
    }
    case Mood::Dusk: {
      const float cx = 300, cy = 238;
      Glow(l, Circle(cx, cy, 30), Hex(0xFFB060), 120, 0.5f);
      Fill(l, Circle(cx, cy, 30), Linear(0, cy - 30, Hex(0xFFF0A0), 0, cy + 30, Hex(0xFF7A30)));
      break;
    }
    case Mood::Night: {
      Rng rng(77);
      for (int i = 0; i < 170; ++i) {
        const float x = rng.Uni(0, 640), y = rng.Uni(0, 250) * rng.Uni(0.3f, 1.f);
        const float r = rng.Uni(0.35f, 1.1f);
        const float b = rng.Uni(0.4f, 1.f) * Clamp01(1.2f - y / 260);
        Fill(l, Circle(x, y, r), Hex(0xFFF8E0), b);
        if (r > 0.95f) Glow(l, Circle(x, y, 0.5f), Hex(0xC8D8FF), 4, 0.5f * b);
      }
      const float cx = 560, cy = 72;
      Glow(l, Circle(cx, cy, 20), Hex(0xA8C0FF), 50, 0.35f);
      Fill(l, Subtract(Circle(cx, cy, 20), Circle(cx + 9, cy - 6, 17)), Hex(0xFFF4C8));
      break;
    }
    case Mood::Dawn: {
      const float cx = 320, cy = 250;
      Glow(l, Circle(cx, cy, 34), Hex(0xFFD890), 140, 0.55f);
      Fill(l, Circle(cx, cy, 34), Linear(0, cy - 34, Hex(0xFFF6C8), 0, cy + 34, Hex(0xFFA050)));
      break;
    }
  }
}

// ------------------------------------------------------------------ land
float FarRidge(float x) { return 236 + 9 * std::sin(x / 88 + 1) + 6 * std::sin(x / 37 + 2) + 5 * (Fbm(x / 40, 3, 2, 5) - 0.5f); }
float MidRidge(float x) { return 268 + 10 * std::sin(x / 115 + 2.2f) + 5 * std::sin(x / 51 + 0.4f); }
float NearRidge(float x) { return 306 + 6 * std::sin(x / 140 + 0.8f) + 3 * std::sin(x / 47); }

// A cartoon crown of leaves: clumps shaded as balls, the lower ones in front.
void Foliage(Layer& l, float cx, float cy, float rx, float ry, int clumps, uint32_t seed, Col leaf, Col ink) {
  Rng rng(seed);
  struct Clump {
    float x, y, r;
  };
  std::vector<Clump> cs;
  const float base = std::min(rx, ry);
  for (int i = 0; i < clumps; ++i) {
    const bool rim = i < clumps * 2 / 3;
    const float a = rim ? float(i) / float(clumps * 2 / 3) * 2 * kPi + rng.Uni(-0.2f, 0.2f) : rng.Uni(0, 2 * kPi);
    const float k = rim ? 1.f : rng.Uni(0.1f, 0.6f);
    cs.push_back({cx + std::cos(a) * rx * k, cy + std::sin(a) * ry * k, base * rng.Uni(0.42f, 0.58f)});
  }
  std::sort(cs.begin(), cs.end(), [](const Clump& a, const Clump& b) { return a.y < b.y; });
  Shape all = Ellipse(cx, cy, rx, ry);
  for (const Clump& c : cs) all = Union(all, Circle(c.x, c.y, c.r));
  Fill(l, Grow(all, 1.2f), ink);
  Fill(l, all, Darken(leaf, 0.4f));
  for (const Clump& c : cs) {
    const Col tone = Mix(leaf, Hex(0x6CB83E), rng.Uni(0, 0.5f));
    const float lift = Clamp01((cy + ry - c.y) / (2 * ry));  // higher clumps catch more light
    Fill(l, Circle(c.x, c.y, c.r * 0.94f), [=](float x, float y) {
      Col col = Shade(Lighten(tone, 0.15f * lift), (x - c.x) / (c.r * 1.05f), (y - c.y) / (c.r * 1.05f), 0.12f);
      return Grain(col, x, y, seed + 7, 0.3f, 1.4f);
    });
  }
}

void PaintTree(Layer& l, float x, float ground, float size, uint32_t seed, bool conifer) {
  Rng rng(seed);
  const Col trunk = Hex(0x6A4428);
  Fill(l, Capsule(x, ground, x, ground - size * 0.9f, size * 0.12f, size * 0.08f), trunk);
  if (conifer) {
    const Col green = Hex(0x2E6A48);
    for (int i = 0; i < 3; ++i) {
      const float yb = ground - size * (0.35f + 0.38f * float(i)), half = size * (0.55f - 0.13f * float(i));
      Fill(l, Poly({x - half, yb, x, yb - size * 0.7f, x + half, yb}), Linear(x - half, 0, Lighten(green, 0.2f), x + half, 0, Darken(green, 0.3f)));
    }
    return;
  }
  const Col green = Mix(Hex(0x3C8C3C), Hex(0x5AA040), rng.Uni());
  const float cy = ground - size * 1.05f;
  Shape crown = Circle(x, cy, size * 0.55f);
  for (int i = 0; i < 5; ++i) {
    const float a = rng.Uni(0, 2 * kPi);
    crown = Union(crown, Circle(x + std::cos(a) * size * 0.35f, cy + std::sin(a) * size * 0.3f, size * rng.Uni(0.3f, 0.42f)));
  }
  Fill(l, Grow(crown, 0.8f), Darken(green, 0.45f));
  Fill(l, crown, [=](float px, float py) {
    Col c = Shade(green, (px - x) / (size * 0.9f), (py - cy) / (size * 0.85f), 0.15f);
    return Grain(c, px, py, seed, 0.35f, 1.6f);
  });
}

// A farm house and a silo far away on the hill.
void PaintFarmstead(Layer& l, float x, float ground) {
  const Col wall = Hex(0xF0E4CC), roof = Hex(0xB8402E);
  // Silo.
  Fill(l, RoundRect(x + 44, ground - 40, x + 58, ground + 2, 2), Linear(x + 44, 0, Hex(0xC8D0D8), x + 58, 0, Hex(0x7C8898)));
  Fill(l, Ellipse(x + 51, ground - 40, 7, 5), Linear(x + 44, 0, Hex(0xD8A070), x + 58, 0, Hex(0x8C5030)));
  for (int i = 1; i < 5; ++i) Fill(l, RoundRect(x + 44, ground - 40 + float(i) * 8, x + 58, ground - 39 + float(i) * 8, 0.3f), Hex(0x6C7888), 0.6f);
  // House.
  Fill(l, RoundRect(x, ground - 18, x + 36, ground + 2, 0.5f), Linear(x, 0, wall, x + 36, 0, Darken(wall, 0.2f)));
  Fill(l, Poly({x - 4, ground - 17, x + 18, ground - 33, x + 40, ground - 17}), Linear(0, ground - 33, Lighten(roof, 0.2f), 0, ground - 17, Darken(roof, 0.25f)));
  Fill(l, RoundRect(x + 26, ground - 36, x + 30, ground - 26, 0.5f), Hex(0x8C5A48));
  for (int i = 0; i < 3; ++i) Fill(l, RoundRect(x + 4 + float(i) * 11, ground - 13, x + 10 + float(i) * 11, ground - 7, 0.5f), Hex(0x4A6A9A));
  Fill(l, RoundRect(x + 15, ground - 8, x + 21, ground + 2, 0.5f), Hex(0x7A4A30));
}

void PaintFields(Layer& l) {
  // The patchwork on the middle hills: slanted borders, each field its own stripes.
  const float borders[] = {-40, 70, 150, 232, 330, 412, 500, 580, 700};
  const Col kinds[][2] = {
      {Hex(0x86C450), Hex(0x74B444)}, {Hex(0xE8C85A), Hex(0xD4B048)}, {Hex(0x5EA646), Hex(0x4E963C)},
      {Hex(0xB48C5C), Hex(0x9E784C)}, {Hex(0x9CD060), Hex(0x8AC054)}, {Hex(0xE0D070), Hex(0xCCB85C)},
      {Hex(0x6AB04C), Hex(0x5AA040)}, {Hex(0xC8A468), Hex(0xB49058)},
  };
  Shape hill = Below(MidRidge, {0, 200, 640, 330});
  for (int i = 0; i < 8; ++i) {
    const float a = borders[i], b = borders[i + 1];
    const float slantA = 0.5f - 0.13f * float(i), slantB = 0.5f - 0.13f * float(i + 1);
    Shape field = Intersect(hill, Poly({a + slantA * 0, 240, b + slantB * 0, 240, b + slantB * 90, 330, a + slantA * 90, 330}));
    const Col c0 = kinds[i][0], c1 = kinds[i][1];
    const float ang = 0.4f + 0.37f * float(i);
    const float ca = std::cos(ang), sa = std::sin(ang);
    Fill(l, field, [=](float x, float y) {
      const float s = std::sin((x * ca + y * sa * 2.2f) / 2.2f);
      Col c = s > 0 ? c0 : c1;
      // Farther up the hill a little hazier.
      c = Mix(c, Hex(0xB8D8C8), 0.25f * Clamp01((290 - y) / 30));
      return Grain(c, x, y, 40 + uint32_t(i), 0.12f);
    });
  }
  // Hedgerows along the field borders.
  for (int i = 1; i < 8; ++i) {
    const float a = borders[i], slant = 0.5f - 0.13f * float(i);
    Fill(l, Intersect(Grow(hill, -1), Wobble(Poly({a - 1.2f, 240, a + 1.2f, 240, a + slant * 90 + 1.6f, 330, a + slant * 90 - 1.6f, 330}), 0.8f, 4, 9)),
         Hex(0x3E7A34));
  }
}

void PaintMeadow(Layer& l) {
  const Col top = Hex(0x8ACB52), bottom = Hex(0x4E9A34);
  Fill(l, Below(NearRidge, {0, 280, 640, 480}), [=](float x, float y) {
    Col c = Mix(top, bottom, Smooth(300, 480, y));
    // Grass streaks: noise stretched upright, stronger in front.
    const float streak = Fbm(x / 2.2f, y / 9.f, 3, 71) - 0.5f;
    const float patch = Fbm(x / 60, y / 30, 3, 72) - 0.5f;
    c = Mul(c, 1 + streak * (0.18f + 0.25f * Clamp01((y - 320) / 160)) + patch * 0.22f);
    // The lit edge of the meadow against the hills.
    c = Lighten(c, 0.25f * (1 - Smooth(0, 5, y - NearRidge(x))));
    return c;
  });
  // The trodden path from the front to the fireplace.
  auto pathX = [](float y) { return 352 + 40 * std::sin((480 - y) / 60) - (480 - y) * 0.1f; };
  Shape path = {[=](float x, float y) {
                  const float w = 8 + (y - 385) * 0.22f;
                  return std::abs(x - pathX(y)) - w + 2 * (Fbm(x / 6, y / 6, 2, 3) - 0.5f);
                },
                {280, 380, 460, 480}};
  Fill(l, Grow(path, 1.5f), Hex(0x6E8A3A), 0.6f);
  Fill(l, path, [](float x, float y) { return Grain(Hex(0xC8A870), x, y, 81, 0.3f, 2.5f); });
  // The bare ground of the fireplace.
  Fill(l, Wobble(Ellipse(365, 392, 44, 11), 2, 6, 5), [](float x, float y) { return Grain(Hex(0xA88658), x, y, 82, 0.3f, 2); });
  Fill(l, Ellipse(365, 392, 30, 6), Hex(0x6C5640), 0.55f);
  // Flowers and clover in the grass.
  Rng rng(5150);
  const Col petals[] = {Hex(0xFFFFFF), Hex(0xFFE040), Hex(0xF05050), Hex(0xF0A0E0), Hex(0xA0B8FF)};
  for (int i = 0; i < 260; ++i) {
    const float x = rng.Uni(0, 640), y = rng.Uni(330, 480);
    if (std::abs(x - pathX(y)) < 16 && y > 380) continue;
    if (std::hypot((x - 365) / 48, (y - 392) / 14) < 1) continue;
    const float s = 0.6f + (y - 330) / 150 * 1.1f;
    const Col p = petals[rng.Int(5)];
    Fill(l, Capsule(x, y, x, y + 3 * s, 0.35f * s, 0.35f * s), Hex(0x3E7A2C));
    for (int k = 0; k < 5; ++k) {
      const float a = float(k) * 2 * kPi / 5 + rng.Uni(0, 1);
      Fill(l, Circle(x + std::cos(a) * 1.1f * s, y + std::sin(a) * 1.1f * s, 0.85f * s), p);
    }
    Fill(l, Circle(x, y, 0.7f * s), Hex(0xF8B020));
  }
  // Tufts of darker grass.
  for (int i = 0; i < 140; ++i) {
    const float x = rng.Uni(0, 640), y = rng.Uni(320, 482);
    const float s = 0.7f + (y - 320) / 160 * 1.6f;
    for (int k = -2; k <= 2; ++k)
      Fill(l, Capsule(x + float(k) * 1.2f * s, y, x + float(k) * 2.2f * s, y - float(5 - std::abs(k)) * 1.6f * s, 0.7f * s, 0.1f),
           Mix(Hex(0x3C7E2A), Hex(0x6AAE3E), rng.Uni()));
  }
}

void PaintLand(Layer& l) {
  // Far hills in the haze, woods on their crest.
  Fill(l, Below(FarRidge, {0, 200, 640, 330}), [](float x, float y) {
    Col c = Mix(Hex(0x8CB8A8), Hex(0x6EA488), Smooth(230, 290, y));
    return Grain(c, x, y, 21, 0.08f, 8);
  });
  Rng rng(99);
  for (float x = -6; x < 650; x += rng.Uni(5, 9)) {
    const bool wood = x < 210 || (x > 400 && x < 520) || x > 580;
    if (!wood && rng.Uni() < 0.8f) continue;
    const float r = rng.Uni(5, 9), y = FarRidge(x) + 3;
    const Col g = Mix(Hex(0x4E8A6A), Hex(0x3A7458), rng.Uni());
    if (rng.Uni() < 0.3f) {
      Fill(l, Poly({x - r * 0.7f, y + 2, x, y - r * 2.6f, x + r * 0.7f, y + 2}), Linear(x - r, 0, Lighten(g, 0.1f), x + r, 0, Darken(g, 0.25f)));
    } else {
      Fill(l, Circle(x, y - r * 0.6f, r), Ball(g, x, y - r * 0.6f, r * 1.3f, r * 1.3f, 0.05f));
    }
  }
  // Middle hills with their fields, a few trees and the farmstead.
  Fill(l, Below(MidRidge, {0, 200, 640, 330}), Hex(0x7CBC52));
  PaintFields(l);
  Fill(l, Below([](float x) { return MidRidge(x) - 1.2f; }, {0, 200, 640, 330}),
       [](float x, float y) { return Alpha(Hex(0xD8F0A0), 0.5f * (1 - Smooth(0, 2.5f, y - MidRidge(x)))); });
  PaintFarmstead(l, 246, MidRidge(264) + 6);
  PaintTree(l, 212, MidRidge(212) + 10, 17, 3, false);
  PaintTree(l, 226, MidRidge(226) + 12, 12, 4, false);
  PaintTree(l, 432, MidRidge(432) + 10, 18, 5, false);
  PaintTree(l, 452, MidRidge(452) + 12, 13, 6, true);
  PaintTree(l, 172, MidRidge(172) + 10, 13, 8, true);
  PaintMeadow(l);
  // Shadows where the foreground pieces stand.
  Glow(l, Ellipse(60, 400, 90, 6), Hex(0x1E4A1A), 10, 0.35f);
  Glow(l, Ellipse(560, 450, 100, 6), Hex(0x1E4A1A), 10, 0.35f);
}

// Recolours the land for the time of day, darker towards the bottom.
void Grade(Layer& l, Mood mood) {
  if (mood == Mood::Day) return;
  for (int y = 0; y < l.h; ++y) {
    const float ly = (float(y) + 0.5f) / float(l.ss);
    const float deep = Smooth(300, 480, ly);
    for (int x = 0; x < l.w; ++x) {
      Px& p = l.At(x, y);
      if (p.a <= 0) continue;
      float r = p.r, g = p.g, b = p.b;
      const float lum = 0.3f * r + 0.55f * g + 0.15f * b;
      switch (mood) {
        case Mood::Dusk: {
          // Warm light from the low sun, deepening to violet shade in front.
          const float k = 0.95f - 0.5f * deep;
          r = (r * 0.92f + lum * 0.12f + 0.05f * p.a) * k, g = (g * 0.66f + lum * 0.04f) * k, b = (b * 0.6f + lum * 0.18f + 0.07f * p.a) * k;
          break;
        }
        case Mood::Night: {
          const float k = 0.75f - 0.35f * deep;
          r = (r * 0.16f + lum * 0.06f) * k, g = (g * 0.24f + lum * 0.08f) * k, b = (b * 0.38f + lum * 0.25f + 0.08f * p.a) * k;
          break;
        }
        case Mood::Dawn: {
          const float k = 0.95f - 0.35f * deep;
          r = (r * 0.9f + 0.05f * p.a) * k, g = (g * 0.72f) * k, b = (b * 0.78f + 0.05f * p.a) * k;
          break;
        }
        case Mood::Day: break;
      }
      p.r = r, p.g = g, p.b = b;
    }
  }
}

// ------------------------------------------------------------------ the hen house under its tree ("h1")
void PaintCoopAt(Layer& l, float ox, float oy) {
  auto P = [&](std::vector<float> xy) {
    for (size_t i = 0; i < xy.size(); i += 2) xy[i] += ox, xy[i + 1] += oy;
    return Poly(std::move(xy));
  };
  const Col ink = Hex(0x2C1C14);
  // The tree behind the house.
  const Col leaf = Hex(0x3E8E34);
  Fill(l, Capsule(ox + 102, oy + 120, ox + 108, oy + 40, 11, 7), Linear(ox + 92, 0, Hex(0x8A5A34), ox + 118, 0, Hex(0x4E301C)));
  Fill(l, Capsule(ox + 106, oy + 62, ox + 132, oy + 38, 4, 2.5f), Hex(0x5E3C22));
  Rng rng(404);
  Foliage(l, ox + 10, oy + 84, 18, 12, 6, 405, leaf, ink);  // low boughs behind the eaves
  Foliage(l, ox + 70, oy + 58, 62, 34, 20, 404, leaf, ink);
  // Walls of planks.
  const Col wood = Hex(0xD8A25A);
  Shape walls = P({-4, 94, 127, 94, 127, 176, -4, 176});
  Fill(l, Grow(walls, 1.2f), ink);
  Fill(l, walls, [=](float x, float y) {
    const float ly = y - oy;
    Col c = Mix(wood, Darken(wood, 0.3f), Clamp01((x - ox - 10) / 130));
    const float plank = std::fmod(ly - 94, 9.f);
    if (plank < 1.1f) c = Darken(c, 0.45f);
    else if (plank < 2.2f) c = Lighten(c, 0.2f);
    c = Darken(c, 0.35f * (1 - Smooth(94, 106, ly)));  // under the eaves
    return Grain(c, x * 0.3f, y * 2, 8, 0.25f, 2);
  });
  // Corner posts.
  for (float cx : {3.f, 124.f}) Fill(l, RoundRect(ox + cx - 3, oy + 92, ox + cx + 3, oy + 178, 1), Linear(ox + cx - 3, 0, Hex(0xA8703A), ox + cx + 3, 0, Hex(0x6A4224)));
  // The little door with its ramp.
  Shape door = Union(RoundRect(ox + 34, oy + 130, ox + 60, oy + 162, 2), Circle(ox + 47, oy + 131, 13));
  Fill(l, Grow(door, 2.5f), Hex(0xF4ECD8));
  Fill(l, door, Linear(0, oy + 118, Hex(0x4A2A1E), 0, oy + 162, Hex(0x6E4630)));
  Shape ramp = P({40, 160, 58, 160, 96, 182, 70, 184});
  Fill(l, Grow(ramp, 1), ink);
  Fill(l, ramp, Linear(ox + 40, 0, Hex(0xC89058), ox + 96, 0, Hex(0x8A5C34)));
  for (int i = 0; i < 4; ++i) {
    const float t = 0.2f + 0.2f * float(i);
    Fill(l, Capsule(ox + 40 + 30 * t - 2, oy + 160 + 22 * t, ox + 58 + 38 * t - 2, oy + 160 + 22 * t, 0.9f, 0.9f), Hex(0x6A4224));
  }
  // A window with a hen looking out.
  Shape win = RoundRect(ox + 78, oy + 108, ox + 106, oy + 132, 2);
  Fill(l, Grow(win, 2.5f), Hex(0xF4ECD8));
  Fill(l, win, Hex(0x5A3A2A));
  Fill(l, Ellipse(ox + 92, oy + 126, 9, 8), Ball(Hex(0xFFFFFF), ox + 92, oy + 126, 10, 9, 0.2f));
  Fill(l, Union({Circle(ox + 89, oy + 116, 2.6f), Circle(ox + 92.5f, oy + 115, 2.8f), Circle(ox + 96, oy + 116.5f, 2.4f)}), Hex(0xE0302A));
  Fill(l, Poly({ox + 84, oy + 123, ox + 78.5f, oy + 125, ox + 84, oy + 127}), Hex(0xF0A020));
  Fill(l, Circle(ox + 87, oy + 122, 1.3f), Hex(0x2A1E1A));
  Fill(l, Ellipse(ox + 85.5f, oy + 129, 1.6f, 2.4f), Hex(0xD82828));
  Fill(l, RoundRect(ox + 90.5f, oy + 108, ox + 93.5f, oy + 132, 0.5f), Hex(0xF4ECD8), 0.0f);
  // Roof.
  const Col shingle = Hex(0xC8452E);
  Shape roof = P({-8, 100, 56, 58, 62, 58, 132, 100, 128, 106, -8, 106});
  Fill(l, Grow(roof, 1.3f), ink);
  Fill(l, roof, [=](float x, float y) {
    const float ly = y - oy, lx = x - ox;
    Col c = Mix(Lighten(shingle, 0.15f), Darken(shingle, 0.2f), Clamp01((ly - 58) / 48));
    const float row = std::fmod(ly - 58, 7.f);
    const float off = std::fmod(std::floor((ly - 58) / 7), 2.f) * 5;
    if (row > 5.8f) c = Darken(c, 0.35f);
    if (std::fmod(lx + off + 100, 10.f) < 0.9f) c = Darken(c, 0.25f);
    return Grain(c, x, y, 17, 0.15f, 2);
  });
  Fill(l, P({-8, 100, 132, 100, 128, 106, -8, 106}), Hex(0x8A2C1E));
  // Bushes and tall grass along the bottom.
  for (int i = 0; i < 9; ++i) {
    const float bx = ox + float(i) * 18 - 4, r = 12 + 5 * std::sin(float(i) * 2.3f);
    const float by = oy + 176 - r * 0.3f;
    if (bx - ox > 34 && bx - ox < 92) continue;  // keep the door clear
    Shape bush = Union(Circle(bx, by, r), Circle(bx + r * 0.6f, by + 3, r * 0.8f));
    Fill(l, Grow(bush, 1.1f), ink);
    Fill(l, bush, [=](float x, float y) {
      Col c = Shade(Hex(0x4E9E3A), (x - bx) / (r * 1.4f), (y - by) / (r * 1.2f), 0.1f);
      return Mul(c, 0.82f + 0.36f * Fbm((x - ox) / 4, (y - oy) / 4, 2, 55));
    });
  }
  Fill(l, RoundRect(ox - 2, oy + 174, ox + 154, oy + 186, 1), Hex(0x5A9E3A));
  for (int i = 0; i < 60; ++i) {
    const float gx = ox + rng.Uni(-2, 152), gy = oy + rng.Uni(178, 186), hgt = rng.Uni(5, 12);
    Fill(l, Capsule(gx, gy, gx + rng.Uni(-3, 3), gy - hgt, 1.1f, 0.2f), Mix(Hex(0x3E8A2C), Hex(0x7CC04A), rng.Uni()));
  }
}

// ------------------------------------------------------------------ the barn ("h2")
void PaintBarnAt(Layer& l, float ox, float oy) {
  auto P = [&](std::vector<float> xy) {
    for (size_t i = 0; i < xy.size(); i += 2) xy[i] += ox, xy[i + 1] += oy;
    return Poly(std::move(xy));
  };
  auto R = [&](float x0, float y0, float x1, float y1, float rad = 0.5f) { return RoundRect(ox + x0, oy + y0, ox + x1, oy + y1, rad); };
  const Col ink = Hex(0x2A1614), trim = Hex(0xF6F0E4), red = Hex(0xC0362C);

  // Weather vane with a little cockerel on the ridge.
  Fill(l, R(108, 2, 110.5f, 16), Hex(0x5A5058));
  Fill(l, Union({Ellipse(ox + 110, oy + 4, 6, 3.2f), Circle(ox + 115, oy + 1, 2.4f), P({101, 1, 106, 3, 104, 6})}), Hex(0x585060));
  Fill(l, Poly({ox + 116.5f, oy - 1.5f, ox + 119, oy - 0.5f, ox + 117, oy + 0.5f}), Hex(0xD84030));

  // Walls.
  Shape walls = P({30, 96, 192, 96, 192, 298, 30, 298});
  Fill(l, Grow(walls, 1.3f), ink);
  Fill(l, walls, [=](float x, float y) {
    const float lx = x - ox, ly = y - oy;
    Col c = Mix(Lighten(red, 0.08f), Darken(red, 0.28f), Clamp01((lx - 30) / 160));
    const float plank = std::fmod(lx - 30, 9.f);
    if (plank < 1.2f) c = Darken(c, 0.4f);
    else if (plank < 2.4f) c = Lighten(c, 0.12f);
    c = Darken(c, 0.4f * (1 - Smooth(96, 116, ly)));  // under the eaves
    c = Darken(c, 0.2f * Smooth(250, 298, ly));
    return Grain(c, x * 2, y * 0.25f, 61, 0.22f, 2);
  });
  // Windows on both sides.
  for (float wx : {44.f, 152.f}) {
    Fill(l, Grow(R(wx, 150, wx + 24, 176, 1), 3), trim);
    Fill(l, R(wx, 150, wx + 24, 176, 1), Linear(ox + wx, oy + 150, Hex(0x9CC8E8), ox + wx + 24, oy + 176, Hex(0x3E5C84)));
    Fill(l, R(wx + 11, 150, wx + 13, 176), trim);
    Fill(l, R(wx, 162, wx + 24, 164), trim);
    Fill(l, Poly({ox + wx + 2, oy + 152, ox + wx + 8, oy + 152, ox + wx + 2, oy + 160}), Hex(0xFFFFFF), 0.5f);
  }
  // Hay loft with hay.
  Fill(l, Grow(R(92, 110, 128, 146, 1), 3.5f), trim);
  Fill(l, R(92, 110, 128, 146, 1), Hex(0x4A2A22));
  Rng rng(12);
  Fill(l, Wobble(P({92, 146, 92, 132, 104, 124, 118, 127, 128, 134, 128, 146}), 1.5f, 3, 7), [](float x, float y) {
    return Grain(Hex(0xEAC45A), x * 0.6f, y * 0.2f, 19, 0.45f, 1.2f);
  });
  for (int i = 0; i < 16; ++i) {
    const float hx = ox + rng.Uni(88, 132), hy = oy + rng.Uni(140, 150);
    Fill(l, Capsule(hx, hy - 8, hx + rng.Uni(-5, 5), hy + rng.Uni(0, 5), 0.6f, 0.5f), Hex(0xF0D070));
  }
  // The big doors with their braces.
  Fill(l, Grow(R(66, 196, 152, 298, 1), 4), trim);
  for (int side = 0; side < 2; ++side) {
    const float x0 = 66 + 43 * float(side), x1 = x0 + 43;
    Fill(l, R(x0, 196, x1, 298), [=](float x, float y) {
      Col c = Mix(Darken(red, 0.05f), Darken(red, 0.35f), Clamp01((x - ox - 66) / 90));
      if (std::fmod(x - ox - x0, 8.6f) < 1.1f) c = Darken(c, 0.35f);
      return Grain(c, x * 2, y * 0.25f, 62, 0.2f, 2);
    });
    Fill(l, Grow(Subtract(R(x0, 196, x1, 298), R(x0 + 5, 201, x1 - 5, 293)), 0.2f), trim);
    Fill(l, Capsule(ox + x0 + 4, oy + 200, ox + x1 - 4, oy + 294, 2.4f, 2.4f), trim);
    Fill(l, Capsule(ox + x1 - 4, oy + 200, ox + x0 + 4, oy + 294, 2.4f, 2.4f), trim);
  }
  Fill(l, R(107.5f, 196, 110.5f, 298), Hex(0x5A1812));
  // Gambrel roof with white trim.
  const Col slate = Hex(0x6A5260);
  Shape roof = P({22, 100, 40, 48, 109, 12, 178, 48, 196, 100});
  Fill(l, Grow(roof, 5.5f), trim);
  Fill(l, Grow(roof, 1.2f), ink);
  Fill(l, roof, [=](float x, float y) {
    const float lx = x - ox, ly = y - oy;
    const bool lower = ly > 48 + (std::abs(lx - 109) - 69) * 0;
    Col c = Mix(Lighten(slate, 0.25f), Darken(slate, 0.15f), Clamp01((lx - 30) / 160));
    if (lower) c = Darken(c, 0.06f);
    const float row = std::fmod(ly + 100, 6.f), off = std::fmod(std::floor((ly + 100) / 6), 2.f) * 5;
    if (row > 5) c = Darken(c, 0.35f);
    if (std::fmod(lx + off + 100, 10.f) < 0.8f) c = Darken(c, 0.25f);
    return Grain(c, x, y, 63, 0.14f, 2);
  });
  Fill(l, Capsule(ox + 40, oy + 48, ox + 178, oy + 48, 0.9f, 0.9f), Darken(slate, 0.35f));
  // Round window in the gable.
  Fill(l, Circle(ox + 109, oy + 66, 11), trim);
  Fill(l, Circle(ox + 109, oy + 66, 8), Linear(ox + 101, oy + 58, Hex(0xA8D0F0), ox + 117, oy + 74, Hex(0x3E5C84)));
  Fill(l, R(108, 58, 110, 74), trim);
  Fill(l, R(101, 65, 117, 67), trim);
  // A hay bale and a bush at the foot of the left wall.
  Fill(l, Grow(Ellipse(ox + 26, oy + 280, 22, 17), 1.2f), ink);
  Fill(l, Ellipse(ox + 26, oy + 280, 22, 17), [=](float x, float y) {
    Col c = Shade(Hex(0xE4BE5A), (x - ox - 26) / 24, (y - oy - 280) / 19, 0.2f);
    return Grain(c, x * 0.5f, y * 2, 64, 0.35f, 1.2f);
  });
  Fill(l, Ellipse(ox + 8, oy + 280, 6, 16), Hex(0xB8903E));
  for (float r : {3.f, 7.f, 11.f}) Fill(l, Subtract(Ellipse(ox + 8, oy + 280, r * 0.4f + 0.6f, r + 0.6f), Ellipse(ox + 8, oy + 280, r * 0.4f, r)), Hex(0x8A6A2A));
  for (int i = 0; i < 4; ++i) {
    const float bx = ox + 8 + float(i) * 15, by = oy + 292 - 4 * std::sin(float(i) * 1.7f), r = 11 - float(i);
    Shape bush = Circle(bx, by, r);
    Fill(l, Grow(bush, 1.1f), ink);
    Fill(l, bush, [=](float x, float y) {
      Col c = Shade(Hex(0x4E9E3A), (x - bx) / (r * 1.4f), (y - by) / (r * 1.2f), 0.1f);
      return Mul(c, 0.82f + 0.36f * Fbm((x - ox) / 4, (y - oy) / 4, 2, 56));
    });
  }
  for (int i = 0; i < 50; ++i) {
    const float gx = ox + rng.Uni(20, 192), gy = oy + 298, hgt = rng.Uni(4, 9);
    Fill(l, Capsule(gx, gy, gx + rng.Uni(-3, 3), gy - hgt, 1, 0.2f), Mix(Hex(0x3E8A2C), Hex(0x7CC04A), rng.Uni()));
  }
}

// ------------------------------------------------------------------ the hedge and fence ("h3")
void PaintHedgeAt(Layer& l, float ox, float oy) {
  const Col ink = Hex(0x1E3A18);
  auto top = [](float x) { return 22 + 3.5f * std::sin(x / 9) + 2.5f * std::sin(x / 4.3f + 1) + 2 * (Fbm(x / 6, 1, 2, 8) - 0.5f); };
  Shape hedge = Intersect(Below([=](float x) { return oy + top(x - ox); }, {ox, oy, ox + 317, oy + 63}),
                          RoundRect(ox + 2, oy + 10, ox + 315, oy + 70, 14));
  Fill(l, Grow(hedge, 1.2f), ink);
  Fill(l, hedge, [=](float x, float y) {
    const float lx = x - ox, ly = y - oy;
    Col c = Mix(Hex(0x5AAE44), Hex(0x2E7428), Smooth(18, 60, ly));
    const float leaves = Fbm(lx / 3.2f, ly / 2.6f, 3, 91);
    c = Mul(c, 0.72f + 0.55f * leaves);
    c = Lighten(c, 0.3f * (1 - Smooth(0, 6, ly - top(lx))));
    return c;
  });
  // Small flowers on the hedge.
  Rng rng(31);
  for (int i = 0; i < 40; ++i) {
    const float x = rng.Uni(6, 310), y = rng.Uni(top(x) + 4, 56);
    Fill(l, Circle(ox + x, oy + y, 1.3f), i % 3 ? Hex(0xFFF4F0) : Hex(0xFFB0C8));
    Fill(l, Circle(ox + x, oy + y, 0.5f), Hex(0xF0C020));
  }
  // The fence in front: pointed posts and two rails.
  const Col wood = Hex(0xC89A64);
  for (float rail : {34.f, 48.f}) {
    Shape r = RoundRect(ox + 1, oy + rail, ox + 316, oy + rail + 5, 1.5f);
    Fill(l, Grow(r, 1), Hex(0x4A2E1C));
    Fill(l, r, [=](float x, float y) { return Grain(Mix(Lighten(wood, 0.2f), Darken(wood, 0.25f), (y - oy - rail) / 5), x * 0.2f, y * 2, 92, 0.3f, 2); });
  }
  for (float px = 6; px < 317; px += 44) {
    Shape post = Poly({ox + px - 4, oy + 63, ox + px - 4, oy + 12, ox + px, oy + 6, ox + px + 4, oy + 12, ox + px + 4, oy + 63});
    Fill(l, Grow(post, 1), Hex(0x4A2E1C));
    Fill(l, post, [=](float x, float y) { return Grain(Mix(Lighten(wood, 0.25f), Darken(wood, 0.3f), (x - ox - px + 4) / 8), x * 2, y * 0.2f, 93, 0.3f, 2); });
    Fill(l, Circle(ox + px, oy + 37, 0.9f), Hex(0x5A5050));
    Fill(l, Circle(ox + px, oy + 51, 0.9f), Hex(0x5A5050));
  }
  for (int i = 0; i < 70; ++i) {
    const float gx = ox + rng.Uni(4, 313), gy = oy + 63, hgt = rng.Uni(3, 8);
    Fill(l, Capsule(gx, gy, gx + rng.Uni(-2.5f, 2.5f), gy - hgt, 0.9f, 0.2f), Mix(Hex(0x3E8A2C), Hex(0x7CC04A), rng.Uni()));
  }
}

Image Sprite(int w, int h, void (*paint)(Layer&, float, float), uint32_t ink) {
  Layer l(w, h, 4);
  paint(l, 0, 0);
  Image img = Keyed(l);
  InkEdge(img, ink, 0.55f);
  return img;
}

}  // namespace

Layer PaintWorld(Mood mood, int ss, bool withFront) {
  Layer sky(640, 480, ss);
  PaintSky(sky, mood);
  PaintSun(sky, mood);
  PaintClouds(sky, mood);
  Layer land(640, 480, ss);
  PaintLand(land);
  if (withFront) {
    PaintHedgeAt(land, 144, 295);
    PaintCoopAt(land, 0, 215);
    PaintBarnAt(land, 450, 152);
  }
  Grade(land, mood);
  Stack(sky, land, 0, 0);
  return sky;
}

Image PaintLevel() {
  Layer l = PaintWorld(Mood::Day, 2, false);
  // The head-up strip: dark glass along the top right for the white and red texts.
  Shape strip = RoundRect(326, -12, 660, 24, 8);
  Fill(l, Grow(strip, 1.5f), Hex(0x9CC4F0), 0.6f);
  Fill(l, strip, Linear(0, 0, Hex(0x0C1430), 0, 24, Hex(0x1E2E5A)), 0.86f);
  Fill(l, RoundRect(332, 21.5f, 640, 22.5f, 0.5f), Hex(0x5A7AB8), 0.5f);
  return Flatten(l, Hex(0));
}

Image PaintCoop() { return Sprite(154, 185, PaintCoopAt, 0x2C1C14); }
Image PaintBarn() { return Sprite(190, 297, PaintBarnAt, 0x2A1614); }
Image PaintHedge() { return Sprite(317, 63, PaintHedgeAt, 0x1E3A18); }

}  // namespace gen
