// The application object: the message loop with its idle processing, input
// events, modal message boxes and the termination request. What lies below it
// (a real window or the headless test driver) is a Backend (backend.h).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/backend.h"

class TDXTimer;

namespace plat {

class TApplication {
 public:
  std::string Title;
  bool Terminated = false;  // the message loop has taken the termination request
  bool Active = true;       // the game is the active application
  int ExitCode = 0;         // the process's exit status: not 0 once the game gave up with an error

  // Handlers of the game window.
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(int button, int x, int y)> OnMouseDown;
  std::function<void(int key)> OnKeyDown;
  std::function<void(const std::string& utf8)> OnText;
  std::function<void(bool& canClose)> OnCloseQuery;
  std::function<void(bool active)> OnActivate;  // after Active has changed
  std::function<void(const std::exception&)> OnException;

  void Initialize(Backend* backend);
  Backend& Host() { return *backend_; }
  bool HasHost() const { return backend_ != nullptr; }

  // Runs the message loop until the termination request is taken.
  void Run();
  // Delivers every event that is waiting (also from inside a handler).
  void ProcessMessages();
  // Posts the termination request; the loop takes it at its next delivery.
  void Terminate() { quitPosted_ = true; }
  bool TerminationRequested() const { return quitPosted_; }
  // Idle processing: lets the frame timers tick when they are due.
  void Idle();
  // Milliseconds until the next timer is due, -1 when none runs.
  int NextIdleDue();

  // A modal message box; returns the index of the button that closed it.
  int MessageBox(const MessageBoxContent& content);
  // Routes an error that nobody handled to OnException.
  void HandleException(const std::exception& e);

  // Moves the system pointer to a display position.
  void SetCursorPos(int x, int y);

  // Presents a picture of the display, with a modal box over it while one is
  // open. A picture drawn in a tick that is late already is not shown (unless
  // none has been for kLongestUnshownMs): the next one, or the loop once it
  // has time, shows the newest.
  void Present(const uint16_t* pixels);
  static constexpr uint32_t kLongestUnshownMs = 100;
  uint64_t PicturesShown = 0;  // pictures handed to the display

  void AddTimer(TDXTimer* timer) { timers_.push_back(timer); }
  void RemoveTimer(TDXTimer* timer);

  // Delivers one event to the handlers (errors go to HandleException).
  void Dispatch(const Event& e);

 private:
  void Show(const uint16_t* pixels, bool mayWait);
  // Shows a picture that a late tick left unshown, once no tick is due.
  void ShowUnshown();
  TDXTimer* TickingTimer() const;
  bool AnyTimerEnabled() const;

  Backend* backend_ = nullptr;
  std::deque<Event> queue_;
  std::vector<TDXTimer*> timers_;
  bool quitPosted_ = false;
  struct ModalBox* box_ = nullptr;
  const uint16_t* lastPicture_ = nullptr;
  bool unshown_ = false;
  uint32_t lastShownMs_ = 0;
};

extern TApplication Application;

}  // namespace plat

using plat::Application;
