// What the game runs on, below the application object: a real window with
// sound, or the headless test driver. Each is a Backend: the clock, input
// events, the idle wait, presenting pictures and the audio output.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

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

}  // namespace plat
