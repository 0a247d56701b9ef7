// The two things the game can run on: a real window with sound, or the
// headless test driver (see harness_backend.h).
#pragma once

#include <memory>

#include "platform/app.h"

namespace plat {

// The desktop window (full screen on the desktop's own mode, or a window of
// 640 x 480 when `windowed`), input, sound and music. Throws when the video
// system cannot start.
std::unique_ptr<Backend> CreateSdlBackend(const char* title, bool windowed);

// Shows an error before (or without) any window of ours, as well as the
// system allows.
void ShowStartupFailure(const char* title, const char* text);

// Frees what the drawing layer keeps (text faces) before the libraries end.
void ShutdownDrawing();

}  // namespace plat
