// Showing one picture: the display pixels converted and enlarged into 32-bit
// window pixels in one pass, as the window surface gets them where no graphics
// processor draws (at 1x this is also the texture upload where one does).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench_util.h"
#include "platform/core/scaler.h"

namespace {

void BM_Present(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint16_t> picture(640 * 480);
  std::mt19937 rng(1);
  for (uint16_t& p : picture) p = uint16_t(rng());
  std::vector<uint32_t> window(size_t(w) * size_t(h));
  plat::PictureScaler scaler;
  scaler.Configure(w, h, plat::PixelOrder::Xrgb);
  bench::Measure(state, [&] { scaler.Scale(picture.data(), window.data(), w * 4); });
}
BENCHMARK(BM_Present)->Args({640, 480})->Args({1280, 960})->Args({1440, 1080})->Args({1024, 768});

}  // namespace
