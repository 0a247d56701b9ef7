// Benchmarks report their time also as a multiple of copying one 640 x 480 x 2-byte
// frame with memcpy, measured in the same process right before each figure (the
// machine's speed drifts between runs and while other work runs beside).
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <vector>

namespace bench {

// Nanoseconds of processor time this thread has used: unlike the wall clock,
// it does not count the time other programs of a busy machine run.
inline double ThreadNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// Nanoseconds of one frame-sized memcpy now (best of many).
inline double FrameCopyNs() {
  static std::vector<unsigned char> a(640 * 480 * 2, 1), b(640 * 480 * 2, 2);
  double best = 1e18;
  for (int round = 0; round < 30; ++round) {
    const double t0 = ThreadNs();
    for (int i = 0; i < 10; ++i) {
      std::memcpy(b.data(), a.data(), a.size());
      benchmark::DoNotOptimize(b.data());
      benchmark::ClobberMemory();
    }
    best = std::min(best, (ThreadNs() - t0) / 10);
  }
  return best;
}

// Runs `body` for the benchmark's iterations and adds the counter x_memcpy,
// both in processor time (with the baseline it was measured against as memcpy_us).
template <class Body>
void Measure(benchmark::State& state, Body body) {
  const double base = FrameCopyNs();
  state.counters["memcpy_us"] = base / 1000;
  const double t0 = ThreadNs();
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  const double perIter = (ThreadNs() - t0) / double(state.iterations());
  state.counters["x_memcpy"] = perIter / base;
}

}  // namespace bench
