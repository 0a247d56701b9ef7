#include "session.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "fields.h"
#include "main.h"
#include "platform/core/files.h"
#include "platform/headless/harness_backend.h"
#include "replay.h"
#include "script.h"

namespace harness {

Session::Session(const std::string& folder, uint32_t seed) : backend_(std::make_unique<plat::HarnessBackend>(seed)) {
  // A fresh process's game: the module variables start from nothing.
  ResetModuleVariables();
  plat::SetProgramFolder(folder);
  Application.Initialize(backend_.get());
  Application.Title = "Kelo - Das Spiel";
  backend_->currentTick = [] { return Form1 ? Form1->DXTimer1.TicksBegun : 0; };
  // Replays are kept as the desktop game keeps them.
  replay::KeepReplays(true);
  CreateGameWindow();
  ShowGameWindow();
}

Session::~Session() {
  delete Form1;
  replay::KeepReplays(false);
  Application.Initialize(nullptr);
  plat::SetProgramFolder("");
}

std::string Session::State() const { return Dump(*backend_, false).Text() + "\n"; }

std::string Session::Where() const { return "line " + std::to_string(lineNo_) + ": "; }

std::string Session::Run(int lineNo, const std::string& line) {
  std::optional<Command> parsed;
  try {
    parsed = ParseLine(lineNo, line);
  } catch (const ScriptError& e) {
    throw Failure{2, e.message};
  }
  if (!parsed) return "";
  const Command& c = *parsed;
  lineNo_ = lineNo;
  switch (c.kind) {
    case Command::Move: backend_->QueueMove(c.x, c.y); break;
    case Command::Press: backend_->QueuePress(c.x, c.y, c.button); break;
    case Command::Key: backend_->QueueKey(c.key); break;
    case Command::Type: backend_->QueueText(c.text); break;
    case Command::Answer: backend_->answers.push_back(c.word); break;
    case Command::Deactivate:
    case Command::Activate:
    case Command::Close: {
      plat::Event e;
      e.kind = c.kind == Command::Close      ? plat::EventKind::CloseRequest
               : c.kind == Command::Activate ? plat::EventKind::Activate
                                                      : plat::EventKind::Deactivate;
      backend_->pending.push_back(e);
      break;
    }
    case Command::Tick:
      for (long i = 0; i < c.count; ++i) Tick();
      break;
    case Command::Until: {
      long ticks = 0;
      while (Form1->gameState != c.word) {
        if (ticks++ >= c.count || Application.Terminated)
          throw Failure{1, Where() + "until " + c.word + ": still \"" + Form1->gameState + "\" after " +
                               std::to_string(ticks - 1) + " ticks"};
        Tick();
      }
      break;
    }
    case Command::Pump: Deliver(); break;
    case Command::Set: {
      const std::string error = SetField(c.word, c.text);
      if (!error.empty()) throw Failure{2, Where() + "set " + c.word + ": " + error};
      break;
    }
    case Command::Shot: {
      std::vector<uint16_t> pixels;
      Form1->screen1.VisiblePicture(pixels);
      try {
        plat::SavePng(pixels, TDXDraw::kWidth, TDXDraw::kHeight, c.text);
      } catch (const std::exception& e) {
        throw Failure{1, Where() + e.what()};
      }
      break;
    }
    case Command::Dump: {
      const std::string text = Dump(*backend_).Text();
      if (c.text == "-") return text + "\n";
      {
        std::ofstream out(c.text, std::ios::binary);
        out << text << "\n";
        if (!out) throw Failure{1, Where() + "cannot write " + c.text};
      }
      break;
    }
    case Command::Expect: Expect(c.word, c.text); break;
  }
  return "";
}

// Delivers waiting events; once the game has asked to end, this ends it.
void Session::Deliver() {
  if (Application.Terminated) return;
  Application.ProcessMessages();
  if (Application.Terminated) Form1->screen1.Finalize();
}

void Session::Tick() {
  if (Application.Terminated) return;
  Deliver();
  if (Application.Terminated) return;
  backend_->clockMs += 20;
  try {
    Form1->DXTimer1.Step(backend_->clockMs, Application.Active);
  } catch (const std::exception& e) {
    Application.HandleException(e);
  }
}

void Session::Expect(const std::string& field, const std::string& wanted) {
  const Json dump = Dump(*backend_);
  const Json* value = &dump;
  std::stringstream path(field);
  for (std::string part; std::getline(path, part, '.');) {
    value = value->Find(part);
    if (!value) throw Failure{1, Where() + "expect " + field + ": no such field"};
  }
  bool same;
  std::string got;
  if (value->kind() == Json::Number) {
    char* end = nullptr;
    const double w = std::strtod(wanted.c_str(), &end);
    same = !wanted.empty() && *end == 0 && w == value->number();
    got = value->Text();
  } else if (value->kind() == Json::String) {
    got = value->string();
    same = got == wanted;
  } else {
    got = value->Text();
    same = got == wanted;
  }
  if (!same) throw Failure{1, Where() + "expect " + field + ": got " + got + ", wanted " + wanted};
}

}  // namespace harness
