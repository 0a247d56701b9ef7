// The game's screens, played on the headless backend from a fixed seed: the
// pictures of docs/screens/, which kelo-screens writes and the tests compare.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace screens {

// A screen by its name (the file name without ".png") and its 640 x 480 display pixels.
using Shot = std::function<void(const std::string& name, const std::vector<uint16_t>& pixels)>;

// Plays the game in `folder` (which holds a copy of data/) and hands every
// screen to `shot` as the player sees it.
void Play(const std::string& folder, const Shot& shot);

}  // namespace screens
