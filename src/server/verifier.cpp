#include "server/verifier.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <sstream>

#include "replay.h"

namespace server {

namespace {

Outcome PlayHere(const std::string& bytes, const std::string& folder) {
  Outcome o;
  try {
    o.verdict = replay::Verify(replay::Decode(bytes), folder);
  } catch (const replay::ReplayError& e) {
    o.verdict.problem = e.what();
  }
  return o;
}

}  // namespace

std::future<Outcome> InlineVerifier::Submit(std::string replay) {
  // One game window in the process at a time.
  static std::mutex playing;
  std::lock_guard lock(playing);
  std::promise<Outcome> promise;
  const auto began = std::chrono::steady_clock::now();
  promise.set_value(PlayHere(replay, folder_));
  std::lock_guard count(mutex_);
  ++figures_.played;
  figures_.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return promise.get_future();
}

Verifier::Figures InlineVerifier::Counted() const {
  std::lock_guard lock(mutex_);
  return figures_;
}

std::string VerdictLine(const replay::Verdict& v) {
  const replay::Claim& c = v.reached;
  std::ostringstream s;
  s << int(c.end) << ' ' << c.ticks << ' ' << c.points << ' ' << c.hits << ' ' << c.released << ' ' << c.placement
    << ' ' << c.digest << ' ';
  for (const char ch : v.problem) s << (ch == '\n' || ch == '\r' ? ' ' : ch);
  return s.str();
}

bool ReadVerdictLine(const std::string& line, replay::Verdict& v) {
  std::istringstream s(line);
  int end = 0;
  replay::Claim& c = v.reached;
  if (!(s >> end >> c.ticks >> c.points >> c.hits >> c.released >> c.placement >> c.digest)) return false;
  if (end < 0 || end > 2) return false;
  c.end = replay::End(end);
  if (s.get() != ' ') return false;
  std::getline(s, v.problem);
  return true;
}

namespace {

// Moves exactly n bytes at p through `step` (a read or a write), going on
// after an interruption; false at the end of the input or on an error.
template <typename Byte, typename Step>
bool Whole(Byte* p, size_t n, Step step) {
  while (n > 0) {
    const ssize_t done = step(p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= size_t(done);
  }
  return true;
}

}  // namespace

bool ReadAll(int fd, char* p, size_t n) {
  return Whole(p, n, [fd](char* at, size_t k) { return ::read(fd, at, k); });
}

bool WriteAll(int fd, const char* p, size_t n) {
  return Whole(p, n, [fd](const char* at, size_t k) { return ::write(fd, at, k); });
}

int RunWorker(int in, int out, const std::string& folder) {
  for (;;) {
    unsigned char head[4];
    if (!ReadAll(in, reinterpret_cast<char*>(head), 4)) return 0;
    const uint32_t n = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
    if (n > replay::kMostFileBytes) return 2;
    std::string bytes(n, '\0');
    if (!ReadAll(in, bytes.data(), n)) return 2;
    const std::string line = VerdictLine(PlayHere(bytes, folder).verdict) + "\n";
    if (!WriteAll(out, line.data(), line.size())) return 2;
  }
}

}  // namespace server
