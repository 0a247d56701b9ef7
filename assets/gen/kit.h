// The painting toolkit of the asset generator: supersampled float layers,
// shapes given as signed distances, gradients and shading, value noise, a
// seeded random generator, and the conversion to finished pictures (opaque,
// or with hard edges on the black colour key).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "image.h"

namespace gen {

// ---------------------------------------------------------------- colours
// Straight (not premultiplied) colour, channels 0..1.
struct Col {
  float r = 0, g = 0, b = 0, a = 1;
};

inline Col Hex(uint32_t rgb, float a = 1.f) {
  return {float((rgb >> 16) & 255) / 255.f, float((rgb >> 8) & 255) / 255.f, float(rgb & 255) / 255.f, a};
}
inline Col Mix(Col x, Col y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
inline Col Mul(Col c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
inline Col Alpha(Col c, float a) { return {c.r, c.g, c.b, c.a * a}; }
inline Col Lighten(Col c, float t) { return Mix(c, {1, 1, 1, c.a}, t); }
inline Col Darken(Col c, float t) { return Mix(c, {0, 0, 0, c.a}, t); }
// Mixes along several stops spread evenly over t = 0..1.
Col Ramp(std::initializer_list<Col> stops, float t);

inline float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float Smooth(float e0, float e1, float v) {
  float t = Clamp01((v - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------- randomness
struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint32_t Next() {  // splitmix64
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return uint32_t((z ^ (z >> 31)) >> 32);
  }
  float Uni() { return float(Next() >> 8) / 16777216.f; }
  float Uni(float lo, float hi) { return lo + (hi - lo) * Uni(); }
  int Int(int n) { return int(Next() % uint32_t(n)); }
};

// Smooth value noise in 0..1; Noise3's third axis repeats every `periodZ`
// cells when periodZ > 0 (for looping animations).
float Noise2(float x, float y, uint32_t seed);
float Noise3(float x, float y, float z, uint32_t seed, int periodZ = 0);
// Sum of octaves, normalised to 0..1.
float Fbm(float x, float y, int octaves, uint32_t seed);
float Fbm3(float x, float y, float z, int octaves, uint32_t seed, int periodZ = 0);

// Brightness roughened by noise of the given cell size: wood, grass, stone.
inline Col Grain(Col c, float x, float y, uint32_t seed, float amount, float cell = 3.f) {
  return Mul(c, 1 + amount * (Fbm(x / cell, y / cell, 3, seed) - 0.5f));
}

// ---------------------------------------------------------------- shapes
struct Box {
  float x0, y0, x1, y1;
  Box Grow(float d) const { return {x0 - d, y0 - d, x1 + d, y1 + d}; }
};

// A region given by its signed distance (negative inside), in logical pixels.
struct Shape {
  std::function<float(float, float)> d;
  Box box;
};

Shape Circle(float cx, float cy, float r);
Shape Ellipse(float cx, float cy, float rx, float ry, float angle = 0);
Shape RoundRect(float x0, float y0, float x1, float y1, float radius);
// A segment with round ends, radius ra at (ax, ay) growing to rb at (bx, by).
Shape Capsule(float ax, float ay, float bx, float by, float ra, float rb);
Shape Poly(std::vector<float> xy);  // x0, y0, x1, y1, ...
Shape Union(const Shape& a, const Shape& b);
Shape Union(std::initializer_list<Shape> parts);
Shape Intersect(const Shape& a, const Shape& b);
Shape Subtract(const Shape& a, const Shape& b);
Shape Grow(const Shape& s, float by);
// Roughens the border by noise of the given amplitude and cell size.
Shape Wobble(const Shape& s, float amplitude, float cell, uint32_t seed);
// Everything below y = f(x) (a ground line); box limits the area.
Shape Below(std::function<float(float)> f, Box box);

// ---------------------------------------------------------------- layers
struct Px {
  float r = 0, g = 0, b = 0, a = 0;  // premultiplied
};

// A picture in progress, `ss` fine pixels per logical pixel in each direction.
struct Layer {
  int lw = 0, lh = 0, ss = 1, w = 0, h = 0;
  std::vector<Px> px;
  Layer() = default;
  Layer(int logicalW, int logicalH, int superSample);

  Px& At(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
  const Px& At(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
  void Blend(int x, int y, Col c, float cover) {
    const float a = c.a * cover;
    if (a <= 0) return;
    Px& p = At(x, y);
    const float k = 1 - a;
    p.r = c.r * a + p.r * k, p.g = c.g * a + p.g * k, p.b = c.b * a + p.b * k, p.a = a + p.a * k;
  }
  // Runs fn(fineX, fineY, logicalX, logicalY) over the fine pixels of a box.
  template <class Fn>
  void Each(Box b, Fn&& fn) {
    const int x0 = std::max(0, int(std::floor(b.x0 * float(ss)))), x1 = std::min(w, int(std::ceil(b.x1 * float(ss))));
    const int y0 = std::max(0, int(std::floor(b.y0 * float(ss)))), y1 = std::min(h, int(std::ceil(b.y1 * float(ss))));
    const float inv = 1.f / float(ss);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) fn(x, y, (float(x) + 0.5f) * inv, (float(y) + 0.5f) * inv);
  }
};

using PaintFn = std::function<Col(float, float)>;

// Fills the shape, anti-aliased at the fine resolution.
void Fill(Layer& l, const Shape& s, Col c, float opacity = 1.f);
void Fill(Layer& l, const Shape& s, const PaintFn& paint, float opacity = 1.f);
// Fills the shape grown by `width` in the outline colour, then the shape itself:
// paint several parts' outlines first and their fills after to outline a whole.
void FillOutlined(Layer& l, const Shape& s, Col fill, Col outline, float width);
// Paints every fine pixel of the box.
void Wash(Layer& l, Box b, const PaintFn& paint, float opacity = 1.f);
// Soft edge: coverage falls off over `soft` logical pixels outside the shape.
void Glow(Layer& l, const Shape& s, Col c, float soft, float opacity = 1.f);

// Shading of a rounded body: base colour lit from the upper left, with a
// highlight; (nx, ny) is the position relative to the body, -1..1.
Col Shade(Col base, float nx, float ny, float highlight = 0.45f);
// Two-tone shading for pale bodies: `dark` on the side away from the light
// instead of a plain darkening (white stays warm, not grey).
PaintFn Soft(Col light, Col dark, float cx, float cy, float rx, float ry, float highlight = 0.3f);
// Linear gradient between two points.
PaintFn Linear(float x0, float y0, Col c0, float x1, float y1, Col c1);
// Shaded ball paint for an ellipse body.
PaintFn Ball(Col base, float cx, float cy, float rx, float ry, float highlight = 0.45f);

// Draws a layer of the same fineness onto another at a logical offset.
void Stack(Layer& dst, const Layer& src, float dx, float dy, float opacity = 1.f);
// Separable box blur (three passes), radius in logical pixels.
void Blur(Layer& l, float radius);
// One logical pixel per pixel: averages the fine pixels.
Layer Reduce(const Layer& l);

// ---------------------------------------------------------------- pictures
// Opaque picture: the layer over a background colour.
Image Flatten(const Layer& l, Col background);
// Transparent picture with hard edges: pixels at least `cut` covered keep
// their own colour, the rest become pure black (the colour key). Kept colours
// never fall to black in the 16-bit display.
Image Keyed(const Layer& l, float cut = 0.5f);
// Lifts a colour that would read as the black colour key in 16 bits.
uint32_t Visible(uint32_t rgb);
// Darkens the opaque pixels of a keyed picture that touch the key, as an
// inked outline inside the silhouette.
void InkEdge(Image& img, uint32_t ink, float strength = 1.f);
Image MirrorX(const Image& img);

}  // namespace gen
