// Basic value types of the drawing layer: rectangles and colours.
#pragma once

#include <cstdint>

// A rectangle: left, top, right, bottom; right and bottom exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
};

inline constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }

// A colour value as the form designer writes it: 0x00BBGGRR, so that 255 is pure red.
using TColor = uint32_t;

inline constexpr TColor RGBColor(int r, int g, int b) {
  return TColor(r & 255) | (TColor(g & 255) << 8) | (TColor(b & 255) << 16);
}
inline constexpr int GetRValue(TColor c) { return int(c & 255); }
inline constexpr int GetGValue(TColor c) { return int((c >> 8) & 255); }
inline constexpr int GetBValue(TColor c) { return int((c >> 16) & 255); }

inline constexpr TColor clBlack = RGBColor(0, 0, 0);
inline constexpr TColor clWhite = RGBColor(255, 255, 255);
inline constexpr TColor clRed = RGBColor(255, 0, 0);
inline constexpr TColor clBlue = RGBColor(0, 0, 255);

// The display's pixel format: 16-bit RGB565.
inline constexpr uint16_t ToPixel(TColor c) {
  return uint16_t(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) | (GetBValue(c) >> 3));
}
inline constexpr uint16_t PixelFromRgb(int r, int g, int b) { return ToPixel(RGBColor(r, g, b)); }
// The colour a pixel shows, with the low bits filled in from the high ones.
inline constexpr TColor FromPixel(uint16_t p) {
  int r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  return RGBColor((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}
