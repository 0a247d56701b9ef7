#include "platform/timer.h"

#include <cmath>

#include "platform/app.h"

TDXTimer::TDXTimer() { plat::Application.AddTimer(this); }
TDXTimer::~TDXTimer() { plat::Application.RemoveTimer(this); }

void TDXTimer::Idle(uint32_t now, bool active) {
  if (!CanTick(active)) {
    primed_ = false;
    return;
  }
  if (!primed_) {
    primed_ = true;
    last_ = measureStart_ = now;
    count_ = 0;
    return;
  }
  if (now - last_ < uint32_t(Interval)) return;
  Tick(now);
}

int TDXTimer::DueIn(uint32_t now, bool active) const {
  if (!CanTick(active) || running_) return -1;
  if (!primed_) return 0;
  const uint32_t passed = now - last_;
  return passed >= uint32_t(Interval) ? 0 : int(uint32_t(Interval) - passed);
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
  last_ = now;
  ++TicksBegun;
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  if (OnTimer) OnTimer();
}
