// The built-in picture items and wave items: index, name, size, transparency.
// Shared by the asset generator and the game's image lists.
#pragma once

namespace assets {

struct PictureEntry {
  const char* name;
  int width;
  int height;
  bool transparent;
  // Not needed by the main menu, the options or a level (the results, the
  // game over, the highscore list, the farewell): packed apart, so that a
  // page can fetch them while its main menu shows.
  bool later = false;
};

inline constexpr bool kLater = true;

inline constexpr int kImageList1Count = 27;
inline constexpr int kMenu1Count = 18;

inline constexpr PictureEntry kImageList1[kImageList1Count] = {
    {"level", 640, 480, false},   {"menu1", 640, 480, false},  {"Ampel", 58, 14, true},
    {"Bombe", 10, 50, true},      {"ex1", 100, 75, true},      {"ex2", 100, 75, true},
    {"ex3", 100, 75, true},       {"ex4", 100, 75, true},      {"ex5", 100, 75, true},
    {"extra1", 57, 21, true},     {"extra2", 57, 21, true},    {"h1", 154, 185, true},
    {"h2", 190, 297, true},       {"h3", 317, 63, true},       {"huhna", 36, 35, true},
    {"huhnb", 36, 35, true},      {"Maus", 11, 11, true},      {"Mensch", 30, 10, true},
    {"negativ", 24, 28, true},    {"plane", 77, 26, true},     {"plane2", 57, 21, true},
    {"schuss", 24, 28, true},     {"ex6", 100, 75, true},      {"ex7", 100, 75, true},
    {"ex8", 100, 75, true},       {"Huhna2", 36, 35, true},    {"Huhnb2", 36, 35, true},
};

inline constexpr PictureEntry kMenu1[kMenu1Count] = {
    {"Hauptmenu", 171, 24, true},
    {"Hauptmenu rechts", 179, 206, true},
    {"Schwierigkeit", 171, 24, true},
    {"Schwierigkeit rechts", 179, 206, true},
    {"Name", 171, 24, true},
    {"Name rechts", 179, 206, true},
    {"pause", 254, 140, true},
    {"Resultate", 171, 24, true, kLater},
    {"Resultate rechts", 179, 206, true, kLater},
    {"Game over", 228, 50, false, kLater},
    {"Highmain", 640, 480, false, kLater},
    {"Highscore", 171, 24, true, kLater},
    {"Highscore unten", 511, 24, true, kLater},
    {"Optionen", 171, 24, true},
    {"Optionen rechts", 179, 206, true},
    {"Optionen", 171, 24, true},
    {"Optionen rechts2", 179, 206, true},
    {"Ende", 640, 480, false, kLater},
};

// The two sound effects: uncompressed PCM.
struct WaveEntry {
  int channels;
  int rate;
  int bits;
  int bytes;
};

inline constexpr int kWaveCount = 2;
inline constexpr WaveEntry kWaves[kWaveCount] = {
    {2, 22050, 8, 72240},  // 0: the shot with its impact
    {1, 22050, 8, 73888},  // 1: the atomic detonation
};

// Layout of the generated picture blob: for each item of ImageList1, then of
// menu1, in catalogue order: width and height as little-endian 16-bit values,
// then width * height pixels of 3 bytes (red, green, blue), row by row.
// The wave blob: for each wave, the PCM bytes of its catalogue size.

}  // namespace assets
