// The world list's database: SQLite in one file (the default) or PostgreSQL,
// behind one small interface with the same SQL for both. Statements number
// their parameters $1, $2, ...; a value is null, a whole number, a text or
// bytes. Connections are lent out of a pool, one thread at a time each.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace server {

// The database failed or cannot be reached; the request is answered with 503.
struct DatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Bytes {
  std::string data;
};
using Value = std::variant<std::nullptr_t, int64_t, std::string, Bytes>;

// A row of a result; texts and bytes alike come as strings.
class Row {
 public:
  explicit Row(std::vector<std::optional<std::string>> cells) : cells_(std::move(cells)) {}
  bool Null(size_t i) const { return !cells_.at(i); }
  const std::string& Text(size_t i) const;
  int64_t Int(size_t i) const;

 private:
  std::vector<std::optional<std::string>> cells_;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // Runs one statement; its rows (none for most that change something).
  virtual std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // Runs one statement; the number of rows it changed.
  virtual int64_t Execute(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // A transaction that others wait for (migrations).
  virtual void BeginExclusive() = 0;
  void Commit() { Execute("COMMIT"); }
  void Rollback() { Execute("ROLLBACK"); }
};

enum class Dialect { Sqlite, Postgres };

class Database {
 public:
  // A PostgreSQL connection URI (postgresql://... or postgres://...), or the
  // path of a SQLite file (made when missing). `connections`: the pool's size.
  static std::unique_ptr<Database> Open(const std::string& where, int connections);
  ~Database();

  Dialect Kind() const { return dialect_; }
  // Where it is, for people: the file, or the URI without its password.
  const std::string& Name() const { return name_; }

  class Lease {
   public:
    Lease(Database& db, std::unique_ptr<Connection> c) : db_(&db), c_(std::move(c)) {}
    Lease(Lease&&) = default;
    ~Lease();
    Connection* operator->() { return c_.get(); }
    Connection& operator*() { return *c_; }
    // The connection failed: it is closed rather than lent again.
    void Discard() { c_.reset(); }

   private:
    Database* db_;
    std::unique_ptr<Connection> c_;
  };
  // A connection of the pool; waits while all are lent out.
  Lease Borrow();

 private:
  Database(Dialect dialect, std::string where, std::string name, int connections);
  std::unique_ptr<Connection> Connect();

  Dialect dialect_;
  std::string where_, name_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<Connection>> idle_;
  int unlent_;  // connections that may still be made or are idle
};

// Runs `work` with a connection of the pool. A connection that failed is
// closed, so the next one starts afresh.
template <class Work>
auto WithConnection(Database& db, Work work) {
  Database::Lease lease = db.Borrow();
  try {
    return work(*lease);
  } catch (const DatabaseError&) {
    lease.Discard();
    throw;
  }
}

// Brings the schema up to the newest version this server knows, one
// migration at a time, each in a transaction of its own. A database of a
// newer version than this server knows is refused.
int Migrate(Database& db);
// The schema version this server writes.
int NewestSchema();

}  // namespace server
