// Fuzz target: a GIF picture as the game loads it from its data folder, and
// its frames drawn as the screens draw them.
#include <cstdint>
#include <cstdlib>

#include "platform/core/files.h"
#include "platform/core/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TGIFImage gif;
  try {
    gif.LoadFromMemory(data, size, "fuzz.gif");
  } catch (const plat::EInOutError&) {
    return 0;  // the start-up error the player sees
  }
  static TSurface target(100, 100);
  for (const auto& frame : gif.Frames) {
    const TSurface& o = frame->Opaque;
    if (o.Width() < 1 || o.Height() < 1 || o.Width() > kGifMaxSide || o.Height() > kGifMaxSide) std::abort();
    if (frame->HasTransparency) {
      // The keyed copy differs from the frame only where the key marks a
      // see-through pixel, or where one colour gave way to the key.
      const TSurface& k = frame->Keyed;
      if (k.Width() != o.Width() || k.Height() != o.Height()) std::abort();
      const uint16_t key = k.KeyPixel();
      int moved = -1;
      for (size_t i = 0; i < size_t(o.Width()) * size_t(o.Height()); ++i) {
        if (k.Bits()[i] == key) {
          if (o.Bits()[i] != 0) std::abort();  // see-through pixels are black in the frame
          continue;
        }
        if (k.Bits()[i] == o.Bits()[i]) continue;
        if (o.Bits()[i] != key || (moved >= 0 && k.Bits()[i] != moved)) std::abort();
        moved = k.Bits()[i];
      }
    }
    frame->Draw(target.Canvas(), Rect(0, 0, 78, 80), false);
    frame->Draw(target.Canvas(), Rect(85, 3, 100, 18), true);
  }
  return 0;
}
