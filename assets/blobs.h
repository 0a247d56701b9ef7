// The generated pictures and sounds, built into the program: the source file
// that holds them is written by the asset generator.
#pragma once

#include <cstddef>

extern "C" {
// The picture items, each as width and height (two bytes each, low first)
// and its pixels in the display's 16 bits (low byte first); ImageList1's items
// first, then menu1's; all packed with zlib behind their unpacked length
// (four bytes, low first).
extern const unsigned char kelo_pictures[];
extern const size_t kelo_pictures_size;
// The wave items' PCM bytes, one after the other.
extern const unsigned char kelo_waves[];
extern const size_t kelo_waves_size;
}
