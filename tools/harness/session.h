// One run of the game on the headless backend, driven by script lines: what
// kelo-harness does, callable in a process of its own or inside a test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace plat {
class HarnessBackend;
}

namespace harness {

// A script line that failed: status 1 for an expectation that did not hold,
// 2 for a line that cannot be understood.
struct Failure {
  int status;
  std::string message;
};

class Session {
 public:
  // Starts the game in `folder` (empty: the program's own folder) with `seed`
  // mixed into every re-seeding of the random generator. Only one session
  // runs at a time in a process.
  Session(const std::string& folder, uint32_t seed);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Carries out one script line; returns what "dump -" writes (one line,
  // with its newline), else nothing. Throws Failure.
  std::string Run(int lineNo, const std::string& line);
  // The state as "dump -" writes it, but without the list of events (which
  // grows with the run): for a driver that looks often.
  std::string State() const;

 private:
  void Deliver();
  void Tick();
  void Expect(const std::string& field, const std::string& wanted);
  std::string Where() const;

  std::unique_ptr<plat::HarnessBackend> backend_;
  int lineNo_ = 0;
};

}  // namespace harness
