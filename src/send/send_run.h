// Sending a replay to a world list from the command line (kelo --send-run).
#pragma once

#include <string>

namespace world {

// The key the game's runs are sent with, kept in its folder of files.
inline constexpr const char* kKeyFile = "world.key";

// Sends the replay `file` to the world list at `server` (http://host:port or
// https://...), with the key kept beside the highscore files (made at the
// first run sent). Tells the player the run's rank or why it was refused;
// returns the exit status.
int SendRun(const std::string& file, const std::string& server, const char* title);

}  // namespace world
