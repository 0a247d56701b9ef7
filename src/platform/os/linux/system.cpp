// Linux: the program's folder, the user's folder of game files (XDG), the
// installed data, the system's SoundFonts and text faces, the GPU probe.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/files.h"
#include "platform/core/system.h"

namespace plat {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not an absolute path.
std::string UserDataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return WithoutTrailingSlashes(xdg);
  std::string home;
  if (const char* env = std::getenv("HOME")) home = env;
  if (home.empty())
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  if (home.empty()) throw EInOutError("no home folder for the game's files");
  return WithoutTrailingSlashes(home) + "/.local/share";
}

// Makes the folder and every missing parent, for this user only.
void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!part.empty() && !FolderExists(part) && ::mkdir(part.c_str(), 0700) != 0) {
      if (errno == EEXIST) errno = ENOTDIR;
      throw EInOutError("cannot create folder " + part + ": " + std::strerror(errno));
    }
    if (slash == std::string::npos || slash + 1 == folder.size()) break;
  }
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  return FolderOf(std::string(buf.data(), size_t(n)));
}

// KELO_DATA_FROM_PROGRAM: the installation's data folder seen from the program's
// folder ("../share/kelo/data"), from the build.
std::string InstalledDataFolder() {
  const std::filesystem::path folder = std::filesystem::path(ExecutableFolder()) / KELO_DATA_FROM_PROGRAM / "";
  return folder.lexically_normal().string();
}

std::string UserFilesFolder() {
  const std::string folder = UserDataHome() + "/kelo/";
  MakeFolders(folder);
  return folder;
}

std::string UserFilesFolderName() { return "$XDG_DATA_HOME/kelo/ (~/.local/share/kelo/)"; }

std::vector<std::string> SystemSoundFonts() {
  // The music is balanced for TimGM6mb: it goes before the system's default,
  // which another SoundFont package may have taken over.
  return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2",
          "/usr/share/soundfonts/FluidR3_GM.sf2"};
}

std::vector<std::string> SystemFontFiles() { return {"/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf"}; }

// A GPU shows as a render node or a proprietary driver's device.
bool GraphicsDeviceLikely() {
  for (int i = 128; i < 192; ++i)
    if (::access(("/dev/dri/renderD" + std::to_string(i)).c_str(), F_OK) == 0) return true;
  return ::access("/dev/nvidiactl", F_OK) == 0 || ::access("/dev/nvidia0", F_OK) == 0;
}

const char* SystemName() { return "Linux"; }

}  // namespace plat
