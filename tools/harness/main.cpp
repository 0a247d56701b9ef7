// kelo-harness: runs the real game headless on a virtual clock from a script.
//   kelo-harness [--folder DIR] [--seed N] [SCRIPT]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fields.h"
#include "main.h"
#include "platform/files.h"
#include "platform/harness_backend.h"
#include "platform/keys.h"

namespace {

struct Failure {
  int status;  // 1: an expectation failed; 2: a line was not understood
  std::string message;
};

class Driver {
 public:
  explicit Driver(plat::HarnessBackend& backend) : backend_(backend) {}

  // Runs one script line; throws Failure.
  void Run(int lineNo, const std::string& line) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') return;
    lineNo_ = lineNo;
    if (word == "move") {
      const int x = Int(in, "X"), y = Int(in, "Y");
      End(in);
      backend_.QueueMove(x, y);
    } else if (word == "press") {
      const int x = Int(in, "X"), y = Int(in, "Y");
      std::string b;
      int button = 0;
      if (in >> b) {
        if (b == "right")
          button = 1;
        else if (b == "middle")
          button = 2;
        else if (b != "left")
          Bad(b);
      }
      End(in);
      backend_.QueuePress(x, y, button);
    } else if (word == "key") {
      std::string name;
      if (!(in >> name)) Bad("key");
      End(in);
      backend_.QueueKey(KeyCode(name));
    } else if (word == "type") {
      backend_.QueueText(Rest(line, "type"));
    } else if (word == "answer") {
      std::string a;
      if (!(in >> a) || (a != "yes" && a != "no" && a != "ok")) Bad(a.empty() ? "answer" : a);
      End(in);
      backend_.answers.push_back(a);
    } else if (word == "deactivate" || word == "activate" || word == "close") {
      End(in);
      plat::Event e;
      e.kind = word == "close"        ? plat::EventKind::CloseRequest
               : word == "activate"   ? plat::EventKind::Activate
                                      : plat::EventKind::Deactivate;
      backend_.pending.push_back(e);
    } else if (word == "tick") {
      long n = 1;
      std::string count;
      if (in >> count) n = Long(count);
      End(in);
      for (long i = 0; i < n; ++i) Tick();
    } else if (word == "until") {
      std::string state, max;
      if (!(in >> state)) Bad("until");
      long limit = 100000;
      if (in >> max) limit = Long(max);
      End(in);
      long ticks = 0;
      while (Form1->gameState != state) {
        if (ticks++ >= limit || Application.Terminated)
          throw Failure{1, Where() + "until " + state + ": still \"" + Form1->gameState + "\" after " +
                               std::to_string(ticks - 1) + " ticks"};
        Tick();
      }
    } else if (word == "pump") {
      End(in);
      Deliver();
    } else if (word == "set") {
      std::string field;
      if (!(in >> field)) Bad("set");
      const std::string value = Rest(line, "set " + field);
      const std::string error = harness::SetField(field, value);
      if (!error.empty()) throw Failure{2, Where() + "set " + field + ": " + error};
    } else if (word == "shot") {
      const std::string file = Rest(line, "shot");
      if (file.empty()) Bad("shot");
      std::vector<uint16_t> pixels;
      Form1->screen1.VisiblePicture(pixels);
      try {
        plat::SavePng(pixels, TDXDraw::kWidth, TDXDraw::kHeight, file);
      } catch (const std::exception& e) {
        throw Failure{1, Where() + e.what()};
      }
    } else if (word == "dump") {
      const std::string file = Rest(line, "dump");
      if (file.empty()) Bad("dump");
      const std::string text = harness::Dump(backend_).Text();
      if (file == "-") {
        std::cout << text << std::endl;
      } else {
        std::ofstream out(file, std::ios::binary);
        out << text << "\n";
        if (!out) throw Failure{1, Where() + "cannot write " + file};
      }
    } else if (word == "expect") {
      std::string field;
      if (!(in >> field)) Bad("expect");
      const std::string wanted = Rest(line, "expect " + field);
      Expect(field, wanted);
    } else {
      Bad(word);
    }
  }

 private:
  std::string Where() const { return "line " + std::to_string(lineNo_) + ": "; }
  [[noreturn]] void Bad(const std::string& word) const {
    throw Failure{2, Where() + "cannot understand \"" + word + "\""};
  }
  void End(std::istringstream& in) const {
    std::string extra;
    if (in >> extra) Bad(extra);
  }
  long Long(const std::string& s) const {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end) Bad(s);
    return v;
  }
  int Int(std::istringstream& in, const char* what) const {
    std::string s;
    if (!(in >> s)) Bad(what);
    return int(Long(s));
  }
  // The rest of the line after its command words, without the one blank between.
  static std::string Rest(const std::string& line, const std::string& head) {
    // Skip the words of the head as written (blanks may differ).
    size_t pos = line.find_first_not_of(" \t");
    std::istringstream words(head);
    std::string w;
    while (words >> w) {
      pos = line.find(w, pos);
      pos += w.size();
    }
    if (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    std::string rest = pos < line.size() ? line.substr(pos) : "";
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

  // Delivers waiting events; once the game has asked to end, this ends it.
  void Deliver() {
    if (Application.Terminated) return;
    Application.ProcessMessages();
    if (Application.Terminated) Form1->screen1.Finalize();
  }

  void Tick() {
    if (Application.Terminated) return;
    Deliver();
    if (Application.Terminated) return;
    backend_.clockMs += 20;
    try {
      Form1->DXTimer1.Step(backend_.clockMs, Application.Active);
    } catch (const std::exception& e) {
      Application.HandleException(e);
    }
  }

  void Expect(const std::string& field, const std::string& wanted) {
    const harness::Json dump = harness::Dump(backend_);
    const harness::Json* value = &dump;
    std::stringstream path(field);
    for (std::string part; std::getline(path, part, '.');) {
      value = value->Find(part);
      if (!value) throw Failure{1, Where() + "expect " + field + ": no such field"};
    }
    bool same;
    std::string got;
    if (value->kind() == harness::Json::Number) {
      char* end = nullptr;
      const double w = std::strtod(wanted.c_str(), &end);
      same = !wanted.empty() && *end == 0 && w == value->number();
      got = value->Text();
    } else if (value->kind() == harness::Json::String) {
      got = value->string();
      same = got == wanted;
    } else {
      got = value->Text();
      same = got == wanted;
    }
    if (!same) throw Failure{1, Where() + "expect " + field + ": got " + got + ", wanted " + wanted};
  }

  plat::HarnessBackend& backend_;
  int lineNo_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string folder, script;
  uint32_t seed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--folder" && i + 1 < argc) {
      folder = argv[++i];
    } else if (a == "--seed" && i + 1 < argc) {
      seed = uint32_t(std::strtoul(argv[++i], nullptr, 10));
    } else if (script.empty() && (a == "-" || a[0] != '-')) {
      script = a;
    } else {
      std::fprintf(stderr, "usage: kelo-harness [--folder DIR] [--seed N] [SCRIPT]\n");
      return 2;
    }
  }

  std::vector<std::string> lines;
  const bool fromStdin = script.empty() || script == "-";
  if (!fromStdin) {
    std::ifstream in(script);
    if (!in) {
      std::fprintf(stderr, "kelo-harness: cannot read %s\n", script.c_str());
      return 2;
    }
    for (std::string l; std::getline(in, l);) lines.push_back(l);
  }

  if (!folder.empty()) plat::SetProgramFolder(folder);
  int status = 0;
  {
    plat::HarnessBackend backend(seed);
    Application.Initialize(&backend);
    Application.Title = "Kelo - Das Spiel";
    backend.currentTick = [] { return Form1 ? Form1->DXTimer1.TicksBegun : 0; };
    CreateGameWindow();
    ShowGameWindow();
    Driver driver(backend);
    try {
      if (fromStdin) {
        int n = 0;
        for (std::string l; std::getline(std::cin, l);) driver.Run(++n, l);
      } else {
        for (size_t i = 0; i < lines.size(); ++i) driver.Run(int(i) + 1, lines[i]);
      }
    } catch (const Failure& f) {
      std::fprintf(stderr, "kelo-harness: %s\n", f.message.c_str());
      status = f.status;
    }
    std::cout.flush();
    delete Form1;
    Application.Initialize(nullptr);
  }
  return status;
}
