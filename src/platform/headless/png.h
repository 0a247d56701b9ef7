// A small PNG writer (zlib's deflate): the harness's screenshots, and the asset
// generator's sheets and icons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// A PNG file of w x h pixels of 3 (RGB) or 4 (RGBA) bytes each, row by row.
std::vector<uint8_t> EncodePng(int w, int h, int channels, const uint8_t* pixels);
// Writes it to a file; throws std::runtime_error on failure.
void WritePngFile(const std::string& path, int w, int h, int channels, const uint8_t* pixels);

}  // namespace plat
