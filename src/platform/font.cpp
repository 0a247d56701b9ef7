#include "platform/font.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/cp1252.h"
#include "platform/files.h"

namespace plat {
namespace {

std::map<int, std::unique_ptr<Face>>& Faces() {
  static std::map<int, std::unique_ptr<Face>> faces;
  return faces;
}

std::string FindFontFile() {
  const std::string candidates[] = {
      ExecutableFolder() + "data/DejaVuSansCondensed.ttf",
      InstalledDataFolder() + "DejaVuSansCondensed.ttf",
      "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf",
  };
  for (const std::string& path : candidates)
    if (FileExists(path)) return path;
  throw std::runtime_error("no text face found");
}

}  // namespace

Face::Face(int points) {
  if (!TTF_WasInit() && TTF_Init() != 0) throw std::runtime_error(std::string("TTF_Init: ") + TTF_GetError());
  TTF_Font* font = TTF_OpenFontDPI(FindFontFile().c_str(), points, 96, 96);
  if (!font) throw std::runtime_error(std::string("TTF_OpenFont: ") + TTF_GetError());
  TTF_SetFontHinting(font, TTF_HINTING_MONO);
  font_ = font;
  lineHeight_ = TTF_FontHeight(font);
}

Face::~Face() {
  if (font_) TTF_CloseFont(static_cast<TTF_Font*>(font_));
}

const Glyph& Face::GlyphOf(unsigned char cp1252) const {
  std::unique_ptr<Glyph>& slot = glyphs_[cp1252];
  if (slot) return *slot;
  auto glyph = std::make_unique<Glyph>();
  TTF_Font* font = static_cast<TTF_Font*>(font_);
  const char32_t u = Cp1252ToUnicode(cp1252);
  int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
  if (u >= 32 && TTF_GlyphMetrics32(font, Uint32(u), &minx, &maxx, &miny, &maxy, &advance) == 0) {
    glyph->advance = advance;
    const std::string utf8 = Cp1252ToUtf8(std::string(1, char(cp1252)));
    SDL_Surface* s = TTF_RenderUTF8_Solid(font, utf8.c_str(), SDL_Color{255, 255, 255, 255});
    if (s) {
      // Keep only the inked box of the cell-sized rendering.
      const auto* px = static_cast<const Uint8*>(s->pixels);
      int x0 = s->w, y0 = s->h, x1 = -1, y1 = -1;
      for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
          if (px[y * s->pitch + x]) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      if (x1 >= 0) {
        glyph->left = x0 + std::min(0, minx);
        glyph->top = y0;
        glyph->width = x1 - x0 + 1;
        glyph->height = y1 - y0 + 1;
        glyph->bits.resize(size_t(glyph->width) * size_t(glyph->height));
        for (int y = 0; y < glyph->height; ++y)
          for (int x = 0; x < glyph->width; ++x)
            glyph->bits[size_t(y) * size_t(glyph->width) + size_t(x)] = px[(y0 + y) * s->pitch + x0 + x] ? 1 : 0;
      }
      SDL_FreeSurface(s);
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

void CloseFonts() {
  Faces().clear();
  if (TTF_WasInit()) TTF_Quit();
}

}  // namespace plat
