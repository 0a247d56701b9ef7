// A page in a browser: the program's files live in its own file system in
// memory. The page's data files are loaded into /kelo-data/ before the game
// starts; the game's own files live in /kelo-files/, which the page keeps in
// the browser's storage (see web/page.js). The program's folder holds neither,
// so the game looks for its data in the data folder and keeps its files in
// the user's folder, as an installed game does.
#include <string>
#include <vector>

#include "platform/core/files.h"
#include "platform/core/system.h"

namespace plat {

std::string ExecutableFolder() { return "/kelo/"; }

std::string InstalledDataFolder() { return "/kelo-data/"; }

std::string UserFilesFolder() {
  if (!FolderExists("/kelo-files")) throw EInOutError("the page has no folder for the game's files");
  return "/kelo-files/";
}

// The SoundFont comes with the page and is fetched by it, never read as a file.
std::vector<std::string> SystemSoundFonts() { return {}; }

// The page's own copy; where the program runs on a machine's files instead
// (the tests under Node), Debian's.
std::vector<std::string> SystemFontFiles() {
  return {"/kelo-data/DejaVuSansCondensed.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf"};
}

// The page draws with our own scaler and the canvas; nothing asks for a GPU.
bool GraphicsDeviceLikely() { return false; }

const char* SystemName() { return "Browser"; }

}  // namespace plat
