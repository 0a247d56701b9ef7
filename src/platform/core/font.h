// The text face of every surface canvas: DejaVu Sans (its condensed cut, so that
// the texts fit the screens' fixed columns as they were laid out) at 96 dpi,
// drawn crisp (one bit per pixel), glyphs cached per code page character.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct Glyph {
  int left = 0;  // offset of the bitmap from the pen position
  int top = 0;   // offset from the top of the text cell
  int width = 0;
  int height = 0;
  int advance = 0;
  std::vector<uint8_t> bits;  // width * height, 1 where ink
};

class Face {
 public:
  explicit Face(int points);
  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  int LineHeight() const { return lineHeight_; }
  const Glyph& GlyphOf(unsigned char cp1252) const;

 private:
  std::string bytes_;     // the face's file, which FreeType reads from
  void* font_ = nullptr;  // FT_Face
  int ascent_ = 0;
  int lineHeight_ = 0;
  mutable std::array<std::unique_ptr<Glyph>, 256> glyphs_;
};

const Face& FaceOfSize(int points);
// Closes every face; called once at shut-down.
void CloseFonts();

}  // namespace plat
