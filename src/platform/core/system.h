// What the operating system offers beyond files (os/<system>/): where it keeps
// SoundFonts and text faces, and whether a graphics processor may draw.
#pragma once

#include <string>
#include <vector>

namespace plat {

// The system's own General MIDI SoundFonts, the best one for our music first.
std::vector<std::string> SystemSoundFonts();
// The system's copies of the game's text face.
std::vector<std::string> SystemFontFiles();
// Whether the machine may have a graphics processor, judged without starting one.
bool GraphicsDeviceLikely();

}  // namespace plat
