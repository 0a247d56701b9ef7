// The generated pictures and sounds, built into the program: the source file
// that holds them is written by the asset generator.
#pragma once

#include <cstddef>

extern "C" {
// The picture items, each as width and height (two bytes each, low first)
// and its pixels as RGB bytes; ImageList1's items first, then menu1's.
extern const unsigned char kelo_pictures[];
extern const size_t kelo_pictures_size;
// The wave items' PCM bytes, one after the other.
extern const unsigned char kelo_waves[];
extern const size_t kelo_waves_size;
}
