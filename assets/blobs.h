// The generated pictures and sounds, built into the program: the source file
// that holds them is written by the asset generator.
#pragma once

#include <cstddef>

extern "C" {
// The picture items of each list, each as width and height (two bytes each,
// low first) and its pixels in the display's 16 bits (low byte first); all
// packed with zlib behind their unpacked length (four bytes, low first).
// Those the catalogue marks `later` are not here but in kelo_pictures_later
// (ImageList1's, then menu1's), packed the same way (its own source file,
// which a browser's program leaves out: the page fetches the same bytes).
extern const unsigned char kelo_imagelist1_pictures[];
extern const size_t kelo_imagelist1_pictures_size;
extern const unsigned char kelo_menu1_pictures[];
extern const size_t kelo_menu1_pictures_size;
extern const unsigned char kelo_pictures_later[];
extern const size_t kelo_pictures_later_size;
// The wave items' PCM bytes, one after the other.
extern const unsigned char kelo_waves[];
extern const size_t kelo_waves_size;
}
