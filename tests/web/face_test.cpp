// The page's text face, cut to the characters of Windows-1252: every one of
// them comes out of FreeType, hinted for one bit per pixel as the game draws
// text, with the same advance and the same pixels as from the whole face.
// (The five bytes Windows-1252 leaves unassigned show the face's box for a
// missing character, drawn differently by the cut face: not compared.)
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/cp1252.h"
#include "platform/core/files.h"

namespace {

struct Rendered {
  long advance = 0;
  int left = 0, top = 0;
  std::vector<unsigned char> bits;
  bool operator==(const Rendered&) const = default;
};

Rendered Render(FT_Face face, char32_t u) {
  Rendered r;
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, FT_ULong(u)), FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) ||
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO))
    return r;
  const FT_Bitmap& b = face->glyph->bitmap;
  r.advance = face->glyph->metrics.horiAdvance;
  r.left = face->glyph->bitmap_left;
  r.top = face->glyph->bitmap_top;
  for (unsigned y = 0; y < b.rows; ++y) r.bits.insert(r.bits.end(), b.buffer + y * b.pitch, b.buffer + y * b.pitch + (b.width + 7) / 8);
  return r;
}

}  // namespace

TEST(PageFace, EveryCharacterAsFromTheWholeFace) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  const std::string whole = plat::ReadWholeFile(KELO_GAME_DIR "/data/DejaVuSansCondensed.ttf"),
                    cut = plat::ReadWholeFile(KELO_PAGE_FACE);
  EXPECT_LT(cut.size(), whole.size() / 4);
  FT_Face faces[2] = {};
  for (int i = 0; i < 2; ++i) {
    const std::string& bytes = i ? cut : whole;
    ASSERT_EQ(FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()), FT_Long(bytes.size()), 0, &faces[i]), 0);
    ASSERT_EQ(FT_Select_Charmap(faces[i], FT_ENCODING_UNICODE), 0);
  }
  for (int points = 6; points <= 24; ++points) {
    for (FT_Face f : faces) ASSERT_EQ(FT_Set_Char_Size(f, 0, points * 64, 96, 96), 0);
    EXPECT_EQ(faces[0]->size->metrics.ascender, faces[1]->size->metrics.ascender);
    EXPECT_EQ(faces[0]->size->metrics.descender, faces[1]->size->metrics.descender);
    for (int c = 32; c < 256; ++c) {
      if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;
      const char32_t u = plat::Cp1252ToUnicode(static_cast<unsigned char>(c));
      EXPECT_TRUE(Render(faces[0], u) == Render(faces[1], u)) << "character " << c << " at " << points << " points";
    }
  }
  for (FT_Face f : faces) FT_Done_Face(f);
  FT_Done_FreeType(library);
}
