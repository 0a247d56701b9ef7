#include "platform/core/imagelist.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>
#include <vector>

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

// The picture blob unpacked (ImageList1's items first, then menu1's).
std::vector<unsigned char> UnpackPictures() {
  constexpr size_t kMostBytes = 64u << 20;
  if (kelo_pictures_size < 4) throw std::runtime_error("picture blob is short");
  const size_t size = kelo_pictures[0] | kelo_pictures[1] << 8 | kelo_pictures[2] << 16 | size_t(kelo_pictures[3]) << 24;
  if (size > kMostBytes) throw std::runtime_error("picture blob is broken");
  std::vector<unsigned char> plain(size);
  uLongf got = uLongf(size);
  if (uncompress(plain.data(), &got, kelo_pictures + 4, uLong(kelo_pictures_size - 4)) != Z_OK || got != size)
    throw std::runtime_error("picture blob is broken");
  return plain;
}

// Item `index` of the unpacked blob.
void DecodePicture(const std::vector<unsigned char>& blob, int index, TSurface& out) {
  const unsigned char* p = blob.data();
  const unsigned char* const end = p + blob.size();
  for (int i = 0;; ++i) {
    if (p + 4 > end) throw std::runtime_error("picture blob is short");
    const int w = p[0] | (p[1] << 8), h = p[2] | (p[3] << 8);
    const size_t bytes = size_t(w) * size_t(h) * 2;
    if (size_t(end - p - 4) < bytes) throw std::runtime_error("picture blob is short");
    if (i == index) {
      out.SetSize(w, h);
      std::memcpy(out.Bits(), p + 4, bytes);  // little-endian, as every build's processor
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
  const std::vector<unsigned char> blob = UnpackPictures();
  for (int i = 0; i < count; ++i) {
    auto item = std::make_unique<TPictureCollectionItem>();
    item->Name = entries[i].name;
    item->Transparent = entries[i].transparent;
    DecodePicture(blob, menu ? assets::kImageList1Count + i : i, item->Picture);
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
