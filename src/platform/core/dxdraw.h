// The full-screen display: a 640 x 480 back surface that Flip shows all at once,
// and a gamma ramp that acts on the shown picture only (never on the system's
// display, so the game can never leave a user's screen dark).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/core/surface.h"

struct TGammaRamp {
  uint16_t red[256];
  uint16_t green[256];
  uint16_t blue[256];
};

class TDXDraw {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  TDXDraw();

  TSurface Surface;  // the back surface
  std::function<void()> OnInitialize;  // display start
  std::function<void()> OnFinalize;    // display end
  bool Initialized = false;
  uint64_t FlipCount = 0;

  // Shows the window and runs display start.
  void Initialize();
  // Runs display end, once, if the display was started.
  void Finalize();

  // Shows the whole back surface; the back surface keeps its content.
  void Flip();

  // The gamma control is always offered; the ramp acts on the shown picture.
  bool GetGammaRamp(TGammaRamp& ramp) const;
  void SetGammaRamp(const TGammaRamp& ramp);

  // The picture that is visible now (the last flip with the gamma applied).
  void VisiblePicture(std::vector<uint16_t>& out) const;
  // Applies the current ramp to 640 x 480 display pixels.
  void ApplyGamma(const uint16_t* in, uint16_t* out) const;

 private:
  void PresentFront();
  void BuildTables();

  std::vector<uint16_t> front_;
  std::vector<uint16_t> shown_;
  TGammaRamp ramp_{};
  bool identity_ = true;
  // Each channel's value to its display bits after the ramp: red, green, blue.
  static constexpr int kRed = 0, kGreen = 32, kBlue = 96;
  using Tables = std::array<uint16_t, 128>;
  Tables tables_{};
  Tables presentedTables_{};
};
