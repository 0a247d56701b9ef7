#include "platform/headless/harness_backend.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "platform/core/files.h"
#include "platform/core/font.h"
#include "platform/headless/png.h"

namespace plat {

HarnessBackend::HarnessBackend(uint32_t seed) : seed_(seed) {}

HarnessBackend::~HarnessBackend() { CloseFonts(); }

void HarnessBackend::QueueMove(int x, int y) {
  Event e;
  e.kind = EventKind::MouseMove;
  e.x = std::clamp(x, 0, 639);
  e.y = std::clamp(y, 0, 479);
  pointerX = e.x;
  pointerY = e.y;
  pending.push_back(e);
}

void HarnessBackend::QueuePress(int x, int y, int button) {
  QueueMove(x, y);
  Event e;
  e.kind = EventKind::MouseDown;
  e.x = pointerX;
  e.y = pointerY;
  e.button = button;
  pending.push_back(e);
}

void HarnessBackend::QueueKey(int virtualKey) {
  Event e;
  e.kind = EventKind::KeyDown;
  e.key = virtualKey;
  pending.push_back(e);
}

void HarnessBackend::QueueText(const std::string& utf8) {
  Event e;
  e.kind = EventKind::Text;
  e.text = utf8;
  pending.push_back(e);
}

uint32_t HarnessBackend::RandomizeSeed() {
  // The virtual clock and the run's seed, mixed (splitmix).
  uint64_t z = (uint64_t(seed_) << 32 | clockMs) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return uint32_t(z ^ (z >> 31));
}

void HarnessBackend::Poll(std::deque<Event>& queue) {
  while (!pending.empty()) {
    queue.push_back(pending.front());
    pending.pop_front();
  }
}

void HarnessBackend::SetCursorPos(int x, int y) {
  // Moving the pointer makes the window system report a mouse move.
  QueueMove(x, y);
}

std::optional<int> HarnessBackend::ScriptedAnswer(const MessageBoxContent& box) {
  if (onBox) onBox(box);
  int answer = box.cancelButton;
  if (!answers.empty()) {
    const std::string wanted = answers.front();
    answers.pop_front();
    for (size_t i = 0; i < box.buttons.size(); ++i) {
      std::string label;
      for (char c : box.buttons[i])
        if (c != '&') label += char(std::tolower(static_cast<unsigned char>(c)));
      if ((wanted == "yes" && (label == "ja" || label == "yes")) || (wanted == "no" && (label == "nein" || label == "no")) ||
          (wanted == "ok" && label == "ok"))
        answer = int(i);
    }
  }
  return answer;
}

void HarnessBackend::Record(const Sighting& s) { records.push_back({currentTick ? currentTick() : 0, s}); }

// Each channel of a display pixel widened to 8 bits as the screenshots have
// always been written: scaled to 255 and cut, v * 255 / 31 (or / 63 for green).
void SavePng(const std::vector<uint16_t>& pixels, int width, int height, const std::string& path) {
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t(width) * size_t(height) * 3);
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    const unsigned p = pixels[i];
    rgb.push_back(uint8_t((p >> 11) * 255 / 31));
    rgb.push_back(uint8_t(((p >> 5) & 63) * 255 / 63));
    rgb.push_back(uint8_t((p & 31) * 255 / 31));
  }
  WritePngFile(path, width, height, 3, rgb.data());
}

// Each 8-bit channel back to its 5 or 6 bits, rounded: the inverse of the widening above.
std::vector<uint16_t> LoadPng(const std::string& path, int& width, int& height) {
  int channels = 0;
  const std::vector<uint8_t> rgb = DecodePng(ReadWholeFile(path), width, height, channels);
  std::vector<uint16_t> pixels(size_t(width) * size_t(height));
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* p = rgb.data() + i * size_t(channels);
    pixels[i] = uint16_t((p[0] * 31 + 127) / 255 << 11 | (p[1] * 63 + 127) / 255 << 5 | (p[2] * 31 + 127) / 255);
  }
  return pixels;
}

}  // namespace plat
