// Program entry of the game.
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "main.h"
#include "platform/sdl/backends.h"
#include "platform/core/cp1252.h"
#include "platform/core/files.h"
#include "platform/core/system.h"
#include "replay.h"

namespace {

// The few options of the command line. Returns the exit status when the
// program is done without starting the game, or -1 to start it (or to watch
// the replay named in `watch`).
int ReadCommandLine(int argc, char** argv, bool& windowed, std::optional<std::string>& watch, const char* title) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--window") == 0) {
      windowed = true;
    } else if (std::strcmp(a, "--replay") == 0) {
      // Without a file: the last level played.
      watch = i + 1 < argc && argv[i + 1][0] != '-' ? std::string(argv[++i]) : std::string();
    } else if (a[0] != '-' && !watch) {
      watch = a;  // a replay dropped onto the program
    } else if (std::strcmp(a, "--help") == 0) {
      plat::TellUser(title,
                     "Usage: kelo [--window] [--replay [FILE]]\n"
                     "Kelo - Das Spiel: aim with the mouse and shoot the chickens.\n"
                     "\n"
                     "  --window         start in a window instead of full screen (Alt+Enter switches)\n"
                     "  --replay [FILE]  watch a replay (without FILE the last level played): Space\n"
                     "                   pauses, Right runs four times as fast, Escape ends it\n"
                     "  --help           show this help and end\n"
                     "  --version        show the version and end\n"
                     "\n"
                     "The settings and highscore files live beside the program while its folder\n"
                     "holds data/ and may be written to, unless the game was installed;\n"
                     "otherwise in\n" +
                         plat::UserFilesFolderName() +
                         ".\nBeside them: last.rep, the replay of the last level played, and\n"
                         "high1-1.rep to high3-5.rep, those of the highscore lists' entries.\n",
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

// The game's window, sound and input; none (the failure told) when there is
// no display or the window cannot be made.
std::unique_ptr<plat::Backend> OpenWindow(const char* title, bool windowed) {
  try {
    return plat::CreateSdlBackend(title, windowed);
  } catch (const plat::NoDisplayError& e) {
    plat::ShowStartupFailure(title, e.what());
  } catch (const std::exception&) {
    plat::ShowStartupFailure(title, plat::Cp1252ToUtf8(kFatalMessage).c_str());
  }
  return nullptr;
}

// Watches a replay in the game's window; nothing is written.
int WatchReplay(std::string path, bool windowed, const char* title) {
  replay::Replay r;
  try {
    if (path.empty()) path = plat::GameFilesFolder() + replay::kLastFile;
    r = replay::ReadFile(path);
  } catch (const std::exception& e) {
    plat::TellUser(title, std::string("kelo: ") + e.what() + "\n", true);
    return 2;
  }
  std::unique_ptr<plat::Backend> backend = OpenWindow(title, windowed);
  if (!backend) return 1;
  try {
    return replay::Watch(*backend, title, std::move(r));
  } catch (const replay::ReplayError& e) {
    backend.reset();
    plat::TellUser(title, "kelo: " + path + ": " + e.what() + "\n", true);
    return 2;
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false;
  std::optional<std::string> watch;
  const char* const title = "Kelo - Das Spiel";
  if (const int status = ReadCommandLine(argc, argv, windowed, watch, title); status >= 0) return status;
  if (watch) return WatchReplay(*watch, windowed, title);
  replay::KeepReplays(true);
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
  std::unique_ptr<plat::Backend> backend = OpenWindow(title, windowed);
  if (!backend) return 1;
  const int status = RunGame(*backend, title);
  backend.reset();
  return status;
}
