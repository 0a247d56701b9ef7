// Animated GIF pictures from the data folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/surface.h"

class TGIFFrame {
 public:
  TSurface Opaque;   // the frame, its transparent pixels black
  TSurface Keyed;    // the frame with a colour key that it does not use elsewhere
  bool HasTransparency = false;

  // Scales the frame into rect of the canvas's surface; with transparent the
  // frame's own transparent pixels are skipped.
  void Draw(TCanvas& canvas, TRect rect, bool transparent) const;
};

// What a GIF may hold. The game draws its GIFs at most 640 x 480; beyond
// these a file is refused before it can take minutes or gigabytes.
inline constexpr int kGifMaxSide = 2048;      // logical screen and each frame, both ways
inline constexpr int kGifMaxFrames = 1024;
inline constexpr int64_t kGifMaxPixels = 32 * 1024 * 1024;  // all frames together, decoded and shown
inline constexpr uint64_t kGifMaxFileBytes = 64 * 1024 * 1024;  // more than the pixels above can take

class TGIFImage {
 public:
  std::vector<std::unique_ptr<TGIFFrame>> Frames;
  int Count() const { return int(Frames.size()); }
  // Each frame is the picture a viewer shows at that moment: frames laid over
  // each other on the logical screen, with their disposal, transparent colour
  // and colour tables. Throws EInOutError when the file is missing or cannot
  // be read, when decoding reports an error or the file ends early, and when
  // the file or the picture goes beyond the limits above. A file of a data folder is
  // looked up as plat::DataFile says.
  void LoadFromFile(const std::string& path);
  // The same for the bytes of a GIF file.
  void LoadFromMemory(const void* data, size_t size, const std::string& name);
};
