// The world list's HTTP API (docs/server.md), apart from the HTTP library:
// a request in, a response out. Runs are played again by a Verifier and
// kept in Runs; refusals are one line each.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <semaphore>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/runs.h"
#include "server/verifier.h"

namespace replay {
struct Replay;
}

namespace server {

struct Request {
  std::string method;   // GET, POST, ...
  std::string path;     // without the query
  std::multimap<std::string, std::string> query;
  std::string key;      // the X-Kelo-Key header (empty: none)
  std::string address;  // of the sender
  std::string body;
  bool privateNetwork = false;  // a preflight asked for access to a private network
};

struct Response {
  int status = 200;
  std::string type = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

struct Settings {
  int runsPerHourPerAddress = 60;
  int runsPerHourPerKey = 30;
  int64_t leaseSeconds = 60;  // a waiting run is another server's for this long
  std::string allowOrigin = "*";
};

// Counts what happened within the last hour, per sender.
class HourlyLimit {
 public:
  // Takes one more for `who` when fewer than `most` were taken within the
  // hour; else false and, in `retryAfter`, the seconds until one is free.
  bool Take(const std::string& who, int most, int64_t now, int64_t& retryAfter);

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::deque<int64_t>> taken_;
  uint64_t takes_ = 0;
};

class Api {
 public:
  Api(Runs& runs, Verifier& verifier, Settings settings);

  Response Handle(const Request& request);

  // Verifies the runs left waiting by a server that stopped (this one before a
  // restart, or another on the same database), as many as the verifier has
  // room for. Returns how many it decided.
  int Recover();

 private:
  struct Refusal {
    int status;
    std::string code, reason;
  };
  Response Route(const Request& q);
  Response Send(const Request& q);
  Response Top(const Request& q);
  Response GetRun(int64_t id);
  Response GetReplay(int64_t id);
  Response Withdraw(const Request& q, int64_t id);
  Response Health();
  Response Metrics();

  // Plays a waiting run and keeps the verdict: none when it is on its list,
  // else why not.
  std::optional<Refusal> Decide(int64_t id, std::future<Outcome> playing, const replay::Replay& r);
  // The answer for a run that is already kept.
  Response Known(const Run& run);
  Response Error(const Refusal& r);
  Response RunJson(const Run& run, int status, const std::string& madeKey);

  Runs& runs_;
  Verifier& verifier_;
  Settings settings_;
  HourlyLimit perAddress_, perKey_;
  // Replays unpacked at once: each may take up to 16 MB.
  std::counting_semaphore<> unpacking_{4};

  // The runs being verified here, by identity: a copy sent meanwhile waits
  // for the first.
  std::mutex inFlightMutex_;
  std::map<std::string, std::shared_future<void>> inFlight_;
  std::set<int64_t> deciding_;  // the ids of those, and of those recovered

  // Counted since the start, for /metrics.
  std::mutex countsMutex_;
  std::map<std::string, uint64_t> refused_;  // by code
  uint64_t listed_ = 0, requests_ = 0;
};

// The identity of a played level: its difficulty and every seed it was
// played with (the game's clock picks them): the same for a copy sent again
// under another name or date.
std::string IdentityOf(const replay::Replay& r);
// SHA-256, raw.
std::string Sha256(std::string_view bytes);
// A fresh random key of base64url letters.
std::string NewKey();
// Whether the game's name field takes every character of `name` (Windows-1252).
bool NameTheGameTakes(std::string_view name);

}  // namespace server
