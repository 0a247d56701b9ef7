// Plain files in the program's folder. Every operation checks its result and
// throws EInOutError on failure.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace plat {

class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Folder of the running program, ending in '/'.
std::string ExecutableFolder();
// The folder the game keeps its files in: the program's own, unless the
// headless driver has named another. Ends in '/'.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);
// The folder of the game's own files ("kelo.ini", the highscore files): the one
// the headless driver named; else the program's folder while it is a game
// folder (it holds data/) that may be written to; else $XDG_DATA_HOME/kelo/
// (~/.local/share/kelo/), made when missing. Ends in '/'.
std::string GameFilesFolder();
// The installed data folder (share/kelo/data/ of the installation). Ends in '/'.
std::string InstalledDataFolder();
// The file to read for a data file the game names as <folder>/data/NAME: that
// path while it exists (and always in a folder the headless driver named);
// else NAME in data/ beside the program, then in the installed data folder;
// the path as named when none holds it.
std::string DataFile(const std::string& path);
bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Replaces the file as a whole: written beside it, synced, then renamed over it,
// so that it is never seen half written.
void WriteFileAtomic(const std::string& path, std::string_view content);

}  // namespace plat
