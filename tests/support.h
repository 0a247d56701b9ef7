// Helpers shared by the tests: temporary game folders and runs of kelo-harness.
#pragma once

#include <string>

namespace testing_support {

// A fresh folder holding a copy of the built game's data/ (removed at the end).
class GameFolder {
 public:
  // Made under `base`: a folder on a file system in memory makes tests that
  // write a lot fast where syncing does not matter.
  explicit GameFolder(const std::string& base = "/tmp");
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

// Runs kelo-harness on a script (given as text) in the folder.
HarnessRun RunHarness(const GameFolder& folder, const std::string& script, unsigned seed = 0);

// kelo-harness driven line by line on its standard input.
class HarnessProcess {
 public:
  HarnessProcess(const GameFolder& folder, unsigned seed = 0);
  ~HarnessProcess();
  HarnessProcess(const HarnessProcess&) = delete;
  HarnessProcess& operator=(const HarnessProcess&) = delete;

  void Send(const std::string& line);
  // Sends "dump -" and returns the one-line answer.
  std::string Dump();
  // Closes the input and returns the exit status.
  int Finish();

 private:
  int pid_ = -1;
  int in_ = -1;   // its standard input
  FILE* out_ = nullptr;
};

// The text of a top-level field of a one-line JSON dump (numbers and strings).
std::string DumpField(const std::string& dump, const std::string& field);

}  // namespace testing_support
