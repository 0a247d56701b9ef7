// The moving things of a level: chickens, planes, the airship and the saucers,
// the parachutist, the skull bomb, the ammunition crate, the atom bomb, the
// traffic light and the crosshair.
#include <cmath>

#include "art.h"

namespace gen {
namespace {

// Places a drawing made in a design frame of width `w`: scaled, moved and
// optionally mirrored left to right.
struct Xf {
  float ox = 0, oy = 0, s = 1, w = 0;
  bool flip = false;
  float X(float x) const { return ox + s * (flip ? w - x : x); }
  float Y(float y) const { return oy + s * y; }
  float R(float r) const { return s * r; }
  float A(float a) const { return flip ? -a : a; }
  Shape Circle(float x, float y, float r) const { return gen::Circle(X(x), Y(y), R(r)); }
  Shape Ellipse(float x, float y, float rx, float ry, float a = 0) const { return gen::Ellipse(X(x), Y(y), R(rx), R(ry), A(a)); }
  Shape Capsule(float ax, float ay, float bx, float by, float ra, float rb) const {
    return gen::Capsule(X(ax), Y(ay), X(bx), Y(by), R(ra), R(rb));
  }
  Shape Rect(float x0, float y0, float x1, float y1, float rad) const {
    const float a = X(x0), b = X(x1);
    return gen::RoundRect(std::min(a, b), Y(y0), std::max(a, b), Y(y1), R(rad));
  }
  Shape Poly(std::vector<float> xy) const {
    for (size_t i = 0; i < xy.size(); i += 2) xy[i] = X(xy[i]), xy[i + 1] = Y(xy[i + 1]);
    return gen::Poly(std::move(xy));
  }
  PaintFn Ball(Col c, float x, float y, float rx, float ry, float hl = 0.45f) const {
    // The light always comes from the upper left, also on mirrored drawings.
    const float cx = X(x), cy = Y(y), sx = R(rx), sy = R(ry);
    return [=](float px, float py) { return Shade(c, (px - cx) / sx, (py - cy) / sy, hl); };
  }
  PaintFn Soft(Col light, Col dark, float x, float y, float rx, float ry) const {
    return gen::Soft(light, dark, X(x), Y(y), R(rx), R(ry));
  }
  PaintFn Vertical(float y0, Col c0, float y1, Col c1) const { return Linear(0, Y(y0), c0, 0, Y(y1), c1); }
};

Image Finish(Layer& l, uint32_t ink, float edge) {
  Image img = Keyed(l);
  if (edge > 0) InkEdge(img, ink, edge);
  return img;
}

// ------------------------------------------------------------------ chicken
// Design frame 36 x 35, facing left.
void Chicken(Layer& l, const Xf& t, bool wingUp) {
  const Col ink = Hex(0x4A2C22), white = Hex(0xFFFCF2), comb = Hex(0xE8302A), beak = Hex(0xFFB020), leg = Hex(0xF08C1C);
  const float o = 0.95f;  // outline width in design pixels
  const Shape body = t.Ellipse(18.5f, 20, 11, 8.2f, -0.12f);
  const Shape neck = t.Capsule(14, 17, 9.5f, 11.5f, 5.2f, 4.2f);
  const Shape head = t.Circle(9.5f, 11, 5.4f);
  const Shape tail = Union({t.Capsule(27, 19, 33.5f, 9, 3.2f, 1.8f), t.Capsule(27, 20, 34.5f, 14.5f, 3, 1.6f), t.Capsule(26, 18, 30.5f, 7, 2.8f, 1.5f)});
  const Shape combS = Union({t.Circle(6.8f, 6.4f, 2), t.Circle(9.3f, 5.2f, 2.3f), t.Circle(11.9f, 6.2f, 2)});
  const Shape legs = Union({t.Capsule(20, 26, 25.5f, 31.5f, 1, 0.8f), t.Capsule(17.5f, 26.5f, 22, 32.5f, 1, 0.8f)});
  const Shape feet = Union({t.Capsule(25.5f, 31.5f, 28.5f, 31.8f, 0.7f, 0.6f), t.Capsule(22, 32.5f, 25, 33, 0.7f, 0.6f)});
  const Shape beakS = t.Poly({5.2f, 9.2f, 0.4f, 11.6f, 5.2f, 13.8f});

  for (const Shape* s : {&tail, &legs, &feet, &body, &neck, &head, &combS, &beakS}) Fill(l, Grow(*s, t.R(o)), ink);
  Fill(l, Union(legs, feet), leg);
  const Col shadow = Hex(0xD8C0A8);
  Fill(l, tail, t.Soft(Hex(0xFFFBF2), Hex(0xCCB49C), 30, 12, 7, 8));
  Fill(l, combS, t.Ball(comb, 9.3f, 6, 5, 3, 0.5f));
  Fill(l, Union(body, neck), t.Soft(white, shadow, 16, 17, 13, 11));
  Fill(l, head, t.Soft(white, shadow, 9.5f, 11, 6.5f, 6.5f));
  Fill(l, beakS, t.Vertical(9.2f, Lighten(beak, 0.3f), 13.8f, Darken(beak, 0.25f)));
  Fill(l, t.Capsule(5, 11.6f, 1.6f, 11.6f, 0.25f, 0.2f), Hex(0xA8601A));
  Fill(l, t.Ellipse(5.8f, 15.6f, 1.3f, 2.2f), comb);
  Fill(l, t.Circle(8.6f, 9.8f, 1.75f), Hex(0xFFFFFF));
  Fill(l, t.Circle(8.1f, 9.9f, 1.05f), Hex(0x201818));
  Fill(l, t.Circle(7.8f, 9.5f, 0.35f), Hex(0xFFFFFF));
  // Feather lines on the tail.
  Fill(l, t.Capsule(28.5f, 16.5f, 32.5f, 10.5f, 0.25f, 0.2f), Hex(0xC8BCAE));
  Fill(l, t.Capsule(28.5f, 18.5f, 33, 15.2f, 0.25f, 0.2f), Hex(0xC8BCAE));

  // The near wing, raised over the back or beaten down.
  const float cx = wingUp ? 22 : 21, cy = wingUp ? 10.5f : 26.5f, ang = wingUp ? -0.75f : 0.55f;
  Shape wing = t.Ellipse(cx, cy, 9.2f, 4.4f, ang);
  const float dx = std::cos(ang), dy = std::sin(ang);
  for (int i = 0; i < 3; ++i) {  // scalloped feather tips at the far end
    const float k = 4.5f + 2.2f * float(i);
    const float px = cx + dx * k - dy * (1.8f - 1.2f * float(i)) * (wingUp ? 1.f : -1.f);
    const float py = cy + dy * k + dx * (1.8f - 1.2f * float(i)) * (wingUp ? 1.f : -1.f);
    wing = Union(wing, t.Circle(px, py, 2.6f - 0.4f * float(i)));
  }
  Fill(l, Grow(wing, t.R(o)), ink);
  Fill(l, wing, t.Soft(Hex(0xFFF8EC), Hex(0xC8AE94), cx - 1, cy - 1.5f, 9, 6.5f));
  for (int i = -1; i <= 1; ++i) {
    const float nx = -dy, ny = dx;
    const float off = float(i) * 1.6f;
    Fill(l, t.Capsule(cx + nx * off, cy + ny * off, cx + dx * 7 + nx * off * 0.8f, cy + dy * 7 + ny * off * 0.8f, 0.22f, 0.18f), Hex(0xC4B8A8));
  }
}

// ------------------------------------------------------------------ planes
struct PlaneLook {
  Col body, wing, trim;
  bool biplane;
};

// Design frame 77 x 26, nose to the right.
void Plane(Layer& l, const Xf& t, const PlaneLook& p) {
  const Col ink = Hex(0x2A1E24), metal = Hex(0xB8C0C8);
  const float wy = p.biplane ? 0 : 2;  // the monoplane sits a little lower
  const Shape fuselage = Union({t.Ellipse(44, 14 + wy * 0.3f, 19, 6.4f), t.Capsule(9, 12.5f, 32, 14, 2.2f, 5.6f)});
  const Shape cowling = t.Rect(56, 7.6f, 66.5f, 20.4f, 3);
  const Shape fin = t.Poly({3, 2.5f, 10, 2.5f, 19, 11.5f, 5, 13});
  const Shape stab = t.Ellipse(11, 14.5f, 8, 2.2f, 0.05f);
  const Shape upper = t.Rect(41, 1.2f, 66, 4.8f, 1.8f);
  const Shape lower = t.Rect(39, 17.2f, 64, 20.6f, 1.8f);
  const Shape mono = t.Ellipse(47, 17, 15, 3.2f, 0.05f);
  const Shape gear = Union({t.Capsule(50, 19, 47, 23, 0.8f, 0.8f), t.Capsule(55, 19, 58, 23, 0.8f, 0.8f)});
  const Shape wheels = Union(t.Circle(47, 23, 2.5f), t.Circle(58, 23, 2.5f));
  const Shape head = t.Circle(36.5f, 6.2f + wy, 3.2f);
  const Shape scarf = t.Capsule(34.5f, 8.6f + wy, 25, 6.5f + wy, 1.3f, 0.7f);
  const Shape spinner = t.Poly({66, 9.5f, 71.5f, 12.8f, 71.5f, 15.2f, 66, 18.5f});
  const Shape blur = t.Ellipse(73.5f, 13.5f, 1.9f, 12.2f);

  for (const Shape* s : {&fin, &stab, &gear, &wheels, &scarf, &head, &fuselage, &cowling, &spinner}) Fill(l, Grow(*s, t.R(0.9f)), ink);
  Fill(l, gear, Hex(0x505860));
  for (float wx : {47.f, 58.f}) {
    Fill(l, t.Circle(wx, 23, 2.5f), t.Ball(Hex(0x4A444C), wx, 22.5f, 2.8f, 2.8f, 0.5f));
    Fill(l, t.Circle(wx, 23, 0.9f), metal);
  }
  // The pilot in the open cockpit: leather cap, goggles and a white scarf.
  Fill(l, scarf, Hex(0xF8F8F0));
  Fill(l, head, t.Ball(Hex(0xF0C49A), 36, 6 + wy, 3.4f, 3.4f));
  Fill(l, Intersect(head, t.Rect(32, 2.5f + wy, 41, 5.8f + wy, 0.5f)), Hex(0x7A4A2A));
  Fill(l, t.Rect(36.8f, 4.8f + wy, 40.2f, 6.8f + wy, 0.9f), Hex(0x90D8F8));
  Fill(l, fin, t.Vertical(2, Lighten(p.body, 0.25f), 13, Darken(p.body, 0.2f)));
  Fill(l, fuselage, t.Ball(p.body, 44, 10, 26, 8, 0.5f));
  Fill(l, t.Capsule(12, 14, 56, 14.5f, 0.8f, 1.3f), p.trim);  // stripe
  Fill(l, t.Rect(31, 8.8f + wy, 42, 10.2f + wy, 0.6f), Hex(0x3A2A22));  // cockpit rim
  Fill(l, stab, t.Vertical(12, Lighten(p.wing, 0.3f), 17, Darken(p.wing, 0.2f)));
  Fill(l, cowling, t.Ball(Hex(0x8A96A4), 60, 11, 8, 8, 0.6f));
  for (float cx : {58.5f, 61.5f, 64.f}) Fill(l, t.Capsule(cx, 9.5f, cx, 18.5f, 0.3f, 0.3f), Hex(0x5A6270));
  if (p.biplane) {
    for (float sx : {45.f, 61.f}) Fill(l, t.Capsule(sx, 4, sx - 1, 18, 0.7f, 0.7f), Hex(0x6A5040));
    for (const Shape* s : {&upper, &lower}) {
      Fill(l, Grow(*s, t.R(0.9f)), ink);
      Fill(l, *s, [&, s](float, float y) {
        const float v = Clamp01((y - s->box.y0) / std::max(0.1f, s->box.y1 - s->box.y0));
        return Mix(Lighten(p.wing, 0.35f), Darken(p.wing, 0.2f), v);
      });
    }
    Fill(l, t.Circle(52, 3, 1.1f), p.body);
  } else {
    Fill(l, Grow(mono, t.R(0.9f)), ink);
    Fill(l, mono, t.Vertical(14, Lighten(p.wing, 0.35f), 20, Darken(p.wing, 0.2f)));
    Fill(l, t.Circle(50, 17, 1.3f), p.trim);
  }
  // Exhaust, spinner and the blur of the propeller.
  Fill(l, t.Capsule(56, 19.5f, 52, 20.5f, 0.7f, 0.7f), Hex(0x707880));
  Fill(l, spinner, t.Ball(p.trim, 68, 12.5f, 4.5f, 4.5f));
  Fill(l, blur, [&](float, float y) {
    const float v = (y - t.Y(13.5f)) / t.R(12.2f);
    const float band = std::abs(std::sin(v * 5.5f));
    return Mix(Hex(0xF4F6F8), Hex(0xA8B0BC), band * 0.8f);
  });
  Fill(l, t.Capsule(73.5f, 2, 73.5f, 4.4f, 0.9f, 0.9f), Hex(0xE8C040));
  Fill(l, t.Capsule(73.5f, 22.6f, 73.5f, 25, 0.9f, 0.9f), Hex(0xE8C040));
}

}  // namespace

void DrawChicken(Layer& l, float cx, float cy, float size, bool facingRight, bool wingUp) {
  const float s = size / 30.f;
  Xf t{cx - 18 * s, cy - 18 * s, s, 36, facingRight};
  Chicken(l, t, wingUp);
}

Image PaintChicken(bool facingRight, bool wingUp) {
  Layer l(36, 35, 6);
  Chicken(l, Xf{0, 0, 1, 36, facingRight}, wingUp);
  return Finish(l, 0x4A2C22, 0);
}

Image PaintPlane() {
  Layer l(77, 26, 5);
  Plane(l, Xf{0, 0, 1, 77, false}, {Hex(0xD8402E), Hex(0xFFCC30), Hex(0xFFFFFF), true});
  return Finish(l, 0x2A1E24, 0);
}

Image PaintPlane2() {
  Layer l(57, 21, 5);
  const float s = 57.f / 77.f;
  Plane(l, Xf{0, 0.6f, s, 77, true}, {Hex(0x3A78D8), Hex(0xF4F4F0), Hex(0xFFD040), false});
  return Finish(l, 0x2A1E24, 0);
}

// "extra1": a little airship with a bonus banner colour, nose to the right.
Image PaintBlimp() {
  Layer l(57, 21, 5);
  const Col ink = Hex(0x2A1E24), skin = Hex(0xFFD23C), band = Hex(0xE0402E);
  const Shape hull = Union(Ellipse(32, 8.8f, 23, 7.8f), Capsule(20, 8.8f, 8, 8.8f, 7.2f, 2.2f));
  const Shape fins = Union({Poly({2.5f, 0.6f, 7.5f, 0.6f, 15, 6, 8, 7.2f}), Poly({2.5f, 17, 7.5f, 17, 15, 11.6f, 8, 10.4f}),
                            RoundRect(1.5f, 7.6f, 12, 10, 1)});
  const Shape gondola = RoundRect(25, 15, 38, 20, 2);
  for (const Shape* s : {&fins, &gondola, &hull}) Fill(l, Grow(*s, 0.9f), ink);
  Fill(l, fins, Linear(0, 1, Hex(0xF06A50), 0, 17, Hex(0xA02A20)));
  Fill(l, gondola, Linear(0, 15, Hex(0xC8D0DC), 0, 20, Hex(0x6C7888)));
  for (int i = 0; i < 3; ++i) Fill(l, RoundRect(27.5f + float(i) * 3.6f, 16, 29.5f + float(i) * 3.6f, 18, 0.4f), Hex(0x88C8F0));
  Fill(l, hull, [&](float x, float y) {
    Col c = std::abs(x - 34) < 3.2f ? band : skin;
    if (std::abs(x - 22) < 1.5f) c = band;
    return Shade(c, (x - 31) / 25, (y - 8.8f) / 8.8f, 0.6f);
  });
  Fill(l, Capsule(18, 5, 45, 5, 0.6f, 0.6f), Hex(0xFFF4C0), 0.55f);
  Fill(l, Ellipse(24.5f, 17.5f, 0.8f, 2.6f), Hex(0xC8CCD4));
  return Finish(l, 0x2A1E24, 0);
}

// "extra2": a flying saucer with a little green pilot.
Image PaintSaucer() {
  Layer l(57, 21, 5);
  const Col ink = Hex(0x201C30);
  const Shape dome = Ellipse(28.5f, 8.5f, 10.5f, 7.5f);
  const Shape disc = Union(Ellipse(28.5f, 13, 27, 5.2f), Ellipse(28.5f, 15.5f, 14, 4.2f));
  Fill(l, Grow(Union(dome, disc), 0.9f), ink);
  Fill(l, dome, Ball(Hex(0x9ADCF0), 27, 8, 11, 8, 0.8f));
  // The pilot behind the glass.
  Fill(l, Ellipse(28.5f, 8.5f, 4.2f, 4.6f), Hex(0x6ACC4A), 0.85f);
  Fill(l, Circle(26.8f, 7.8f, 1.3f), Hex(0x202820), 0.9f);
  Fill(l, Circle(30.2f, 7.8f, 1.3f), Hex(0x202820), 0.9f);
  Fill(l, Capsule(25.5f, 4.2f, 24, 1.8f, 0.4f, 0.4f), Hex(0x6ACC4A), 0.85f);
  Fill(l, Capsule(31.5f, 4.2f, 33, 1.8f, 0.4f, 0.4f), Hex(0x6ACC4A), 0.85f);
  Fill(l, Ellipse(24, 5.5f, 3, 1.6f, -0.5f), Hex(0xFFFFFF), 0.7f);
  Fill(l, Ellipse(28.5f, 13, 27, 5.2f), Ball(Hex(0xC8CCD8), 24, 10, 30, 7, 0.9f));
  Fill(l, Ellipse(28.5f, 15.5f, 14, 4.2f), Linear(0, 12, Hex(0x8A90A4), 0, 20, Hex(0x4C5268)));
  Fill(l, Capsule(3, 13, 54, 13, 0.45f, 0.45f), Hex(0x6A7088));
  const Col lights[] = {Hex(0xFF4040), Hex(0xFFE040), Hex(0x40F0FF), Hex(0xFFE040), Hex(0xFF4040), Hex(0xFFE040), Hex(0x40F0FF)};
  for (int i = 0; i < 7; ++i) {
    const float x = 7.5f + float(i) * 7;
    Fill(l, Circle(x, 14.6f + 0.02f * (x - 28.5f) * (x - 28.5f) / 10, 1.5f), Ball(lights[i], x - 0.4f, 14, 1.8f, 1.8f, 0.9f));
  }
  Fill(l, Ellipse(28.5f, 19.2f, 6, 1.2f), Hex(0xA0FFB0));
  return Finish(l, 0x201C30, 0);
}

// A skydiver falling belly down, arms and legs spread, head to the left.
Image PaintMensch() {
  Layer l(30, 10, 8);
  const Col ink = Hex(0x2C1E22), shirt = Hex(0xE8342C), jeans = Hex(0x3A64C8), skin = Hex(0xF4C49C), hair = Hex(0x8A5228);
  const Shape armUp = Capsule(9.5f, 3.8f, 6.6f, 1.2f, 1.05f, 0.9f);
  const Shape armDown = Capsule(10.5f, 6.6f, 7.6f, 8.9f, 1.05f, 0.9f);
  const Shape torso = Capsule(8.2f, 5.1f, 16.6f, 5.1f, 2.75f, 2.45f);
  const Shape legUp = Capsule(16.4f, 4.2f, 24.6f, 2.6f, 1.75f, 1.45f);
  const Shape legDown = Capsule(16.4f, 6.1f, 24.6f, 7.6f, 1.75f, 1.45f);
  const Shape shoes = Union(Capsule(24.6f, 2.5f, 27.6f, 2.1f, 1.45f, 1.2f), Capsule(24.6f, 7.7f, 27.6f, 8.1f, 1.45f, 1.2f));
  const Shape head = Circle(4.4f, 5.1f, 3.1f);
  for (const Shape* s : {&armUp, &armDown, &legUp, &legDown, &shoes, &torso, &head}) Fill(l, Grow(*s, 0.7f), ink);
  Fill(l, shoes, Hex(0x5A3626));
  for (const Shape* s : {&legUp, &legDown}) Fill(l, *s, Linear(0, 2, Lighten(jeans, 0.2f), 0, 9, Darken(jeans, 0.15f)));
  Fill(l, torso, Ball(shirt, 12, 4, 6, 3.4f, 0.3f));
  Fill(l, RoundRect(15.6f, 2.6f, 16.8f, 7.6f, 0.3f), Hex(0x5A3626));  // belt
  for (const Shape* s : {&armUp, &armDown}) Fill(l, *s, shirt);
  Fill(l, Circle(6.4f, 1.1f, 1.05f), skin);
  Fill(l, Circle(7.4f, 9, 1.05f), skin);
  Fill(l, head, Ball(skin, 3.8f, 4.4f, 3.4f, 3.4f, 0.3f));
  Fill(l, Intersect(head, Union(Circle(5.6f, 3.6f, 2.9f), RoundRect(4.6f, 1.5f, 8, 9, 0.5f))), hair);
  Fill(l, Circle(2.6f, 4.4f, 0.55f), Hex(0x2A1E1A));
  return Finish(l, 0x2C1E22, 0);
}

// "negativ": a round bomb with a skull and a burning fuse.
Image PaintNegativ() {
  Layer l(24, 28, 6);
  const Col ink = Hex(0x1E1626);
  const Shape bomb = Circle(11.5f, 19.2f, 8.3f);
  const Shape cap = RoundRect(9, 8.5f, 14, 12.5f, 1);
  const Shape fuse = Capsule(11.5f, 9, 16, 4.5f, 0.9f, 0.8f);
  for (const Shape* s : {&fuse, &cap, &bomb}) Fill(l, Grow(*s, 0.8f), ink);
  Fill(l, fuse, Hex(0xC8A878));
  Fill(l, cap, Linear(9, 0, Hex(0x9AA0B0), 14, 0, Hex(0x4A4E5C)));
  Fill(l, bomb, Ball(Hex(0x564A78), 10, 17, 9, 9, 0.7f));
  // Skull.
  const Col bone = Hex(0xF4F0E4);
  Fill(l, Union(Circle(11.5f, 18.4f, 4.3f), RoundRect(9, 19.5f, 14, 24.4f, 1.2f)), bone);
  Fill(l, Circle(9.9f, 18.6f, 1.35f), Hex(0x4A1A2A));
  Fill(l, Circle(13.1f, 18.6f, 1.35f), Hex(0x4A1A2A));
  Fill(l, Poly({11.5f, 20.2f, 10.8f, 21.6f, 12.2f, 21.6f}), Hex(0x4A1A2A));
  for (float tx : {10.3f, 11.5f, 12.7f}) Fill(l, RoundRect(tx - 0.3f, 22.6f, tx + 0.3f, 24.4f, 0.1f), Hex(0x8A7A80));
  // The spark.
  for (int i = 0; i < 8; ++i) {
    const float a = float(i) * 0.785f, r = (i % 2) ? 2.2f : 3.6f;
    Fill(l, Capsule(17, 3.6f, 17 + std::cos(a) * r, 3.6f + std::sin(a) * r, 0.55f, 0.25f), i % 2 ? Hex(0xFFF080) : Hex(0xFF9A20));
  }
  Fill(l, Circle(17, 3.6f, 1.3f), Hex(0xFFFFC0));
  return Finish(l, 0x1E1626, 0);
}

// "schuss": an ammunition crate on a small parachute.
Image PaintAmmoBox() {
  Layer l(24, 28, 6);
  const Col ink = Hex(0x22201A);
  const Shape canopy = Intersect(Ellipse(11.5f, 8.5f, 10.8f, 8.2f), RoundRect(0, 0, 24, 8.2f, 0.1f));
  const Shape crate = RoundRect(3, 13.2f, 20.5f, 27.3f, 1.2f);
  Fill(l, Grow(canopy, 0.8f), ink);
  Fill(l, canopy, [](float x, float y) {
    const float seg = std::floor((x - 0.7f) / 3.6f);
    const Col c = int(seg) % 2 ? Hex(0xF4F0E8) : Hex(0xE83A2E);
    return Shade(c, (x - 11.5f) / 12, (y - 8) / 9, 0.3f);
  });
  for (float x : {1.5f, 6.5f, 16.5f, 21.5f}) Fill(l, Capsule(x, 8, x < 11 ? 4 : 19.5f, 13.5f, 0.35f, 0.35f), Hex(0x8A8070));
  Fill(l, Grow(crate, 0.8f), ink);
  Fill(l, crate, [](float x, float y) {
    Col c = Mix(Hex(0x7C9A44), Hex(0x4E6A2A), Clamp01((x - 3) / 18 * 0.6f + (y - 13) / 14 * 0.4f));
    if (std::abs(y - 17.6f) < 0.5f || std::abs(y - 23) < 0.5f) c = Darken(c, 0.35f);
    return Grain(c, x * 2, y * 0.5f, 5, 0.2f, 1.5f);
  });
  Fill(l, Subtract(RoundRect(3, 13.2f, 20.5f, 27.3f, 1.2f), RoundRect(4.3f, 14.5f, 19.2f, 26, 0.6f)), Hex(0x3A4A22));
  // Three cartridges stencilled on the side.
  for (int i = 0; i < 3; ++i) {
    const float bx = 8 + float(i) * 3.8f;
    Fill(l, RoundRect(bx - 1.2f, 19.5f, bx + 1.2f, 25, 0.3f), Linear(bx - 1.2f, 0, Hex(0xFFE080), bx + 1.2f, 0, Hex(0xB88A20)));
    Fill(l, Union(Circle(bx, 18.3f, 1.2f), RoundRect(bx - 1.2f, 18.3f, bx + 1.2f, 19.6f, 0.1f)), Hex(0xD8884A));
  }
  return Finish(l, 0x22201A, 0);
}

// "Bombe": falling nose down.
Image PaintBomb() {
  Layer l(10, 50, 8);
  const Col ink = Hex(0x1C2018);
  const Shape fins = Union({Poly({5, 9, 0.6f, 1, 0.6f, 0.4f, 9.4f, 0.4f, 9.4f, 1}), RoundRect(3.6f, 0.4f, 6.4f, 12, 0.5f)});
  const Shape body = Union(Capsule(5, 12, 5, 44, 3.3f, 4.2f), Ellipse(5, 44.5f, 4.2f, 5));
  Fill(l, Grow(fins, 0.6f), ink);
  Fill(l, Grow(body, 0.6f), ink);
  Fill(l, fins, Linear(0.6f, 0, Hex(0x8A9468), 9.4f, 0, Hex(0x4A5236)));
  Fill(l, body, [](float x, float y) {
    Col c = Hex(0x6E7A4A);
    if (y > 20 && y < 23) c = Hex(0xF0C030);
    if (y > 24 && y < 25.5f) c = Hex(0xD83A2A);
    return Shade(c, (x - 5) / 4.6f, 0.2f * std::sin(y / 8), 0.7f);
  });
  return Finish(l, 0x1C2018, 0);
}

// "Ampel": the lamps of the countdown, red, yellow and green side by side.
Image PaintAmpel() {
  Layer l(58, 14, 6);
  const Col housing = Hex(0x3C4050), ink = Hex(0x1E2028);
  struct Lamp {
    float x0, x1;
    Col c;
  };
  const Lamp lamps[] = {{0, 22, Hex(0xFF3A2A)}, {22, 44, Hex(0xFFD21E)}, {44, 58, Hex(0x3CE04A)}};
  for (const Lamp& p : lamps) {
    const Shape box = RoundRect(p.x0 + 0.6f, 0.4f, p.x1 - 0.6f, 13.6f, 3);
    Fill(l, box, ink);
    Fill(l, Grow(box, -0.9f), Linear(0, 0, Lighten(housing, 0.25f), 0, 14, Darken(housing, 0.2f)));
    const float cx = p.x1 - p.x0 > 16 ? (p.x0 + p.x1) / 2 : p.x0 + 7;
    Fill(l, Circle(cx, 7, 5.4f), Darken(p.c, 0.55f));
    Fill(l, Circle(cx, 7, 4.6f), [=](float x, float y) {
      const float d = std::hypot(x - cx + 1.2f, y - 6);
      return Mix(Lighten(p.c, 0.75f), p.c, Smooth(0.4f, 3.6f, d));
    });
  }
  return Finish(l, 0x1E2028, 0);
}

// "Maus": the crosshair, centred on (5, 5): a red ring with white ticks
// that show on dark and on red alike.
Image PaintMaus() {
  Image img(11, 11, 0);
  const uint32_t red = Rgb(255, 40, 32), white = Rgb(255, 255, 255), dark = Rgb(150, 16, 16);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 11; ++x)
      if (std::abs(std::hypot(float(x - 5), float(y - 5)) - 3.6f) < 0.5f) img.Set(x, y, red);
  for (int i : {0, 1, 9, 10}) {
    const uint32_t c = (i == 0 || i == 10) ? dark : white;
    img.Set(5, i, c), img.Set(i, 5, c);
  }
  img.Set(5, 5, white);
  return img;
}

}  // namespace gen
