// A Windows program without a console of its own answers in the console it
// was started from (cmd, PowerShell), into a file or pipe its output is
// redirected to, or else in a message box.
#include <windows.h>

#include "platform/core/system.h"
#include "platform/os/windows/unicode.h"

namespace plat {
namespace {

bool Usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// Writes to a console in UTF-16, anywhere else in UTF-8.
bool WriteTo(HANDLE h, const std::string& text) {
  DWORD mode = 0, wrote = 0;
  if (GetConsoleMode(h, &mode)) {
    const std::wstring wide = win::Wide(text, false);
    return WriteConsoleW(h, wide.data(), DWORD(wide.size()), &wrote, nullptr) != 0;
  }
  return WriteFile(h, text.data(), DWORD(text.size()), &wrote, nullptr) != 0 && wrote == text.size();
}

}  // namespace

void TellUser(const char* title, const std::string& text, bool error) {
  const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
  if (const HANDLE h = GetStdHandle(which); Usable(h) && WriteTo(h, text)) return;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    const bool written = Usable(console) && WriteTo(console, "\n" + text);
    if (Usable(console)) CloseHandle(console);
    FreeConsole();
    if (written) return;
  }
  MessageBoxW(nullptr, win::Wide(text, false).c_str(), win::Wide(title, false).c_str(),
              MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

// The folder as Windows' own notation names it.
std::string UserFilesFolderName() { return "%APPDATA%\\kelo\\"; }

}  // namespace plat
