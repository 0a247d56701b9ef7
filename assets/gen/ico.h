// The program's icon as a Windows icon file: every size in one file, as the
// resource compiler takes it.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

struct IconImage {
  int size;                   // width and height in pixels, 1 to 256
  std::vector<uint8_t> rgba;  // straight RGBA, row by row
};

// Sizes below 256 as 32-bit bitmaps with their transparency mask (what every
// part of Windows reads), 256 as PNG (what it expects there).
std::vector<uint8_t> IconFile(const std::vector<IconImage>& images);

}  // namespace gen
