// Runs the real game window in the test process on the headless backend.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "main.h"
#include "platform/core/files.h"
#include "platform/headless/harness_backend.h"
#include "support.h"

class GameTest : public ::testing::Test {
 protected:
  explicit GameTest(const std::string& base = "") : folder(base) {}

  // Creates the game window in the test's folder (start-up runs) and shows it.
  void StartGame(bool show = true) {
    backend = std::make_unique<plat::HarnessBackend>(0);
    Application.Initialize(backend.get());
    Application.Title = "Kelo - Das Spiel";
    plat::SetProgramFolder(folder.Path());
    CreateGameWindow();
    if (show) ShowGameWindow();
  }
  // One harness tick: deliver events, then let the frame timer tick.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      Application.ProcessMessages();
      backend->clockMs += 20;
      Form1->DXTimer1.Step(backend->clockMs, Application.Active);
    }
  }
  // Input as the window system delivers it, handled at once.
  void Press(int x, int y) {
    backend->QueuePress(x, y);
    Application.ProcessMessages();
  }
  void Key(int vk) {
    backend->QueueKey(vk);
    Application.ProcessMessages();
  }
  // The texts drawn while `draw` runs.
  template <class F>
  std::vector<TDrawnText> TextsOf(F draw) {
    std::vector<TDrawnText> log;
    TCanvas::TextLog = &log;
    draw();
    TCanvas::TextLog = nullptr;
    return log;
  }
  int Count(plat::Sighting::Kind kind, const std::string& op = "") const {
    int n = 0;
    for (const auto& r : backend->records) n += r.what.kind == kind && (op.empty() || r.what.op == op);
    return n;
  }

  void TearDown() override {
    delete Form1;
    Application.Initialize(nullptr);
    backend.reset();
    plat::SetProgramFolder("");
  }

  testing_support::GameFolder folder;
  std::unique_ptr<plat::HarnessBackend> backend;
};
