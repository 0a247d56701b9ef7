// Looking at the artwork without the game: a contact sheet of every picture
// item and the GIF frames, and screens composed the way the game draws them.
#pragma once

#include <string>

namespace gen {

// Writes OUT (the contact sheet) and beside it OUT-<screen>.png for each
// composed screen (OUT without its ".png" ending). Returns the files written.
std::string WriteSheets(const std::string& out);

}  // namespace gen
