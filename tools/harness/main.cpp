// kelo-harness: runs the real game headless on a virtual clock from a script.
//   kelo-harness [--folder DIR] [--seed N] [SCRIPT]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fields.h"
#include "main.h"
#include "platform/files.h"
#include "platform/harness_backend.h"
#include "script.h"

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
    std::optional<harness::Command> parsed;
    try {
      parsed = harness::ParseLine(lineNo, line);
    } catch (const harness::ScriptError& e) {
      throw Failure{2, e.message};
    }
    if (!parsed) return;
    const harness::Command& c = *parsed;
    lineNo_ = lineNo;
    switch (c.kind) {
      case harness::Command::Move: backend_.QueueMove(c.x, c.y); break;
      case harness::Command::Press: backend_.QueuePress(c.x, c.y, c.button); break;
      case harness::Command::Key: backend_.QueueKey(c.key); break;
      case harness::Command::Type: backend_.QueueText(c.text); break;
      case harness::Command::Answer: backend_.answers.push_back(c.word); break;
      case harness::Command::Deactivate:
      case harness::Command::Activate:
      case harness::Command::Close: {
        plat::Event e;
        e.kind = c.kind == harness::Command::Close      ? plat::EventKind::CloseRequest
                 : c.kind == harness::Command::Activate ? plat::EventKind::Activate
                                                        : plat::EventKind::Deactivate;
        backend_.pending.push_back(e);
        break;
      }
      case harness::Command::Tick:
        for (long i = 0; i < c.count; ++i) Tick();
        break;
      case harness::Command::Until: {
        long ticks = 0;
        while (Form1->gameState != c.word) {
          if (ticks++ >= c.count || Application.Terminated)
            throw Failure{1, Where() + "until " + c.word + ": still \"" + Form1->gameState + "\" after " +
                                 std::to_string(ticks - 1) + " ticks"};
          Tick();
        }
        break;
      }
      case harness::Command::Pump: Deliver(); break;
      case harness::Command::Set: {
        const std::string error = harness::SetField(c.word, c.text);
        if (!error.empty()) throw Failure{2, Where() + "set " + c.word + ": " + error};
        break;
      }
      case harness::Command::Shot: {
        std::vector<uint16_t> pixels;
        Form1->screen1.VisiblePicture(pixels);
        try {
          plat::SavePng(pixels, TDXDraw::kWidth, TDXDraw::kHeight, c.text);
        } catch (const std::exception& e) {
          throw Failure{1, Where() + e.what()};
        }
        break;
      }
      case harness::Command::Dump: {
        const std::string text = harness::Dump(backend_).Text();
        if (c.text == "-") {
          std::cout << text << std::endl;
        } else {
          std::ofstream out(c.text, std::ios::binary);
          out << text << "\n";
          if (!out) throw Failure{1, Where() + "cannot write " + c.text};
        }
        break;
      }
      case harness::Command::Expect: Expect(c.word, c.text); break;
    }
  }

 private:
  std::string Where() const { return "line " + std::to_string(lineNo_) + ": "; }

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
