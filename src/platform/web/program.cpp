// Program entry of the game in a browser page. The page passes "--seed N"
// when its address says ?seed=N.
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "main.h"
#include "platform/core/cp1252.h"
#include "platform/core/files.h"
#include "platform/web/backends.h"

// Whether the name field takes character `u` when it holds `length`
// characters: the page's own text field for on-screen keyboards keeps to it.
extern "C" EMSCRIPTEN_KEEPALIVE int kelo_web_name_takes(int length, uint32_t u) {
  return Form1 && Form1->Edit1.Takes(size_t(std::max(length, 0)), char32_t(u)) ? 1 : 0;
}

int main(int argc, char** argv) {
  std::optional<uint32_t> seed;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--seed") == 0) seed = uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
  const char* const title = "Kelo - Das Spiel";
  // One tab of the game plays at a time, as one copy does on the desktop.
  // Without the browser's storage the game still plays; its files then last
  // as long as the page.
  plat::OpenPageStorage(plat::Cp1252ToUtf8(kAlreadyRunningMessage).c_str());
  std::unique_ptr<plat::Backend> backend;
  try {
    backend = plat::CreateWebBackend(seed, [] {
      plat::PageStatus s;
      if (Form1) {
        s.state = Form1->gameState;
        s.fps = Form1->DXTimer1.FrameRate;
        s.ticks = Form1->DXTimer1.TicksBegun;
        s.text = Form1->Edit1.Text;
      }
      return s;
    });
  } catch (const std::exception&) {
    plat::ShowStartupFailure(title, plat::Cp1252ToUtf8(kFatalMessage).c_str());
    return 1;
  }
  const int status = RunGame(*backend, title);
  backend.reset();
  plat::EndPage(status);
  return status;
}
