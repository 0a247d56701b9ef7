// What the asset generator makes: every picture item, the frames of the three
// animated GIFs in the data folder, the two sound effects and the two MIDI pieces.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"

namespace gen {

// Picture items at exactly their catalogue size; transparent items use pure
// black where the background shows through.
Image PaintImageList1(int index);
Image PaintMenu1(int index);

struct Animation {
  std::vector<Image> frames;
  int delayCs = 10;                // frame delay in hundredths of a second
  int64_t transparentColor = -1;   // 0xRRGGBB of the GIF's transparent colour, or -1
};
Animation PaintSchuss();  // "data/schuss.gif": small ammunition symbol
Animation PaintFeuer();   // "data/feuer.gif": 70 x 97 fire on pure white
Animation PaintAtom();    // "data/atom.gif": 78 x 80 mushroom cloud on black, >= 26 frames

// PCM bytes of a wave item, exactly the catalogue's byte count (8-bit unsigned).
std::vector<uint8_t> MakeWave(int index);

// Standard MIDI files: 0 = "1.mid" (menus), 1 = "back.mid" (level).
std::vector<uint8_t> MakeMidi(int piece);

// The program's icon, `size` pixels square: straight RGBA, 4 bytes a pixel.
std::vector<uint8_t> PaintIcon(int size, bool maskable = false);

}  // namespace gen
