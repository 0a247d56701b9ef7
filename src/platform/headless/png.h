// A small PNG writer and reader (zlib): the harness's screenshots, and the
// asset generator's sheets and icons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// A PNG file of w x h pixels of 3 (RGB) or 4 (RGBA) bytes each, row by row.
std::vector<uint8_t> EncodePng(int w, int h, int channels, const uint8_t* pixels);
// Writes it to a file; throws std::runtime_error on failure.
void WritePngFile(const std::string& path, int w, int h, int channels, const uint8_t* pixels);
// The pixels of a PNG of 8-bit RGB (3 bytes each) or RGBA (4) without
// interlacing, row by row; throws std::runtime_error for anything else.
std::vector<uint8_t> DecodePng(std::string_view png, int& w, int& h, int& channels);

}  // namespace plat
