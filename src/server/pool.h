// The verifying pool: worker processes that each play one replay at a time.
//
// The game keeps its whole state in its one game window, so one process
// plays one replay at a time; a process of its own for each worker lets
// every core play at once, and whatever a hostile replay does to a worker (a
// crash, a level without end, memory) ends with that process: a worker that
// dies or overruns its time is killed and the run refused, and the next
// replay gets a fresh worker. The server's threads only hand replays over
// and wait; the queue before the workers is bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/verifier.h"

namespace server {

class Pool : public Verifier {
 public:
  struct Options {
    // The worker's command line: a program that runs RunWorker on its
    // standard input and output.
    std::vector<std::string> command;
    int workers = 2;
    size_t queue = 64;  // replays that may wait for a worker
    std::chrono::milliseconds timeout{10000};  // for one replay
  };
  explicit Pool(Options options);
  ~Pool() override;

  std::future<Outcome> Submit(std::string replay) override;
  bool Busy() const override;

  Figures Counted() const override;

 private:
  struct Job {
    std::string replay;
    std::promise<Outcome> promise;
  };
  struct Worker {
    pid_t pid = -1;
    int toWorker = -1, fromWorker = -1;
    std::string pending;  // read beyond the last line
  };

  void Serve();
  bool Start(Worker& w);
  void Stop(Worker& w);
  Outcome Play(Worker& w, const std::string& replay);

  Options options_;
  mutable std::mutex mutex_;
  std::condition_variable work_;
  std::deque<Job> queue_;
  bool stopping_ = false;
  Figures figures_;
  std::vector<std::thread> threads_;
};

}  // namespace server
