// Windows: the program's folder, the user's folder of game files
// (%APPDATA%\kelo\) and the removal of what moves there from the program's
// folder, the system's text faces.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/core/files.h"
#include "platform/core/system.h"
#include "platform/os/windows/unicode.h"

namespace plat {
namespace {

// A folder the shell knows (made when missing), ending in '/'; empty when there is none.
std::string KnownFolder(REFKNOWNFOLDERID id, DWORD flags) {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, flags, nullptr, &path);
  std::string folder = SUCCEEDED(result) && path ? win::Utf8(path) : std::string();
  CoTaskMemFree(path);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

char PathListSeparator() { return ';'; }

std::string ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return "./";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // cut short: a longer path
  }
  return FolderOf(win::Utf8(path));
}

// The installer puts data\ beside the program, as the game folder has it.
std::string InstalledDataFolder() { return ExecutableFolder() + "data/"; }

std::string UserFilesFolder() {
  const std::string appData = KnownFolder(FOLDERID_RoamingAppData, KF_FLAG_CREATE);
  if (appData.empty()) throw EInOutError("no folder for the game's files (%APPDATA%)");
  const std::string folder = appData + "kelo/";
  if (!CreateDirectoryW(win::Wide(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    win::Fail("cannot create folder", folder);
  return folder;
}

// No SoundFont: the music plays on the system's own MIDI synthesizer.
std::vector<std::string> SystemSoundFonts() { return {}; }

// A copy of the face installed for all users or for this one.
std::vector<std::string> SystemFontFiles() {
  std::vector<std::string> files;
  const std::string fonts = KnownFolder(FOLDERID_Fonts, 0);
  if (!fonts.empty()) files.push_back(fonts + "DejaVuSansCondensed.ttf");
  const std::string local = KnownFolder(FOLDERID_LocalAppData, 0);
  if (!local.empty()) files.push_back(local + "Microsoft/Windows/Fonts/DejaVuSansCondensed.ttf");
  return files;
}

// Every Windows desktop draws through Direct3D, on a graphics processor or on
// the system's own rasteriser, which is the faster way to show the picture either way.
bool GraphicsDeviceLikely() { return true; }

const char* SystemName() { return "Windows"; }

}  // namespace plat
