// Which folder holds what: the same rules on every system.
#include <string>

#include "platform/core/files.h"

namespace plat {
namespace {

std::string& FolderOverride() {
  static std::string folder;
  return folder;
}

// The installer leaves this file beside the program it installed.
constexpr const char* kInstalledMark = "installed.txt";

// The files the game writes into its folder of files.
constexpr const char* kGameFiles[] = {"kelo.ini", "high1.sco", "high2.sco", "high3.sco"};

}  // namespace

std::string ProgramFolder() { return FolderOverride().empty() ? ExecutableFolder() : FolderOverride(); }

void SetProgramFolder(const std::string& folder) {
  FolderOverride() = folder;
  if (!folder.empty() && folder.back() != '/') FolderOverride() += '/';
}

std::string GameFilesFolder() {
  if (!FolderOverride().empty()) return FolderOverride();
  const std::string own = ExecutableFolder();
  // An installed game decides by what the installer left, never by whether its
  // folder can be written at the moment: started with the installer's rights it
  // could write there, and every later start could not.
  if (FileExists(own + kInstalledMark)) {
    const std::string user = UserFilesFolder();
    MoveGameFiles(own, user);
    return user;
  }
  if (FolderExists(own + "data") && FolderWritable(own)) return own;
  return UserFilesFolder();
}

void MoveGameFiles(const std::string& from, const std::string& to) {
  std::vector<std::string> names;
  for (const char* name : kGameFiles)
    if (FileExists(from + name) && !FileExists(to + name)) names.emplace_back(name);
  if (names.empty()) return;
  // Another copy of the game that has the folder moves them itself.
  const std::unique_ptr<FolderLock> lock = LockFolder(to);
  if (!lock) return;
  for (const std::string& name : names) {
    if (FileExists(to + name)) continue;
    CreateFileComplete(to + name, ReadWholeFile(from + name));
    // Only once the copy is whole; a folder that is not the player's to write
    // keeps the old one, which is never read again.
    TryRemoveFile(from + name);
  }
}

std::string DataFile(const std::string& path) {
  if (FileExists(path) || !FolderOverride().empty()) return path;
  const size_t slash = path.rfind('/');
  const bool inData = slash != std::string::npos && slash >= 4 && path.compare(slash - 4, 5, "data/") == 0 &&
                      (slash == 4 || path[slash - 5] == '/');
  if (!inData) return path;
  const std::string name = path.substr(slash + 1);
  for (const std::string& folder : {ExecutableFolder() + "data/", InstalledDataFolder()})
    if (FileExists(folder + name)) return folder + name;
  return path;
}

std::string SaveTempOf(const std::string& target) { return target + ".new"; }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::vector<std::string> SplitPathList(std::string_view list) {
  std::vector<std::string> paths;
  const char separators[] = {PathListSeparator(), ';', '\0'};
  size_t from = 0;
  while (from <= list.size()) {
    size_t to = list.find_first_of(separators, from);
    if (to == std::string_view::npos) to = list.size();
    if (to > from) paths.emplace_back(list.substr(from, to - from));
    from = to + 1;
  }
  return paths;
}

}  // namespace plat
