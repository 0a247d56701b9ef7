// The replays and the world list beside the game (replays.js, through
// library_replays.js).
#pragma once

#include <cstdint>

extern "C" {

// The replay the page was opened to watch (?replay=URL, or a file dropped
// onto it), fetched before the program started: `*size` bytes in memory of
// malloc's, or null when the page plays the game.
unsigned char* kelo_page_replay(int* size);
// The world list's address built in (empty: none); the page's ?server= wins.
void kelo_page_world(const char* server);
// The game's files are in `folder` now: the page offers their replays for download.
void kelo_page_files(const char* folder);
// A level has been recorded (and kept, before this call): the replay's bytes and
// what it claims. `end`: 1 played to its end, 2 left from the pause.
void kelo_page_recorded(const void* bytes, int size, int difficulty, int end, int points, int hits);

}  // extern "C"
