#include "kit.h"

#include <stdexcept>

namespace gen {

Col Ramp(std::initializer_list<Col> stops, float t) {
  const int n = int(stops.size());
  if (n == 0) return {};
  const Col* s = stops.begin();
  if (n == 1) return s[0];
  const float pos = Clamp01(t) * float(n - 1);
  const int i = std::min(n - 2, int(pos));
  return Mix(s[i], s[i + 1], pos - float(i));
}

// ---------------------------------------------------------------- noise
namespace {

uint32_t Hash(int x, int y, int z, uint32_t seed) {
  uint32_t h = seed * 0x27D4EB2Du ^ uint32_t(x) * 0x85EBCA6Bu ^ uint32_t(y) * 0xC2B2AE35u ^ uint32_t(z) * 0x165667B1u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}
float Unit(uint32_t h) { return float(h >> 8) / 16777215.f; }
float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
float Lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

float Noise2(float x, float y, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  const float u = Fade(x - fx), v = Fade(y - fy);
  const float a = Unit(Hash(ix, iy, 0, seed)), b = Unit(Hash(ix + 1, iy, 0, seed));
  const float c = Unit(Hash(ix, iy + 1, 0, seed)), d = Unit(Hash(ix + 1, iy + 1, 0, seed));
  return Lerp(Lerp(a, b, u), Lerp(c, d, u), v);
}

float Noise3(float x, float y, float z, uint32_t seed, int periodZ) {
  const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  const int ix = int(fx), iy = int(fy);
  int iz0 = int(fz), iz1 = iz0 + 1;
  if (periodZ > 0) iz0 = ((iz0 % periodZ) + periodZ) % periodZ, iz1 = ((iz1 % periodZ) + periodZ) % periodZ;
  const float u = Fade(x - fx), v = Fade(y - fy), w = Fade(z - fz);
  auto plane = [&](int iz) {
    const float a = Unit(Hash(ix, iy, iz, seed)), b = Unit(Hash(ix + 1, iy, iz, seed));
    const float c = Unit(Hash(ix, iy + 1, iz, seed)), d = Unit(Hash(ix + 1, iy + 1, iz, seed));
    return Lerp(Lerp(a, b, u), Lerp(c, d, u), v);
  };
  return Lerp(plane(iz0), plane(iz1), w);
}

float Fbm(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, amp = 1, total = 0, f = 1;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * Noise2(x * f, y * f, seed + uint32_t(i) * 101u);
    total += amp, amp *= 0.5f, f *= 2.03f;
  }
  return sum / total;
}

float Fbm3(float x, float y, float z, int octaves, uint32_t seed, int periodZ) {
  float sum = 0, amp = 1, total = 0, f = 1;
  for (int i = 0; i < octaves; ++i) {
    // The time axis keeps its period at every octave.
    sum += amp * Noise3(x * f, y * f, z, seed + uint32_t(i) * 101u, periodZ);
    total += amp, amp *= 0.5f, f *= 2.03f;
  }
  return sum / total;
}

// ---------------------------------------------------------------- shapes
Shape Circle(float cx, float cy, float r) {
  return {[=](float x, float y) { return std::hypot(x - cx, y - cy) - r; }, {cx - r, cy - r, cx + r, cy + r}};
}

Shape Ellipse(float cx, float cy, float rx, float ry, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const float ext = std::max(rx, ry);
  return {[=](float x, float y) {
            const float dx = x - cx, dy = y - cy;
            const float u = dx * c + dy * s, v = -dx * s + dy * c;
            const float k0 = std::hypot(u / rx, v / ry);
            const float k1 = std::hypot(u / (rx * rx), v / (ry * ry));
            if (k1 < 1e-6f) return -std::min(rx, ry);
            return k0 * (k0 - 1) / k1;
          },
          {cx - ext, cy - ext, cx + ext, cy + ext}};
}

Shape RoundRect(float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  return {[=](float x, float y) {
            const float qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
            return std::hypot(std::max(qx, 0.f), std::max(qy, 0.f)) + std::min(std::max(qx, qy), 0.f) - radius;
          },
          {x0, y0, x1, y1}};
}

Shape Capsule(float ax, float ay, float bx, float by, float ra, float rb) {
  const float ex = bx - ax, ey = by - ay, len2 = std::max(1e-6f, ex * ex + ey * ey);
  const float r = std::max(ra, rb);
  return {[=](float x, float y) {
            const float t = Clamp01(((x - ax) * ex + (y - ay) * ey) / len2);
            return std::hypot(x - ax - ex * t, y - ay - ey * t) - (ra + (rb - ra) * t);
          },
          {std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r}};
}

Shape Poly(std::vector<float> xy) {
  if (xy.size() < 6 || xy.size() % 2) throw std::runtime_error("a polygon needs three points");
  Box b{xy[0], xy[1], xy[0], xy[1]};
  for (size_t i = 0; i < xy.size(); i += 2)
    b.x0 = std::min(b.x0, xy[i]), b.x1 = std::max(b.x1, xy[i]), b.y0 = std::min(b.y0, xy[i + 1]), b.y1 = std::max(b.y1, xy[i + 1]);
  return {[p = std::move(xy)](float x, float y) {
            const size_t n = p.size() / 2;
            float d = 1e30f, sign = 1;
            for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
              const float ax = p[2 * i], ay = p[2 * i + 1], bx = p[2 * j], by = p[2 * j + 1];
              const float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
              const float t = Clamp01((wx * ex + wy * ey) / std::max(1e-9f, ex * ex + ey * ey));
              d = std::min(d, (wx - ex * t) * (wx - ex * t) + (wy - ey * t) * (wy - ey * t));
              const bool c1 = y >= ay, c2 = y < by, c3 = ex * wy > ey * wx;
              if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
            }
            return sign * std::sqrt(d);
          },
          b};
}

namespace {
Box Hull(Box a, Box b) { return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)}; }
}  // namespace

Shape Union(const Shape& a, const Shape& b) {
  return {[da = a.d, db = b.d](float x, float y) { return std::min(da(x, y), db(x, y)); }, Hull(a.box, b.box)};
}

Shape Union(std::initializer_list<Shape> parts) {
  std::vector<Shape> v(parts);
  Box b = v.front().box;
  for (const Shape& s : v) b = Hull(b, s.box);
  return {[v](float x, float y) {
            float d = 1e30f;
            for (const Shape& s : v) d = std::min(d, s.d(x, y));
            return d;
          },
          b};
}

Shape Intersect(const Shape& a, const Shape& b) {
  Box box{std::max(a.box.x0, b.box.x0), std::max(a.box.y0, b.box.y0), std::min(a.box.x1, b.box.x1), std::min(a.box.y1, b.box.y1)};
  return {[da = a.d, db = b.d](float x, float y) { return std::max(da(x, y), db(x, y)); }, box};
}

Shape Subtract(const Shape& a, const Shape& b) {
  return {[da = a.d, db = b.d](float x, float y) { return std::max(da(x, y), -db(x, y)); }, a.box};
}

Shape Grow(const Shape& s, float by) {
  return {[d = s.d, by](float x, float y) { return d(x, y) - by; }, s.box.Grow(std::max(0.f, by))};
}

Shape Wobble(const Shape& s, float amplitude, float cell, uint32_t seed) {
  return {[d = s.d, amplitude, cell, seed](float x, float y) {
            return d(x, y) + amplitude * (2 * Fbm(x / cell, y / cell, 2, seed) - 1);
          },
          s.box.Grow(amplitude)};
}

Shape Below(std::function<float(float)> f, Box box) {
  return {[f = std::move(f), box](float x, float y) {
            const float ground = f(x) - y;
            const float edge = std::max({box.x0 - x, x - box.x1, box.y0 - y, y - box.y1});
            return std::max(ground, edge);
          },
          box};
}

// ---------------------------------------------------------------- layers
Layer::Layer(int logicalW, int logicalH, int superSample)
    : lw(logicalW), lh(logicalH), ss(superSample), w(logicalW * superSample), h(logicalH * superSample),
      px(size_t(w) * size_t(h)) {}

void Fill(Layer& l, const Shape& s, Col c, float opacity) {
  const float k = float(l.ss);
  l.Each(s.box.Grow(1), [&](int x, int y, float fx, float fy) {
    const float cover = Clamp01(0.5f - s.d(fx, fy) * k);
    if (cover > 0) l.Blend(x, y, c, cover * opacity);
  });
}

void Fill(Layer& l, const Shape& s, const PaintFn& paint, float opacity) {
  const float k = float(l.ss);
  l.Each(s.box.Grow(1), [&](int x, int y, float fx, float fy) {
    const float cover = Clamp01(0.5f - s.d(fx, fy) * k);
    if (cover > 0) l.Blend(x, y, paint(fx, fy), cover * opacity);
  });
}

void FillOutlined(Layer& l, const Shape& s, Col fill, Col outline, float width) {
  Fill(l, Grow(s, width), outline);
  Fill(l, s, fill);
}

void Wash(Layer& l, Box b, const PaintFn& paint, float opacity) {
  l.Each(b, [&](int x, int y, float fx, float fy) { l.Blend(x, y, paint(fx, fy), opacity); });
}

void Glow(Layer& l, const Shape& s, Col c, float soft, float opacity) {
  l.Each(s.box.Grow(soft + 1), [&](int x, int y, float fx, float fy) {
    const float d = s.d(fx, fy);
    float cover = d <= 0 ? 1.f : std::max(0.f, 1 - d / soft);
    cover *= cover;
    if (cover > 0) l.Blend(x, y, c, cover * opacity);
  });
}

Col Shade(Col base, float nx, float ny, float highlight) {
  const float k = nx * nx + ny * ny;
  const float nz = std::sqrt(std::max(0.f, 1 - k));
  const float lx = -0.45f, ly = -0.62f, lz = 0.64f;
  const float diff = std::max(0.f, nx * lx + ny * ly + nz * lz);
  Col c = Mul(base, 0.62f + 0.5f * diff);
  // Half vector between the light and the viewer for the highlight.
  const float hx = lx, hy = ly, hz = lz + 1, hl = std::sqrt(hx * hx + hy * hy + hz * hz);
  const float shine = std::pow(std::max(0.f, (nx * hx + ny * hy + nz * hz) / hl), 28.f);
  c = Mix(c, Col{1, 1, 1, c.a}, highlight * shine);
  c = Darken(c, 0.22f * Smooth(0.72f, 1.f, k));
  c.r = Clamp01(c.r), c.g = Clamp01(c.g), c.b = Clamp01(c.b);
  return c;
}

PaintFn Soft(Col light, Col dark, float cx, float cy, float rx, float ry, float highlight) {
  return [=](float x, float y) {
    const float nx = (x - cx) / rx, ny = (y - cy) / ry, k = nx * nx + ny * ny;
    const float nz = std::sqrt(std::max(0.f, 1 - k));
    const float diff = std::max(0.f, nx * -0.45f + ny * -0.62f + nz * 0.64f);
    Col c = Mix(dark, light, Smooth(0.15f, 0.75f, diff));
    const float shine = std::pow(std::max(0.f, (nx * -0.45f + ny * -0.62f + nz * 1.64f) / 1.8f), 30.f);
    return Mix(c, Col{1, 1, 1, c.a}, highlight * shine);
  };
}

PaintFn Linear(float x0, float y0, Col c0, float x1, float y1, Col c1) {
  const float ex = x1 - x0, ey = y1 - y0, len2 = std::max(1e-6f, ex * ex + ey * ey);
  return [=](float x, float y) { return Mix(c0, c1, Clamp01(((x - x0) * ex + (y - y0) * ey) / len2)); };
}

PaintFn Ball(Col base, float cx, float cy, float rx, float ry, float highlight) {
  return [=](float x, float y) { return Shade(base, (x - cx) / rx, (y - cy) / ry, highlight); };
}

void Stack(Layer& dst, const Layer& src, float dx, float dy, float opacity) {
  if (dst.ss != src.ss) throw std::runtime_error("layers of different fineness");
  const int ox = int(std::lround(dx * float(dst.ss))), oy = int(std::lround(dy * float(dst.ss)));
  for (int y = 0; y < src.h; ++y) {
    const int ty = y + oy;
    if (ty < 0 || ty >= dst.h) continue;
    for (int x = 0; x < src.w; ++x) {
      const int tx = x + ox;
      if (tx < 0 || tx >= dst.w) continue;
      const Px& s = src.At(x, y);
      if (s.a <= 0) continue;
      Px& d = dst.At(tx, ty);
      const float k = 1 - s.a * opacity;
      d.r = s.r * opacity + d.r * k, d.g = s.g * opacity + d.g * k, d.b = s.b * opacity + d.b * k;
      d.a = s.a * opacity + d.a * k;
    }
  }
}

namespace {

void BoxPass(std::vector<Px>& v, int n, int stride, int count, int lineStride, int r) {
  std::vector<Px> line(size_t(n) + 0);
  for (int li = 0; li < count; ++li) {
    Px* base = v.data() + size_t(li) * size_t(lineStride);
    for (int i = 0; i < n; ++i) line[size_t(i)] = base[size_t(i) * size_t(stride)];
    Px acc;
    auto add = [&](int i, float k) {
      const Px& p = line[size_t(std::clamp(i, 0, n - 1))];
      acc.r += p.r * k, acc.g += p.g * k, acc.b += p.b * k, acc.a += p.a * k;
    };
    for (int i = -r; i <= r; ++i) add(i, 1);
    const float inv = 1.f / float(2 * r + 1);
    for (int i = 0; i < n; ++i) {
      Px& out = base[size_t(i) * size_t(stride)];
      out = {acc.r * inv, acc.g * inv, acc.b * inv, acc.a * inv};
      add(i + r + 1, 1);
      add(i - r, -1);
    }
  }
}

}  // namespace

void Blur(Layer& l, float radius) {
  const int r = std::max(1, int(std::lround(radius * float(l.ss) / 1.7f)));
  for (int pass = 0; pass < 3; ++pass) {
    BoxPass(l.px, l.w, 1, l.h, l.w, r);
    BoxPass(l.px, l.h, l.w, l.w, 1, r);
  }
}

Layer Reduce(const Layer& l) {
  Layer out(l.lw, l.lh, 1);
  const float inv = 1.f / float(l.ss * l.ss);
  for (int y = 0; y < l.lh; ++y)
    for (int x = 0; x < l.lw; ++x) {
      Px acc;
      for (int sy = 0; sy < l.ss; ++sy)
        for (int sx = 0; sx < l.ss; ++sx) {
          const Px& p = l.At(x * l.ss + sx, y * l.ss + sy);
          acc.r += p.r, acc.g += p.g, acc.b += p.b, acc.a += p.a;
        }
      out.At(x, y) = {acc.r * inv, acc.g * inv, acc.b * inv, acc.a * inv};
    }
  return out;
}

// ---------------------------------------------------------------- pictures
namespace {
int Byte(float v) { return int(std::lround(Clamp01(v) * 255.f)); }
}  // namespace

Image Flatten(const Layer& l, Col background) {
  const Layer r = l.ss == 1 ? l : Reduce(l);
  Image img(r.lw, r.lh);
  for (int y = 0; y < r.lh; ++y)
    for (int x = 0; x < r.lw; ++x) {
      const Px& p = r.At(x, y);
      const float k = 1 - p.a;
      img.Set(x, y, Rgb(Byte(p.r + background.r * k), Byte(p.g + background.g * k), Byte(p.b + background.b * k)));
    }
  return img;
}

uint32_t Visible(uint32_t rgb) {
  int r = int((rgb >> 16) & 255), g = int((rgb >> 8) & 255), b = int(rgb & 255);
  const int sum = r + g + b;
  if (sum >= 60) return rgb;
  const int add = (60 - sum + 2) / 3;
  return Rgb(std::min(255, r + add), std::min(255, g + add), std::min(255, b + add));
}

Image Keyed(const Layer& l, float cut) {
  const Layer r = l.ss == 1 ? l : Reduce(l);
  Image img(r.lw, r.lh, 0);
  for (int y = 0; y < r.lh; ++y)
    for (int x = 0; x < r.lw; ++x) {
      const Px& p = r.At(x, y);
      if (p.a < cut) continue;
      img.Set(x, y, Visible(Rgb(Byte(p.r / p.a), Byte(p.g / p.a), Byte(p.b / p.a))));
    }
  return img;
}

void InkEdge(Image& img, uint32_t ink, float strength) {
  const Image src = img;
  auto clear = [&](int x, int y) { return !src.Inside(x, y) || src.Get(x, y) == 0; };
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      if (src.Get(x, y) == 0) continue;
      if (!(clear(x - 1, y) || clear(x + 1, y) || clear(x, y - 1) || clear(x, y + 1))) continue;
      const uint32_t c = src.Get(x, y);
      auto ch = [&](int s) {
        const float a = float((c >> s) & 255), b = float((ink >> s) & 255);
        return int(std::lround(a + (b - a) * strength));
      };
      img.Set(x, y, Visible(Rgb(ch(16), ch(8), ch(0))));
    }
}

Image MirrorX(const Image& img) {
  Image out(img.w, img.h);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) out.Set(img.w - 1 - x, y, img.Get(x, y));
  return out;
}

}  // namespace gen
