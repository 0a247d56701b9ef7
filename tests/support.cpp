#include "support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

GameFolder::GameFolder(const std::string& base) {
  std::string tmpl = base + "/kelo-test-XXXXXX";
  const char* made = mkdtemp(tmpl.data());
  if (!made) throw std::runtime_error("mkdtemp failed in " + base);
  path_ = std::string(made) + "/";
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

namespace {
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

HarnessRun RunHarness(const GameFolder& folder, const std::string& script, unsigned seed) {
  const std::string scriptFile = folder.File("script.txt");
  const std::string outFile = folder.File("harness.out"), errFile = folder.File("harness.err");
  folder.Write("script.txt", script);
  const std::string cmd = std::string(KELO_HARNESS) + " --folder " + folder.Path() + " --seed " +
                          std::to_string(seed) + " " + scriptFile + " >" + outFile + " 2>" + errFile;
  HarnessRun run;
  const int rc = std::system(cmd.c_str());
  run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  run.out = Slurp(outFile);
  run.err = Slurp(errFile);
  return run;
}

HarnessProcess::HarnessProcess(const GameFolder& folder, unsigned seed) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    const std::string seedText = std::to_string(seed);
    execl(KELO_HARNESS, KELO_HARNESS, "--folder", folder.Path().c_str(), "--seed", seedText.c_str(), "-",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  in_ = toChild[1];
  out_ = fdopen(fromChild[0], "r");
}

HarnessProcess::~HarnessProcess() {
  if (pid_ > 0) Finish();
}

void HarnessProcess::Send(const std::string& line) {
  const std::string text = line + "\n";
  if (write(in_, text.data(), text.size()) != ssize_t(text.size())) throw std::runtime_error("harness gone");
}

std::string HarnessProcess::Dump() {
  Send("dump -");
  std::string line;
  char buf[65536];
  while (fgets(buf, sizeof buf, out_)) {
    line += buf;
    if (!line.empty() && line.back() == '\n') break;
  }
  return line;
}

int HarnessProcess::Finish() {
  if (pid_ <= 0) return -1;
  close(in_);
  fclose(out_);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
