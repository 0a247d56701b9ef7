// Off-screen pictures in the display format and their drawing operations.
// Every operation is clipped to the target; "transparent" refers to the
// source: its pixels of its TransparentColor are skipped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/types.h"

class TSurface;

// A line of text as a canvas drew it; tests can ask to see them.
struct TDrawnText {
  int x, y;
  std::string text;  // Windows-1252
  TColor color;
};

struct TFont {
  TColor Color = clBlack;
  int Size = 8;  // points at 96 dpi
};

enum TBrushStyle { bsSolid, bsClear };

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

struct TPen {
  TColor Color = clBlack;
};

// Text and shapes on a surface. The state (font, brush, pen) lasts until changed.
class TCanvas {
 public:
  explicit TCanvas(TSurface& surface) : surface_(surface) {}

  TFont Font;
  TBrush Brush;
  TPen Pen;

  // One line of Windows-1252 text with the top-left of its text cell at (x, y).
  void TextOut(int x, int y, std::string_view text);
  int TextWidth(std::string_view text);
  int TextHeight();
  // Fills with the brush (unless clear) and outlines with the pen; right/bottom exclusive.
  void Rectangle(int x1, int y1, int x2, int y2);
  // Ends a run of canvas drawing. Drawing goes straight into the pixels, so
  // there is nothing left to hand over; kept so that callers mark the runs.
  void Release() {}

  TSurface& Surface() { return surface_; }

  // When set, every TextOut of any canvas is also noted here.
  static inline std::vector<TDrawnText>* TextLog = nullptr;

 private:
  TSurface& surface_;
};

class TSurface {
 public:
  TSurface() = default;
  TSurface(int width, int height) { SetSize(width, height); }
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Colour key for transparent drawing of this surface; black when made or resized.
  TColor TransparentColor = clBlack;

  // While false, no drawing operation or text changes a pixel and a flip shows
  // nothing; sizes, colour keys and copies of pictures go on as usual. Nothing
  // the game decides reads a pixel, so a replay is verified without pictures.
  static inline bool PixelsDrawn = true;

  // An empty (black) picture of that size.
  void SetSize(int width, int height);
  // Resizes to the picture and copies it.
  void LoadFromGraphic(const TSurface& picture);

  void Draw(int x, int y, const TSurface& source, bool transparent);
  void DrawRect(int x, int y, TRect srcRect, const TSurface& source, bool transparent);
  void StretchDraw(TRect destRect, TRect srcRect, const TSurface& source, bool transparent);
  void DrawAlpha(TRect destRect, TRect srcRect, const TSurface& source, bool transparent, int alpha);
  void Fill(TColor colour);
  void FillRect(TRect rect, TColor colour);
  void FillRectAlpha(TRect rect, TColor colour, int alpha);

  TCanvas& Canvas();

  uint16_t* Bits() {
    Settle();
    return pixels_.data();
  }
  const uint16_t* Bits() const {
    Settle();
    return pixels_.data();
  }
  uint16_t Pixel(int x, int y) const { return Bits()[size_t(y) * size_t(width_) + size_t(x)]; }
  void SetPixel(int x, int y, uint16_t p) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) Bits()[size_t(y) * size_t(width_) + size_t(x)] = p;
  }

  // A flip without a copy: this surface's pixels go to `shown` (of the same
  // size) and it takes the ones `shown` had. It still holds `shown`'s picture:
  // that is copied back only when something draws on less than all of it (a
  // level's frame starts with its whole background and needs no copy).
  void HandOver(std::vector<uint16_t>& shown);
  // Nothing has been drawn since the last HandOver.
  bool HandedOver() const { return lent_ != nullptr; }
  uint16_t KeyPixel() const { return ToPixel(TransparentColor); }

 private:
  // Copies the picture this surface stands for back into its own pixels.
  void Settle() const {
    if (lent_) TakeBack();
  }
  void TakeBack() const;

  int width_ = 0;
  int height_ = 0;
  // Mutable for Settle: reading a surface may copy its picture back, which
  // changes where the picture is kept, not what it is.
  mutable std::vector<uint16_t> pixels_;
  mutable const std::vector<uint16_t>* lent_ = nullptr;  // the picture it stands for, after HandOver
  std::unique_ptr<TCanvas> canvas_;
};

namespace plat {
// Blends two display pixels: alpha32 of 32 parts of `src` over `dst`.
inline uint16_t BlendPixel(uint16_t src, uint16_t dst, uint32_t alpha32) {
  uint32_t s = (src | (uint32_t(src) << 16)) & 0x07E0F81Fu;
  uint32_t d = (dst | (uint32_t(dst) << 16)) & 0x07E0F81Fu;
  uint32_t r = ((s * alpha32 + d * (32 - alpha32)) >> 5) & 0x07E0F81Fu;
  return uint16_t(r | (r >> 16));
}
// Alpha 0..255 in 32 parts, rounded.
inline uint32_t Alpha32(int alpha) { return uint32_t((alpha * 32 + 127) / 255); }
}  // namespace plat
