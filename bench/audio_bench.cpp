#include <benchmark/benchmark.h>

#include "platform/core/audio.h"

// Loading the music's SoundFont: the start-up pays it once, at the first piece.
static void SoundFontLoad(benchmark::State& state) {
  for (auto _ : state) {
    const double ms = plat::MeasureSoundFontLoad();
    if (ms < 0) {
      state.SkipWithError("no SoundFont found");
      break;
    }
    state.SetIterationTime(ms / 1000);
  }
}
BENCHMARK(SoundFontLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
