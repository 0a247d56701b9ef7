// The drawing operations and Flip's conversion, against a frame-sized memcpy.
#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "platform/core/dxdraw.h"
#include "platform/headless/harness_backend.h"
#include "platform/core/imagelist.h"
#include "platform/core/surface.h"

namespace {

TDXImageList& Pictures() {
  static TDXImageList list(TBuiltinList::ImageList1);
  return list;
}

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<unsigned char> a(640 * 480 * 2, 1), b(640 * 480 * 2, 2);
  bench::Measure(state, [&] { std::memcpy(b.data(), a.data(), a.size()); });
}
BENCHMARK(BM_FrameMemcpy);

void BM_DrawOpaqueFullScreen(benchmark::State& state) {
  TSurface back(640, 480);
  const TSurface& level = Pictures().Items[0]->Picture();
  bench::Measure(state, [&] { back.Draw(0, 0, level, false); });
}
BENCHMARK(BM_DrawOpaqueFullScreen);

void BM_DrawTransparentForeground(benchmark::State& state) {
  TSurface back(640, 480);
  const TSurface& h2 = Pictures().Items[12]->Picture();  // 190 x 297
  bench::Measure(state, [&] { back.Draw(450, 152, h2, true); });
}
BENCHMARK(BM_DrawTransparentForeground);

void BM_DrawAlphaExplosion(benchmark::State& state) {
  TSurface back(640, 480);
  const TSurface& ex = Pictures().Items[6]->Picture();  // 100 x 75 into 100 x 74
  bench::Measure(state, [&] { back.DrawAlpha(Rect(200, 200, 300, 274), Rect(0, 0, 100, 75), ex, true, 210); });
}
BENCHMARK(BM_DrawAlphaExplosion);

void BM_StretchDrawCloud(benchmark::State& state) {
  TSurface back(640, 480), work(200, 200);
  work.FillRect(Rect(10, 10, 60, 70), RGBColor(200, 100, 50));
  bench::Measure(state, [&] { back.StretchDraw(Rect(270, 290, 400, 423), Rect(0, 0, 78, 80), work, true); });
}
BENCHMARK(BM_StretchDrawCloud);

void BM_FillRectAlphaFullScreen(benchmark::State& state) {
  TSurface back(640, 480);
  back.Fill(RGBColor(90, 160, 220));
  bench::Measure(state, [&] { back.FillRectAlpha(Rect(0, 0, 640, 480), clBlack, 100); });
}
BENCHMARK(BM_FillRectAlphaFullScreen);

void BM_TextOutHeadUpDisplay(benchmark::State& state) {
  TSurface back(640, 480);
  TCanvas& c = back.Canvas();
  c.Font.Color = clWhite;
  c.Brush.Style = bsClear;
  bench::Measure(state, [&] {
    c.TextOut(410, 4, "Punkte: 12450");
    c.TextOut(520, 4, "57 von 81");
    c.TextOut(340, 4, "FPS: 50");
    c.TextOut(605, 4, "143");
  });
}
BENCHMARK(BM_TextOutHeadUpDisplay);

// A flip hands the picture over; what is drawn next decides whether the back
// surface copies it back: a whole background does not, a single pixel does.
void BM_FlipAfterABackground(benchmark::State& state) {
  plat::HarnessBackend host(0);
  Application.Initialize(&host);
  TDXDraw screen;
  const TSurface& level = Pictures().Items[0]->Picture();
  bench::Measure(state, [&] {
    screen.Surface.Draw(0, 0, level, false);
    screen.Flip();
  });
  Application.Initialize(nullptr);
}
BENCHMARK(BM_FlipAfterABackground);

// Flips after one pixel has changed (the back surface copies the picture
// back), with the display's gamma ramp `ramp` where given.
void FlipAfterAPixel(benchmark::State& state, const TGammaRamp* ramp) {
  plat::HarnessBackend host(0);
  Application.Initialize(&host);
  TDXDraw screen;
  if (ramp) screen.SetGammaRamp(*ramp);
  uint16_t n = 0;
  bench::Measure(state, [&] {
    screen.Surface.SetPixel(0, 0, ++n);
    screen.Flip();
  });
  Application.Initialize(nullptr);
}

void BM_FlipAfterAPixel(benchmark::State& state) { FlipAfterAPixel(state, nullptr); }
BENCHMARK(BM_FlipAfterAPixel);

void BM_FlipWithGamma(benchmark::State& state) {
  TGammaRamp ramp;
  for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = uint16_t(i * 128);
  FlipAfterAPixel(state, &ramp);
}
BENCHMARK(BM_FlipWithGamma);

}  // namespace

BENCHMARK_MAIN();
