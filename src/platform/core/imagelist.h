// Image lists of named picture items, built into the program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/surface.h"

class TPictureCollectionItem {
 public:
  std::string Name;
  int PatternWidth = 0;   // 0: one pattern covering the whole picture
  int PatternHeight = 0;
  bool Transparent = false;
  TColor TransparentColor = clBlack;
  bool SystemMemory = false;

  // The picture in display format. One that comes later (see
  // plat::LaterPictures) is brought, with the others that come with it, when
  // it is first asked for.
  const TSurface& Picture() const;

  int PatternCount() const { return 1; }
  TRect PatternRect(int index) const { return index == 0 ? Rect(0, 0, Picture().Width(), Picture().Height()) : TRect{}; }

  // A pattern index outside the patterns draws nothing.
  void Draw(TSurface& dest, int x, int y, int patternIndex) const;
  void DrawAlpha(TSurface& dest, TRect destRect, int patternIndex, int alpha) const;

 private:
  friend class TDXImageList;
  struct Later;
  TSurface picture_;
  mutable std::shared_ptr<Later> later_;  // set until a later picture is here
};

enum class TBuiltinList { ImageList1, Menu1 };

class TDXImageList {
 public:
  explicit TDXImageList(TBuiltinList list);
  std::vector<std::unique_ptr<TPictureCollectionItem>> Items;
};

namespace plat {
// The PCM bytes of a built-in wave item.
std::vector<unsigned char> BuiltinWave(int index);
// The packed pictures that the catalogue marks `later` (as kelo_pictures_later
// holds them): built into the program, or in a browser fetched by the page.
// Asked for once, when one of them is first needed; throws where they cannot
// be had.
std::vector<unsigned char> LaterPictures();
}  // namespace plat
