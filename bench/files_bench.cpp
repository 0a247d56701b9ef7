// The settings file: reading one of millions of empty lines (time and bytes
// kept a line), and a save written beside, synced and renamed.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/core/controls.h"
#include "platform/core/files.h"

namespace fs = std::filesystem;

namespace {

void BM_SettingsOfMillionsOfEmptyLines(benchmark::State& state) {
  const std::string text = "1" + std::string(size_t(state.range(0)), '\n');
  TStrings lines;
  for (auto _ : state) {
    lines.SetText(text);
    benchmark::DoNotOptimize(lines.Text().data());
  }
  state.counters["lines"] = double(lines.Count());
  state.counters["bytes_a_line"] = double(lines.Text().capacity()) / double(lines.Count());
}
BENCHMARK(BM_SettingsOfMillionsOfEmptyLines)->Arg(34'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveSettingsWithSync(benchmark::State& state) {
  char tmpl[] = "/tmp/kelo-bench-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  const std::string ini = folder + "/kelo.ini";
  std::string content = "1\r\n";
  for (int i = 0; i < 20; ++i) content += "Zeile " + std::to_string(i) + "\r\n";
  for (auto _ : state) {
    content[0] = content[0] == '1' ? '0' : '1';
    plat::SaveFile(ini, content);
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_SaveSettingsWithSync)->Unit(benchmark::kMicrosecond);

}  // namespace
