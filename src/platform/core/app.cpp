#include "platform/core/app.h"

#include <algorithm>
#include <cstring>

#include "platform/core/cp1252.h"
#include "platform/core/msgbox.h"
#include "platform/core/timer.h"

namespace plat {

TApplication Application;

void TApplication::Initialize(Backend* backend) {
  backend_ = backend;
  Terminated = false;
  Active = true;
  ExitCode = 0;
  quitPosted_ = false;
  queue_.clear();
  lastPicture_ = nullptr;
  unshown_ = false;
  PicturesShown = 0;
}

void TApplication::RemoveTimer(TDXTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

void TApplication::Run() {
  while (!Terminated) {
    ProcessMessages();
    if (Terminated) break;
    Idle();
    backend_->Poll(queue_);
    if (queue_.empty() && !quitPosted_) {
      ShowUnshown();
      backend_->Wait(NextIdleDue());
    }
  }
}

void TApplication::ProcessMessages() {
  backend_->Poll(queue_);
  for (;;) {
    if (quitPosted_) {
      Terminated = true;
      return;
    }
    if (queue_.empty()) return;
    const Event e = queue_.front();
    queue_.pop_front();
    Dispatch(e);
  }
}

void TApplication::Dispatch(const Event& e) {
  try {
    switch (e.kind) {
      case EventKind::MouseMove:
        if (OnMouseMove) OnMouseMove(e.x, e.y);
        break;
      case EventKind::MouseDown:
        if (OnMouseDown) OnMouseDown(e.button, e.x, e.y);
        break;
      case EventKind::KeyDown:
        if (OnKeyDown) OnKeyDown(e.key);
        break;
      case EventKind::Text:
        if (OnText) OnText(e.text);
        break;
      case EventKind::CloseRequest: {
        bool canClose = true;
        if (OnCloseQuery) OnCloseQuery(canClose);
        if (canClose) Terminate();
        break;
      }
      case EventKind::Activate:
      case EventKind::Deactivate:
        Active = e.kind == EventKind::Activate;
        if (OnActivate) OnActivate(Active);
        break;
    }
  } catch (const std::exception& ex) {
    HandleException(ex);
  }
}

void TApplication::Idle() {
  try {
    const uint32_t now = backend_->Milliseconds();
    for (TDXTimer* t : std::vector<TDXTimer*>(timers_)) t->Idle(now, Active);
  } catch (const std::exception& ex) {
    HandleException(ex);
  }
}

int TApplication::NextIdleDue() {
  const uint32_t now = backend_->Milliseconds();
  int due = -1;
  for (TDXTimer* t : timers_) {
    const int d = t->DueIn(now, Active);
    if (d >= 0 && (due < 0 || d < due)) due = d;
  }
  return due;
}

void TApplication::HandleException(const std::exception& e) {
  if (!OnException) {
    ExitCode = 1;
    Terminate();
    return;
  }
  try {
    OnException(e);
  } catch (const std::exception&) {
    // The error handler itself failed: nothing is left to tell the player with.
    ExitCode = 1;
    Terminate();
  }
}

TDXTimer* TApplication::TickingTimer() const {
  for (TDXTimer* t : timers_)
    if (t->Ticking()) return t;
  return nullptr;
}

bool TApplication::AnyTimerEnabled() const {
  return std::any_of(timers_.begin(), timers_.end(), [](const TDXTimer* t) { return t->Enabled; });
}

void TApplication::Present(const uint16_t* pixels) {
  lastPicture_ = pixels;
  // Showing a picture can take longer than a tick on a slow display: a tick
  // that is late already leaves its picture to a later one, so the game keeps
  // its pace. Some picture is shown every kLongestUnshownMs all the same.
  if (const TDXTimer* ticking = TickingTimer()) {
    const uint32_t now = backend_->Milliseconds();
    if (ticking->Behind(now) && now - lastShownMs_ < kLongestUnshownMs) {
      unshown_ = true;
      return;
    }
  }
  // Pictures drawn back to back while no frame timer runs (the menu fades) may
  // be paced to the display; with a timer running, nothing here waits.
  Show(pixels, !AnyTimerEnabled());
}

void TApplication::ShowUnshown() {
  if (!unshown_ || NextIdleDue() == 0) return;
  Show(lastPicture_, false);
}

void TApplication::Show(const uint16_t* pixels, bool mayWait) {
  unshown_ = false;
  ++PicturesShown;
  if (!box_) {
    backend_->Present(pixels, mayWait);
  } else {
    static TSurface composed(640, 480);
    if (pixels)
      std::memcpy(composed.Bits(), pixels, 640 * 480 * sizeof(uint16_t));
    else
      composed.Fill(clBlack);
    box_->DrawOnto(composed);
    backend_->Present(composed.Bits(), mayWait);
  }
  lastShownMs_ = backend_->Milliseconds();
}

void TApplication::SetCursorPos(int x, int y) {
  backend_->SetCursorPos(x, y);
  Sighting s;
  s.kind = Sighting::Pointer;
  s.x = x;
  s.y = y;
  backend_->Record(s);
}

int TApplication::MessageBox(const MessageBoxContent& content) {
  int answer;
  if (std::optional<int> scripted = backend_->ScriptedAnswer(content)) {
    answer = *scripted;
  } else {
    ModalBox box(content);
    box.previous = box_;
    box_ = &box;
    backend_->ShowWindow();
    backend_->ShowPointer(true);
    Present(lastPicture_);
    std::deque<Event> events;
    while (!box.done) {
      backend_->Poll(events);
      const int focus = box.focus;
      while (!events.empty() && !box.done) {
        const Event e = events.front();
        events.pop_front();
        if (e.kind == EventKind::Activate) Active = true;
        if (e.kind == EventKind::Deactivate) Active = false;
        box.Handle(e);
      }
      if (box.done) break;
      if (box.focus != focus) Present(lastPicture_);
      Idle();  // the frame timer keeps ticking behind the box
      backend_->Poll(events);
      if (events.empty()) {
        ShowUnshown();
        backend_->Wait(NextIdleDue());
      }
    }
    box_ = box.previous;
    backend_->ShowPointer(box_ != nullptr);
    Present(lastPicture_);
    answer = box.result;
  }
  Sighting s;
  s.kind = Sighting::Dialog;
  s.caption = Cp1252ToUtf8(content.caption);
  s.text = Cp1252ToUtf8(content.text);
  for (const std::string& b : content.buttons) s.buttons.push_back(Cp1252ToUtf8(b));
  if (answer >= 0 && answer < int(content.buttons.size())) s.answer = s.buttons[size_t(answer)];
  backend_->Record(s);
  return answer;
}

}  // namespace plat
