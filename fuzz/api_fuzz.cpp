// The world list's request handling: any method, path, query, key and body,
// answered with a status and one line, over a SQLite file; valid runs are
// played again in the process.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "game_folder.h"
#include "server/api.h"
#include "server/db.h"

namespace {

struct World {
  World() : db(server::Database::Open(FuzzGameFolder() + "world.db", 2)), runs(*db), verifier(FuzzGameFolder()) {
    server::Migrate(*db);
    server::Settings settings;
    settings.runsPerHourPerAddress = settings.runsPerHourPerKey = 1 << 30;
    api = std::make_unique<server::Api>(runs, verifier, settings);
  }
  std::unique_ptr<server::Database> db;
  server::Runs runs;
  server::InlineVerifier verifier;
  std::unique_ptr<server::Api> api;
};

// The next line of the input (up to '\n').
std::string Line(std::string_view& in) {
  const size_t end = in.find('\n');
  std::string line(in.substr(0, end));
  in.remove_prefix(end == std::string_view::npos ? in.size() : end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;  // lives to the end, as the server's does
  std::string_view in(reinterpret_cast<const char*>(data), size);
  static const char* const kMethods[] = {"GET", "POST", "DELETE", "OPTIONS", "HEAD", "PUT"};
  server::Request q;
  q.method = in.empty() ? "GET" : kMethods[uint8_t(in[0]) % 6];
  if (!in.empty()) in.remove_prefix(1);
  q.path = Line(in);
  for (std::string pair = Line(in); !pair.empty(); pair = Line(in)) {
    const size_t eq = pair.find('=');
    q.query.emplace(pair.substr(0, eq), eq == std::string::npos ? "" : pair.substr(eq + 1));
  }
  q.key = Line(in);
  q.address = "127.0.0.1";
  q.body = std::string(in);
  const server::Response r = world->api->Handle(q);
  if (r.status < 200 || r.status > 599) std::abort();
  if (r.status >= 400 && r.body.find('\n') != std::string::npos) std::abort();  // one line
  return 0;
}
