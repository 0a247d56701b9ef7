// Animated GIF pictures from the data folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/surface.h"

class TGIFFrame {
 public:
  TSurface Opaque;   // the frame, its transparent pixels black
  TSurface Keyed;    // the frame with a colour key that it does not use elsewhere
  bool HasTransparency = false;

  // Scales the frame into rect of the canvas's surface; with transparent the
  // frame's own transparent pixels are skipped.
  void Draw(TCanvas& canvas, TRect rect, bool transparent) const;
};

class TGIFImage {
 public:
  std::vector<std::unique_ptr<TGIFFrame>> Frames;
  int Count() const { return int(Frames.size()); }
  // Throws EInOutError when the file is missing or cannot be decoded. A file
  // of a data folder is looked up as plat::DataFile says.
  void LoadFromFile(const std::string& path);
};
