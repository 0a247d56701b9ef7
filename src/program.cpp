// Program entry of the game.
#include <memory>

#include "main.h"
#include "platform/backends.h"
#include "platform/cp1252.h"

int main() {
  const char* const title = "Kelo - Das Spiel";
  std::unique_ptr<plat::Backend> backend;
  try {
    backend = plat::CreateSdlBackend(title);
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
