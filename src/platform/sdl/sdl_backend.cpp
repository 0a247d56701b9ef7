// The desktop window on SDL2: the display scaled sharply to the whole screen,
// mouse and keyboard in display pixels, and the idle wait of the message loop.
#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/audio.h"
#include "platform/sdl/backends.h"
#include "platform/core/font.h"
#include "platform/core/keys.h"
#include "platform/core/layout.h"
#include "platform/core/scaler.h"
#include "platform/core/system.h"

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

// Whether the renderer draws with OpenGL in software (the rasteriser of a
// desktop without a graphics processor).
bool SoftwareOpenGl(const SDL_RendererInfo& info) {
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* name = getString ? getString(0x1F01 /* GL_RENDERER */) : nullptr;
  if (!name) return false;
  const std::string renderer(reinterpret_cast<const char*>(name));
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
    if (renderer.find(soft) != std::string::npos) return true;
  return false;
}

// The pixel order of a 32-bit output format we can write ourselves.
std::optional<PixelOrder> OrderOf(uint32_t format) {
  switch (format) {
    case SDL_PIXELFORMAT_ARGB8888:
    case SDL_PIXELFORMAT_RGB888: return PixelOrder::Xrgb;
    case SDL_PIXELFORMAT_ABGR8888:
    case SDL_PIXELFORMAT_BGR888: return PixelOrder::Xbgr;
    default: return std::nullopt;
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
    // Without any display SDL falls back to drawing nowhere, and the game would
    // run unseen for ever: only who names that driver gets it.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* named = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (driver && !(named && *named) && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
      SDL_Quit();
      throw NoDisplayError("Es ist kein Bildschirm erreichbar (weder ein X-Server noch Wayland).");
    }
    const Uint32 screen = windowed ? 0u : Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP);
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kW, kH,
                               SDL_WINDOW_HIDDEN | screen | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) throw std::runtime_error(std::string("SDL_CreateWindow: ") + SDL_GetError());
    SDL_SetWindowMinimumSize(window_, kW / 4, kH / 4);
    OpenOutput();
    SDL_ShowCursor(SDL_DISABLE);
    // Without an output device the game runs on in silence.
    audio_ = OpenSdlAudio();
  }

  ~SdlBackend() override {
    audio_.reset();
    ShutdownDrawing();
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

  void Present(const uint16_t* pixels, bool mayWait) override {
    // A display shows at most about 60 pictures a second: pictures drawn back
    // to back (the 18 of a menu fade) are shown one after another, not all in
    // one flash.
    const uint64_t freq = SDL_GetPerformanceFrequency();
    const uint64_t due = lastPresent_ + freq / 60;
    const uint64_t now = SDL_GetPerformanceCounter();
    if (mayWait && now < due) SDL_Delay(uint32_t((due - now) * 1000 / freq));
    lastPresent_ = SDL_GetPerformanceCounter();
    last_ = pixels;
    if (renderer_)
      PresentRendered(pixels);
    else
      PresentOnSurface(pixels);
  }

  void ShowPointer(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

  void SetCursorPos(int x, int y) override {
    int wx = 0, wy = 0;
    DisplayToWindow(Geometry(), x, y, wx, wy);
    // The X server keeps a warped pointer inside the rectangle that holds it
    // on the picture, as if it had not moved at all: let go while it moves.
    SDL_SetWindowMouseRect(window_, nullptr);
    SDL_WarpMouseInWindow(window_, wx, wy);
    UpdateMouseRect();
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
  // A renderer where a graphics processor draws (or where the user names one
  // in SDL_RENDER_DRIVER); otherwise the picture is written straight into the
  // window's own pixels, which costs one pass and no graphics library at all;
  // where a window has no pixels of its own, any renderer.
  void OpenOutput() {
    const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    const bool chosen = named && *named;
    // The window's pixels (ours, or those of SDL's software renderer) as plain
    // shared memory: asking SDL to judge whether a graphics library would do
    // better starts one just to look.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    for (const Output output : OutputOrder(chosen, GraphicsDeviceLikely())) {
      switch (output) {
        case Output::GpuRenderer:
          if (OpenRenderer(chosen ? 0u : Uint32(SDL_RENDERER_ACCELERATED), !chosen)) return;
          break;
        case Output::WindowPixels:
          if (SDL_GetWindowSurface(window_)) return;
          break;
        case Output::AnyRenderer:
          if (OpenRenderer(0, false)) return;
          break;
      }
    }
    throw std::runtime_error(std::string("no way to show the picture: ") + SDL_GetError());
  }

  // A renderer with the frame texture; with `refuseSoftware`, none that
  // draws without a graphics processor.
  bool OpenRenderer(Uint32 flags, bool refuseSoftware) {
    SDL_DisplayMode mode{};
    // Waiting for the display's refresh never lasts beyond a tick at 50 Hz or more.
    const bool vsync = SDL_GetDesktopDisplayMode(std::max(0, SDL_GetWindowDisplayIndex(window_)), &mode) == 0 &&
                       mode.refresh_rate >= 50;
    refreshHz_ = mode.refresh_rate;
    renderer_ = SDL_CreateRenderer(window_, -1, flags | SDL_RENDERER_TARGETTEXTURE | (vsync ? SDL_RENDERER_PRESENTVSYNC : 0));
    if (!renderer_) return false;
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer_, &info) != 0) info = {};
    if ((refuseSoftware && ((info.flags & SDL_RENDERER_SOFTWARE) || SoftwareOpenGl(info))) || !OpenFrameTexture(info)) {
      SDL_DestroyRenderer(renderer_);
      renderer_ = nullptr;
      frame_ = nullptr;
      return false;
    }
    vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    return true;
  }

  // The 640 x 480 streaming texture in a format the renderer takes as it is.
  bool OpenFrameTexture(const SDL_RendererInfo& info) {
    uint32_t format = SDL_PIXELFORMAT_ARGB8888;
    for (uint32_t i = 0; i < info.num_texture_formats; ++i)
      if (OrderOf(info.texture_formats[i])) {
        format = info.texture_formats[i];
        break;
      }
    frame_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    if (!frame_) return false;
    SDL_SetTextureBlendMode(frame_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(frame_, SDL_ScaleModeNearest);
    converter_.Configure(kW, kH, OrderOf(format).value_or(PixelOrder::Xrgb));
    return true;
  }

  void OutputSize(int& w, int& h) {
    w = h = 0;
    if (renderer_)
      SDL_GetRendererOutputSize(renderer_, &w, &h);
    else
      SDL_GetWindowSizeInPixels(window_, &w, &h);
  }

  WindowGeometry Geometry() {
    WindowGeometry g;
    OutputSize(g.outputWidth, g.outputHeight);
    SDL_GetWindowSize(window_, &g.windowWidth, &g.windowHeight);
    return g;
  }

  // Converted once into the texture; the renderer enlarges it by the nearest
  // pixel at a whole-number scale, or sharply through an enlarged copy at any other.
  void PresentRendered(const uint16_t* pixels) {
    void* texels = nullptr;
    int pitch = 0;
    if (pixels && SDL_LockTexture(frame_, nullptr, &texels, &pitch) == 0) {
      converter_.Scale(pixels, texels, pitch);
      SDL_UnlockTexture(frame_);
    }
    int ow = 0, oh = 0;
    OutputSize(ow, oh);
    picture_ = FitPicture(ow, oh);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    const SDL_Rect to{picture_.x, picture_.y, picture_.w, picture_.h};
    if (pixels && !picture_.Empty()) {
      const int k = std::max(1, std::min(ow / kW, oh / kH));
      if (picture_.w == kW * k && picture_.h == kH * k) {
        SDL_RenderCopy(renderer_, frame_, nullptr, &to);
      } else if (k > 1 && EnsureSharp(k)) {
        SDL_SetRenderTarget(renderer_, sharp_);
        SDL_RenderCopy(renderer_, frame_, nullptr, nullptr);
        SDL_SetRenderTarget(renderer_, nullptr);
        SDL_RenderCopy(renderer_, sharp_, nullptr, &to);
      } else {
        SDL_SetTextureScaleMode(frame_, SDL_ScaleModeLinear);
        SDL_RenderCopy(renderer_, frame_, nullptr, &to);
        SDL_SetTextureScaleMode(frame_, SDL_ScaleModeNearest);
      }
    }
    const uint64_t before = SDL_GetPerformanceCounter();
    SDL_RenderPresent(renderer_);
    if (vsync_) {
      // A display slower than the ticks would hold every tick back: no waiting for it then.
      const double tookMs = double(SDL_GetPerformanceCounter() - before) * 1000.0 / double(SDL_GetPerformanceFrequency());
      slowPresents_ = PresentSlowerThanRefresh(tookMs, refreshHz_) ? slowPresents_ + 1 : 0;
      if (slowPresents_ >= 3 && SDL_RenderSetVSync(renderer_, 0) == 0) vsync_ = false;
    }
  }

  // Scaled and converted in one pass straight into the window's pixels.
  void PresentOnSurface(const uint16_t* pixels) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    picture_ = FitPicture(surface->w, surface->h);
    if (picture_.Empty()) return;  // a window with no room for a pixel shows nothing
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    auto* base = static_cast<unsigned char*>(surface->pixels);
    const int bytes = surface->format->BytesPerPixel;
    if (clearSurface_ || surface != surface_ || surface->w != surfaceW_ || surface->h != surfaceH_) {
      for (int y = 0; y < surface->h; ++y)
        std::memset(base + size_t(y) * size_t(surface->pitch), 0, size_t(surface->w) * size_t(bytes));
      surface_ = surface;
      surfaceW_ = surface->w;
      surfaceH_ = surface->h;
      clearSurface_ = false;
    }
    unsigned char* corner = base + size_t(picture_.y) * size_t(surface->pitch) + size_t(picture_.x) * size_t(bytes);
    const std::optional<PixelOrder> order = OrderOf(surface->format->format);
    if (!pixels) {
      for (int y = 0; y < picture_.h; ++y)
        std::memset(corner + size_t(y) * size_t(surface->pitch), 0, size_t(picture_.w) * size_t(bytes));
    } else if (order) {
      scaler_.Configure(picture_.w, picture_.h, *order);
      scaler_.Scale(pixels, corner, surface->pitch);
    } else {
      // Any other window format: scaled as usual, then converted by SDL.
      scaler_.Configure(picture_.w, picture_.h, PixelOrder::Xrgb);
      scratch_.resize(size_t(picture_.w) * size_t(picture_.h));
      scaler_.Scale(pixels, scratch_.data(), picture_.w * 4);
      SDL_ConvertPixels(picture_.w, picture_.h, SDL_PIXELFORMAT_ARGB8888, scratch_.data(), picture_.w * 4,
                        surface->format->format, corner, surface->pitch);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
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
    const PictureRect p = PictureInWindow(Geometry());
    const SDL_Rect r{p.x, p.y, p.w, p.h};
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
    clearSurface_ = true;
    UpdateMouseRect();
    Present(last_, false);
  }

  void ToDisplay(int wx, int wy, int& x, int& y) { WindowToDisplay(Geometry(), wx, wy, x, y); }

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
            clearSurface_ = true;
            UpdateMouseRect();
            Present(last_, false);
            break;
          case SDL_WINDOWEVENT_EXPOSED:
            UpdateMouseRect();
            Present(last_, false);
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
  PictureScaler converter_;  // into the texture
  bool vsync_ = false;
  int slowPresents_ = 0;
  PictureScaler scaler_;  // into the window's pixels
  SDL_Surface* surface_ = nullptr;
  int surfaceW_ = 0, surfaceH_ = 0;
  bool clearSurface_ = true;
  std::vector<uint32_t> scratch_;
  PictureRect picture_{0, 0, kW, kH};
  int refreshHz_ = 0;
  const uint16_t* last_ = nullptr;
  bool shown_ = false;
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
