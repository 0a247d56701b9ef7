// The application object: the message loop with its idle processing, input
// events, modal message boxes and the termination request. What lies below it
// (a real window or the headless test driver) is a Backend.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TDXTimer;

namespace plat {

enum class EventKind { MouseMove, MouseDown, KeyDown, Text, CloseRequest, Activate, Deactivate };

struct Event {
  EventKind kind = EventKind::MouseMove;
  int x = 0, y = 0;    // pointer position in display pixels (0..639, 0..479)
  int button = 0;      // 0 left, 1 right, 2 middle
  int key = 0;         // virtual-key code
  bool repeat = false; // key repeat of a held key
  std::string text;    // typed characters, UTF-8
};

enum class BoxIcon { None, Error, Question, Information };

struct MessageBoxContent {
  std::string caption;               // Windows-1252
  std::string text;                  // Windows-1252, lines separated by CR LF
  BoxIcon icon = BoxIcon::None;
  std::vector<std::string> buttons;  // "&Ja", "&Nein", "OK": '&' marks the access key
  int cancelButton = 0;              // the button that Escape and closing choose
};

// Things a person would hear or see outside the back surface; the headless
// driver records them, the real window ignores them.
struct Sighting {
  enum Kind { Sound, Music, Dialog, Pointer } kind = Sound;
  int item = 0, pan = 0;            // Sound
  std::string op, file;             // Music: open, play, stop, close; file as opened
  bool failed = false;
  std::string caption, text, answer;  // Dialog (UTF-8)
  std::vector<std::string> buttons;
  int x = 0, y = 0;                 // Pointer
};

class AudioDevice;

class Backend {
 public:
  virtual ~Backend() = default;

  virtual uint32_t Milliseconds() = 0;     // the millisecond clock of the frame timer
  virtual uint32_t RandomizeSeed() = 0;    // seed for re-seeding the random generator
  virtual void Poll(std::deque<Event>& queue) = 0;  // appends waiting events
  virtual void Wait(int timeoutMs) = 0;    // until an event arrives or the time is up (-1: no limit)
  virtual void ShowWindow() = 0;
  // Shows 640 x 480 display pixels. With mayWait, pictures that come back to
  // back may be spaced to what a display shows; without it the call never waits
  // longer than showing the picture takes.
  virtual void Present(const uint16_t* pixels, bool mayWait) = 0;
  virtual void ShowPointer(bool visible) = 0;
  virtual void SetCursorPos(int x, int y) = 0;
  virtual void Sleep(uint32_t ms) = 0;
  virtual void PaceGammaStep() = 0;        // paces the steps of a gamma fade
  virtual bool PaceGammaPresent() = 0;     // whether a gamma step should be shown now
  // A scripted answer to a message box (button index), or none to ask a person.
  virtual std::optional<int> ScriptedAnswer(const MessageBoxContent&) { return std::nullopt; }
  virtual void Record(const Sighting&) {}
  virtual AudioDevice* Audio() { return nullptr; }
};

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
