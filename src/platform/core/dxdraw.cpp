#include "platform/core/dxdraw.h"

#include <algorithm>
#include <cstring>

#include "platform/core/app.h"

namespace {

TGammaRamp IdentityRamp() {
  TGammaRamp r;
  for (int i = 0; i < 256; ++i) r.red[i] = r.green[i] = r.blue[i] = uint16_t(i * 257);
  return r;
}

}  // namespace

TDXDraw::TDXDraw() : front_(size_t(kWidth) * kHeight, 0), shown_(size_t(kWidth) * kHeight, 0), ramp_(IdentityRamp()) {
  Surface.SetSize(kWidth, kHeight);
  BuildTables();
  presentedTables_ = tables_;  // the full picture is what is shown at first
}

void TDXDraw::Initialize() {
  if (Initialized) return;
  Initialized = true;
  Application.Host().ShowWindow();
  PresentFront();
  if (OnInitialize) OnInitialize();
}

void TDXDraw::Finalize() {
  if (!Initialized) return;
  Initialized = false;
  if (OnFinalize) OnFinalize();
}

void TDXDraw::Flip() {
  ++FlipCount;
  if (!TSurface::PixelsDrawn) return;
  // Nothing drawn since the last flip: the front picture is the back surface's already.
  if (!Surface.HandedOver()) Surface.HandOver(front_);
  PresentFront();
}

void TDXDraw::PresentFront() {
  if (!Application.HasHost()) return;
  if (identity_) {
    Application.Present(front_.data());
  } else {
    ApplyGamma(front_.data(), shown_.data());
    Application.Present(shown_.data());
  }
}

void TDXDraw::BuildTables() {
  identity_ = true;
  for (int i = 0; i < 256; ++i)
    if (ramp_.red[i] != i * 257 || ramp_.green[i] != i * 257 || ramp_.blue[i] != i * 257) identity_ = false;
  for (int r = 0; r < 32; ++r) tables_[kRed + r] = uint16_t((ramp_.red[(r << 3) | (r >> 2)] >> 11) << 11);
  for (int g = 0; g < 64; ++g) tables_[kGreen + g] = uint16_t((ramp_.green[(g << 2) | (g >> 4)] >> 10) << 5);
  for (int b = 0; b < 32; ++b) tables_[kBlue + b] = uint16_t(ramp_.blue[(b << 3) | (b >> 2)] >> 11);
}

void TDXDraw::ApplyGamma(const uint16_t* in, uint16_t* out) const {
  // A local copy: the output could otherwise alias the tables and force reloads.
  const Tables t = tables_;
  const size_t n = size_t(kWidth) * kHeight;
  for (size_t i = 0; i < n; ++i) {
    const uint16_t p = in[i];
    out[i] = uint16_t(t[kRed + (p >> 11)] | t[kGreen + ((p >> 5) & 63)] | t[kBlue + (p & 31)]);
  }
}

bool TDXDraw::GetGammaRamp(TGammaRamp& ramp) const {
  ramp = ramp_;
  return true;
}

void TDXDraw::SetGammaRamp(const TGammaRamp& ramp) {
  plat::Backend& host = Application.Host();
  host.PaceGammaStep();
  ramp_ = ramp;
  BuildTables();
  // A fade sets tens of thousands of ramps: show one when the picture changes
  // and the display is ready for it, and always the black and the full picture.
  if (tables_ == presentedTables_) return;
  const bool black = std::all_of(tables_.begin(), tables_.end(), [](uint16_t v) { return v == 0; });
  if (black || identity_ || host.PaceGammaPresent()) {
    presentedTables_ = tables_;
    PresentFront();
  }
}

void TDXDraw::VisiblePicture(std::vector<uint16_t>& out) const {
  out.resize(front_.size());
  if (identity_)
    std::memcpy(out.data(), front_.data(), front_.size() * sizeof(uint16_t));
  else
    ApplyGamma(front_.data(), out.data());
}
