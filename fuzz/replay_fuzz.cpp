// Fuzz target: a replay as kelo-harness --verify reads and plays it. An input
// that does not begin as a replay file is taken as the content a file packs,
// so that the fuzzer reaches the fields behind the compression too. A short
// replay that reads is played in the real game window, in a folder of its own.
#include <cstdint>
#include <string>

#include "game_folder.h"
#include "replay.h"
#include "replay_codec.h"
#include "verify/verify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string bytes = input.substr(0, 4) == "KELO" ? std::string(input) : replay::Pack(input);
  try {
    const replay::Replay r = replay::Decode(bytes);
    if (r.claim.ticks <= 2000) replay::Verify(r, FuzzGameFolder());
  } catch (const replay::ReplayError&) {
    // refused with its one line
  }
  return 0;
}
