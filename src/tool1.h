// Start-up, settings, the surface cache, the start of a level, the highscore
// routines and screens, and the game's numeric rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "extended.h"
#include "platform/core/surface.h"

class TGIFImage;
void RequestTermination();

// --- Numeric rules -------------------------------------------------------------

// Rounds to the nearest integer, halves to the even neighbour: Round(2.5) = 2.
int Round(double x);
// Cuts towards zero.
int Trunc(double x);
// The clocks and phases of the game all advance with AddExt (extended.h).
// Stereo pan of a screen x position: x * 20000 div 640 - 10000.
int PanOf(int x);

// The random generator: Random(n) yields 0..n-1; Randomize re-seeds it from the clock.
extern uint32_t RandSeed;
void Randomize();
int Random(int n);

// Draws frame `index` of a GIF picture into rect of a canvas; a frame the
// picture does not have is an error.
void DrawGifFrame(const TGIFImage& gif, int index, TCanvas& canvas, TRect rect, bool transparent);

// --- Start-up and settings -----------------------------------------------------

void InitGame();
// Start-up for a replay: the game's data, none of the player's files.
void InitForReplay();
void SaveSettings();

// A music change that must not stop the game with a message: any failure asks
// the game to end and the caller goes on.
template <class Ops>
void GuardedMusic(Ops ops) {
  try {
    ops();
  } catch (const std::exception&) {
    RequestTermination();
  }
}

// --- Display start and end -----------------------------------------------------

void LoadSurfaceCache();
void FreeSurfaceCache();

// --- Level ---------------------------------------------------------------------

void StartLevel();

// --- Highscores ----------------------------------------------------------------

// The order of every highscore list, the game's own and the world list: more
// hits first, for equal hits more points; a result equal to an entry in both
// stays below it (the older entry first). As one number: a result beats
// another exactly when its key is greater.
constexpr int64_t RankKey(int32_t hits, int32_t points) {
  return int64_t(uint64_t(int64_t(hits)) << 32 | uint64_t(uint32_t(points) ^ 0x80000000u));
}

void OpenHighscores();
void InsertHighscore();
void ResetHighscores();
void ResultsFrame();
void HighscoreFrame();
void DrawHighscoreTable();
