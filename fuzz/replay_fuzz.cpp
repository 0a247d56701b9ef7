// Fuzz target: a replay as kelo-harness --verify reads and plays it. An input
// that does not begin as a replay file is taken as the content a file packs,
// so that the fuzzer reaches the fields behind the compression too. A short
// replay that reads is played in the real game window, in a folder of its own.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "replay.h"
#include "replay_codec.h"
#include "verify/verify.h"

namespace fs = std::filesystem;

namespace {

std::string folder;

void RemoveFolder() {
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (folder.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "kelo-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    folder = tmpl + "/";
    std::atexit(RemoveFolder);
    fs::copy(fs::path(KELO_GAME_DIR) / "data", fs::path(folder) / "data", fs::copy_options::recursive);
  }
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string bytes = input.substr(0, 4) == "KELO" ? std::string(input) : replay::Pack(input);
  try {
    const replay::Replay r = replay::Decode(bytes);
    if (r.claim.ticks <= 2000) replay::Verify(r, folder);
  } catch (const replay::ReplayError&) {
    // refused with its one line
  }
  return 0;
}
