#pragma once

#include <string>

#include "paint.h"

namespace gen {

// Writes an animated, looping GIF89a; each frame gets its own colour table
// (median cut when a frame has more than 256 colours). Throws on failure.
void WriteGif(const std::string& path, const Animation& anim);

}  // namespace gen
