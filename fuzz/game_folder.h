// A folder of the game's own for a fuzz target: a copy of the built game's
// data/, in memory where the system has a file system there (every record is
// synced as it is written), removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline const std::string& FuzzGameFolder() {
  // Never destroyed: it is removed at the process's end, after every static.
  static const std::string* folder = [] {
    namespace fs = std::filesystem;
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string tmpl = std::string(base) + "/kelo-fuzz-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    fs::copy(fs::path(KELO_GAME_DIR) / "data", fs::path(tmpl) / "data", fs::copy_options::recursive);
    auto* made = new std::string(tmpl + "/");
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(FuzzGameFolder(), ec);
    });
    return made;
  }();
  return *folder;
}
