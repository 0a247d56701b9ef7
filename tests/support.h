// Helpers shared by the tests: temporary game folders and runs of the
// harness's driver in the test's own process.
#pragma once

#include <memory>
#include <string>

namespace harness {
class Session;
}

namespace testing_support {

// A fresh folder holding a copy of the built game's data/ (removed at the end).
class GameFolder {
 public:
  // Made under `base` (the system's folder for temporary files when empty):
  // a folder on a file system in memory makes tests that write a lot fast
  // where syncing does not matter.
  explicit GameFolder(const std::string& base = "");
  ~GameFolder();
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  const std::string& Path() const { return path_; }  // ends in '/'
  std::string File(const std::string& name) const { return path_ + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;
  void Remove(const std::string& name) const;

 private:
  std::string path_;
};

struct HarnessRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs a script (given as text) in the folder as kelo-harness would: its
// exit status, what "dump -" wrote and the failure's message.
HarnessRun RunHarness(const GameFolder& folder, const std::string& script, unsigned seed = 0);

// The harness driven line by line, as on kelo-harness's standard input.
class HarnessSession {
 public:
  HarnessSession(const GameFolder& folder, unsigned seed = 0);
  ~HarnessSession();
  HarnessSession(const HarnessSession&) = delete;
  HarnessSession& operator=(const HarnessSession&) = delete;

  // Runs a line; after a failure, lines are no longer run.
  void Send(const std::string& line);
  // Runs "dump -" and returns the one-line answer.
  std::string Dump();
  // The same without the list of events.
  std::string State();
  // Ends the session and returns kelo-harness's exit status.
  int Finish();

 private:
  std::unique_ptr<harness::Session> session_;
  int lineNo_ = 0;
  int status_ = 0;
};

// The text of a top-level field of a one-line JSON dump (numbers and strings).
std::string DumpField(const std::string& dump, const std::string& field);

}  // namespace testing_support
