// The look and the keyboard and mouse handling of a modal message box, drawn
// over the game's picture in display pixels.
#pragma once

#include <vector>

#include "platform/core/app.h"
#include "platform/core/surface.h"

namespace plat {

struct ModalBox {
  explicit ModalBox(const MessageBoxContent& content);

  // Takes one event meant for the box; sets done and result when it closes.
  void Handle(const Event& e);
  // Draws the box onto a 640 x 480 picture.
  void DrawOnto(TSurface& picture);

  MessageBoxContent content;
  bool done = false;
  int result = 0;
  int focus = 0;
  TRect frame;                        // the whole box
  std::vector<TRect> buttonRects;     // in display pixels
  std::vector<std::string> lines;     // the text, wrapped
  ModalBox* previous = nullptr;
};

}  // namespace plat
