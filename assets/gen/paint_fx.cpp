// Fire and smoke: the eight explosion pictures, the mushroom cloud of
// "atom.gif", the campfire of "feuer.gif" and the cartridge of "schuss.gif".
#include <algorithm>
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

// A ball of smoke (or fire): lit from the upper left, `glow` warms the
// underside as if lit by the fire beneath.
void Puff(Layer& l, float x, float y, float r, Col base, float glow, uint32_t seed) {
  const Shape s = Wobble(Circle(x, y, r), r * 0.12f, std::max(1.5f, r * 0.45f), seed);
  Fill(l, s, [=](float px, float py) {
    const float nx = (px - x) / (r * 1.1f), ny = (py - y) / (r * 1.1f);
    Col c = Shade(base, nx, ny, 0.1f);
    if (glow > 0) c = Mix(c, Hex(0xFF8A2A), glow * Smooth(0.1f, 0.9f, ny) * 0.8f);
    return c;
  });
}

struct PuffSeed {
  float angle, reach, size;
};

std::vector<PuffSeed> PuffSeeds(int n, uint32_t seed) {
  Rng rng(seed);
  std::vector<PuffSeed> v;
  for (int i = 0; i < n; ++i)
    v.push_back({float(i) / float(n) * 2 * kPi + rng.Uni(-0.3f, 0.3f), rng.Uni(0.55f, 1.f), rng.Uni(0.75f, 1.2f)});
  return v;
}

void Fireball(Layer& l, float cx, float cy, float R, float heat, int n, uint32_t seed) {
  l.Each({cx - R * 1.5f, cy - R * 1.4f, cx + R * 1.5f, cy + R * 1.4f}, [&](int x, int y, float fx, float fy) {
    const float dx = (fx - cx) / (R * 1.18f), dy = (fy - cy) / (R * 0.92f);
    const float d = std::sqrt(dx * dx + dy * dy);
    const float a = std::atan2(dy, dx);
    const float edge = 1 + 0.15f * std::sin(a * 7 + float(n)) + 0.2f * (Fbm(fx / 9, fy / 9, 3, seed) - 0.5f);
    if (d > edge) return;
    const float v = 1 - d / edge;
    const float fire = heat * (0.3f + 0.9f * v) + 0.2f * (Fbm(fx / 5, fy / 5, 2, seed + 3) - 0.5f) - 0.08f * (dx + dy);
    l.Blend(x, y, FireBand(fire), 1);
  });
}

}  // namespace

// n = 1..8: flash, growing fireball, fire turning into smoke, thinning smoke.
Image PaintExplosion(int n) {
  const float t = float(n - 1) / 7.f;
  Layer l(100, 75, 3);
  const float cx = 50, cy = 38;
  const uint32_t seed = 700;

  // Debris and sparks flying out in the early frames.
  if (n >= 2 && n <= 5) {
    Rng rng(seed);
    const float R = 12 + 26 * std::sqrt(t);
    for (int i = 0; i < 14; ++i) {
      const float a = rng.Uni(0, 2 * kPi), sp = rng.Uni(0.7f, 1.25f);
      const float r = R * (0.95f + 0.45f * sp);
      const float x = cx + std::cos(a) * r * 1.15f, y = cy + std::sin(a) * r * 0.8f + 8 * t * t;
      if (x < 4 || x > 96 || y < 4 || y > 71) continue;
      const float size = (i % 3 == 0 ? 2.2f : 1.3f) * (1.1f - 0.4f * t);
      const Col c = i % 3 == 0 ? Hex(0x6A5048) : FireBand(0.65f - 0.5f * t);
      Fill(l, Capsule(x, y, x - std::cos(a) * 4 * sp, y - std::sin(a) * 3 * sp, size, size * 0.4f), c);
    }
  }
  if (n <= 3) {  // the star-shaped flash
    std::vector<float> star;
    const int points = 10;
    const float R = 12 + 26 * std::sqrt(t);
    for (int i = 0; i < 2 * points; ++i) {
      const float a = float(i) * kPi / float(points) + 0.15f;
      const float r = (i % 2 ? 0.45f : 1.f) * (R + 12 - 4 * float(n)) * (i % 4 == 0 ? 1.15f : 1.f);
      star.push_back(cx + std::cos(a) * r * 1.2f), star.push_back(cy + std::sin(a) * r * 0.9f);
    }
    Fill(l, Poly(star), n == 1 ? Hex(0xFFF4B0) : Hex(0xFFC830));
  }
  if (n <= 4) {
    const float R = 12 + 26 * std::sqrt(t);
    // From frame 4 the first smoke rolls up behind the fire.
    if (n == 4)
      for (const PuffSeed& p : PuffSeeds(9, seed + 20))
        if (std::sin(p.angle) < 0.3f)
          Puff(l, cx + std::cos(p.angle) * R * 0.85f * p.reach, cy + std::sin(p.angle) * R * 0.7f * p.reach - 3, 9 * p.size, Hex(0x6E5A54), 0.6f,
               seed + uint32_t(int64_t(p.angle * 100)));  // angles below 0 wrap round
    Fireball(l, cx, cy, R, 1.15f - 0.12f * float(n), n, seed + 1);
  } else {
    // Smoke puffs spread and rise; their fire dies down and they grow pale.
    const float k = float(n - 5) / 3.f;  // 0 at frame 5, 1 at frame 8
    const Col smoke = Ramp({Hex(0x5E4C4A), Hex(0x7A7074), Hex(0xA49EA2), Hex(0xCBC6C8)}, k);
    const std::vector<PuffSeed> seeds = PuffSeeds(11, seed + 20);
    const float spread = 24 + 12 * k, rise = 2 + 8 * k;
    const float size = (n == 8 ? 6.5f : 11.5f - 2.5f * k);
    int i = 0;
    for (const PuffSeed& p : seeds) {
      ++i;
      if (n == 7 && i % 4 == 0) continue;
      if (n == 8 && i % 2 == 0) continue;
      const float px = cx + std::cos(p.angle) * spread * p.reach * 1.1f;
      const float py = cy - rise + std::sin(p.angle) * spread * p.reach * 0.55f;
      Puff(l, px, py, size * p.size, smoke, n == 5 ? 0.9f : (n == 6 ? 0.5f : 0), seed + uint32_t(i));
    }
    if (n <= 6) {
      // The last of the fire in the middle, and embers.
      Fireball(l, cx, cy - rise * 0.5f, n == 5 ? 15 : 8, n == 5 ? 0.8f : 0.55f, n, seed + 2);
      Rng rng(seed + 5);
      for (int e = 0; e < 10; ++e) {
        const float a = rng.Uni(0, 2 * kPi), r = rng.Uni(6, spread);
        Fill(l, Circle(cx + std::cos(a) * r, cy - rise + std::sin(a) * r * 0.7f, 1.1f), e % 2 ? Hex(0xFFC030) : Hex(0xFF6A1A));
      }
    }
  }
  return Keyed(l);
}

// ------------------------------------------------------------------ atom.gif
Animation PaintAtom() {
  Animation a;
  a.delayCs = 4;
  const int frames = 26;
  const float ground = 77, cx = 39;
  const uint32_t seed = 900;
  for (int f = 0; f < frames; ++f) {
    const float t = float(f) / float(frames - 1);
    Layer l(78, 80, 3);
    const float grow = Smooth(0, 0.85f, t);
    const float heat = Clamp01(1.05f - t * 0.8f);
    const float capY = ground - 9 - 45 * Smooth(0.02f, 1.f, t);
    const float W = 7 + 23 * grow, H = 6 + 10 * grow;
    // Fire on the lit side of a puff, smoke on its shaded side.
    auto hot = [&](float local) {
      return Mix(FireBand(heat * (0.45f + 0.6f * local)), Hex(0x8A5A4A), Smooth(0.2f, 1.f, t) * (1 - local) * 0.9f);
    };

    // Dust skirt rolling out along the ground.
    const float skirt = 6 + 30 * grow;
    for (int i = 0; i < 13; ++i) {
      const float u = (float(i % 2 ? i : 12 - i) / 12.f - 0.5f) * 2;  // outer puffs first, the middle in front
      const float r = (3 + 4.5f * grow) * (1.15f - 0.5f * std::abs(u)) * (0.85f + 0.3f * std::sin(float(i) * 3.1f));
      Puff(l, cx + u * skirt, ground - r * 0.55f - (1 - std::abs(u)) * 2 * grow, r, Mix(Hex(0xB07A50), Hex(0x9A8678), t), heat * 0.6f,
           seed + uint32_t(i));
    }
    // The stem: puffs up to the cap.
    if (f >= 2) {
      const float top = capY + H * 0.5f;
      const int n = std::max(2, int((ground - top) / 2.6f));
      for (int i = 0; i <= n; ++i) {
        const float v = float(i) / float(n);
        const float y = ground - 3 - v * (ground - 3 - top);
        const float r = (2.8f + 2.8f * grow) * (1.2f - 0.4f * v) * (0.9f + 0.2f * std::sin(float(i) * 2.3f));
        const float wob = 0.8f * std::sin(float(i) * 1.7f + t * 9);
        const Col c = hot(0.5f + 0.4f * (1 - v));
        Puff(l, cx + wob, y, r, c, 0, seed + 40 + uint32_t(i));
      }
      // The ring of condensation around the stem once it stands.
      if (t > 0.5f) {
        const float ry = ground - 22 - 8 * (t - 0.5f), rr = 9 + 14 * (t - 0.5f);
        Fill(l, Subtract(Ellipse(cx, ry, rr, 2.6f), Ellipse(cx, ry - 0.7f, rr - 2.6f, 1.7f)), Hex(0xD8D4DC), 1);
      }
    }
    // The cap: puffs round a rolling ring, the back ones first.
    struct Cap {
      float x, y, r, depth, local;
    };
    std::vector<Cap> caps;
    const int ringN = 12;
    for (int i = 0; i < ringN; ++i) {
      const float th = float(i) / float(ringN) * 2 * kPi + t * 1.5f;
      const float x = cx + std::cos(th) * W * 0.72f, z = std::sin(th);
      const float y = capY + z * H * 0.18f + H * 0.05f;
      caps.push_back({x, y, H * 0.5f * (1 + 0.15f * std::sin(float(i) * 2.1f)), z, 0.3f + 0.3f * (1 - z)});
    }
    for (int i = 0; i < 5; ++i) {  // the dome on top
      const float u = (float(i) / 4.f - 0.5f) * 1.4f;
      caps.push_back({cx + u * W * 0.7f, capY - H * 0.42f + std::abs(u) * H * 0.25f, H * 0.55f, 0.2f, 0.85f});
    }
    std::sort(caps.begin(), caps.end(), [](const Cap& p, const Cap& q) { return p.depth < q.depth; });
    Fill(l, Ellipse(cx, capY + H * 0.35f, W * 0.8f, H * 0.35f), Hex(0x6A3A30));  // the dark underside
    int k = 0;
    for (const Cap& c : caps) Puff(l, c.x, c.y, c.r, hot(c.local), heat * 0.5f, seed + 80 + uint32_t(k++));
    // The first frames: the flash on the ground, swelling and fading into the fireball.
    if (f < 5) {
      const float sizes[] = {7, 12, 15, 13, 9}, fade[] = {1, 1, 0.85f, 0.6f, 0.35f};
      const float r = sizes[f];
      Glow(l, Circle(cx, ground - 4, r * 0.5f), Hex(0xFFE070), r * 0.9f, fade[f]);
      Fill(l, Ellipse(cx, ground - 3 - r * 0.2f, r * 0.65f, r * 0.55f), Hex(0xFFFCE0), fade[f] > 0.5f ? 1.f : 0.f);
      for (int i = 0; i < 8 && f < 3; ++i) {  // rays
        const float an = float(i) * kPi / 8 + 0.2f;
        Fill(l, Capsule(cx, ground - 4, cx + std::cos(an) * r * 1.6f, ground - 4 - std::abs(std::sin(an)) * r * 1.4f, 1.2f, 0.3f), Hex(0xFFF6C0));
      }
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
    // The flames: a teardrop whose border is torn by evolving noise.
    l.Each({4, 0, 66, 88}, [&](int x, int y, float fx, float fy) {
      const float h = Clamp01((86 - fy) / 70);  // 0 at the base, 1 at the top
      const float width = 24 * std::pow(1 - h, 0.75f) * (0.8f + 0.5f * Smooth(0, 0.25f, h));
      if (width < 1.5f) return;  // no hair-thin filaments at the tip
      const float sway = 4 * std::sin(h * 3.2f + z * 2 * kPi / 5) * h;
      const float n = Fbm3(fx / 7, fy / 9, z, 3, 80, 5);
      const float tongues = Noise3(fx / 3.5f, fy / 10, z, 81, 5);
      const float dx = std::abs(fx - 35 - sway) / std::max(0.5f, width);
      const float heat = (1 - dx) * (0.75f + 0.45f * (1 - h)) + 0.55f * (n - 0.5f) + 0.6f * (tongues - 0.5f) * h - 0.25f * h;
      if (heat < 0.05f) return;
      l.Blend(x, y, FireBand(heat * 1.1f), 1);
    });
    // Embers at the foot, then the crossed logs in front with glowing cracks.
    Fill(l, Wobble(Ellipse(35, 87, 16, 3.5f), 1, 2, 71), [&](float x, float y) {
      return Fbm(x / 2, y / 2 + z, 2, 72) > 0.5f ? Hex(0xFFB030) : Hex(0xD0401C);
    });
    const Col bark = Hex(0x7A4A2A);
    for (int side = 0; side < 2; ++side) {
      const float x0 = side ? 58 : 12, x1 = side ? 24 : 46;
      const Shape log = Capsule(x0, 90, x1, 82, 3.6f, 3.2f);
      Fill(l, Grow(log, 0.8f), Hex(0x3A2216));
      Fill(l, log, [&](float x, float y) {
        Col c = Mul(bark, 0.75f + 0.5f * Fbm(x / 1.5f, y / 4, 2, 70 + uint32_t(side)));
        // The side towards the fire glows.
        return Mix(c, Hex(0xF06A1C), 0.7f * Smooth(0.55f, 0.8f, Fbm(x / 1.8f, y / 1.8f + z * 0.5f, 2, 74)) * Smooth(91, 84, y));
      });
      Fill(l, Ellipse(x0, 90, 2.6f, 3.2f), Hex(0xD8B080));
      Fill(l, Ellipse(x0, 90, 1.2f, 1.6f), Hex(0xA87A4A));
    }
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
