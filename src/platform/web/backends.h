// The game in a browser: the page's canvas, input, sound and storage.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/app.h"

namespace plat {

// What the page publishes of the game, read after every step of the loop.
struct PageStatus {
  std::string state;  // the game's state
  int fps = 0;        // the frame rate its display shows
  uint64_t ticks = 0; // frame ticks run
  std::string text;   // the name field (Windows-1252)
};

// Waits for the page's turn to play (one tab of the game plays at a time;
// `busy`, UTF-8, tells a second one so), then mounts the browser's storage on
// the folder of the game's files and reads it in; false when the browser keeps
// nothing (the files last as long as the page).
bool OpenPageStorage(const char* busy);
// An empty folder for the game's files that the browser does not keep, for
// watching a replay: it takes no turn and saves nothing.
void OpenPassingFolder();
// The folder of the game's files.
inline constexpr const char* kPageFolder = "/kelo-files";

// The page's canvas, input and sound. With a seed, the random generator is
// seeded from it and the number of reseeds only, so a run can be repeated.
std::unique_ptr<Backend> CreateWebBackend(std::optional<uint32_t> seed, std::function<PageStatus()> status);

// Shows an error before (or without) the game, and ends the page there.
void ShowStartupFailure(const char* title, const char* text);
// The game has ended: the page shows its last line.
void EndPage(int exitCode);

}  // namespace plat
