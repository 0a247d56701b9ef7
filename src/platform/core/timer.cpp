#include "platform/core/timer.h"

#include <cmath>

#include "platform/core/app.h"

TDXTimer::TDXTimer() { plat::Application.AddTimer(this); }
TDXTimer::~TDXTimer() { plat::Application.RemoveTimer(this); }

void TDXTimer::Idle(uint32_t now, bool active) {
  if (!CanTick(active)) {
    primed_ = false;
    return;
  }
  if (!primed_) {
    primed_ = true;
    due_ = now + uint32_t(Interval);
    measureStart_ = now;
    count_ = 0;
    return;
  }
  if (int32_t(now - due_) < 0 || running_) return;
  // Ticks keep to their grid, so a late tick never delays the ones after it;
  // only when the game has fallen far behind does a fresh grid start here. The
  // rate is measured on the grid too: what a late tick catches up is no loss.
  const uint32_t at = now - due_ > kMaxLagMs ? now : due_;
  due_ = at + uint32_t(Interval);
  Tick(at);
}

int TDXTimer::DueIn(uint32_t now, bool active) const {
  if (!CanTick(active) || running_) return -1;
  if (!primed_) return 0;
  const int32_t left = int32_t(due_ - now);
  return left <= 0 ? 0 : int(left);
}

bool TDXTimer::Step(uint32_t now, bool active) {
  if (!CanTick(active)) {
    primed_ = false;
    return false;
  }
  if (!primed_) {
    primed_ = true;
    measureStart_ = now - uint32_t(Interval);
    count_ = 0;
  }
  if (!running_) due_ = now + uint32_t(Interval);
  Tick(now);
  return true;
}

void TDXTimer::Tick(uint32_t now) {
  if (running_) return;
  ++count_;
  const uint32_t elapsed = now - measureStart_;
  if (elapsed >= 1000) {
    FrameRate = int(std::lrint(double(count_) * 1000.0 / double(elapsed)));
    count_ = 0;
    measureStart_ = now;
  }
  ++TicksBegun;
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  if (OnTimer) OnTimer();
}
