#include "server/pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace server {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

Pool::Pool(Options options) : options_(std::move(options)) {
  for (int i = 0; i < std::max(1, options_.workers); ++i) threads_.emplace_back([this] { Serve(); });
}

Pool::~Pool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
  for (Job& job : queue_) job.promise.set_value(Outcome{Outcome::Kind::Unavailable, {}});
}

std::future<Outcome> Pool::Submit(std::string replay) {
  Job job{std::move(replay), {}};
  std::future<Outcome> result = job.promise.get_future();
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  }
  work_.notify_one();
  return result;
}

bool Pool::Busy() const {
  std::lock_guard lock(mutex_);
  return queue_.size() >= options_.queue;
}

Verifier::Figures Pool::Counted() const {
  std::lock_guard lock(mutex_);
  Figures f = figures_;
  f.waiting = queue_.size();
  return f;
}

void Pool::Serve() {
  Worker worker;
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) break;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    const Clock::time_point began = Clock::now();
    const Outcome outcome = Play(worker, job.replay);
    {
      std::lock_guard lock(mutex_);
      figures_.seconds += std::chrono::duration<double>(Clock::now() - began).count();
      figures_.played += outcome.kind == Outcome::Kind::Played;
      figures_.overran += outcome.kind == Outcome::Kind::Overran;
      figures_.crashed += outcome.kind == Outcome::Kind::Crashed;
    }
    job.promise.set_value(outcome);
  }
  Stop(worker);
}

bool Pool::Start(Worker& w) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]), ::close(in[1]);
    return false;
  }
  // The worker gets the pipes as its standard input and output and nothing
  // else of the server (no socket, no database file).
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  std::vector<char*> argv;
  for (std::string& a : options_.command) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The server's blocked signals are not the worker's.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(in[0]), ::close(out[1]);
  if (rc != 0) {
    std::fprintf(stderr, "kelo-server: cannot start a worker (%s): error %d\n", argv[0], rc);
    ::close(in[1]), ::close(out[0]);
    return false;
  }
  w.pid = pid;
  w.toWorker = in[1];
  w.fromWorker = out[0];
  w.pending.clear();
  std::lock_guard lock(mutex_);
  ++figures_.started;
  return true;
}

void Pool::Stop(Worker& w) {
  if (w.pid <= 0) return;
  ::close(w.toWorker);
  ::close(w.fromWorker);
  ::kill(w.pid, SIGKILL);
  while (::waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  w = Worker{};
}

Outcome Pool::Play(Worker& w, const std::string& replay) {
  const uint32_t n = uint32_t(replay.size());
  const char head[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
  // A worker that went away while it waited is started again once; a replay
  // it took in full and then died on is the replay's doing.
  bool sent = false;
  for (int attempt = 0; attempt < 2 && !sent; ++attempt) {
    if (w.pid <= 0 && !Start(w)) break;
    sent = WriteAll(w.toWorker, head, 4) && WriteAll(w.toWorker, replay.data(), replay.size());
    if (!sent) Stop(w);
  }
  if (!sent) return Outcome{Outcome::Kind::Unavailable, {}};

  const Clock::time_point deadline = Clock::now() + options_.timeout;
  for (;;) {
    if (const size_t eol = w.pending.find('\n'); eol != std::string::npos) {
      Outcome o;
      const bool read = ReadVerdictLine(w.pending.substr(0, eol), o.verdict);
      w.pending.erase(0, eol + 1);
      if (read) return o;
      Stop(w);
      return Outcome{Outcome::Kind::Crashed, {}};
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      Stop(w);
      return Outcome{Outcome::Kind::Overran, {}};
    }
    pollfd p{w.fromWorker, POLLIN, 0};
    const int ready = ::poll(&p, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;  // the deadline is looked at above
    char buffer[512];
    const ssize_t got = ready > 0 ? ::read(w.fromWorker, buffer, sizeof buffer) : -1;
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      Stop(w);
      return Outcome{Outcome::Kind::Crashed, {}};
    }
    w.pending.append(buffer, size_t(got));
  }
}

}  // namespace server
