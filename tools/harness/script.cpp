#include "script.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/core/keys.h"

namespace harness {
namespace {

class Reader {
 public:
  Reader(int lineNo, const std::string& line) : lineNo_(lineNo), line_(line), in_(line) {}

  bool Word(std::string& w) { return bool(in_ >> w); }

  [[noreturn]] void Bad(const std::string& word) const {
    throw ScriptError{"line " + std::to_string(lineNo_) + ": cannot understand \"" + word + "\""};
  }
  void End() {
    std::string extra;
    if (in_ >> extra) Bad(extra);
  }
  long Long(const std::string& s) const {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end) Bad(s);
    return v;
  }
  int Int(const char* what) {
    std::string s;
    if (!(in_ >> s)) Bad(what);
    return int(Long(s));
  }
  // The rest of the line after its command words, without the one blank between.
  std::string Rest(const std::string& head) const {
    // Skip the words of the head as written (blanks may differ).
    size_t pos = line_.find_first_not_of(" \t");
    std::istringstream words(head);
    std::string w;
    while (words >> w) {
      pos = line_.find(w, pos);
      pos += w.size();
    }
    if (pos < line_.size() && (line_[pos] == ' ' || line_[pos] == '\t')) ++pos;
    std::string rest = pos < line_.size() ? line_.substr(pos) : "";
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
    return rest;
  }
  int KeyCode(const std::string& name) const {
    static const std::map<std::string, int> names = {
        {"Escape", VK_ESCAPE}, {"Return", VK_RETURN}, {"F4", VK_F4},      {"F9", VK_F9},
        {"F10", VK_F10},       {"Backspace", VK_BACK}, {"Delete", VK_DELETE}, {"Left", VK_LEFT},
        {"Right", VK_RIGHT},   {"Home", VK_HOME},     {"End", VK_END},     {"Space", VK_SPACE},
    };
    if (auto it = names.find(name); it != names.end()) return it->second;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
      return std::toupper(static_cast<unsigned char>(name[0]));
    Bad(name);
  }

 private:
  int lineNo_;
  const std::string& line_;
  std::istringstream in_;
};

}  // namespace

std::optional<Command> ParseLine(int lineNo, const std::string& line) {
  Reader r(lineNo, line);
  std::string word;
  if (!r.Word(word) || word[0] == '#') return std::nullopt;
  Command c;
  if (word == "move") {
    c.kind = Command::Move;
    c.x = r.Int("X"), c.y = r.Int("Y");
    r.End();
  } else if (word == "press") {
    c.kind = Command::Press;
    c.x = r.Int("X"), c.y = r.Int("Y");
    std::string b;
    if (r.Word(b)) {
      if (b == "right")
        c.button = 1;
      else if (b == "middle")
        c.button = 2;
      else if (b != "left")
        r.Bad(b);
    }
    r.End();
  } else if (word == "key") {
    c.kind = Command::Key;
    std::string name;
    if (!r.Word(name)) r.Bad("key");
    r.End();
    c.key = r.KeyCode(name);
  } else if (word == "type") {
    c.kind = Command::Type;
    c.text = r.Rest("type");
  } else if (word == "answer") {
    c.kind = Command::Answer;
    if (!r.Word(c.word) || (c.word != "yes" && c.word != "no" && c.word != "ok"))
      r.Bad(c.word.empty() ? "answer" : c.word);
    r.End();
  } else if (word == "deactivate" || word == "activate" || word == "close") {
    c.kind = word == "close" ? Command::Close : word == "activate" ? Command::Activate : Command::Deactivate;
    r.End();
  } else if (word == "tick") {
    c.kind = Command::Tick;
    std::string count;
    if (r.Word(count)) c.count = r.Long(count);
    r.End();
  } else if (word == "until") {
    c.kind = Command::Until;
    c.count = 100000;
    std::string max;
    if (!r.Word(c.word)) r.Bad("until");
    if (r.Word(max)) c.count = r.Long(max);
    r.End();
  } else if (word == "pump") {
    c.kind = Command::Pump;
    r.End();
  } else if (word == "set" || word == "expect") {
    c.kind = word == "set" ? Command::Set : Command::Expect;
    if (!r.Word(c.word)) r.Bad(word);
    c.text = r.Rest(word + " " + c.word);
  } else if (word == "shot" || word == "dump") {
    c.kind = word == "shot" ? Command::Shot : Command::Dump;
    c.text = r.Rest(word);
    if (c.text.empty()) r.Bad(word);
  } else {
    r.Bad(word);
  }
  return c;
}

}  // namespace harness
