#include "server/db.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <cstring>
#include <regex>

namespace server {

const std::string& Row::Text(size_t i) const {
  if (!cells_.at(i)) throw DatabaseError("a value the list needs is missing");
  return *cells_[i];
}

int64_t Row::Int(size_t i) const {
  const std::string& s = Text(i);
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) throw DatabaseError("the database gave '" + s + "' for a number");
  return v;
}

namespace {

// --- SQLite ----------------------------------------------------------------------

class SqliteConnection : public Connection {
 public:
  explicit SqliteConnection(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw DatabaseError("cannot open " + path + ": " + why);
    }
    // A writer waits for another rather than failing at once.
    sqlite3_busy_timeout(db_, 10000);
    // Readers never wait for the writer, and every commit is on the disk
    // before its answer goes out: no accepted run is lost in a crash.
    Query("PRAGMA journal_mode=WAL", {});
    Execute("PRAGMA synchronous=FULL", {});
  }
  ~SqliteConnection() override { sqlite3_close(db_); }

  std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
    std::vector<Row> rows;
    Run(sql, params, &rows);
    return rows;
  }
  int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    Run(sql, params, nullptr);
    return sqlite3_changes64(db_);
  }
  void BeginExclusive() override { Execute("BEGIN IMMEDIATE", {}); }

 private:
  void Fail(const std::string& what) { throw DatabaseError(what + ": " + sqlite3_errmsg(db_)); }

  void Run(const std::string& sql, const std::vector<Value>& params, std::vector<Row>* rows) {
    // SQLite numbers its parameters ?1, ?2, ...
    static const std::regex dollar(R"(\$(\d+))");
    const std::string text = std::regex_replace(sql, dollar, "?$1");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, text.c_str(), int(text.size()), &stmt, nullptr) != SQLITE_OK) Fail("cannot prepare");
    struct Finalize {
      sqlite3_stmt* s;
      ~Finalize() { sqlite3_finalize(s); }
    } finalize{stmt};
    for (size_t i = 0; i < params.size(); ++i) {
      const int at = int(i + 1);
      int rc = SQLITE_OK;
      if (auto* n = std::get_if<int64_t>(&params[i])) rc = sqlite3_bind_int64(stmt, at, *n);
      else if (auto* t = std::get_if<std::string>(&params[i])) rc = sqlite3_bind_text64(stmt, at, t->data(), t->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      else if (auto* b = std::get_if<Bytes>(&params[i])) rc = sqlite3_bind_blob64(stmt, at, b->data.data(), b->data.size(), SQLITE_TRANSIENT);
      else rc = sqlite3_bind_null(stmt, at);
      if (rc != SQLITE_OK) Fail("cannot bind");
    }
    for (;;) {
      const int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) Fail("cannot run");
      if (!rows) continue;
      std::vector<std::optional<std::string>> cells;
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
          cells.emplace_back();
          continue;
        }
        const void* p = sqlite3_column_blob(stmt, c);
        const int n = sqlite3_column_bytes(stmt, c);
        cells.emplace_back(p ? std::string(static_cast<const char*>(p), size_t(n)) : std::string());
      }
      rows->emplace_back(std::move(cells));
    }
  }

  sqlite3* db_ = nullptr;
};

// --- PostgreSQL --------------------------------------------------------------------

constexpr Oid kByteaOid = 17;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw DatabaseError("the database gave bytes that are not hexadecimal");
}

class PostgresConnection : public Connection {
 public:
  explicit PostgresConnection(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {
    if (PQstatus(conn_) != CONNECTION_OK) {
      std::string why = conn_ ? PQerrorMessage(conn_) : "out of memory";
      PQfinish(conn_);
      while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
      throw DatabaseError("cannot connect to PostgreSQL: " + why);
    }
    // The server says what went wrong itself; the database's notices are not for people.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    Execute("SET client_encoding = 'UTF8'", {});
  }
  ~PostgresConnection() override { PQfinish(conn_); }

  std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
    Result r = Run(sql, params);
    std::vector<Row> rows;
    const int columns = PQnfields(r.res);
    for (int i = 0; i < PQntuples(r.res); ++i) {
      std::vector<std::optional<std::string>> cells;
      for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(r.res, i, c)) {
          cells.emplace_back();
          continue;
        }
        const char* v = PQgetvalue(r.res, i, c);
        const size_t n = size_t(PQgetlength(r.res, i, c));
        if (PQftype(r.res, c) != kByteaOid) {
          cells.emplace_back(std::string(v, n));
          continue;
        }
        // Bytes come as text in the hexadecimal form: \x0a1b...
        if (n < 2 || v[0] != '\\' || v[1] != 'x' || n % 2) throw DatabaseError("the database gave bytes in another form");
        std::string bytes((n - 2) / 2, '\0');
        for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = char(HexDigit(v[2 + 2 * k]) << 4 | HexDigit(v[3 + 2 * k]));
        cells.emplace_back(std::move(bytes));
      }
      rows.emplace_back(std::move(cells));
    }
    return rows;
  }
  int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    Result r = Run(sql, params);
    const char* n = PQcmdTuples(r.res);
    return *n ? std::strtoll(n, nullptr, 10) : 0;
  }
  void BeginExclusive() override {
    Execute("BEGIN", {});
    // One migration at a time among every server on the database.
    Execute("SELECT pg_advisory_xact_lock(4711)", {});
  }

 private:
  struct Result {
    PGresult* res;
    ~Result() { PQclear(res); }
  };

  Result Run(const std::string& sql, const std::vector<Value>& params) {
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    std::vector<int> lengths(params.size(), 0), formats(params.size(), 0);
    for (size_t i = 0; i < params.size(); ++i) {
      if (auto* n = std::get_if<int64_t>(&params[i])) {
        texts[i] = std::to_string(*n);
      } else if (auto* t = std::get_if<std::string>(&params[i])) {
        texts[i] = *t;
      } else if (auto* b = std::get_if<Bytes>(&params[i])) {
        texts[i] = b->data;
        formats[i] = 1;  // binary
      } else {
        continue;  // null
      }
      values[i] = texts[i].data();
      lengths[i] = int(texts[i].size());
    }
    Result r{PQexecParams(conn_, sql.c_str(), int(params.size()), nullptr, values.data(), lengths.data(),
                          formats.data(), 0)};
    const ExecStatusType status = PQresultStatus(r.res);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      std::string why = PQresultErrorMessage(r.res);
      if (why.empty()) why = PQerrorMessage(conn_);
      while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
      throw DatabaseError("PostgreSQL: " + why);
    }
    return r;
  }

  PGconn* conn_;
};

bool IsPostgresUri(const std::string& where) {
  return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

// The URI for people: without a password.
std::string WithoutPassword(const std::string& uri) {
  static const std::regex password(R"(^(\w+://[^:/@]*):[^@/]*@)");
  return std::regex_replace(uri, password, "$1@");
}

}  // namespace

// --- The pool ------------------------------------------------------------------------

std::unique_ptr<Database> Database::Open(const std::string& where, int connections) {
  const bool postgres = IsPostgresUri(where);
  std::unique_ptr<Database> db(new Database(postgres ? Dialect::Postgres : Dialect::Sqlite, where,
                                            postgres ? WithoutPassword(where) : where, std::max(1, connections)));
  // The first connection now: a database that cannot be reached stops the start.
  db->Borrow();
  return db;
}

Database::Database(Dialect dialect, std::string where, std::string name, int connections)
    : dialect_(dialect), where_(std::move(where)), name_(std::move(name)), unlent_(connections) {}

Database::~Database() = default;

std::unique_ptr<Connection> Database::Connect() {
  if (dialect_ == Dialect::Postgres) return std::make_unique<PostgresConnection>(where_);
  return std::make_unique<SqliteConnection>(where_);
}

Database::Lease Database::Borrow() {
  std::unique_lock lock(mutex_);
  returned_.wait(lock, [this] { return unlent_ > 0; });
  --unlent_;
  if (!idle_.empty()) {
    std::unique_ptr<Connection> c = std::move(idle_.back());
    idle_.pop_back();
    return Lease(*this, std::move(c));
  }
  lock.unlock();
  try {
    return Lease(*this, Connect());
  } catch (...) {
    lock.lock();
    ++unlent_;
    returned_.notify_one();
    throw;
  }
}

Database::Lease::~Lease() {
  if (!db_) return;
  {
    std::lock_guard lock(db_->mutex_);
    ++db_->unlent_;
    if (c_) db_->idle_.push_back(std::move(c_));
  }
  db_->returned_.notify_one();
}

// --- The schema ------------------------------------------------------------------------

namespace {

// Every change of the schema, in order; a step is never changed once it has
// been released, a change is a new step. @ID@ and @BYTES@ stand for the
// types of the two databases.
const char* const kMigrations[] = {
    // 1: the runs. `identity` tells a run from every other (its difficulty and
    // the seeds it was played with); `state` 0: being verified until `lease`,
    // 1: on the list, 2: refused for `reason`. `rank_key` orders a list
    // (RankKey), older runs first among equals.
    R"(CREATE TABLE runs (
         id @ID@,
         identity @BYTES@ NOT NULL UNIQUE,
         state SMALLINT NOT NULL,
         lease BIGINT NOT NULL DEFAULT 0,
         received BIGINT NOT NULL,
         verified BIGINT NOT NULL DEFAULT 0,
         address TEXT NOT NULL,
         key_hash @BYTES@ NOT NULL,
         difficulty SMALLINT NOT NULL,
         name TEXT NOT NULL,
         points INTEGER NOT NULL,
         hits INTEGER NOT NULL,
         rank_key BIGINT NOT NULL,
         recorded BIGINT NOT NULL,
         release TEXT NOT NULL,
         system TEXT NOT NULL,
         replay @BYTES@,
         reason TEXT NOT NULL DEFAULT '');
       CREATE INDEX runs_list ON runs (difficulty, rank_key DESC, id) WHERE state = 1;
       CREATE INDEX runs_waiting ON runs (lease) WHERE state = 0;)",
};

std::string ForDialect(std::string sql, Dialect d) {
  auto put = [&sql](const std::string& token, const std::string& type) {
    for (size_t at; (at = sql.find(token)) != std::string::npos;) sql.replace(at, token.size(), type);
  };
  put("@ID@", d == Dialect::Sqlite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
  put("@BYTES@", d == Dialect::Sqlite ? "BLOB" : "BYTEA");
  return sql;
}

// Splits a migration into its statements (none holds a ';' of its own).
std::vector<std::string> Statements(const std::string& sql) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t at; (at = sql.find(';', from)) != std::string::npos; from = at + 1) out.push_back(sql.substr(from, at - from));
  if (sql.find_first_not_of(" \n\t", from) != std::string::npos) out.push_back(sql.substr(from));
  return out;
}

}  // namespace

int NewestSchema() { return int(std::size(kMigrations)); }

int Migrate(Database& db) {
  return WithConnection(db, [&db](Connection& c) {
    c.Execute("CREATE TABLE IF NOT EXISTS schema_migrations (version INTEGER PRIMARY KEY, applied BIGINT NOT NULL)");
    for (;;) {
      c.BeginExclusive();
      try {
        const std::vector<Row> rows = c.Query("SELECT COALESCE(MAX(version), 0) FROM schema_migrations");
        const int64_t have = rows.at(0).Int(0);
        if (have > NewestSchema()) {
          throw DatabaseError("the database has schema version " + std::to_string(have) +
                              ", newer than this server knows (" + std::to_string(NewestSchema()) + ")");
        }
        if (have == NewestSchema()) {
          c.Commit();
          return int(have);
        }
        for (const std::string& statement : Statements(ForDialect(kMigrations[have], db.Kind()))) c.Execute(statement);
        c.Execute("INSERT INTO schema_migrations (version, applied) VALUES ($1, $2)",
                  {have + 1, int64_t(std::time(nullptr))});
        c.Commit();
      } catch (...) {
        try {
          c.Rollback();
        } catch (const DatabaseError&) {
          // the connection is gone: the first failure is the one to tell
        }
        throw;
      }
    }
  });
}

}  // namespace server
