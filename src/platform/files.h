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
bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Replaces the file as a whole: written beside it, synced, then renamed over it,
// so that it is never seen half written.
void WriteFileAtomic(const std::string& path, std::string_view content);

}  // namespace plat
