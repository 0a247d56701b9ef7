// The two things the game can run on: a real window with sound, or the
// headless test driver (see harness_backend.h).
#pragma once

#include <memory>
#include <stdexcept>

#include "platform/core/app.h"

namespace plat {

// No display to show the game on: no X server, no Wayland compositor (and no
// video driver named in SDL_VIDEODRIVER). Its text is one line, UTF-8.
struct NoDisplayError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The desktop window (full screen on the desktop's own mode, or a window of
// 640 x 480 when `windowed`), input, sound and music. Throws when the video
// system cannot start, NoDisplayError when there is nothing to show it on.
std::unique_ptr<Backend> CreateSdlBackend(const char* title, bool windowed);

// Shows an error before (or without) any window of ours, as well as the
// system allows.
void ShowStartupFailure(const char* title, const char* text);

// Frees what the drawing layer keeps (text faces) before the libraries end.
void ShutdownDrawing();

}  // namespace plat
