// Fuzz target: a highscore file as the game reads, shows and ranks it. The
// real game window runs once per process, in a folder of its own.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "game_folder.h"
#include "main.h"
#include "platform/core/files.h"
#include "platform/headless/harness_backend.h"
#include "tool1.h"


namespace {

const std::string& folder = FuzzGameFolder();

void StartGame() {
  // Never torn down: the process ends with the game still open, as the game's own does.
  static plat::HarnessBackend* backend = new plat::HarnessBackend(0);
  Application.Initialize(backend);
  Application.Title = "Kelo - Das Spiel";
  plat::SetProgramFolder(folder);
  CreateGameWindow();
  ShowGameWindow();
  if (Form1->gameState != "Main") std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!Form1) StartGame();
  TForm1& f = *Form1;
  {
    std::ofstream out(folder + "high1.sco", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  for (int n = 1; n <= 3; ++n)
    if (f.highFiles[n].IsOpen()) f.highFiles[n].Close();
  try {
    OpenHighscores();
    for (int d = 1; d <= 3; ++d) {
      f.difficulty = d;
      DrawHighscoreTable();
    }
    // A result ranked against the list read, with hits and points taken from the input.
    f.difficulty = 1;
    f.scoreHits = size > 0 ? data[0] % 101 : 0;
    f.scorePoints = size > 1 ? data[1] * 10 : 0;
    f.playerName = "Fuzz";
    InsertHighscore();
    DrawHighscoreTable();
  } catch (const plat::EInOutError&) {
    // a file cut short: the fatal box
  } catch (const std::invalid_argument&) {
    // a number that is none: the fatal box
  }
  return 0;
}
