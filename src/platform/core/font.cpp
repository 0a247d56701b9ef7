#include "platform/core/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/core/cp1252.h"
#include "platform/core/files.h"
#include "platform/core/system.h"

namespace plat {
namespace {

// FreeType's 26.6 fixed point, rounded up to whole pixels.
int Ceil26(long v) { return int((v + 63) >> 6); }

FT_Library Library() {
  static FT_Library library = nullptr;
  if (!library && FT_Init_FreeType(&library) != 0) throw std::runtime_error("cannot start FreeType");
  return library;
}

std::map<int, std::unique_ptr<Face>>& Faces() {
  static std::map<int, std::unique_ptr<Face>> faces;
  return faces;
}

std::string FindFontFile() {
  std::vector<std::string> candidates = {ExecutableFolder() + "data/DejaVuSansCondensed.ttf",
                                         InstalledDataFolder() + "DejaVuSansCondensed.ttf"};
  for (std::string& p : SystemFontFiles()) candidates.push_back(std::move(p));
  for (const std::string& path : candidates)
    if (FileExists(path)) return path;
  throw std::runtime_error("no text face found");
}

// A Unicode character map, the full one first.
void ChooseUnicodeMap(FT_Face face) {
  FT_CharMap found = nullptr;
  for (int i = 0; i < face->num_charmaps; ++i) {
    const FT_CharMap map = face->charmaps[i];
    if (map->platform_id == 3 && map->encoding_id == 10) {
      found = map;
      break;
    }
  }
  for (int i = 0; !found && i < face->num_charmaps; ++i) {
    const FT_CharMap map = face->charmaps[i];
    if ((map->platform_id == 3 && map->encoding_id == 1) || (map->platform_id == 3 && map->encoding_id == 0) ||
        (map->platform_id == 2 && map->encoding_id == 1) || map->platform_id == 0)
      found = map;
  }
  if (found) FT_Set_Charmap(face, found);
}

}  // namespace

// The face at `points` and 96 dpi, hinted for one bit per pixel. The line is
// the face's ascender to descender; glyphs stand on the ascender line.
Face::Face(int points) : bytes_(ReadWholeFile(FindFontFile())) {
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(Library(), reinterpret_cast<const FT_Byte*>(bytes_.data()), FT_Long(bytes_.size()), 0,
                         &face) != 0)
    throw std::runtime_error("cannot read the text face");
  font_ = face;
  ChooseUnicodeMap(face);
  if (!FT_IS_SCALABLE(face) || FT_Set_Char_Size(face, 0, points * 64, 96, 96) != 0)
    throw std::runtime_error("cannot size the text face");
  const FT_Fixed scale = face->size->metrics.y_scale;
  ascent_ = Ceil26(FT_MulFix(face->ascender, scale));
  lineHeight_ = Ceil26(FT_MulFix(face->ascender - face->descender, scale));
}

Face::~Face() {
  if (font_) FT_Done_Face(static_cast<FT_Face>(font_));
}

const Glyph& Face::GlyphOf(unsigned char cp1252) const {
  std::unique_ptr<Glyph>& slot = glyphs_[cp1252];
  if (slot) return *slot;
  auto glyph = std::make_unique<Glyph>();
  const auto face = static_cast<FT_Face>(font_);
  const char32_t u = Cp1252ToUnicode(cp1252);
  if (u >= 32 && FT_Load_Glyph(face, FT_Get_Char_Index(face, FT_ULong(u)), FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) == 0) {
    const FT_GlyphSlot g = face->glyph;
    glyph->advance = Ceil26(g->metrics.horiAdvance);
    // A glyph reaching above the ascender moves the whole cell down.
    const int above = std::max(0, g->bitmap_top - ascent_);
    if (FT_Render_Glyph(g, FT_RENDER_MODE_MONO) == 0) {
      const FT_Bitmap& b = g->bitmap;
      auto ink = [&b](int x, int y) { return (b.buffer[y * b.pitch + (x >> 3)] >> (7 - (x & 7))) & 1; };
      // Keep only the inked box.
      int x0 = int(b.width), y0 = int(b.rows), x1 = -1, y1 = -1;
      for (int y = 0; y < int(b.rows); ++y)
        for (int x = 0; x < int(b.width); ++x)
          if (ink(x, y)) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      if (x1 >= 0) {
        glyph->left = g->bitmap_left + x0;
        glyph->top = above + ascent_ - g->bitmap_top + y0;
        glyph->width = x1 - x0 + 1;
        glyph->height = y1 - y0 + 1;
        glyph->bits.resize(size_t(glyph->width) * size_t(glyph->height));
        for (int y = 0; y < glyph->height; ++y)
          for (int x = 0; x < glyph->width; ++x)
            glyph->bits[size_t(y) * size_t(glyph->width) + size_t(x)] = uint8_t(ink(x0 + x, y0 + y));
      }
    }
  }
  slot = std::move(glyph);
  return *slot;
}

const Face& FaceOfSize(int points) {
  auto& faces = Faces();
  auto it = faces.find(points);
  if (it == faces.end()) it = faces.emplace(points, std::make_unique<Face>(points)).first;
  return *it->second;
}

void CloseFonts() { Faces().clear(); }

}  // namespace plat
