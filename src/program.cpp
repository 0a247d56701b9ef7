// Program entry of the game.
#include <cstring>
#include <memory>
#include <string>

#include "main.h"
#include "platform/sdl/backends.h"
#include "platform/core/cp1252.h"
#include "platform/core/files.h"
#include "platform/core/system.h"

namespace {

// The few options of the command line. Returns the exit status when the
// program is done without starting the game, or -1 to start it.
int ReadCommandLine(int argc, char** argv, bool& windowed, const char* title) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--window") == 0) {
      windowed = true;
    } else if (std::strcmp(a, "--help") == 0) {
      plat::TellUser(title,
                     "Usage: kelo [--window]\n"
                     "Kelo - Das Spiel: aim with the mouse and shoot the chickens.\n"
                     "\n"
                     "  --window   start in a window instead of full screen (Alt+Enter switches)\n"
                     "  --help     show this help and end\n"
                     "  --version  show the version and end\n"
                     "\n"
                     "The settings and highscore files live beside the program while its folder\n"
                     "holds data/ and may be written to, otherwise in\n" +
                         plat::UserFilesFolderName() + ".\n",
                     false);
      return 0;
    } else if (std::strcmp(a, "--version") == 0) {
      // The project's version and our licence line, both from the build.
      plat::TellUser(title, "kelo " KELO_VERSION "\n" KELO_COPYRIGHT "; MIT licence, without any warranty.\n", false);
      return 0;
    } else {
      plat::TellUser(title, std::string("kelo: unknown option '") + a + "' (see kelo --help)\n", true);
      return 2;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false;
  const char* const title = "Kelo - Das Spiel";
  if (const int status = ReadCommandLine(argc, argv, windowed, title); status >= 0) return status;
  // One copy of the game at a time uses a folder of game files: two would
  // each write their own highscore lists over the other's.
  std::unique_ptr<plat::FolderLock> lock;
  try {
    lock = plat::LockFolder(plat::GameFilesFolder());
    if (!lock) {
      plat::ShowStartupFailure(title, plat::Cp1252ToUtf8(kAlreadyRunningMessage).c_str());
      return 1;
    }
  } catch (const std::exception&) {
    // The folder itself is in trouble: the start reports it as it always has.
  }
  std::unique_ptr<plat::Backend> backend;
  try {
    backend = plat::CreateSdlBackend(title, windowed);
  } catch (const plat::NoDisplayError& e) {
    plat::ShowStartupFailure(title, e.what());
    return 1;
  } catch (const std::exception&) {
    plat::ShowStartupFailure(title, plat::Cp1252ToUtf8(kFatalMessage).c_str());
    return 1;
  }
  const int status = RunGame(*backend, title);
  backend.reset();
  return status;
}
