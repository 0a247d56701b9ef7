// What plays the runs again: a replay goes in, what the game reached comes
// out, or why it could not be played to its end.
#pragma once

#include <cstdint>
#include <future>
#include <mutex>
#include <string>

#include "verify/verify.h"

namespace server {

struct Outcome {
  enum class Kind {
    Played,   // the verdict says what the level reached
    Overran,  // it took longer than any level may take to play
    Crashed,  // the game stopped while playing it
    Unavailable,  // no worker could be started: not the run's fault
  };
  Kind kind = Kind::Played;
  replay::Verdict verdict;
};

class Verifier {
 public:
  virtual ~Verifier() = default;
  // Plays a replay file (one that Decode has read) in its turn.
  virtual std::future<Outcome> Submit(std::string replay) = 0;
  // As many replays wait as the verifier will hold: new runs are turned away.
  virtual bool Busy() const = 0;

  struct Figures {
    uint64_t played = 0, overran = 0, crashed = 0, started = 0;  // started: worker processes
    double seconds = 0;  // spent playing
    size_t waiting = 0;
  };
  virtual Figures Counted() const = 0;
};

// Plays each replay in this process, one at a time, when it is submitted: for
// tests and the fuzz target, where nothing else opens a game window.
class InlineVerifier : public Verifier {
 public:
  explicit InlineVerifier(std::string folder) : folder_(std::move(folder)) {}
  std::future<Outcome> Submit(std::string replay) override;
  bool Busy() const override { return false; }
  Figures Counted() const override;

 private:
  std::string folder_;
  mutable std::mutex mutex_;
  Figures figures_;
};

// --- Between the server and its worker processes ---------------------------------

// The verdict as one line of text and back.
std::string VerdictLine(const replay::Verdict& verdict);
bool ReadVerdictLine(const std::string& line, replay::Verdict& verdict);

// Whole reads and writes on a pipe; false when it closed or failed.
bool ReadAll(int fd, char* p, size_t n);
bool WriteAll(int fd, const char* p, size_t n);

// A worker process: reads replays from `in` (each its length as 4 bytes,
// little-endian, then the file), plays each in the game folder `folder` and
// writes its verdict as a line to `out`, until `in` ends. Returns the exit
// status.
int RunWorker(int in, int out, const std::string& folder);

}  // namespace server
