#include "platform/core/surface.h"

#include <algorithm>
#include <cstring>

#include "platform/core/font.h"
#include "platform/core/pixels.h"

namespace {

// Clips an unscaled copy of srcRect of a source of size (sw, sh) to (x, y) on a
// target of size (dw, dh). Returns false when nothing is left.
bool ClipCopy(int& x, int& y, TRect& sr, int sw, int sh, int dw, int dh) {
  if (sr.Left < 0) x -= sr.Left, sr.Left = 0;
  if (sr.Top < 0) y -= sr.Top, sr.Top = 0;
  sr.Right = std::min(sr.Right, sw);
  sr.Bottom = std::min(sr.Bottom, sh);
  if (x < 0) sr.Left -= x, x = 0;
  if (y < 0) sr.Top -= y, y = 0;
  sr.Right = std::min(sr.Right, sr.Left + (dw - x));
  sr.Bottom = std::min(sr.Bottom, sr.Top + (dh - y));
  return !sr.IsEmpty();
}

TRect Intersect(TRect a, TRect b) {
  return Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom));
}

// Nearest-neighbour scaling of sr onto dr (both non-empty), clipped to the
// target. Rows are handed to op.Span where the width is not scaled, otherwise
// each covered source pixel to op.Pixel.
template <class Op>
void ScaledBlit(TSurface& dest, TRect dr, TRect sr, const TSurface& src, const Op& op) {
  TRect clip = Intersect(dr, Rect(0, 0, dest.Width(), dest.Height()));
  if (clip.IsEmpty()) return;
  const int dw = dr.Width(), dh = dr.Height(), sw = sr.Width(), sh = sr.Height();
  const bool sameWidth = dw == sw;
  if (sameWidth) {
    // Keep the columns whose source lies inside the source picture.
    clip.Left = std::max(clip.Left, dr.Left - sr.Left);
    clip.Right = std::min(clip.Right, dr.Left - sr.Left + src.Width());
    if (clip.IsEmpty()) return;
  }
  // Source column of every destination column (sampling at pixel centres).
  static thread_local std::vector<int> columns;
  if (!sameWidth) {
    columns.resize(size_t(clip.Width()));
    for (int dx = clip.Left; dx < clip.Right; ++dx) {
      const int sx = sr.Left + int((int64_t(2 * (dx - dr.Left) + 1) * sw) / (2 * int64_t(dw)));
      columns[size_t(dx - clip.Left)] = (sx >= 0 && sx < src.Width()) ? sx : -1;
    }
  }
  for (int dy = clip.Top; dy < clip.Bottom; ++dy) {
    const int sy = sr.Top + int((int64_t(2 * (dy - dr.Top) + 1) * sh) / (2 * int64_t(dh)));
    if (sy < 0 || sy >= src.Height()) continue;
    const uint16_t* srow = src.Bits() + size_t(sy) * size_t(src.Width());
    uint16_t* drow = dest.Bits() + size_t(dy) * size_t(dest.Width());
    if (sameWidth) {
      op.Span(drow + clip.Left, srow + (sr.Left + clip.Left - dr.Left), clip.Width());
      continue;
    }
    for (int dx = clip.Left; dx < clip.Right; ++dx) {
      const int sx = columns[size_t(dx - clip.Left)];
      if (sx >= 0) op.Pixel(drow[dx], srow[sx]);
    }
  }
}

struct CopyOp {
  void Pixel(uint16_t& d, uint16_t s) const { d = s; }
  void Span(uint16_t* d, const uint16_t* s, int n) const { std::memmove(d, s, size_t(n) * sizeof(uint16_t)); }
};

struct KeyedCopyOp {
  uint16_t key;
  void Pixel(uint16_t& d, uint16_t s) const {
    if (s != key) d = s;
  }
  void Span(uint16_t* d, const uint16_t* s, int n) const { plat::CopyKeyedSpan(d, s, n, key); }
};

struct BlendOp {
  uint32_t alpha32;
  void Pixel(uint16_t& d, uint16_t s) const { d = plat::BlendPixel(s, d, alpha32); }
  void Span(uint16_t* d, const uint16_t* s, int n) const { plat::BlendSpan(d, s, n, alpha32); }
};

struct KeyedBlendOp {
  uint32_t alpha32;
  uint16_t key;
  void Pixel(uint16_t& d, uint16_t s) const {
    if (s != key) d = plat::BlendPixel(s, d, alpha32);
  }
  void Span(uint16_t* d, const uint16_t* s, int n) const { plat::BlendKeyedSpan(d, s, n, alpha32, key); }
};

}  // namespace

void TSurface::SetSize(int width, int height) {
  lent_ = nullptr;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(size_t(width_) * size_t(height_), 0);
  TransparentColor = clBlack;
}

void TSurface::LoadFromGraphic(const TSurface& picture) {
  SetSize(picture.Width(), picture.Height());
  std::copy(picture.Bits(), picture.Bits() + picture.pixels_.size(), pixels_.begin());
}

void TSurface::HandOver(std::vector<uint16_t>& shown) {
  Settle();
  pixels_.swap(shown);
  lent_ = &shown;
}

void TSurface::TakeBack() const {
  std::copy(lent_->begin(), lent_->end(), pixels_.begin());
  lent_ = nullptr;
}

void TSurface::Draw(int x, int y, const TSurface& source, bool transparent) {
  DrawRect(x, y, Rect(0, 0, source.Width(), source.Height()), source, transparent);
}

void TSurface::DrawRect(int x, int y, TRect sr, const TSurface& source, bool transparent) {
  if (!PixelsDrawn) return;
  if (!ClipCopy(x, y, sr, source.Width(), source.Height(), width_, height_)) return;
  const int w = sr.Width();
  const uint16_t key = source.KeyPixel();
  if (!transparent && &source != this && w == width_ && w == source.Width()) {
    // Whole rows on both sides (a background): one copy; over all of this
    // surface, whatever it held after a flip is not needed any more.
    if (y == 0 && sr.Height() == height_) lent_ = nullptr;
    std::memcpy(Bits() + size_t(y) * size_t(width_), source.Bits() + size_t(sr.Top) * size_t(w),
                size_t(w) * size_t(sr.Height()) * sizeof(uint16_t));
    return;
  }
  for (int row = 0; row < sr.Height(); ++row) {
    const uint16_t* s = source.Bits() + size_t(sr.Top + row) * size_t(source.Width()) + size_t(sr.Left);
    uint16_t* d = Bits() + size_t(y + row) * size_t(width_) + size_t(x);
    if (!transparent)
      std::memmove(d, s, size_t(w) * sizeof(uint16_t));
    else
      plat::CopyKeyedSpan(d, s, w, key);
  }
}

void TSurface::StretchDraw(TRect dr, TRect sr, const TSurface& source, bool transparent) {
  if (!PixelsDrawn || dr.IsEmpty() || sr.IsEmpty()) return;
  if (dr.Width() == sr.Width() && dr.Height() == sr.Height()) {
    // Same size: a plain copy of the part of sr inside the source.
    TRect part = Intersect(sr, Rect(0, 0, source.Width(), source.Height()));
    if (!part.IsEmpty()) DrawRect(dr.Left + part.Left - sr.Left, dr.Top + part.Top - sr.Top, part, source, transparent);
    return;
  }
  if (transparent)
    ScaledBlit(*this, dr, sr, source, KeyedCopyOp{source.KeyPixel()});
  else
    ScaledBlit(*this, dr, sr, source, CopyOp{});
}

void TSurface::DrawAlpha(TRect dr, TRect sr, const TSurface& source, bool transparent, int alpha) {
  if (!PixelsDrawn || alpha < 1 || dr.IsEmpty() || sr.IsEmpty()) return;
  if (alpha >= 255) {
    StretchDraw(dr, sr, source, transparent);
    return;
  }
  const uint32_t a = plat::Alpha32(alpha);
  if (transparent)
    ScaledBlit(*this, dr, sr, source, KeyedBlendOp{a, source.KeyPixel()});
  else
    ScaledBlit(*this, dr, sr, source, BlendOp{a});
}

void TSurface::Fill(TColor colour) {
  if (!PixelsDrawn) return;
  lent_ = nullptr;  // all of it is drawn over
  std::fill(pixels_.begin(), pixels_.end(), ToPixel(colour));
}

void TSurface::FillRect(TRect rect, TColor colour) {
  TRect r = Intersect(rect, Rect(0, 0, width_, height_));
  if (!PixelsDrawn || r.IsEmpty()) return;
  const uint16_t p = ToPixel(colour);
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint16_t* row = Bits() + size_t(y) * size_t(width_);
    std::fill(row + r.Left, row + r.Right, p);
  }
}

void TSurface::FillRectAlpha(TRect rect, TColor colour, int alpha) {
  if (!PixelsDrawn || alpha < 1) return;
  if (alpha >= 255) {
    FillRect(rect, colour);
    return;
  }
  TRect r = Intersect(rect, Rect(0, 0, width_, height_));
  if (r.IsEmpty()) return;
  const uint16_t p = ToPixel(colour);
  const uint32_t a = plat::Alpha32(alpha);
  for (int y = r.Top; y < r.Bottom; ++y) plat::BlendColourSpan(Bits() + size_t(y) * size_t(width_) + r.Left, r.Width(), p, a);
}

TCanvas& TSurface::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return *canvas_;
}

// --- Canvas ---------------------------------------------------------------------

void TCanvas::TextOut(int x, int y, std::string_view text) {
  if (!TSurface::PixelsDrawn) return;
  if (TextLog) TextLog->push_back({x, y, std::string(text), Font.Color});
  const plat::Face& face = plat::FaceOfSize(Font.Size);
  if (Brush.Style != bsClear) surface_.FillRect(Rect(x, y, x + TextWidth(text), y + face.LineHeight()), Brush.Color);
  const uint16_t ink = ToPixel(Font.Color);
  int penX = x;
  for (unsigned char ch : text) {
    const plat::Glyph& g = face.GlyphOf(ch);
    for (int gy = 0; gy < g.height; ++gy)
      for (int gx = 0; gx < g.width; ++gx)
        if (g.bits[size_t(gy) * size_t(g.width) + size_t(gx)]) surface_.SetPixel(penX + g.left + gx, y + g.top + gy, ink);
    penX += g.advance;
  }
}

int TCanvas::TextWidth(std::string_view text) {
  const plat::Face& face = plat::FaceOfSize(Font.Size);
  int w = 0;
  for (unsigned char ch : text) w += face.GlyphOf(ch).advance;
  return w;
}

int TCanvas::TextHeight() { return plat::FaceOfSize(Font.Size).LineHeight(); }

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  if (!TSurface::PixelsDrawn || x2 <= x1 || y2 <= y1) return;
  if (Brush.Style != bsClear) surface_.FillRect(Rect(x1, y1, x2, y2), Brush.Color);
  surface_.FillRect(Rect(x1, y1, x2, y1 + 1), Pen.Color);
  surface_.FillRect(Rect(x1, y2 - 1, x2, y2), Pen.Color);
  surface_.FillRect(Rect(x1, y1, x1 + 1, y2), Pen.Color);
  surface_.FillRect(Rect(x2 - 1, y1, x2, y2), Pen.Color);
}
