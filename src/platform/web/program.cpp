// Program entry of the game in a browser page. The page passes "--seed N"
// when its address says ?seed=N, and hands over the replay it was opened to
// watch (?replay=URL, or a file dropped onto it).
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "main.h"
#include "platform/core/cp1252.h"
#include "platform/core/files.h"
#include "platform/web/backends.h"
#include "platform/web/page.h"
#include "platform/web/page_replays.h"
#include "replay.h"

// Whether the name field takes character `u` when it holds `length`
// characters: the page's own text field for on-screen keyboards keeps to it.
extern "C" EMSCRIPTEN_KEEPALIVE int kelo_web_name_takes(int length, uint32_t u) {
  return Form1 && Form1->Edit1.Takes(size_t(std::max(length, 0)), char32_t(u)) ? 1 : 0;
}

namespace {

const char* const kTitle = "Kelo - Das Spiel";

std::unique_ptr<plat::Backend> OpenBackend(std::optional<uint32_t> seed) {
  try {
    return plat::CreateWebBackend(seed, [] {
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
    plat::ShowStartupFailure(kTitle, plat::Cp1252ToUtf8(kFatalMessage).c_str());
    return nullptr;
  }
}

// Watches a replay as kelo --replay does; nothing is kept.
int WatchReplay(std::string_view bytes) {
  plat::OpenPassingFolder();
  std::unique_ptr<plat::Backend> backend;
  int status = 0;
  try {
    replay::Replay r = replay::DecodePlayable(bytes);
    backend = OpenBackend(std::nullopt);
    if (!backend) return 1;
    status = replay::Watch(*backend, kTitle, std::move(r));
  } catch (const replay::ReplayError& e) {
    backend.reset();
    kelo_page_end(2, (std::string("Die Aufzeichnung l\xC3\xA4sst sich nicht abspielen: ") + e.what()).c_str());
    return 2;
  }
  backend.reset();
  kelo_page_end(status, "Die Aufzeichnung ist zu Ende.");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<uint32_t> seed;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--seed") == 0) seed = uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
  kelo_page_world(KELO_WORLD_SERVER);
  int size = 0;
  if (unsigned char* watched = kelo_page_replay(&size)) {
    const std::string bytes(reinterpret_cast<const char*>(watched), size_t(size));
    std::free(watched);
    return WatchReplay(bytes);
  }
  // One tab of the game plays at a time, as one copy does on the desktop.
  // Without the browser's storage the game still plays; its files then last
  // as long as the page.
  plat::OpenPageStorage(plat::Cp1252ToUtf8(kAlreadyRunningMessage).c_str());
  kelo_page_files(plat::kPageFolder);
  // Every level is recorded and kept with the scores; the page offers it for
  // download and, where it knows a world list, to send it there.
  replay::KeepReplays(true);
  replay::OnRecorded([](const replay::Replay& r) {
    const std::string bytes = replay::Encode(r);
    kelo_page_recorded(bytes.data(), int(bytes.size()), r.difficulty, int(r.claim.end), r.claim.points, r.claim.hits);
  });
  std::unique_ptr<plat::Backend> backend = OpenBackend(seed);
  if (!backend) return 1;
  const int status = RunGame(*backend, kTitle);
  backend.reset();
  plat::EndPage(status);
  return status;
}
