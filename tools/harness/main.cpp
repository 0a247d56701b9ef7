// kelo-harness: runs the real game headless on a virtual clock from a script,
// or checks a replay.
//   kelo-harness [--folder DIR] [--seed N] [SCRIPT]
//   kelo-harness [--folder DIR] --verify REPLAY
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "session.h"
#include "verify/verify.h"

namespace {

// Plays a replay as fast as it goes: 0 when it reaches what it claims, 1 when
// not, 2 when it cannot be read as a replay of this game.
int VerifyReplay(const std::string& path, const std::string& folder) {
  replay::Replay r;
  try {
    r = replay::ReadFile(path);
  } catch (const replay::ReplayError& e) {
    std::fprintf(stderr, "kelo-harness: %s\n", e.what());
    return 2;
  }
  const replay::Verdict verdict = replay::Verify(r, folder);
  std::fputs(replay::Report(r, verdict).c_str(), stdout);
  return verdict.Holds(r) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder, script, verify;
  uint32_t seed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--folder" && i + 1 < argc) {
      folder = argv[++i];
    } else if (a == "--seed" && i + 1 < argc) {
      seed = uint32_t(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--verify" && i + 1 < argc && verify.empty()) {
      verify = argv[++i];
    } else if (script.empty() && (a == "-" || a[0] != '-')) {
      script = a;
    } else {
      std::fprintf(stderr, "usage: kelo-harness [--folder DIR] [--seed N] [SCRIPT]\n"
                           "       kelo-harness [--folder DIR] --verify REPLAY\n");
      return 2;
    }
  }
  if (!verify.empty()) {
    if (!script.empty()) {
      std::fprintf(stderr, "kelo-harness: --verify takes no script\n");
      return 2;
    }
    return VerifyReplay(verify, folder);
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

  int status = 0;
  {
    harness::Session session(folder, seed);
    auto run = [&session](int lineNo, const std::string& line) {
      const std::string out = session.Run(lineNo, line);
      if (!out.empty()) std::cout << out << std::flush;
    };
    try {
      if (fromStdin) {
        int n = 0;
        for (std::string l; std::getline(std::cin, l);) run(++n, l);
      } else {
        for (size_t i = 0; i < lines.size(); ++i) run(int(i) + 1, lines[i]);
      }
    } catch (const harness::Failure& f) {
      std::fprintf(stderr, "kelo-harness: %s\n", f.message.c_str());
      status = f.status;
    }
    std::cout.flush();
  }
  return status;
}
