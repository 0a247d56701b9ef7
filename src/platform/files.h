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

// Saves a file that a person may have placed, linked or protected himself:
// - a symbolic link is followed; its target is replaced and the link stays;
// - a file that exists but may not be written, or is no plain file, is an error;
// - where the folder allows it, the content is written beside the file, synced,
//   renamed over it and the folder synced, so the old content is never lost;
// - a writable file in a folder that may not be written is written in place
//   and synced (a failure there can cost the old content: nothing else can be done).
void SaveFile(const std::string& path, std::string_view content);
// Removes what a save of `path` that was killed half way left beside it.
void RemoveLeftoverOf(const std::string& path);
// Creates a file complete: written beside, synced, renamed into place, the
// folder synced. Whoever looks, at any moment, sees no file or the whole one.
void CreateFileComplete(const std::string& path, std::string_view content);

}  // namespace plat
