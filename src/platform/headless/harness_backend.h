// The headless backend of kelo-harness: an off-screen display, a virtual
// millisecond clock that moves only when the script says so, silent sound and
// music, and message boxes answered from the script. Everything a person would
// hear or see outside the picture is recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/app.h"
#include "platform/core/audio.h"

namespace plat {

class HarnessBackend final : public Backend {
 public:
  explicit HarnessBackend(uint32_t seed);
  ~HarnessBackend() override;

  uint32_t clockMs = 0;
  std::deque<Event> pending;            // queued by the script, delivered by the loop
  std::deque<std::string> answers;      // "yes", "no", "ok"
  struct Record_ {
    uint64_t tick;
    Sighting what;
  };
  std::vector<Record_> records;
  std::function<uint64_t()> currentTick;  // ticks begun, to stamp records
  std::function<void(const MessageBoxContent&)> onBox;  // told of every box before it is answered
  int pointerX = 0, pointerY = 0;

  // Queues a move of the mouse (the system pointer moves with it).
  void QueueMove(int x, int y);
  // Queues a move to (x, y) and a press of a button (0 left, 1 right, 2 middle) there.
  void QueuePress(int x, int y, int button = 0);
  void QueueKey(int virtualKey);
  void QueueText(const std::string& utf8);

  uint32_t Milliseconds() override { return clockMs; }
  uint32_t RandomizeSeed() override;
  void Poll(std::deque<Event>& queue) override;
  void Wait(int) override {}
  void ShowWindow() override {}
  void Present(const uint16_t*, bool) override {}
  void ShowPointer(bool) override {}
  void SetCursorPos(int x, int y) override;
  void Sleep(uint32_t) override {}
  void PaceGammaStep() override {}
  bool PaceGammaPresent() override { return false; }
  std::optional<int> ScriptedAnswer(const MessageBoxContent& box) override;
  void Record(const Sighting& s) override;
  AudioDevice* Audio() override { return &audio_; }

 private:
  uint32_t seed_;
  SilentAudio audio_{[this] { return clockMs; }};
};

// Writes 640 x 480 display pixels as a PNG file; throws on failure.
void SavePng(const std::vector<uint16_t>& pixels, int width, int height, const std::string& path);
// Reads such a file back into display pixels; throws on failure.
std::vector<uint16_t> LoadPng(const std::string& path, int& width, int& height);

}  // namespace plat
