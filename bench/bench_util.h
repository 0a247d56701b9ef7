// Benchmarks report their time also as a multiple of copying one 640 x 480 x 2-byte
// frame with memcpy, measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace bench {

// Nanoseconds of one frame-sized memcpy (best of many).
inline double FrameCopyNs() {
  static const double ns = [] {
    std::vector<unsigned char> a(640 * 480 * 2, 1), b(640 * 480 * 2, 2);
    double best = 1e18;
    for (int round = 0; round < 50; ++round) {
      const auto t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < 20; ++i) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
      }
      const auto t1 = std::chrono::steady_clock::now();
      best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / 20);
    }
    return best;
  }();
  return ns;
}

// Runs `body` for the benchmark's iterations and adds the counter x_memcpy.
template <class Body>
void Measure(benchmark::State& state, Body body) {
  const double base = FrameCopyNs();
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  const auto t1 = std::chrono::steady_clock::now();
  const double perIter = std::chrono::duration<double, std::nano>(t1 - t0).count() / double(state.iterations());
  state.counters["x_memcpy"] = perIter / base;
}

}  // namespace bench
