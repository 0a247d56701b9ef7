// The runs sent to the world list, as the database keeps them: waiting to be
// verified, on the list, or refused. Each list is in the game's own order
// (RankKey), the older run first among equals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/db.h"

namespace server {

enum class RunState { Waiting = 0, Listed = 1, Refused = 2 };

struct Run {
  int64_t id = 0;
  RunState state = RunState::Waiting;
  int difficulty = 0;
  std::string name;  // UTF-8
  int32_t points = 0, hits = 0;
  int64_t received = 0;  // seconds since 1970, when the server took it
  int64_t recorded = 0;  // when the replay says it was played
  std::string release, system, reason;
};

// A run as it arrives, with what its replay claims.
struct NewRun {
  std::string identity;  // the same for every copy of one played level
  std::string keyHash;   // of the key that may withdraw it
  std::string address;   // of the sender
  int difficulty = 0;
  std::string name;  // UTF-8
  int32_t points = 0, hits = 0;
  int64_t recorded = 0;
  std::string release, system;
  std::string replay;  // the file
};

class Runs {
 public:
  explicit Runs(Database& db) : db_(db) {}

  // Keeps a run to be verified by whoever holds it until `lease`. Its id; none
  // when a run of the same identity is already kept.
  std::optional<int64_t> AddWaiting(const NewRun& run, int64_t now, int64_t lease);
  std::optional<Run> Find(int64_t id);
  std::optional<Run> FindIdentity(const std::string& identity);

  // The verdict on a waiting run: on its list with the score the server's own
  // play reached, or refused (its replay is dropped). False when the run was
  // no longer waiting (another server decided it, or it was withdrawn).
  bool List(int64_t id, int32_t points, int32_t hits, int64_t now);
  bool Refuse(int64_t id, const std::string& reason, int64_t now);

  // Where a listed run stands on its list, from 1.
  int64_t RankOf(const Run& run);
  // How many runs a list holds.
  int64_t Count(int difficulty);
  // Part of a list, from place offset + 1.
  std::vector<Run> Top(int difficulty, int64_t offset, int64_t limit);
  // The replay of a listed run.
  std::optional<std::string> ReplayOf(int64_t id);

  enum class Withdrawal { Done, WrongKey, Unknown };
  // Removes a run when `keyHash` is the one it was sent with.
  Withdrawal Withdraw(int64_t id, const std::string& keyHash);

  // Waiting runs whose lease has run out (their server stopped): each is now
  // leased until `lease` to the caller, who verifies it. Id and replay.
  std::vector<std::pair<int64_t, std::string>> ClaimStale(int64_t now, int64_t lease, int most);
  int64_t CountWaiting();

 private:
  Database& db_;
};

}  // namespace server
