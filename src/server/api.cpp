#include "server/api.h"

#include <openssl/sha.h>

#include <charconv>
#include <ctime>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "main.h"
#include "platform/core/controls.h"
#include "platform/core/cp1252.h"
#include "replay.h"
#include "server/limits.h"

namespace server {

using nlohmann::json;

namespace {

int64_t Now() { return int64_t(std::time(nullptr)); }

// A whole number of at most 18 digits; none for anything else.
std::optional<int64_t> Number(std::string_view s) {
  if (s.empty() || s.size() > 18) return std::nullopt;
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < 0) return std::nullopt;
  return v;
}

bool KeyIsWellFormed(std::string_view key) {
  if (key.size() < kFewestKeyChars || key.size() > kMostKeyChars) return false;
  for (const char c : key)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
      return false;
  return true;
}

const char* StateName(RunState s) {
  switch (s) {
    case RunState::Listed: return "listed";
    case RunState::Refused: return "refused";
    case RunState::Waiting: break;
  }
  return "waiting";
}

Response JsonResponse(int status, const json& body) {
  Response r;
  r.status = status;
  // A path or a reason may hold bytes that are not UTF-8: they are replaced.
  r.body = body.dump(-1, ' ', false, json::error_handler_t::replace);
  return r;
}

// One line: a reason never breaks the answer's single line.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

}  // namespace

// --- Limits -------------------------------------------------------------------------

bool HourlyLimit::Take(const std::string& who, int most, int64_t now, int64_t& retryAfter) {
  std::lock_guard lock(mutex_);
  // Now and then, senders not seen within the hour are forgotten.
  if (++takes_ % 4096 == 0) {
    for (auto it = taken_.begin(); it != taken_.end();)
      it = !it->second.empty() && it->second.back() > now - 3600 ? std::next(it) : taken_.erase(it);
  }
  std::deque<int64_t>& times = taken_[who];
  while (!times.empty() && times.front() <= now - 3600) times.pop_front();
  if (int(times.size()) >= most) {
    retryAfter = times.empty() ? 3600 : std::max<int64_t>(1, times.front() + 3600 - now);
    return false;
  }
  times.push_back(now);
  return true;
}

// --- Helpers ------------------------------------------------------------------------

std::string Sha256(std::string_view bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

std::string IdentityOf(const replay::Replay& r) {
  std::string s(1, char(r.difficulty));
  for (const uint32_t seed : r.seeds)
    for (int i = 0; i < 4; ++i) s += char(seed >> (8 * i));
  return Sha256(s);
}

std::string NewKey() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::random_device random;
  std::string key;
  for (int i = 0; i < 32; ++i) key += kLetters[random() % 64];
  return key;
}

bool NameTheGameTakes(std::string_view name) {
  TEdit field;
  field.MaxLength = kNameLength;
  for (size_t i = 0; i < name.size(); ++i)
    if (!field.Takes(i, plat::Cp1252ToUnicode(static_cast<unsigned char>(name[i])))) return false;
  return true;
}

// --- The API --------------------------------------------------------------------------

Api::Api(Runs& runs, Verifier& verifier, Settings settings)
    : runs_(runs), verifier_(verifier), settings_(std::move(settings)) {}

Response Api::Handle(const Request& q) {
  Response r;
  try {
    {
      std::lock_guard lock(countsMutex_);
      ++requests_;
    }
    r = Route(q);
  } catch (const DatabaseError& e) {
    std::fprintf(stderr, "kelo-server: %s\n", OneLine(e.what()).c_str());
    r = Error({503, "database", "the list cannot be reached just now; try again later"});
    r.headers.emplace_back("Retry-After", "30");
  }
  // Any page may ask: the list is public, and a withdrawal needs its key.
  r.headers.emplace_back("Access-Control-Allow-Origin", settings_.allowOrigin);
  r.headers.emplace_back("Access-Control-Expose-Headers", "Retry-After");
  return r;
}

Response Api::Route(const Request& q) {
  const std::string& p = q.path;
  auto allow = [&](std::initializer_list<const char*> methods) {
    for (const char* m : methods)
      if (q.method == m) return true;
    return false;
  };
  auto notAllowed = [&](const char* methods) {
    Response r = Error({405, "method", "this address takes " + std::string(methods)});
    r.headers.emplace_back("Allow", methods);
    return r;
  };
  if (q.method == "OPTIONS") {
    Response r;
    r.status = 204;
    r.type.clear();
    r.headers.emplace_back("Access-Control-Allow-Methods", "GET, POST, DELETE");
    r.headers.emplace_back("Access-Control-Allow-Headers", "Content-Type, X-Kelo-Key");
    r.headers.emplace_back("Access-Control-Max-Age", "86400");
    if (q.privateNetwork) r.headers.emplace_back("Access-Control-Allow-Private-Network", "true");
    return r;
  }
  if (p == "/healthz") return allow({"GET", "HEAD"}) ? Health() : notAllowed("GET");
  if (p == "/metrics") return allow({"GET", "HEAD"}) ? Metrics() : notAllowed("GET");
  if (p == "/api/top") return allow({"GET", "HEAD"}) ? Top(q) : notAllowed("GET");
  if (p == "/api/runs") return q.method == "POST" ? Send(q) : notAllowed("POST");
  const std::string_view prefix = "/api/runs/";
  if (p.compare(0, prefix.size(), prefix) == 0) {
    std::string_view rest = std::string_view(p).substr(prefix.size());
    const bool replayOf = rest.ends_with("/replay");
    if (replayOf) rest.remove_suffix(std::string_view("/replay").size());
    if (const std::optional<int64_t> id = Number(rest)) {
      if (replayOf) return allow({"GET", "HEAD"}) ? GetReplay(*id) : notAllowed("GET");
      if (q.method == "DELETE") return Withdraw(q, *id);
      return allow({"GET", "HEAD"}) ? GetRun(*id) : notAllowed("GET, DELETE");
    }
  }
  return Error({404, "not-found", "there is nothing at " + OneLine(p.substr(0, 200))});
}

Response Api::Error(const Refusal& r) {
  if (r.status != 404 && r.status != 405) {
    std::lock_guard lock(countsMutex_);
    ++refused_[r.code];
  }
  return JsonResponse(r.status, json{{"error", r.code}, {"reason", OneLine(r.reason)}});
}

Response Api::RunJson(const Run& run, int status, const std::string& madeKey) {
  json j{{"id", run.id},           {"state", StateName(run.state)}, {"difficulty", run.difficulty},
         {"name", run.name},       {"score", run.points},           {"hits", run.hits},
         {"date", run.recorded},   {"received", run.received},      {"release", run.release},
         {"system", run.system}};
  if (run.state == RunState::Listed) j["rank"] = runs_.RankOf(run);
  if (run.state == RunState::Refused) j["reason"] = run.reason;
  if (!madeKey.empty()) j["key"] = madeKey;
  return JsonResponse(status, j);
}

Response Api::Known(const Run& run) {
  switch (run.state) {
    case RunState::Listed: return RunJson(run, 200, "");
    case RunState::Refused: return Error({422, "does-not-verify", run.reason});
    case RunState::Waiting: break;
  }
  Response r = Error({503, "being-verified", "this run is being played again; ask for it again shortly"});
  r.headers.emplace_back("Retry-After", "5");
  return r;
}

Response Api::Send(const Request& q) {
  if (q.body.size() > kMostReplayBytes)
    return Error({413, "too-large", "a replay has at most " + std::to_string(kMostReplayBytes) + " bytes"});
  std::string key = q.key, madeKey;
  if (key.empty()) key = madeKey = NewKey();
  if (!KeyIsWellFormed(key))
    return Error({400, "bad-key", "the key must be 16 to 128 of the letters A-Z a-z 0-9 - _"});
  const int64_t now = Now();
  int64_t retryAfter = 0;
  if (!perAddress_.Take(q.address, settings_.runsPerHourPerAddress, now, retryAfter) ||
      !perKey_.Take(key, settings_.runsPerHourPerKey, now, retryAfter)) {
    Response r = Error({429, "too-often", "too many runs sent within the hour; try again later"});
    r.headers.emplace_back("Retry-After", std::to_string(retryAfter));
    return r;
  }

  replay::Replay r;
  try {
    unpacking_.acquire();
    struct Release {
      std::counting_semaphore<>& s;
      ~Release() { s.release(); }
    } release{unpacking_};
    r = replay::Decode(q.body);
  } catch (const replay::ReplayError& e) {
    return Error({400, "malformed", e.what()});
  }
  try {
    replay::RequirePlayVersion(r);
  } catch (const replay::ReplayError& e) {
    return Error({409, "another-version", e.what()});
  }
  if (r.claim.end != replay::End::Finished)
    return Error({422, "not-finished", "the level was left from the pause: only finished levels are ranked"});
  if (r.claim.ticks > kMostLevelTicks)
    return Error({422, "too-long", "the level claims more ticks than any level takes"});
  if (!NameTheGameTakes(r.name)) return Error({422, "bad-name", "the name is not one the game's name field takes"});

  const std::string identity = IdentityOf(r);
  // A copy of a run being verified here waits for the first one's verdict.
  std::promise<void> done;
  {
    std::unique_lock lock(inFlightMutex_);
    if (auto it = inFlight_.find(identity); it != inFlight_.end()) {
      std::shared_future<void> first = it->second;
      lock.unlock();
      first.wait();
      if (std::optional<Run> known = runs_.FindIdentity(identity)) return Known(*known);
      return Error({503, "being-verified", "this run is being played again; send it again shortly"});
    }
    inFlight_.emplace(identity, done.get_future().share());
  }
  struct Finish {
    Api& api;
    const std::string& identity;
    std::promise<void>& done;
    ~Finish() {
      std::lock_guard lock(api.inFlightMutex_);
      api.inFlight_.erase(identity);
      done.set_value();
    }
  } finish{*this, identity, done};

  if (std::optional<Run> known = runs_.FindIdentity(identity)) return Known(*known);
  if (verifier_.Busy()) {
    Response busy = Error({503, "busy", "too many runs are waiting to be played again; send it again shortly"});
    busy.headers.emplace_back("Retry-After", "10");
    return busy;
  }
  NewRun n;
  n.identity = identity;
  n.keyHash = Sha256(key);
  n.address = q.address;
  n.difficulty = r.difficulty;
  n.name = plat::Cp1252ToUtf8(r.name);
  n.points = r.claim.points;
  n.hits = r.claim.hits;
  n.recorded = r.date;
  n.release = r.gameVersion;
  n.system = r.system;
  n.replay = q.body;
  const std::optional<int64_t> id = runs_.AddWaiting(n, now, now + settings_.leaseSeconds);
  if (!id) {
    if (std::optional<Run> known = runs_.FindIdentity(identity)) return Known(*known);
    return Error({503, "being-verified", "this run is being played again; send it again shortly"});
  }
  {
    std::lock_guard lock(inFlightMutex_);
    deciding_.insert(*id);
  }
  std::optional<Refusal> refusal = Decide(*id, verifier_.Submit(q.body), r);
  {
    std::lock_guard lock(inFlightMutex_);
    deciding_.erase(*id);
  }
  if (refusal) {
    Response e = Error(*refusal);
    if (refusal->status == 503) e.headers.emplace_back("Retry-After", "30");
    return e;
  }
  const std::optional<Run> run = runs_.Find(*id);
  if (!run) return Error({404, "withdrawn", "the run was withdrawn while it was played"});
  return RunJson(*run, 201, madeKey);
}

std::optional<Api::Refusal> Api::Decide(int64_t id, std::future<Outcome> playing, const replay::Replay& r) {
  const Outcome o = playing.get();
  std::string reason;
  switch (o.kind) {
    case Outcome::Kind::Unavailable:
      // Not the run's fault: it stays waiting and is played when a worker can.
      return Refusal{503, "unavailable", "the run is kept but could not be played yet; ask for it again later"};
    case Outcome::Kind::Overran: reason = "it takes longer to play than any level may"; break;
    case Outcome::Kind::Crashed: reason = "the game stopped while playing it"; break;
    case Outcome::Kind::Played:
      if (!o.verdict.problem.empty()) reason = "it cannot be played: " + o.verdict.problem;
      else if (!o.verdict.Holds(r))
        reason = "it does not play to what it claims (" + replay::Describe(r.claim) + "); it reaches " +
                 replay::Describe(o.verdict.reached);
      break;
  }
  const int64_t now = Now();
  if (!reason.empty()) {
    runs_.Refuse(id, reason, now);
    return Refusal{422, "does-not-verify", reason};
  }
  if (runs_.List(id, o.verdict.reached.points, o.verdict.reached.hits, now)) {
    std::lock_guard lock(countsMutex_);
    ++listed_;
  }
  return std::nullopt;
}

int Api::Recover() {
  const int64_t now = Now();
  struct Claimed {
    int64_t id;
    replay::Replay replay;
    std::future<Outcome> playing;
  };
  std::vector<Claimed> claimed;
  int decided = 0;
  for (auto& [id, bytes] : runs_.ClaimStale(now, now + settings_.leaseSeconds, 16)) {
    {
      std::lock_guard lock(inFlightMutex_);
      if (!deciding_.insert(id).second) continue;  // being decided here already
    }
    try {
      replay::Replay r = replay::DecodePlayable(bytes);
      claimed.push_back(Claimed{id, std::move(r), verifier_.Submit(std::move(bytes))});
    } catch (const replay::ReplayError& e) {
      // Kept by a server that read it; this one cannot (another version).
      runs_.Refuse(id, e.what(), now);
      ++decided;
      std::lock_guard lock(inFlightMutex_);
      deciding_.erase(id);
    }
  }
  for (Claimed& c : claimed) {
    const std::optional<Refusal> refusal = Decide(c.id, std::move(c.playing), c.replay);
    if (!refusal || refusal->status != 503) ++decided;
    if (refusal && refusal->status != 503) {
      std::lock_guard lock(countsMutex_);
      ++refused_[refusal->code];
    }
    std::lock_guard lock(inFlightMutex_);
    deciding_.erase(c.id);
  }
  return decided;
}

Response Api::Top(const Request& q) {
  auto param = [&](const char* name, int64_t fallback) -> std::optional<int64_t> {
    const auto it = q.query.find(name);
    if (it == q.query.end()) return fallback;
    return Number(it->second);
  };
  const std::optional<int64_t> difficulty = param("difficulty", 0), offset = param("offset", 0),
                               limit = param("limit", 10);
  if (!difficulty || *difficulty < 1 || *difficulty > 3)
    return Error({400, "bad-query", "difficulty must be 1 (Leicht), 2 (Mittel) or 3 (Schwer)"});
  if (!offset || !limit || *limit < 1 || *limit > kMostPerPage)
    return Error({400, "bad-query", "offset must be 0 or more, limit 1 to " + std::to_string(kMostPerPage)});
  json runs = json::array();
  int64_t rank = *offset;
  for (const Run& run : runs_.Top(int(*difficulty), *offset, *limit))
    runs.push_back(json{{"rank", ++rank},
                        {"id", run.id},
                        {"name", run.name},
                        {"score", run.points},
                        {"hits", run.hits},
                        {"date", run.recorded}});
  return JsonResponse(200, json{{"difficulty", *difficulty},
                                {"total", runs_.Count(int(*difficulty))},
                                {"offset", *offset},
                                {"runs", runs}});
}

Response Api::GetRun(int64_t id) {
  const std::optional<Run> run = runs_.Find(id);
  if (!run) return Error({404, "not-found", "there is no run " + std::to_string(id)});
  return RunJson(*run, 200, "");
}

Response Api::GetReplay(int64_t id) {
  const std::optional<std::string> bytes = runs_.ReplayOf(id);
  if (!bytes) return Error({404, "not-found", "there is no run " + std::to_string(id) + " on a list"});
  Response r;
  r.type = "application/octet-stream";
  r.body = *bytes;
  r.headers.emplace_back("Content-Disposition", "attachment; filename=\"kelo-" + std::to_string(id) + ".rep\"");
  r.headers.emplace_back("Cache-Control", "public, max-age=86400, immutable");
  return r;
}

Response Api::Withdraw(const Request& q, int64_t id) {
  if (!KeyIsWellFormed(q.key)) return Error({403, "not-yours", "only the key the run was sent with withdraws it"});
  switch (runs_.Withdraw(id, Sha256(q.key))) {
    case Runs::Withdrawal::Done: {
      Response r;
      r.status = 204;
      r.type.clear();
      return r;
    }
    case Runs::Withdrawal::WrongKey:
      return Error({403, "not-yours", "only the key the run was sent with withdraws it"});
    case Runs::Withdrawal::Unknown: break;
  }
  return Error({404, "not-found", "there is no run " + std::to_string(id)});
}

Response Api::Health() {
  const int64_t waiting = runs_.CountWaiting();
  return JsonResponse(200, json{{"ok", true}, {"waiting", waiting}});
}

Response Api::Metrics() {
  const Verifier::Figures f = verifier_.Counted();
  const int64_t waiting = runs_.CountWaiting();
  std::string s;
  auto line = [&s](const std::string& name, const std::string& value) { s += name + " " + value + "\n"; };
  // Prometheus's text format.
  line("kelo_runs_played_total", std::to_string(f.played));
  line("kelo_play_seconds_total", std::to_string(f.seconds));
  line("kelo_plays_overran_total", std::to_string(f.overran));
  line("kelo_plays_crashed_total", std::to_string(f.crashed));
  line("kelo_workers_started_total", std::to_string(f.started));
  line("kelo_runs_queued", std::to_string(f.waiting));
  line("kelo_runs_waiting", std::to_string(waiting));
  std::lock_guard lock(countsMutex_);
  line("kelo_runs_listed_total", std::to_string(listed_));
  for (const auto& [code, n] : refused_) line("kelo_runs_refused_total{reason=\"" + code + "\"}", std::to_string(n));
  line("kelo_requests_total", std::to_string(requests_));
  Response r;
  r.type = "text/plain; version=0.0.4";
  r.body = s;
  return r;
}

}  // namespace server
