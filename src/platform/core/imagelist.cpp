#include "platform/core/imagelist.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "assets/blobs.h"
#include "assets/catalogue.h"

void TPictureCollectionItem::Draw(TSurface& dest, int x, int y, int patternIndex) const {
  if (patternIndex < 0 || patternIndex >= PatternCount()) return;
  dest.DrawRect(x, y, PatternRect(patternIndex), Picture(), Transparent);
}

void TPictureCollectionItem::DrawAlpha(TSurface& dest, TRect destRect, int patternIndex, int alpha) const {
  if (patternIndex < 0 || patternIndex >= PatternCount()) return;
  dest.DrawAlpha(destRect, PatternRect(patternIndex), Picture(), Transparent, alpha);
}

namespace {

// A picture blob unpacked (its items one after the other).
std::vector<unsigned char> Unpack(const unsigned char* packed, size_t packedSize) {
  constexpr size_t kMostBytes = 64u << 20;
  if (packedSize < 4) throw std::runtime_error("picture blob is short");
  const size_t size = packed[0] | packed[1] << 8 | packed[2] << 16 | size_t(packed[3]) << 24;
  if (size > kMostBytes) throw std::runtime_error("picture blob is broken");
  std::vector<unsigned char> plain(size);
  uLongf got = uLongf(size);
  if (uncompress(plain.data(), &got, packed + 4, uLong(packedSize - 4)) != Z_OK || got != size)
    throw std::runtime_error("picture blob is broken");
  return plain;
}

// Item `index` of an unpacked blob.
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

// The items of one list that come later, each with its place among the later pictures.
struct TPictureCollectionItem::Later {
  std::vector<std::pair<TPictureCollectionItem*, int>> items;

  void Bring() {
    const std::vector<unsigned char> packed = plat::LaterPictures();
    const std::vector<unsigned char> blob = Unpack(packed.data(), packed.size());
    for (const auto& [item, index] : items) DecodePicture(blob, index, item->picture_);
    for (const auto& [item, index] : items) item->later_.reset();
  }
};

const TSurface& TPictureCollectionItem::Picture() const {
  if (later_) std::shared_ptr<Later>(later_)->Bring();  // kept while it lets go of every item
  return picture_;
}

TDXImageList::TDXImageList(TBuiltinList list) {
  const bool menu = list == TBuiltinList::Menu1;
  const int count = menu ? assets::kMenu1Count : assets::kImageList1Count;
  const assets::PictureEntry* entries = menu ? assets::kMenu1 : assets::kImageList1;
  // Each item's place in its blob: the catalogue's order, the later ones
  // of ImageList1 first.
  int first = 0, later = 0;
  if (menu)
    for (int i = 0; i < assets::kImageList1Count; ++i) later += assets::kImageList1[i].later ? 1 : 0;
  const std::vector<unsigned char> blob = menu ? Unpack(kelo_menu1_pictures, kelo_menu1_pictures_size)
                                               : Unpack(kelo_imagelist1_pictures, kelo_imagelist1_pictures_size);
  std::shared_ptr<TPictureCollectionItem::Later> coming;
  for (int i = 0; i < count; ++i) {
    auto item = std::make_unique<TPictureCollectionItem>();
    item->Name = entries[i].name;
    item->Transparent = entries[i].transparent;
    if (entries[i].later) {
      if (!coming) coming = std::make_shared<TPictureCollectionItem::Later>();
      coming->items.emplace_back(item.get(), later++);
      item->later_ = coming;
    } else {
      DecodePicture(blob, first++, item->picture_);
    }
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
