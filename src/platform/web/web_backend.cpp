// The game in a browser page: the display drawn into the page's canvas in
// device pixels, input from the page, the idle wait handing the browser its
// turn, and the sound of web_audio.cpp.
#include <emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/cp1252.h"
#include "platform/core/font.h"
#include "platform/core/imagelist.h"
#include "platform/core/keys.h"
#include "platform/core/layout.h"
#include "platform/core/scaler.h"
#include "platform/web/backends.h"
#include "platform/web/page.h"
#include "platform/web/web_audio.h"

namespace plat {
namespace {

constexpr int kW = 640;
constexpr int kH = 480;

// The page's kinds of event (page.js).
enum PageEvent { kMove = 1, kPress = 2, kKey = 3, kText = 4, kFocus = 5, kBlur = 6, kResize = 7 };

// The virtual key of a key the page names as the browser does (KeyboardEvent.key).
int VirtualKey(const std::string& name) {
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
    if (c >= 'A' && c <= 'Z') return c;
    if (c >= '0' && c <= '9') return c;
    if (c == ' ') return VK_SPACE;
    return 0;
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
    const int n = std::atoi(name.c_str() + 1);
    if (n >= 1 && n <= 12) return VK_F1 + n - 1;
  }
  static const struct {
    const char* name;
    int key;
  } kNamed[] = {{"Enter", VK_RETURN},   {"Escape", VK_ESCAPE}, {"Backspace", VK_BACK},  {"Tab", VK_TAB},
                {"Delete", VK_DELETE},  {"ArrowLeft", VK_LEFT}, {"ArrowRight", VK_RIGHT}, {"ArrowUp", VK_UP},
                {"ArrowDown", VK_DOWN}, {"Home", VK_HOME},     {"End", VK_END}};
  for (const auto& k : kNamed)
    if (name == k.name) return k.key;
  return 0;
}

uint32_t Mix64(uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return uint32_t(z ^ (z >> 31));
}

class WebBackend final : public Backend {
 public:
  WebBackend(std::optional<uint32_t> seed, std::function<PageStatus()> status)
      : seed_(seed), status_(std::move(status)), audio_(OpenWebAudio([this] { return Milliseconds(); })) {}

  ~WebBackend() override { CloseFonts(); }

  AudioDevice* Audio() override { return audio_.get(); }

  uint32_t Milliseconds() override { return uint32_t(uint64_t(emscripten_get_now())); }

  uint32_t RandomizeSeed() override {
    if (seed_) return Mix64(uint64_t(*seed_) << 32 | reseeds_++);
    return kelo_page_random();
  }

  void Poll(std::deque<Event>& queue) override {
    audio_->Update();
    Publish();
    while (!moves_.empty()) {
      queue.push_back(moves_.front());
      moves_.pop_front();
    }
    int f[5];
    char text[128];
    while (const int kind = kelo_page_next_event(f, text, int(sizeof text))) {
      Event ev;
      switch (kind) {
        case kMove:
        case kPress: {
          ev.kind = kind == kMove ? EventKind::MouseMove : EventKind::MouseDown;
          ev.button = f[1];
          WindowToDisplay(CanvasPixels(), f[3] / 256.0, f[4] / 256.0, ev.x, ev.y);
          queue.push_back(ev);
          break;
        }
        case kKey:
          ev.kind = EventKind::KeyDown;
          ev.key = VirtualKey(text);
          ev.repeat = f[2] != 0;
          if (ev.key) queue.push_back(ev);
          break;
        case kText:
          ev.kind = EventKind::Text;
          ev.text = text;
          queue.push_back(ev);
          break;
        case kFocus:
        case kBlur:
          ev.kind = kind == kFocus ? EventKind::Activate : EventKind::Deactivate;
          queue.push_back(ev);
          break;
        case kResize:
          Draw(last_);
          break;
        default:
          break;
      }
    }
  }

  void Wait(int timeoutMs) override {
    Publish();
    if (!moves_.empty()) return;
    kelo_page_wait(timeoutMs);
  }

  void ShowWindow() override {}

  void Present(const uint16_t* pixels, bool mayWait) override {
    // Pictures drawn back to back (the 18 of a menu fade) are shown one after
    // another at about 60 a second: the page shows a picture only once the
    // program has handed the browser its turn.
    const double due = lastPresent_ + 1000.0 / 60;
    const double now = emscripten_get_now();
    if (mayWait && now < due) emscripten_sleep(unsigned(due - now + 0.5));
    lastPresent_ = emscripten_get_now();
    last_ = pixels;
    Draw(pixels);
  }

  void ShowPointer(bool visible) override { kelo_page_pointer(visible ? 1 : 0); }

  // A page cannot move the system pointer: the game is told of the move all
  // the same, as a window system would tell it.
  void SetCursorPos(int x, int y) override {
    Event ev;
    ev.kind = EventKind::MouseMove;
    ev.x = x;
    ev.y = y;
    moves_.push_back(ev);
  }

  void Sleep(uint32_t ms) override { emscripten_sleep(ms); }

  void PaceGammaStep() override {
    // A fade of 32768 steps takes about a second, as on the desktop.
    const double now = emscripten_get_now();
    if (now - lastGammaStep_ > 100) gammaSchedule_ = now;  // a new fade
    lastGammaStep_ = now;
    gammaSchedule_ += 1000.0 / 32768;
    if (gammaSchedule_ > now + 2) emscripten_sleep(unsigned(gammaSchedule_ - now));
  }

  bool PaceGammaPresent() override {
    const uint32_t now = Milliseconds();
    if (now - lastGammaPresent_ < 15) return false;
    lastGammaPresent_ = now;
    return true;
  }

 private:
  WindowGeometry Geometry() {
    int size[4];
    kelo_page_size(size);
    WindowGeometry g;
    g.windowWidth = size[0];
    g.windowHeight = size[1];
    g.outputWidth = size[2];
    g.outputHeight = size[3];
    return g;
  }

  // The page gives pointer positions in the canvas's own pixels: a whole
  // number is a device pixel, a fraction a point between them.
  WindowGeometry CanvasPixels() {
    WindowGeometry g = Geometry();
    g.windowWidth = g.outputWidth;
    g.windowHeight = g.outputHeight;
    return g;
  }

  // The picture in device pixels: through the graphics processor where the
  // page has one; else at a whole multiple converted once and enlarged by the
  // page by the nearest pixel, at any other size through our own sharp scaler.
  void Draw(const uint16_t* pixels) {
    const WindowGeometry g = Geometry();
    const PictureRect p = FitPicture(g.outputWidth, g.outputHeight);
    if (p.Empty()) return;
    if (pixels && kelo_page_show(pixels, kW, kH, p.x, p.y, p.w, p.h)) return;
    const int k = p.w / kW;
    const bool whole = k >= 1 && p.w == kW * k && p.h == kH * k;
    const int w = whole ? kW : p.w, h = whole ? kH : p.h;
    pixels_.resize(size_t(w) * size_t(h));
    if (pixels) {
      scaler_.Configure(w, h, PixelOrder::Xbgr);  // RGBA bytes
      scaler_.Scale(pixels, pixels_.data(), w * 4);
    } else {
      std::fill(pixels_.begin(), pixels_.end(), 0xFF000000u);
    }
    kelo_page_present(pixels_.data(), w, h, p.x, p.y, p.w, p.h);
  }

  void Publish() {
    if (!status_) return;
    PageStatus s = status_();
    if (s.state == published_.state && s.fps == published_.fps && s.ticks == published_.ticks && s.text == published_.text)
      return;
    kelo_page_status(s.state.c_str(), s.fps, double(s.ticks), Cp1252ToUtf8(s.text).c_str());
    published_ = std::move(s);
  }

  std::optional<uint32_t> seed_;
  uint32_t reseeds_ = 0;
  std::function<PageStatus()> status_;
  PageStatus published_;
  std::unique_ptr<WebAudio> audio_;
  std::deque<Event> moves_;
  PictureScaler scaler_;
  std::vector<uint32_t> pixels_;
  const uint16_t* last_ = nullptr;
  double lastPresent_ = 0;
  double gammaSchedule_ = 0, lastGammaStep_ = 0;
  uint32_t lastGammaPresent_ = 0;
};

}  // namespace

bool OpenPageStorage(const char* busy) { return kelo_page_mount(kPageFolder, busy) == 0; }

void OpenPassingFolder() { mkdir(kPageFolder, 0777); }

std::vector<unsigned char> LaterPictures() {
  int size = 0;
  unsigned char* bytes = kelo_page_pictures(&size);
  if (!bytes) throw std::runtime_error("the page could not fetch the later pictures");
  std::vector<unsigned char> out(bytes, bytes + size);
  std::free(bytes);
  return out;
}

std::unique_ptr<Backend> CreateWebBackend(std::optional<uint32_t> seed, std::function<PageStatus()> status) {
  return std::make_unique<WebBackend>(seed, std::move(status));
}

void ShowStartupFailure(const char* title, const char* text) {
  kelo_page_end(1, (std::string(title) + ": " + text).c_str());
}

void EndPage(int exitCode) { kelo_page_end(exitCode, ""); }

}  // namespace plat
