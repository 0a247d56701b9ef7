#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "session.h"

namespace fs = std::filesystem;

namespace testing_support {

GameFolder::GameFolder(const std::string& base) {
  const fs::path under = base.empty() ? fs::temp_directory_path() : fs::path(base);
  std::random_device random;
  for (int attempt = 0;; ++attempt) {
    const fs::path folder = under / ("kelo-test-" + std::to_string(random()));
    if (fs::create_directory(folder)) {
      path_ = folder.generic_string() + "/";
      break;
    }
    if (attempt == 100) throw std::runtime_error("cannot make a test folder in " + under.string());
  }
  fs::copy(fs::path(KELO_GAME_DIR) / "data", fs::path(path_) / "data", fs::copy_options::recursive);
}

GameFolder::~GameFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void GameFolder::Write(const std::string& name, const std::string& content) const {
  std::ofstream out(File(name), std::ios::binary);
  out << content;
}

std::string GameFolder::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void GameFolder::Remove(const std::string& name) const { fs::remove(File(name)); }

HarnessRun RunHarness(const GameFolder& folder, const std::string& script, unsigned seed) {
  HarnessRun run;
  harness::Session session(folder.Path(), seed);
  std::istringstream lines(script);
  int lineNo = 0;
  try {
    for (std::string line; std::getline(lines, line);) run.out += session.Run(++lineNo, line);
    run.status = 0;
  } catch (const harness::Failure& f) {
    run.status = f.status;
    run.err = "kelo-harness: " + f.message + "\n";
  }
  return run;
}

HarnessSession::HarnessSession(const GameFolder& folder, unsigned seed)
    : session_(std::make_unique<harness::Session>(folder.Path(), seed)) {}

HarnessSession::~HarnessSession() = default;

void HarnessSession::Send(const std::string& line) {
  if (status_ != 0 || !session_) return;
  try {
    session_->Run(++lineNo_, line);
  } catch (const harness::Failure& f) {
    status_ = f.status;
    ADD_FAILURE() << "kelo-harness: " << f.message;
  }
}

std::string HarnessSession::Dump() {
  if (status_ != 0 || !session_) return "";
  return session_->Run(++lineNo_, "dump -");
}

std::string HarnessSession::State() { return status_ != 0 || !session_ ? "" : session_->State(); }

int HarnessSession::Finish() {
  session_.reset();
  return status_;
}

std::string DumpField(const std::string& dump, const std::string& field) {
  const std::string key = "\"" + field + "\":";
  size_t pos = dump.find(key);
  if (pos == std::string::npos) return "<missing>";
  pos += key.size();
  if (dump[pos] == '"') {
    const size_t end = dump.find('"', pos + 1);
    return dump.substr(pos + 1, end - pos - 1);
  }
  size_t end = pos;
  int depth = 0;
  while (end < dump.size()) {
    const char c = dump[end];
    if (c == '[' || c == '{') ++depth;
    if (c == ']' || c == '}') {
      if (depth == 0) break;
      --depth;
    }
    if (c == ',' && depth == 0) break;
    ++end;
  }
  return dump.substr(pos, end - pos);
}

}  // namespace testing_support
