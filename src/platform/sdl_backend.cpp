// The desktop window on SDL2: the display scaled sharply to the whole screen,
// mouse and keyboard in display pixels, and the idle wait of the message loop.
#include <SDL.h>
#include <SDL_image.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/audio.h"
#include "platform/backends.h"
#include "platform/font.h"
#include "platform/keys.h"

namespace plat {
namespace {

constexpr int kW = 640;
constexpr int kH = 480;

int VirtualKey(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
  switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    default: return 0;
  }
}

class SdlBackend final : public Backend {
 public:
  SdlBackend(const char* title, bool windowed) {
    // Signals keep their usual meaning: only the window's close button asks to close.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0)
      throw std::runtime_error(std::string("SDL_Init: ") + SDL_GetError());
    const Uint32 screen = windowed ? 0u : Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP);
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kW, kH,
                               SDL_WINDOW_HIDDEN | screen | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) throw std::runtime_error(std::string("SDL_CreateWindow: ") + SDL_GetError());
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) throw std::runtime_error(std::string("SDL_CreateRenderer: ") + SDL_GetError());
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer_, &info) == 0) software_ = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
    frame_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    if (!frame_) throw std::runtime_error(std::string("SDL_CreateTexture: ") + SDL_GetError());
    SDL_SetTextureScaleMode(frame_, SDL_ScaleModeNearest);
    SDL_ShowCursor(SDL_DISABLE);
    // Without an output device the game runs on in silence.
    audio_ = OpenSdlAudio();
  }

  ~SdlBackend() override {
    audio_.reset();
    ShutdownDrawing();
    IMG_Quit();
    if (sharp_) SDL_DestroyTexture(sharp_);
    if (frame_) SDL_DestroyTexture(frame_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  AudioDevice* Audio() override { return audio_.get(); }

  uint32_t Milliseconds() override { return SDL_GetTicks(); }
  uint32_t RandomizeSeed() override { return uint32_t(SDL_GetPerformanceCounter()); }

  void Poll(std::deque<Event>& queue) override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) Translate(e, queue);
  }

  void Wait(int timeoutMs) override {
    if (timeoutMs < 0) {
      SDL_WaitEvent(nullptr);
      return;
    }
    // Sleep in the event wait for most of the time, then finish in short naps,
    // so that a tick comes on its millisecond without spinning.
    const uint32_t until = SDL_GetTicks() + uint32_t(timeoutMs);
    if (timeoutMs >= 2 && SDL_WaitEventTimeout(nullptr, timeoutMs - 1)) return;
    while (int32_t(until - SDL_GetTicks()) > 0) {
      SDL_PumpEvents();
      if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
      const timespec nap{0, 250000};
      nanosleep(&nap, nullptr);
    }
  }

  void ShowWindow() override {
    if (shown_) return;
    shown_ = true;
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    UpdateMouseRect();
  }

  void Present(const uint16_t* pixels) override {
    // A display shows at most about 60 pictures a second: pictures drawn back
    // to back (the 18 of a menu fade) are shown one after another, not all in
    // one flash. Ticks come every 20 ms and never wait here.
    const uint64_t freq = SDL_GetPerformanceFrequency();
    const uint64_t due = lastPresent_ + freq / 60;
    const uint64_t now = SDL_GetPerformanceCounter();
    if (now < due) SDL_Delay(uint32_t((due - now) * 1000 / freq));
    lastPresent_ = SDL_GetPerformanceCounter();
    last_ = pixels;
    if (pixels) SDL_UpdateTexture(frame_, nullptr, pixels, kW * int(sizeof(uint16_t)));
    int ow = 0, oh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    Layout(ow, oh);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (pixels) {
      // Whole-number nearest-neighbour scaling first, then smooth to the size.
      const int k = std::max(1, std::min(ow / kW, oh / kH));
      // Without a graphics processor the smooth pass costs too much: nearest only.
      if (software_) {
        SDL_RenderCopy(renderer_, frame_, nullptr, &picture_);
      } else if (k > 1 && EnsureSharp(k)) {
        SDL_SetRenderTarget(renderer_, sharp_);
        SDL_RenderCopy(renderer_, frame_, nullptr, nullptr);
        SDL_SetRenderTarget(renderer_, nullptr);
        SDL_RenderCopy(renderer_, sharp_, nullptr, &picture_);
      } else {
        SDL_SetTextureScaleMode(frame_, k > 1 ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
        SDL_RenderCopy(renderer_, frame_, nullptr, &picture_);
        SDL_SetTextureScaleMode(frame_, SDL_ScaleModeNearest);
      }
    }
    SDL_RenderPresent(renderer_);
  }

  void ShowPointer(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

  void SetCursorPos(int x, int y) override {
    int ow = 0, oh = 0, ww = 0, wh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    SDL_GetWindowSize(window_, &ww, &wh);
    Layout(ow, oh);
    const double px = picture_.x + (x + 0.5) * picture_.w / kW;
    const double py = picture_.y + (y + 0.5) * picture_.h / kH;
    SDL_WarpMouseInWindow(window_, int(px * ww / std::max(1, ow)), int(py * wh / std::max(1, oh)));
  }

  void Sleep(uint32_t ms) override { SDL_Delay(ms); }

  void PaceGammaStep() override {
    // A fade of 32768 steps takes about a second on any machine: step k is due
    // k / 32768 s after the fade began; a machine that falls behind (slow
    // presents) catches up by not waiting until it is on time again.
    const uint64_t freq = SDL_GetPerformanceFrequency();
    const uint64_t now = SDL_GetPerformanceCounter();
    if (now - lastGammaStep_ > freq / 10) gammaSchedule_ = now;  // a new fade
    lastGammaStep_ = now;
    gammaSchedule_ += freq / 32768;
    if (gammaSchedule_ > now + freq / 500) SDL_Delay(uint32_t((gammaSchedule_ - now) * 1000 / freq));
  }

  bool PaceGammaPresent() override {
    const uint32_t now = SDL_GetTicks();
    if (now - lastGammaPresent_ < 15) return false;
    lastGammaPresent_ = now;
    return true;
  }

 private:
  void Layout(int ow, int oh) {
    const double s = std::min(double(ow) / kW, double(oh) / kH);
    const int w = int(kW * s + 0.5), h = int(kH * s + 0.5);
    picture_ = SDL_Rect{(ow - w) / 2, (oh - h) / 2, w, h};
  }

  bool EnsureSharp(int k) {
    if (sharp_ && sharpScale_ == k) return true;
    if (sharp_) SDL_DestroyTexture(sharp_);
    sharp_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, kW * k, kH * k);
    sharpScale_ = sharp_ ? k : 0;
    if (sharp_) SDL_SetTextureScaleMode(sharp_, SDL_ScaleModeLinear);
    return sharp_ != nullptr;
  }

  // Keeps the pointer on the picture while the game fills the screen.
  void UpdateMouseRect() {
    if (!shown_) return;
    if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN)) {
      SDL_SetWindowMouseRect(window_, nullptr);
      return;
    }
    int ow = 0, oh = 0, ww = 0, wh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    SDL_GetWindowSize(window_, &ww, &wh);
    Layout(ow, oh);
    SDL_Rect r{picture_.x * ww / std::max(1, ow), picture_.y * wh / std::max(1, oh), picture_.w * ww / std::max(1, ow),
               picture_.h * wh / std::max(1, oh)};
    SDL_SetWindowMouseRect(window_, &r);
  }

  void ToggleFullScreen() {
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) {
      SDL_SetWindowFullscreen(window_, 0);
      SDL_Rect usable{0, 0, kW, kH};
      SDL_GetDisplayUsableBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &usable);
      int top = 0, left = 0, bottom = 0, right = 0;
      SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right);
      const int k = std::max(1, std::min((usable.w - left - right) / kW, (usable.h - top - bottom) / kH));
      SDL_SetWindowSize(window_, kW * k, kH * k);
      SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    } else {
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    UpdateMouseRect();
    Present(last_);
  }

  void ToDisplay(int wx, int wy, int& x, int& y) {
    int ow = 0, oh = 0, ww = 0, wh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    SDL_GetWindowSize(window_, &ww, &wh);
    Layout(ow, oh);
    const double px = double(wx) * ow / std::max(1, ww), py = double(wy) * oh / std::max(1, wh);
    x = std::clamp(int((px - picture_.x) * kW / std::max(1, picture_.w)), 0, kW - 1);
    y = std::clamp(int((py - picture_.y) * kH / std::max(1, picture_.h)), 0, kH - 1);
    if (px < picture_.x) x = 0;
    if (py < picture_.y) y = 0;
  }

  void Translate(const SDL_Event& e, std::deque<Event>& queue) {
    Event ev;
    switch (e.type) {
      case SDL_MOUSEMOTION:
        ev.kind = EventKind::MouseMove;
        ToDisplay(e.motion.x, e.motion.y, ev.x, ev.y);
        queue.push_back(ev);
        break;
      case SDL_MOUSEBUTTONDOWN:
        ev.kind = EventKind::MouseDown;
        ToDisplay(e.button.x, e.button.y, ev.x, ev.y);
        ev.button = e.button.button == SDL_BUTTON_RIGHT ? 1 : e.button.button == SDL_BUTTON_MIDDLE ? 2 : 0;
        queue.push_back(ev);
        break;
      case SDL_KEYDOWN: {
        const SDL_Keycode k = e.key.keysym.sym;
        if ((k == SDLK_RETURN || k == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT)) {
          if (!e.key.repeat) ToggleFullScreen();
          break;  // the game never sees Alt+Enter
        }
        ev.kind = EventKind::KeyDown;
        ev.key = VirtualKey(k);
        ev.repeat = e.key.repeat != 0;
        if (ev.key) queue.push_back(ev);
        break;
      }
      case SDL_TEXTINPUT:
        ev.kind = EventKind::Text;
        ev.text = e.text.text;
        queue.push_back(ev);
        break;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            ev.kind = EventKind::Activate;
            queue.push_back(ev);
            UpdateMouseRect();
            break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            ev.kind = EventKind::Deactivate;
            queue.push_back(ev);
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
          case SDL_WINDOWEVENT_EXPOSED:
            UpdateMouseRect();
            Present(last_);
            break;
          default:
            break;
        }
        break;
      case SDL_QUIT:
        ev.kind = EventKind::CloseRequest;
        queue.push_back(ev);
        break;
      default:
        break;
    }
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* frame_ = nullptr;
  SDL_Texture* sharp_ = nullptr;
  int sharpScale_ = 0;
  SDL_Rect picture_{0, 0, kW, kH};
  const uint16_t* last_ = nullptr;
  bool shown_ = false;
  bool software_ = false;
  uint64_t gammaSchedule_ = 0;
  uint64_t lastGammaStep_ = 0;
  uint64_t lastPresent_ = 0;
  uint32_t lastGammaPresent_ = 0;
  std::unique_ptr<AudioDevice> audio_;
};

}  // namespace

std::unique_ptr<Backend> CreateSdlBackend(const char* title, bool windowed) {
  return std::make_unique<SdlBackend>(title, windowed);
}

void ShowStartupFailure(const char* title, const char* text) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr) != 0)
    std::fprintf(stderr, "%s: %s\n", title, text);
}

void ShutdownDrawing() { CloseFonts(); }

}  // namespace plat
