// The game itself: a busy level frame against a frame-sized memcpy, a whole level
// played headless in ticks per second, and one highscore entry with its sync.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>

#include "bench_util.h"
#include "extras.h"
#include "huhn.h"
#include "main.h"
#include "platform/core/files.h"
#include "platform/headless/harness_backend.h"
#include "tool1.h"

namespace fs = std::filesystem;

namespace {

// The real game window on the headless backend, in a folder of its own.
struct Game {
  Game() {
    char tmpl[] = "/tmp/kelo-bench-XXXXXX";
    folder = mkdtemp(tmpl);
    fs::copy(fs::path(KELO_GAME_DIR) / "data", fs::path(folder) / "data", fs::copy_options::recursive);
    Application.Initialize(&backend);
    plat::SetProgramFolder(folder);
    CreateGameWindow();
    ShowGameWindow();
  }
  ~Game() {
    delete Form1;
    Application.Initialize(nullptr);
    plat::SetProgramFolder("");
    fs::remove_all(folder);
  }
  void Tick() {
    Application.ProcessMessages();
    backend.clockMs += 20;
    Form1->DXTimer1.Step(backend.clockMs, Application.Active);
  }
  plat::HarnessBackend backend{0};
  std::string folder;
};

// Three chickens in flight, every bonus object on the screen, all 21 explosions.
void BusyScene(TForm1& f) {
  ampelActive = 0;
  chickenLeftActive = 1;
  chickenRightActive = 0;
  for (int i = 1; i <= 3; ++i) f.huhnTable[i] = THuhn{150 + 100 * i, 120 + 40 * i, i, "Normal"};
  planeActive = extraActive = plane2Active = negativActive = ammoActive = 1;
  f.planeX = 300, f.dropX = 180, f.dropY = 200;
  for (int k = 1; k <= 10; ++k) f.dropGone[k] = 0;
  f.extra1X = 100, f.extra1Y = 40, f.extra1Shot = 1, f.extra2X = 200;
  for (int k = 1; k <= 5; ++k) f.extra2Gone[k] = 0;
  f.plane2X = 400, f.plane2Y = 60, f.negativX = 50, f.negativY = 100, f.ammoX = 550, f.ammoY = 80;
  for (int i = 0; i <= 20; ++i) {
    f.explosionPhase[i] = 0.6 + 0.3 * (i % 20);
    f.explosionX[i] = 30 * i + 20, f.explosionY[i] = 100 + 15 * i;
  }
  f.alphaExplosions = 1;
}

void BM_BusyLevelFrame(benchmark::State& state) {
  Game game;
  TForm1& f = *Form1;
  f.Edit1.SetText("Bench");
  StartLevel();
  bench::Measure(state, [&] {
    BusyScene(f);
    LevelFrame();
  });
}
BENCHMARK(BM_BusyLevelFrame);

void BM_WholeLevelHeadless(benchmark::State& state) {
  for (auto _ : state) {
    Game game;
    TForm1& f = *Form1;
    f.Edit1.SetText("Bench");
    f.difficulty = 2;
    StartLevel();
    StartWave();
    const auto t0 = std::chrono::steady_clock::now();
    long ticks = 0;
    while (f.gameState == "Level" && ticks < 100000) game.Tick(), ++ticks;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(seconds);
    state.counters["ticks"] = double(ticks);
    state.counters["ticks_per_s"] = double(ticks) / seconds;
  }
}
BENCHMARK(BM_WholeLevelHeadless)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertHighscoreWithSync(benchmark::State& state) {
  Game game;
  TForm1& f = *Form1;
  f.playerName = "Bench";
  f.difficulty = 2;
  int i = 0;
  for (auto _ : state) {
    f.scoreHits = (i++) % 100;
    f.scorePoints = i;
    InsertHighscore();
  }
}
BENCHMARK(BM_InsertHighscoreWithSync)->Unit(benchmark::kMicrosecond);

}  // namespace
