// The world list's verifying pool with every core busy: whole levels played
// again in worker processes (kelo-server --worker), as the server plays runs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "server/pool.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs per second: every iteration plays a batch of golden levels at once.
void BM_RunsVerifiedPerSecond(benchmark::State& state) {
  server::Pool::Options options;
  options.command = {KELO_SERVER, "--worker"};
  options.workers = int(state.range(0));
  server::Pool pool(options);
  std::vector<std::string> levels;
  for (int i = 1; i <= 3; ++i) levels.push_back(ReadAll(KELO_SOURCE_DIR "/tests/golden/level-" + std::to_string(i) + ".rep"));
  const int batch = 24;
  for (auto _ : state) {
    std::vector<std::future<server::Outcome>> playing;
    for (int i = 0; i < batch; ++i) playing.push_back(pool.Submit(levels[size_t(i) % levels.size()]));
    for (auto& p : playing)
      if (!p.get().verdict.problem.empty()) state.SkipWithError("a golden level did not play");
  }
  state.counters["runs_per_s"] = benchmark::Counter(double(state.iterations() * batch), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunsVerifiedPerSecond)->Arg(1)->Arg(int(std::max(1u, std::thread::hardware_concurrency())))
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
