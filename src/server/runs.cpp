#include "server/runs.h"

#include "tool1.h"

namespace server {

namespace {

const char* const kRunColumns =
    "id, state, difficulty, name, points, hits, received, recorded, release, system, reason";

Run ReadRun(const Row& row) {
  Run r;
  r.id = row.Int(0);
  r.state = RunState(row.Int(1));
  r.difficulty = int(row.Int(2));
  r.name = row.Text(3);
  r.points = int32_t(row.Int(4));
  r.hits = int32_t(row.Int(5));
  r.received = row.Int(6);
  r.recorded = row.Int(7);
  r.release = row.Text(8);
  r.system = row.Text(9);
  r.reason = row.Text(10);
  return r;
}

std::optional<Run> FirstRun(const std::vector<Row>& rows) {
  if (rows.empty()) return std::nullopt;
  return ReadRun(rows[0]);
}

}  // namespace

std::optional<int64_t> Runs::AddWaiting(const NewRun& run, int64_t now, int64_t lease) {
  return WithConnection(db_, [&](Connection& c) -> std::optional<int64_t> {
    const std::vector<Row> rows = c.Query(
        "INSERT INTO runs (identity, state, lease, received, address, key_hash, difficulty, name, points, hits, "
        "rank_key, recorded, release, system, replay) "
        "VALUES ($1, 0, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14) "
        "ON CONFLICT (identity) DO NOTHING RETURNING id",
        {Bytes{run.identity}, lease, now, run.address, Bytes{run.keyHash}, int64_t(run.difficulty), run.name,
         int64_t(run.points), int64_t(run.hits), RankKey(run.hits, run.points), run.recorded, run.release, run.system,
         Bytes{run.replay}});
    if (rows.empty()) return std::nullopt;
    return rows[0].Int(0);
  });
}

std::optional<Run> Runs::Find(int64_t id) {
  return WithConnection(db_, [&](Connection& c) {
    return FirstRun(c.Query(std::string("SELECT ") + kRunColumns + " FROM runs WHERE id = $1", {id}));
  });
}

std::optional<Run> Runs::FindIdentity(const std::string& identity) {
  return WithConnection(db_, [&](Connection& c) {
    return FirstRun(c.Query(std::string("SELECT ") + kRunColumns + " FROM runs WHERE identity = $1", {Bytes{identity}}));
  });
}

bool Runs::List(int64_t id, int32_t points, int32_t hits, int64_t now) {
  return WithConnection(db_, [&](Connection& c) {
    return c.Execute("UPDATE runs SET state = 1, points = $2, hits = $3, rank_key = $4, verified = $5, lease = 0 "
                     "WHERE id = $1 AND state = 0",
                     {id, int64_t(points), int64_t(hits), RankKey(hits, points), now}) == 1;
  });
}

bool Runs::Refuse(int64_t id, const std::string& reason, int64_t now) {
  return WithConnection(db_, [&](Connection& c) {
    // A refused run holds no level: the true run of the same level (one
    // sent later than an edited copy of it) can still go on its list.
    return c.Execute("UPDATE runs SET state = 2, reason = $2, verified = $3, lease = 0, replay = NULL, identity = $4 "
                     "WHERE id = $1 AND state = 0",
                     {id, reason, now, Bytes{"refused " + std::to_string(id)}}) == 1;
  });
}

int64_t Runs::RankOf(const Run& run) {
  return WithConnection(db_, [&](Connection& c) {
    const int64_t key = RankKey(run.hits, run.points);
    return 1 + c.Query("SELECT COUNT(*) FROM runs WHERE state = 1 AND difficulty = $1 "
                       "AND (rank_key > $2 OR (rank_key = $2 AND id < $3))",
                       {int64_t(run.difficulty), key, run.id})
                   .at(0)
                   .Int(0);
  });
}

int64_t Runs::Count(int difficulty) {
  return WithConnection(db_, [&](Connection& c) {
    return c.Query("SELECT COUNT(*) FROM runs WHERE state = 1 AND difficulty = $1", {int64_t(difficulty)}).at(0).Int(0);
  });
}

std::vector<Run> Runs::Top(int difficulty, int64_t offset, int64_t limit) {
  return WithConnection(db_, [&](Connection& c) {
    std::vector<Run> runs;
    for (const Row& row : c.Query(std::string("SELECT ") + kRunColumns +
                                      " FROM runs WHERE state = 1 AND difficulty = $1 "
                                      "ORDER BY rank_key DESC, id ASC LIMIT $2 OFFSET $3",
                                  {int64_t(difficulty), limit, offset}))
      runs.push_back(ReadRun(row));
    return runs;
  });
}

std::optional<std::string> Runs::ReplayOf(int64_t id) {
  return WithConnection(db_, [&](Connection& c) -> std::optional<std::string> {
    const std::vector<Row> rows = c.Query("SELECT replay FROM runs WHERE id = $1 AND state = 1", {id});
    if (rows.empty() || rows[0].Null(0)) return std::nullopt;
    return rows[0].Text(0);
  });
}

Runs::Withdrawal Runs::Withdraw(int64_t id, const std::string& keyHash) {
  return WithConnection(db_, [&](Connection& c) {
    if (c.Query("SELECT 1 FROM runs WHERE id = $1", {id}).empty()) return Withdrawal::Unknown;
    return c.Execute("DELETE FROM runs WHERE id = $1 AND key_hash = $2", {id, Bytes{keyHash}}) == 1
               ? Withdrawal::Done
               : Withdrawal::WrongKey;
  });
}

std::vector<std::pair<int64_t, std::string>> Runs::ClaimStale(int64_t now, int64_t lease, int most) {
  return WithConnection(db_, [&](Connection& c) {
    std::vector<std::pair<int64_t, std::string>> claimed;
    for (const Row& row : c.Query("SELECT id FROM runs WHERE state = 0 AND lease < $1 ORDER BY id LIMIT $2",
                                  {now, int64_t(most)})) {
      const int64_t id = row.Int(0);
      // Another server may have claimed it meanwhile: only one update wins.
      if (c.Execute("UPDATE runs SET lease = $2 WHERE id = $1 AND state = 0 AND lease < $3", {id, lease, now}) != 1)
        continue;
      const std::vector<Row> replay = c.Query("SELECT replay FROM runs WHERE id = $1", {id});
      if (!replay.empty() && !replay[0].Null(0)) claimed.emplace_back(id, replay[0].Text(0));
    }
    return claimed;
  });
}

int64_t Runs::CountWaiting() {
  return WithConnection(db_, [&](Connection& c) { return c.Query("SELECT COUNT(*) FROM runs WHERE state = 0").at(0).Int(0); });
}

}  // namespace server
