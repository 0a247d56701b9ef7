#include "platform/core/layout.h"

#include <algorithm>
#include <cmath>

namespace plat {
namespace {

constexpr int kW = 640;
constexpr int kH = 480;

}  // namespace

PictureRect FitPicture(int outputWidth, int outputHeight) {
  if (outputWidth <= 0 || outputHeight <= 0) return {};
  const double s = std::min(double(outputWidth) / kW, double(outputHeight) / kH);
  const int w = int(kW * s + 0.5), h = int(kH * s + 0.5);
  return {(outputWidth - w) / 2, (outputHeight - h) / 2, w, h};
}

void WindowToDisplay(const WindowGeometry& g, double wx, double wy, int& x, int& y) {
  const PictureRect p = FitPicture(g.outputWidth, g.outputHeight);
  // A whole unit counts by its centre, in output pixels: the picture shows
  // there what the scaler samples at the centres of its pixels.
  const auto point = [](double v) { return v == std::floor(v) ? v + 0.5 : v; };
  const double px = point(wx) * g.outputWidth / std::max(1, g.windowWidth);
  const double py = point(wy) * g.outputHeight / std::max(1, g.windowHeight);
  x = std::clamp(int((px - p.x) * kW / std::max(1, p.w)), 0, kW - 1);
  y = std::clamp(int((py - p.y) * kH / std::max(1, p.h)), 0, kH - 1);
  if (px < p.x) x = 0;
  if (py < p.y) y = 0;
}

void DisplayToWindow(const WindowGeometry& g, int x, int y, int& wx, int& wy) {
  const PictureRect p = FitPicture(g.outputWidth, g.outputHeight);
  const double px = p.x + (x + 0.5) * p.w / kW;
  const double py = p.y + (y + 0.5) * p.h / kH;
  wx = int(px * g.windowWidth / std::max(1, g.outputWidth));
  wy = int(py * g.windowHeight / std::max(1, g.outputHeight));
}

PictureRect PictureInWindow(const WindowGeometry& g) {
  const PictureRect p = FitPicture(g.outputWidth, g.outputHeight);
  const int ow = std::max(1, g.outputWidth), oh = std::max(1, g.outputHeight);
  return {p.x * g.windowWidth / ow, p.y * g.windowHeight / oh, p.w * g.windowWidth / ow, p.h * g.windowHeight / oh};
}

std::vector<Output> OutputOrder(bool rendererNamed, bool graphicsDeviceLikely) {
  if (rendererNamed || graphicsDeviceLikely) return {Output::GpuRenderer, Output::WindowPixels, Output::AnyRenderer};
  return {Output::WindowPixels, Output::AnyRenderer};
}

bool PresentSlowerThanRefresh(double tookMs, int refreshHz) {
  constexpr double kMarginMs = 2.5;
  return refreshHz > 0 && tookMs > 1000.0 / refreshHz + kMarginMs;
}

}  // namespace plat
