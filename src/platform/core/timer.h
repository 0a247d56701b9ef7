// The frame timer: ticks from the message loop's idle processing, on a grid of
// one tick every Interval ms, never re-entered, and (with ActiveOnly) only
// while the game is the active application.
#pragma once

#include <cstdint>
#include <functional>

class TDXTimer {
 public:
  TDXTimer();
  ~TDXTimer();
  TDXTimer(const TDXTimer&) = delete;
  TDXTimer& operator=(const TDXTimer&) = delete;

  // Fallen further behind the grid than this (a stopped process, a very slow
  // tick), the timer starts a fresh grid instead of catching up.
  static constexpr uint32_t kMaxLagMs = 100;

  int Interval = 20;
  bool ActiveOnly = true;
  bool Enabled = false;
  int FrameRate = 0;  // ticks per second of their grid, measured about once a second
  std::function<void()> OnTimer;
  uint64_t TicksBegun = 0;

  // One idle pass at `now` (ms).
  void Idle(uint32_t now, bool active);
  // Milliseconds until the next tick is due; -1 when the timer cannot tick.
  int DueIn(uint32_t now, bool active) const;
  // The headless driver's tick: ticks at `now` if the timer may tick at all.
  bool Step(uint32_t now, bool active);

  // A tick is running now.
  bool Ticking() const { return running_; }
  // The next tick is due already at `now`: the game is late.
  bool Behind(uint32_t now) const { return Enabled && primed_ && int32_t(now - due_) >= 0; }

 private:
  bool CanTick(bool active) const { return Enabled && !(ActiveOnly && !active); }
  void Tick(uint32_t now);

  bool running_ = false;
  bool primed_ = false;  // clock readings taken since the timer last could not tick
  uint32_t due_ = 0;     // when the next tick is due
  uint32_t measureStart_ = 0;
  int count_ = 0;
};
