// A small PNG writer (zlib's deflate) for the contact sheet, the previews and
// the program's icons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace gen {

// Writes 24-bit RGB; throws on failure.
void WritePng(const std::string& path, const Image& img);
// Writes 32-bit RGBA from straight RGBA bytes, row by row; throws on failure.
void WritePngRgba(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba);

}  // namespace gen
