// Fire and smoke: the eight explosion pictures, the mushroom cloud of
// "atom.gif", the campfire of "feuer.gif" and the cartridge of "schuss.gif".
#include <cmath>

#include "art.h"
#include "paint.h"

namespace gen {
namespace {

constexpr float kPi = 3.14159265f;

// Cartoon fire in hard bands: heat 1 is the white-hot core, 0 the rim.
Col FireBand(float heat) {
  if (heat > 0.78f) return Hex(0xFFF0A8);
  if (heat > 0.55f) return Hex(0xFFD23A);
  if (heat > 0.3f) return Hex(0xFF9A1E);
  if (heat > 0.12f) return Hex(0xEE5A1C);
  return Hex(0xB8301E);
}

Col SmokeBand(float v, float warm) {
  const Col light = Mix(Hex(0xB8B0B4), Hex(0xC8A088), warm), mid = Mix(Hex(0x8A8488), Hex(0x9A6A50), warm);
  const Col dark = Mix(Hex(0x5C585E), Hex(0x6A4438), warm);
  if (v > 0.62f) return light;
  if (v > 0.3f) return mid;
  return dark;
}

}  // namespace

// n = 1..8: flash, growing fireball, fire turning to smoke, thinning smoke.
Image PaintExplosion(int n) {
  const float t = float(n - 1) / 7.f;
  Layer l(100, 75, 3);
  const float cx = 50, cy = 38 - 6 * t * t;
  const float R = 13 + 25 * std::sqrt(t) + (n == 1 ? -1 : 0);
  const float heat = Clamp01(1.15f - t * 1.25f);  // fire fades over the frames
  const float smoke = Smooth(0.3f, 0.8f, t);
  const uint32_t seed = 700;

  // Debris and sparks flying out in the early frames.
  if (n >= 2 && n <= 6) {
    Rng rng(seed);
    for (int i = 0; i < 14; ++i) {
      const float a = rng.Uni(0, 2 * kPi), sp = rng.Uni(0.7f, 1.25f);
      const float r = R * (0.9f + 0.5f * sp) + 4 * t;
      const float x = cx + std::cos(a) * r * 1.15f, y = cy + std::sin(a) * r * 0.85f + 10 * t * t;
      if (x < 3 || x > 97 || y < 3 || y > 72) continue;
      const float size = (i % 3 == 0 ? 2.2f : 1.3f) * (1.1f - 0.4f * t);
      const Col c = i % 3 == 0 ? Hex(0x6A5048) : FireBand(0.6f - 0.5f * t);
      Fill(l, Capsule(x, y, x - std::cos(a) * 4 * sp, y - std::sin(a) * 3 * sp, size, size * 0.4f), c);
    }
  }

  // The star-shaped flash of the first frames.
  if (n <= 3) {
    std::vector<float> star;
    const int points = 10;
    for (int i = 0; i < 2 * points; ++i) {
      const float a = float(i) * kPi / float(points) + 0.15f;
      const float r = (i % 2 ? 0.45f : 1.f) * (R + 12 - 4 * float(n)) * (i % 4 == 0 ? 1.15f : 1.f);
      star.push_back(cx + std::cos(a) * r * 1.2f), star.push_back(cy + std::sin(a) * r * 0.9f);
    }
    Fill(l, Poly(star), n == 1 ? Hex(0xFFF4B0) : Hex(0xFFC830));
  }

  // The ball: distance from the centre roughened by noise; heat decides the band.
  const float lobes = 6.5f;
  l.Each({cx - R * 1.6f, cy - R * 1.5f, cx + R * 1.6f, cy + R * 1.5f}, [&](int x, int y, float fx, float fy) {
    const float dx = (fx - cx) / (R * 1.18f), dy = (fy - cy) / (R * 0.92f);
    const float d = std::sqrt(dx * dx + dy * dy);
    const float a = std::atan2(dy, dx);
    const float bumps = 0.16f * std::sin(a * lobes + float(n)) + 0.2f * (Fbm(fx / 9, fy / 9, 3, seed + 1) - 0.5f);
    float edge = 1 + bumps - 0.05f * t;
    // Late frames tear apart into puffs.
    const float holes = Fbm(fx / 7 + float(n), fy / 7, 3, seed + 2);
    if (t > 0.6f && holes < 0.2f + 0.5f * (t - 0.6f) * 2.4f * (0.5f + d)) return;
    if (d > edge) return;
    const float v = 1 - d / edge;  // 0 at the rim, 1 in the middle
    const float shade = Clamp01(v + 0.25f * (-dx - dy) * 0.5f + 0.25f * (Fbm(fx / 5, fy / 5, 2, seed + 3) - 0.5f));
    Col c;
    const float fire = heat * (0.35f + 0.9f * v) - smoke * (0.6f - 0.4f * v);
    if (fire > 0.1f)
      c = FireBand(fire);
    else
      c = SmokeBand(shade, Clamp01(heat * 2.5f));
    // Glowing embers inside the smoke.
    if (fire <= 0.1f && heat > 0 && Fbm(fx / 3, fy / 3, 2, seed + 4) > 0.72f - 0.2f * heat) c = Hex(0xFF8A24);
    l.Blend(x, y, c, 1);
  });
  Image img = Keyed(l);
  return img;
}

// ------------------------------------------------------------------ atom.gif
Animation PaintAtom() {
  Animation a;
  a.delayCs = 4;
  const int frames = 26;
  const float ground = 77;
  for (int f = 0; f < frames; ++f) {
    const float t = float(f) / float(frames - 1);
    Layer l(78, 80, 3);
    const uint32_t seed = 900;
    const float rise = Smooth(0.05f, 1.f, t);
    const float capY = ground - 8 - 46 * rise;
    const float capRx = 7 + 24 * Smooth(0, 0.9f, t), capRy = 6 + 10 * Smooth(0, 0.9f, t);
    const float heat = Clamp01(1.1f - t * 0.9f);
    const float swirl = t * 6;  // the cap rolls as it rises

    // Dust skirt on the ground.
    const float skirtRx = 8 + 30 * Smooth(0, 0.8f, t), skirtRy = 3 + 6 * Smooth(0, 0.8f, t);
    Fill(l, Wobble(Ellipse(39, ground - skirtRy * 0.4f, skirtRx, skirtRy), 1.6f, 3, seed + 9), [&](float x, float y) {
      const float v = Clamp01((ground - y) / (skirtRy * 1.4f));
      Col c = Mix(Hex(0x8A5A3A), Hex(0xC89060), v);
      c = Mix(c, Hex(0xFF9A30), 0.6f * heat * Clamp01(1 - std::abs(x - 39) / (skirtRx * 0.6f)));
      return Mul(c, 0.85f + 0.3f * Fbm(x / 3, y / 3 + swirl, 2, seed + 5));
    });
    // The stem.
    if (f >= 2) {
      const float top = capY + capRy * 0.5f;
      Shape stem = Wobble(Capsule(39, ground - 2, 39, top, 4.5f + 3 * t, 3 + 2.5f * t), 1.2f, 2.5f, seed + uint32_t(f));
      Fill(l, stem, [&](float x, float y) {
        const float v = (x - 39) / (8 + 3 * t);
        Col c = Mix(FireBand(0.5f * heat + 0.15f), Hex(0xA0644A), Clamp01(t * 1.2f));
        c = Shade(c, v, 0, 0.2f);
        return Mul(c, 0.85f + 0.35f * Fbm(x / 2.5f, y / 4 + swirl, 2, seed + 6));
      });
      // A ring of condensation around the stem once it stands.
      if (t > 0.45f) {
        const float ry = ground - 18 - 10 * (t - 0.45f);
        const float rr = 9 + 12 * (t - 0.45f);
        Fill(l, Subtract(Ellipse(39, ry, rr, 2.6f), Ellipse(39, ry - 0.6f, rr - 2.2f, 1.6f)), Hex(0xE8E0DC), Clamp01((t - 0.45f) * 6));
      }
    }
    // The cap: a rolling ball flattened into a mushroom head.
    const Shape capShape = Wobble(Union(Ellipse(39, capY, capRx, capRy), Ellipse(39, capY + capRy * 0.45f, capRx * 0.8f, capRy * 0.55f)),
                                  1.4f + 1.6f * t, 3.5f, seed + 11);
    Fill(l, capShape, [&](float x, float y) {
      const float nx = (x - 39) / (capRx + 2), ny = (y - capY) / (capRy + 2);
      const float roll = Fbm(x / 4 + swirl * 0.6f, y / 3.5f - swirl, 3, seed + 7);
      const float v = Clamp01(1 - std::sqrt(nx * nx + ny * ny));
      const float fire = heat * (0.3f + 0.9f * v) + 0.35f * (roll - 0.5f) + 0.25f * heat;
      Col c = FireBand(fire);
      // Brown-grey smoke takes over the rim as the cloud cools.
      const float cool = Smooth(0.25f, 1.f, t) * (1 - v * 0.8f) + 0.2f * (ny > 0.2f ? 1.f : 0.f);
      if (cool > 0.42f + 0.3f * (roll - 0.5f)) c = SmokeBand(0.5f - 0.6f * ny + 0.4f * (roll - 0.5f), 0.7f);
      return Shade(c, nx * 0.8f, ny * 0.8f, 0.15f);
    });
    // The first frames: the flash on the ground.
    if (f < 5) {
      const float r = 5 + 4 * float(f);
      Glow(l, Circle(39, ground - 2, r * 0.5f), Hex(0xFFF4C0), r, 1.f - 0.15f * float(f));
      Fill(l, Ellipse(39, ground - 2, r * 0.55f, r * 0.45f), Hex(0xFFFCE8));
    }
    a.frames.push_back(Keyed(l, 0.5f));
  }
  return a;
}

// ------------------------------------------------------------------ feuer.gif
Animation PaintFeuer() {
  Animation a;
  a.delayCs = 10;
  const int frames = 10;
  const uint32_t white = Rgb(255, 255, 255);
  for (int f = 0; f < frames; ++f) {
    const float z = float(f) / float(frames) * 5;  // five noise cells per loop
    Layer l(70, 97, 3);
    // Stones around the fireplace, back row first.
    const float stones[][3] = {{12, 86, 5}, {22, 84, 5}, {48, 84, 5}, {58, 86, 5}, {8, 92, 5.5f}, {20, 93, 6}, {35, 94, 6}, {50, 93, 6}, {62, 92, 5.5f}};
    int si = 0;
    auto stone = [&](const float* s) {
      const Shape st = Wobble(Ellipse(s[0], s[1], s[2] * 1.15f, s[2] * 0.75f), 0.5f, 2, 60 + uint32_t(si++));
      Fill(l, Grow(st, 0.8f), Hex(0x3A3634));
      Fill(l, st, Ball(Hex(0x9A948C), s[0] - 1, s[1] - 1, s[2] * 1.3f, s[2] * 0.9f, 0.25f));
    };
    for (int i = 0; i < 4; ++i) stone(stones[i]);
    // Crossed logs.
    const Col bark = Hex(0x7A4A2A);
    for (int side = 0; side < 2; ++side) {
      const float x0 = side ? 58 : 12, x1 = side ? 22 : 48;
      const Shape log = Capsule(x0, 90, x1, 80, 3.6f, 3.2f);
      Fill(l, Grow(log, 0.8f), Hex(0x3A2216));
      Fill(l, log, [&](float x, float y) { return Mul(bark, 0.75f + 0.5f * Fbm(x / 1.5f, y / 4, 2, 70 + uint32_t(side))); });
      Fill(l, Ellipse(x0, 90, 2.6f, 3.2f), Hex(0xD8B080));
      Fill(l, Ellipse(x0, 90, 1.2f, 1.6f), Hex(0xA87A4A));
    }
    // Embers glowing in the logs.
    Fill(l, Wobble(Ellipse(35, 84, 14, 4), 1.2f, 2, 71), [&](float x, float y) {
      return Fbm(x / 2, y / 2 + z, 2, 72) > 0.5f ? Hex(0xFFB030) : Hex(0xD0401C);
    });
    // The flames: a teardrop whose border is torn by evolving noise.
    l.Each({4, 0, 66, 88}, [&](int x, int y, float fx, float fy) {
      const float h = Clamp01((86 - fy) / 80);  // 0 at the base, 1 at the top
      const float width = 22 * std::pow(1 - h, 0.8f) * (0.8f + 0.5f * Smooth(0, 0.25f, h));
      const float sway = 4 * std::sin(h * 3.2f + z * 2 * kPi / 5) * h;
      const float n = Fbm3(fx / 7, fy / 9, z, 3, 80, 5);
      const float tongues = Noise3(fx / 4, fy / 12, z, 81, 5);
      const float dx = std::abs(fx - 35 - sway) / std::max(0.5f, width);
      const float heat = (1 - dx) * (0.75f + 0.45f * (1 - h)) + 0.55f * (n - 0.5f) + 0.35f * (tongues - 0.5f) * h - 0.25f * h;
      if (heat < 0.05f) return;
      l.Blend(x, y, FireBand(heat * 1.1f), 1);
    });
    for (int i = 4; i < 9; ++i) stone(stones[i]);
    // Sparks rising on their own loop.
    Rng rng(83);
    for (int i = 0; i < 6; ++i) {
      const float x0 = rng.Uni(24, 46), phase = rng.Uni(0, 1), drift = rng.Uni(-8, 8);
      const float p = std::fmod(phase + float(f) / float(frames), 1.f);
      const float y = 60 - 58 * p, x = x0 + drift * p + 2 * std::sin(p * 9);
      Fill(l, Circle(x, y, 1.1f - 0.5f * p), p < 0.5f ? Hex(0xFFD040) : Hex(0xF06A20));
    }
    // Hard edges on pure white; the fire keeps clear of near-white.
    Image img = Keyed(l);
    for (uint32_t& c : img.px) {
      if (c == 0) {
        c = white;
        continue;
      }
      const int r = int(c >> 16) & 255, g = int(c >> 8) & 255, b = int(c) & 255;
      if (std::min({r, g, b}) > 180) c = Rgb(r, g, 150);
    }
    a.frames.push_back(img);
  }
  return a;
}

// ------------------------------------------------------------------ schuss.gif
Animation PaintSchuss() {
  Animation a;
  a.delayCs = 8;
  const uint32_t key = Rgb(255, 0, 255);
  a.transparentColor = key;
  const int frames = 8;
  for (int f = 0; f < frames; ++f) {
    Layer l(15, 15, 8);
    const float spin = float(f) / float(frames) * 2 * kPi;
    const Col ink = Hex(0x3A2A14);
    const Shape kase = RoundRect(4.6f, 6.2f, 10.4f, 14.4f, 0.6f);
    const Shape bullet = Union(Ellipse(7.5f, 4.8f, 2.6f, 4.2f), RoundRect(4.9f, 4.8f, 10.1f, 6.6f, 0.2f));
    const Shape rim = RoundRect(4.2f, 12.8f, 10.8f, 14.6f, 0.4f);
    Fill(l, Grow(Union({kase, bullet, rim}), 0.7f), ink);
    // Turning: the lit stripe wanders round the cylinder.
    auto turning = [&](Col base) {
      return [=](float x, float) {
        const float u = (x - 7.5f) / 3;
        const float light = 0.55f + 0.45f * std::cos(std::asin(std::clamp(u, -1.f, 1.f)) * 1.5f - std::sin(spin) * 0.9f);
        return Mul(base, 0.55f + 0.7f * light);
      };
    };
    Fill(l, bullet, turning(Hex(0xE08A48)));
    Fill(l, kase, turning(Hex(0xF0C040)));
    Fill(l, rim, turning(Hex(0xC89A30)));
    Fill(l, RoundRect(4.6f, 7.2f, 10.4f, 7.8f, 0.1f), Hex(0x9A7020));
    // A glint runs over it once per turn.
    if (f < 3) {
      const float gx = 5.5f + 2.2f * float(f), gy = 9.5f - 2.2f * float(f);
      const float s = f == 1 ? 2.8f : 2.f;
      Fill(l, Capsule(gx - s, gy, gx + s, gy, 0.4f, 0.4f), Hex(0xFFFFF0));
      Fill(l, Capsule(gx, gy - s, gx, gy + s, 0.4f, 0.4f), Hex(0xFFFFF0));
    }
    Image img = Keyed(l);
    for (uint32_t& c : img.px)
      if (c == 0) c = key;
    a.frames.push_back(img);
  }
  return a;
}

}  // namespace gen
