// What the server takes at most: larger or longer than any real run is
// refused before anything plays.
#pragma once

#include <cstddef>
#include <cstdint>

namespace server {

// A replay file: a whole level of a busy player packs to some 2 to 12 KB; one
// of the longest level with a hand that never rests stays far below this.
inline constexpr size_t kMostReplayBytes = 256 * 1024;

// A level's ticks: the longest real level is 100 waves of a single chicken,
// each 200 ticks of countdown and at most some 110 of flight at the slowest
// pace (about 31 000 ticks), and the bonus objects' last flights after it.
inline constexpr uint32_t kMostLevelTicks = 50000;

// A withdrawal key: the letters of base64url, as long as a random key needs
// and no longer.
inline constexpr size_t kFewestKeyChars = 16, kMostKeyChars = 128;

// One page of a list.
inline constexpr int64_t kMostPerPage = 100;

}  // namespace server
