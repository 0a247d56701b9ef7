// The game's fields as the harness sees them: the dump, and `set` for test set-up.
#pragma once

#include <string>
#include <vector>

#include "json.h"

namespace plat {
class HarnessBackend;
}

namespace harness {

// The whole dump of the game window, the module variables and the driver's
// view; without the events, when a caller only looks at the state.
Json Dump(const plat::HarnessBackend& backend, bool withEvents = true);

// Gives a number or text field (a path such as "scorePoints", "huhnTable.0.X"
// or "explosionPhase.3") a value. Returns an error text, empty on success.
std::string SetField(const std::string& path, const std::string& value);

// The module variables and the random generator as a fresh process has them.
void ResetModuleVariables();

}  // namespace harness
