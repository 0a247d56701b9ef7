// A backend whose millisecond clock moves only when the message loop waits or
// shows a picture, by exactly as long as that would take: the real loop runs
// on it in no time, and every run is the same.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <stdexcept>
#include <vector>

#include "platform/core/app.h"
#include "platform/core/audio.h"

class DrivenBackend final : public plat::Backend {
 public:
  uint32_t clockMs = 0;
  uint32_t presentMs = 0;  // how long showing one picture takes

  struct Shown {
    uint32_t atMs;
    uint16_t firstPixel;
    bool mayWait;
  };
  std::vector<Shown> shown;
  std::vector<int> waits;  // the timeouts the loop waited with
  std::vector<plat::Sighting> sightings;

  // An event that arrives once the clock has reached `ms`.
  void At(uint32_t ms, plat::Event e) { script_.emplace(ms, std::move(e)); }
  void KeyAt(uint32_t ms, int key) {
    plat::Event e;
    e.kind = plat::EventKind::KeyDown;
    e.key = key;
    At(ms, e);
  }
  void PressAt(uint32_t ms, int x, int y, int button = 0) {
    plat::Event e;
    e.kind = plat::EventKind::MouseDown;
    e.x = x;
    e.y = y;
    e.button = button;
    At(ms, e);
  }
  void KindAt(uint32_t ms, plat::EventKind kind) {
    plat::Event e;
    e.kind = kind;
    At(ms, e);
  }

  uint32_t Milliseconds() override { return clockMs; }
  uint32_t RandomizeSeed() override { return 0; }
  void Poll(std::deque<plat::Event>& queue) override {
    while (!script_.empty() && script_.begin()->first <= clockMs) {
      queue.push_back(script_.begin()->second);
      script_.erase(script_.begin());
    }
  }
  void Wait(int timeoutMs) override {
    waits.push_back(timeoutMs);
    uint32_t until = timeoutMs < 0 ? std::numeric_limits<uint32_t>::max() : clockMs + uint32_t(timeoutMs);
    if (!script_.empty()) until = std::min(until, std::max(clockMs, script_.begin()->first));
    if (until == std::numeric_limits<uint32_t>::max()) throw std::logic_error("waiting for ever, nothing to come");
    clockMs = until;
  }
  void ShowWindow() override {}
  void Present(const uint16_t* pixels, bool mayWait) override {
    shown.push_back({clockMs, pixels ? pixels[0] : uint16_t(0), mayWait});
    clockMs += presentMs;
  }
  void ShowPointer(bool) override {}
  void SetCursorPos(int, int) override {}
  void Sleep(uint32_t ms) override { clockMs += ms; }
  void PaceGammaStep() override {}
  bool PaceGammaPresent() override { return true; }
  void Record(const plat::Sighting& s) override { sightings.push_back(s); }
  plat::AudioDevice* Audio() override { return &audio_; }  // silent, on this clock

 private:
  std::multimap<uint32_t, plat::Event> script_;
  plat::SilentAudio audio_{[this] { return clockMs; }};
};
