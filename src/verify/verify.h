// Checking a replay: played without a window as fast as the machine allows,
// on the headless backend and the game's own code, and compared with what it
// claims. What a server needs to accept a score only when it plays to it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "replay.h"

namespace replay {

struct Verdict {
  Claim reached;        // what the level reached when the input ended
  std::string problem;  // why it could not be played to its end, else empty
  bool Holds(const Replay& r) const { return problem.empty() && reached == r.claim; }
};

struct VerifyOptions {
  bool pictures = false;  // draw every picture as the game does (nothing depends on it)
  std::function<void(uint32_t tick)> afterTick;  // called after every tick
};

// Plays the replay in the game folder `folder` (where data/ is; empty: the
// program's own), which gets no file written. No other game window may be
// open in the process meanwhile.
Verdict Verify(const Replay& replay, const std::string& folder, const VerifyOptions& options = {});

// The report for people: name, difficulty, versions, where and when it was
// recorded, the claim, what was reached and whether they are the same.
std::string Report(const Replay& replay, const Verdict& verdict);

}  // namespace replay
