// Program entry of the game.
#include <cstdio>
#include <cstring>
#include <memory>

#include "main.h"
#include "platform/sdl/backends.h"
#include "platform/core/cp1252.h"
#include "platform/core/files.h"

namespace {

// The few options of the command line. Returns the exit status when the
// program is done without starting the game, or -1 to start it.
int ReadCommandLine(int argc, char** argv, bool& windowed) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--window") == 0) {
      windowed = true;
    } else if (std::strcmp(a, "--help") == 0) {
      std::printf(
          "Usage: kelo [--window]\n"
          "Kelo - Das Spiel: aim with the mouse and shoot the chickens.\n"
          "\n"
          "  --window   start in a window instead of full screen (Alt+Enter switches)\n"
          "  --help     show this help and end\n"
          "  --version  show the version and end\n"
          "\n"
          "The settings and highscore files live beside the program while its folder\n"
          "holds data/ and may be written to, otherwise in $XDG_DATA_HOME/kelo/\n"
          "(~/.local/share/kelo/).\n");
      return 0;
    } else if (std::strcmp(a, "--version") == 0) {
      // The project's version and our licence line, both from the build.
      std::printf("kelo " KELO_VERSION "\n" KELO_COPYRIGHT "; MIT licence, without any warranty.\n");
      return 0;
    } else {
      std::fprintf(stderr, "kelo: unknown option '%s' (see kelo --help)\n", a);
      return 2;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false;
  if (const int status = ReadCommandLine(argc, argv, windowed); status >= 0) return status;
  const char* const title = "Kelo - Das Spiel";
  // One copy of the game at a time uses a folder of game files: two would
  // each write their own highscore lists over the other's.
  std::unique_ptr<plat::FolderLock> lock;
  try {
    lock = plat::LockFolder(plat::GameFilesFolder());
    if (!lock) {
      plat::ShowStartupFailure(title, "Kelo - Das Spiel läuft schon: ein zweites Spiel mit denselben Dateien wird nicht gestartet.");
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
  Application.Initialize(backend.get());
  Application.Title = title;
  CreateGameWindow();
  ShowGameWindow();
  Application.Run();
  DestroyGameWindow();
  backend.reset();
  return Application.ExitCode;
}
