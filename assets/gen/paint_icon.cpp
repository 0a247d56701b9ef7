// The program's icon: the mascot in the crosshair, as beside the logo, over a
// round patch of the menu's evening sky. The maskable one (for home screens
// that cut icons to their own shape) fills its whole square with the sky's
// dark top and keeps the design within the middle 80 %.
#include <algorithm>
#include <cmath>

#include "art.h"
#include "paint.h"

namespace gen {

std::vector<uint8_t> PaintIcon(int size, bool maskable) {
  // Drawn in a frame of 100 x 100; strokes keep a least width in pixels so
  // that the small sizes still show a closed ring and four ticks. The
  // smallest sizes leave the chicken bigger, the ticks outside the ring only.
  const float k = float(size) * (maskable ? 0.8f : 1.f) / 100.f;
  const bool small = size <= 24;
  const int ss = size <= 32 ? 8 : (size <= 128 ? 4 : 2);
  Layer l(size, size, ss);
  auto Stroke = [&](float design, float leastPx) { return std::max(design * k, leastPx); };
  const float c = float(size) / 2, r = 33 * k;
  if (maskable) Fill(l, RoundRect(0, 0, float(size), float(size), 0), Hex(0x2A1E5C));

  // The sky with the sun going down behind a dark hill.
  const Shape disc = Circle(c, c, r);
  Fill(l, disc, [&](float, float y) {
    const float t = Clamp01((y - (c - r)) / (2 * r));
    return Ramp({Hex(0x2A1E5C), Hex(0x8C3C78), Hex(0xF08850), Hex(0xFFD27A)}, t);
  });
  if (size >= 32) {
    Glow(l, Circle(c + 14 * k, c + 20 * k, 7 * k), Hex(0xFFE8A0), 6 * k, 0.8f);
    Fill(l, Intersect(disc, Circle(c + 14 * k, c + 20 * k, 7 * k)), Hex(0xFFF0C0));
  }
  Fill(l, Intersect(disc, Ellipse(c - 10 * k, c + 44 * k, 52 * k, 24 * k)),
       Linear(0, c + 20 * k, Hex(0x4A3A6A), 0, c + r, Hex(0x241A3A)));

  // The chicken, wing up, facing left.
  DrawChicken(l, c + 1 * k, c + 1 * k, (small ? 56 : 50) * k, false, true);

  // The crosshair: a red ring and four ticks, each with a dark edge.
  const Col red = Hex(0xE8281E), ink = Hex(0x3A0E10);
  const float half = Stroke(1.6f, small ? 0.5f : 0.7f), edge = Stroke(1.2f, small ? 0.3f : 0.5f);
  const Shape ring = Subtract(Circle(c, c, r + half), Circle(c, c, r - half));
  std::vector<Shape> ticks;
  for (int i = 0; i < 4; ++i) {
    const float dx = float((i == 0) - (i == 1)), dy = float((i == 2) - (i == 3));
    const float from = small ? r : r - 11 * k, to = r + 13 * k, w = Stroke(2.f, 0.6f);
    ticks.push_back(Capsule(c + dx * from, c + dy * from, c + dx * to, c + dy * to, w, w));
  }
  Fill(l, Grow(ring, edge), ink);
  for (const Shape& t : ticks) Fill(l, Grow(t, edge), ink);
  Fill(l, ring, red);
  for (const Shape& t : ticks) Fill(l, t, red);

  // Straight (not premultiplied) colour with its cover, a pixel at a time.
  const Layer px = Reduce(l);
  std::vector<uint8_t> rgba;
  rgba.reserve(size_t(size) * size_t(size) * 4);
  for (const Px& p : px.px) {
    const float a = Clamp01(p.a), inv = a > 0 ? 1.f / a : 0.f;
    for (float v : {p.r * inv, p.g * inv, p.b * inv, a}) rgba.push_back(uint8_t(std::lround(Clamp01(v) * 255.f)));
  }
  return rgba;
}

}  // namespace gen
