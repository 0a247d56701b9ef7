#include "verify/verify.h"

#include <ctime>
#include <vector>

#include "main.h"
#include "platform/core/cp1252.h"
#include "platform/core/files.h"
#include "platform/headless/harness_backend.h"

namespace replay {

Verdict Verify(const Replay& replay, const std::string& folder, const VerifyOptions& options) {
  Verdict verdict;
  plat::HarnessBackend backend(0);
  Application.Initialize(&backend);
  Application.Title = "Kelo - Das Spiel";
  plat::SetProgramFolder(folder);
  const bool drawn = TSurface::PixelsDrawn;
  TSurface::PixelsDrawn = options.pictures;
  {
    Player player(replay);
    CreateGameWindow(true);
    ShowGameWindow();
    try {
      if (!Form1 || Application.TerminationRequested()) throw ReplayError("the game could not start here");
      player.Begin();
      std::vector<plat::Event> events;
      for (;;) {
        const bool tick = player.Next(events);
        for (const plat::Event& e : events) Application.Dispatch(e);
        if (Application.TerminationRequested()) throw ReplayError("the game ended with its error message");
        if (!tick) break;
        backend.clockMs += 20;
        if (!Form1->DXTimer1.Step(backend.clockMs, true))
          throw ReplayError("the replay has a tick where the game stands still");
        if (options.afterTick) options.afterTick(player.TicksDone());
      }
      if (player.Diverged()) throw ReplayError("the level asked for more seeds than the replay holds");
      verdict.reached = player.Reached();
    } catch (const ReplayError& e) {
      verdict.problem = e.what();
    } catch (const std::exception& e) {
      verdict.problem = std::string("the game failed while playing it: ") + e.what();
    }
    if (Form1) verdict.reached.ticks = player.TicksDone();
    DestroyGameWindow();
  }
  TSurface::PixelsDrawn = drawn;
  Application.Initialize(nullptr);
  plat::SetProgramFolder("");
  return verdict;
}

std::string Report(const Replay& r, const Verdict& v) {
  char when[32] = "?";
  const std::time_t t = std::time_t(r.date);
  if (const std::tm* utc = std::gmtime(&t)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M UTC", utc);
  std::string s = "name:       " + plat::Cp1252ToUtf8(r.name) + "\n";
  s += "difficulty: " + std::string(DifficultyName(r.difficulty)) + "\n";
  s += "version:    Kelo " + r.gameVersion + ", play version " + std::to_string(r.playVersion) + "; recorded on " +
       r.system + ", " + when + "\n";
  s += "claimed:    " + Describe(r.claim) + "\n";
  if (!v.problem.empty()) s += "reached:    nothing: " + v.problem + "\n";
  else s += "reached:    " + Describe(v.reached) + "\n";
  s += v.Holds(r) ? "verdict:    the replay plays to what it claims\n"
                  : "verdict:    REFUSED: the replay does not play to what it claims\n";
  return s;
}

}  // namespace replay
