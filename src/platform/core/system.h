// What the operating system offers beyond files (os/<system>/): where it keeps
// SoundFonts and text faces, whether a graphics processor may draw, and how a
// program speaks to whoever started it.
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

// The system the game runs on, as a replay names where it was recorded.
const char* SystemName();

// The user's folder of the game's files as the help names it.
std::string UserFilesFolderName();
// Text for whoever started the program (the help, the version, a wrong
// option): the terminal or console it came from, or a message box where there
// is none (a Windows program started from its icon).
void TellUser(const char* title, const std::string& text, bool error);

}  // namespace plat
