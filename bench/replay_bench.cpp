// Replays: a whole level verified without a window (what a server does with
// every run it is sent), the size of its file, and what recording costs the
// game on each tick and at the level's end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <optional>

#include "bench_util.h"
#include "extras.h"
#include "huhn.h"
#include "main.h"
#include "platform/core/files.h"
#include "platform/core/keys.h"
#include "platform/headless/harness_backend.h"
#include "replay.h"
#include "replay_codec.h"
#include "tool1.h"
#include "verify/verify.h"

namespace fs = std::filesystem;

namespace {

// A folder with the game's data, for as long as the benchmarks run.
const std::string& DataFolder() {
  static const std::string folder = [] {
    char tmpl[] = "/tmp/kelo-bench-XXXXXX";
    const std::string f = std::string(mkdtemp(tmpl)) + "/";
    fs::copy(fs::path(KELO_GAME_DIR) / "data", fs::path(f) / "data", fs::copy_options::recursive);
    std::atexit([] { fs::remove_all(DataFolder()); });
    return f;
  }();
  return folder;
}

// A busy player: the pointer flies to a chicken in a smooth stroke of 8 to 21
// ticks (fastest in its middle), shoots it more often than not, goes on to the
// next, and drifts a pixel now and then while nothing flies.
class Player {
 public:
  void Step(plat::HarnessBackend& backend) {
    const TForm1& f = *Form1;
    auto visible = [&f](int i) {
      const int x = f.huhnTable[i].X + 15, y = f.huhnTable[i].Y + 16;
      const bool hidden = (x >= 491 && y >= 261) || (x <= 112 && y >= 291);
      return f.huhnTable[i].State == "Normal" && !hidden && (chickenLeftActive || chickenRightActive);
    };
    if (stroke_ > 0 && !visible(target_)) stroke_ = 0, at_ = 0;
    for (int k = 0; k < 3 && stroke_ == 0; ++k, target_ = target_ % 3 + 1) {
      if (!visible(target_)) continue;
      fromX_ = x_, fromY_ = y_;
      stroke_ = 8 + int(Next() % 14), at_ = 0;
    }
    if (stroke_ > 0) {
      // Towards where the chicken is now.
      const double toX = f.huhnTable[target_].X + 15, toY = f.huhnTable[target_].Y + 16;
      const double t = double(++at_) / stroke_, s = t * t * t * (10 - 15 * t + 6 * t * t);
      x_ = fromX_ + (toX - fromX_) * s, y_ = fromY_ + (toY - fromY_) * s;
      if (at_ == stroke_) stroke_ = 0;
    } else if (Next() % 4 == 0) {
      x_ += double(int(Next() % 3) - 1), y_ += double(int(Next() % 3) - 1);
    }
    x_ = std::clamp(x_, 0.0, 639.0), y_ = std::clamp(y_, 0.0, 479.0);
    backend.QueueMove(int(std::lround(x_)), int(std::lround(y_)));
    // Six strokes in ten end in a shot.
    if (stroke_ == 0 && at_ > 0) {
      if (Next() % 10 < 6) backend.QueuePress(int(std::lround(x_)), int(std::lround(y_)));
      at_ = 0;
      target_ = target_ % 3 + 1;
    }
  }

 private:
  uint32_t Next() { return seed_ = seed_ * 1664525u + 1013904223u, seed_ >> 8; }
  uint32_t seed_ = 7;
  double x_ = 320, y_ = 240, fromX_ = 0, fromY_ = 0;
  int stroke_ = 0, at_ = 0, target_ = 1;
};

// The benchmark's whole level ("Mittel", seed 0) played by that player, recorded.
const replay::Replay& WholeLevel() {
  static const replay::Replay recorded = [] {
    std::optional<replay::Replay> r;
    replay::OnRecorded([&r](const replay::Replay& got) { r = got; });
    plat::HarnessBackend backend(0);
    Application.Initialize(&backend);
    plat::SetProgramFolder(DataFolder());
    CreateGameWindow();
    ShowGameWindow();
    auto tick = [&backend] {
      Application.ProcessMessages();
      backend.clockMs += 20;
      Form1->DXTimer1.Step(backend.clockMs, Application.Active);
    };
    // Each press fades to the next screen before the next input counts.
    backend.QueuePress(400, 178);
    tick();
    backend.QueuePress(400, 205);
    tick();
    backend.QueueText("Bench");
    backend.QueueKey(VK_RETURN);
    tick();
    Player player;
    for (long n = 0; n < 100000 && !r; ++n) {
      player.Step(backend);
      tick();
    }
    delete Form1;
    Application.Initialize(nullptr);
    replay::OnRecorded(nullptr);
    if (!r) throw std::runtime_error("the benchmark's level was not recorded");
    return *r;
  }();
  return recorded;
}

void BM_VerifyWholeLevel(benchmark::State& state) {
  const replay::Replay& r = WholeLevel();
  replay::VerifyOptions options;
  options.pictures = state.range(0) != 0;
  // In processor time: on a machine busy with other work the wall clock
  // counts theirs too.
  for (auto _ : state) {
    const double t0 = bench::ThreadNs();
    const replay::Verdict verdict = replay::Verify(r, DataFolder(), options);
    state.SetIterationTime((bench::ThreadNs() - t0) / 1e9);
    if (!verdict.Holds(r)) state.SkipWithError("the level does not play to its claim");
  }
  state.counters["ticks"] = double(r.claim.ticks);
  state.counters["hits"] = double(r.claim.hits);
  state.counters["file_bytes"] = double(replay::Encode(r).size());
}
BENCHMARK(BM_VerifyWholeLevel)->ArgName("pictures")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// What the recorder does on each tick of a level with the pointer on the move
// and a shot now and then, and the memory it holds for a whole level.
void BM_RecordTick(benchmark::State& state) {
  replay::InputWriter input;
  input.Start(320, 240);
  int n = 0;
  bench::Measure(state, [&] {
    input.Pointer(320 + int(200 * std::sin(n / 37.0)), 240 + int(150 * std::cos(n / 23.0)));
    if (++n % 40 == 0) input.Press(0, 100, 100);
    input.Tick();
    if (n == 17000) n = 0, input.Start(320, 240);
  });
  state.counters["level_input_bytes"] = double(WholeLevel().input.size());
}
BENCHMARK(BM_RecordTick);

// The level's end: the whole level's replay packed into its file.
void BM_EncodeWholeLevel(benchmark::State& state) {
  const replay::Replay& r = WholeLevel();
  bench::Measure(state, [&] { benchmark::DoNotOptimize(replay::Encode(r)); });
}
BENCHMARK(BM_EncodeWholeLevel)->Unit(benchmark::kMillisecond);

}  // namespace
