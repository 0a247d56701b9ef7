#include "platform/core/imagelist.h"

#include <stdexcept>

#include "assets/blobs.h"
#include "assets/catalogue.h"

void TPictureCollectionItem::Draw(TSurface& dest, int x, int y, int patternIndex) const {
  if (patternIndex < 0 || patternIndex >= PatternCount()) return;
  dest.DrawRect(x, y, PatternRect(patternIndex), Picture, Transparent);
}

void TPictureCollectionItem::DrawAlpha(TSurface& dest, TRect destRect, int patternIndex, int alpha) const {
  if (patternIndex < 0 || patternIndex >= PatternCount()) return;
  dest.DrawAlpha(destRect, PatternRect(patternIndex), Picture, Transparent, alpha);
}

namespace {

// Decodes item `index` of the picture blob (ImageList1 first, then menu1).
void DecodePicture(int index, TSurface& out) {
  const unsigned char* p = kelo_pictures;
  const unsigned char* const end = kelo_pictures + kelo_pictures_size;
  for (int i = 0;; ++i) {
    if (p + 4 > end) throw std::runtime_error("picture blob is short");
    const int w = p[0] | (p[1] << 8), h = p[2] | (p[3] << 8);
    const size_t bytes = size_t(w) * size_t(h) * 3;
    if (p + 4 + bytes > end) throw std::runtime_error("picture blob is short");
    if (i == index) {
      out.SetSize(w, h);
      const unsigned char* px = p + 4;
      uint16_t* dst = out.Bits();
      for (size_t k = 0; k < size_t(w) * size_t(h); ++k) dst[k] = PixelFromRgb(px[3 * k], px[3 * k + 1], px[3 * k + 2]);
      return;
    }
    p += 4 + bytes;
  }
}

}  // namespace

TDXImageList::TDXImageList(TBuiltinList list) {
  const bool menu = list == TBuiltinList::Menu1;
  const int count = menu ? assets::kMenu1Count : assets::kImageList1Count;
  const assets::PictureEntry* entries = menu ? assets::kMenu1 : assets::kImageList1;
  for (int i = 0; i < count; ++i) {
    auto item = std::make_unique<TPictureCollectionItem>();
    item->Name = entries[i].name;
    item->Transparent = entries[i].transparent;
    DecodePicture(menu ? assets::kImageList1Count + i : i, item->Picture);
    Items.push_back(std::move(item));
  }
}

namespace plat {

std::vector<unsigned char> BuiltinWave(int index) {
  size_t from = 0;
  for (int i = 0; i < index; ++i) from += size_t(assets::kWaves[i].bytes);
  const size_t to = from + size_t(assets::kWaves[index].bytes);
  if (to > kelo_waves_size) throw std::runtime_error("wave blob is short");
  return std::vector<unsigned char>(kelo_waves + from, kelo_waves + to);
}

}  // namespace plat
