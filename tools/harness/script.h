// The harness's script: one command a line, read here and carried out by the driver.
#pragma once

#include <optional>
#include <string>

namespace harness {

// A line that cannot be understood; the message names the line and the word.
struct ScriptError {
  std::string message;
};

struct Command {
  enum class Kind { Move, Press, Key, Type, Answer, Deactivate, Activate, Close, Tick, Until, Pump, Set, Shot, Dump, Expect };
  using enum Kind;
  Kind kind = Tick;
  int x = 0, y = 0;    // move, press
  int button = 0;      // press: 0 left, 1 right, 2 middle
  int key = 0;         // key: the virtual key code
  long count = 1;      // tick: how many; until: the most ticks
  std::string word;    // answer: yes, no or ok; until: the state; set, expect: the field
  std::string text;    // type: the text; set, expect: the value; shot, dump: the file
};

// Reads one line of a script; blank lines and lines starting with '#' give
// nothing. Throws ScriptError for a line that cannot be understood.
std::optional<Command> ParseLine(int lineNo, const std::string& line);

}  // namespace harness
