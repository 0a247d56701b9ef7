// kelo-server: the world list. Takes runs as replays, plays each again in a
// worker process and ranks only what it reached (docs/server.md).
//
//   kelo-server [--host ADDRESS] [--port N] [--database FILE|postgresql://...]
//               [--workers N] [--lease-seconds N] [--runs-per-hour N]
//               [--runs-per-hour-per-key N] [--trust-proxy] [--game DIR]
//   kelo-server --worker [--game DIR]
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "server/api.h"
#include "server/db.h"
#include "server/limits.h"
#include "server/pool.h"

namespace {

struct Options {
  std::string host = "127.0.0.1";
  int port = 8080;
  std::string database = "kelo-server.db";
  int workers = 0;  // 0: one per core
  std::string game;  // the game folder whose data/ the runs play with (empty: this program's)
  bool worker = false, trustProxy = false;
  server::Settings settings;
};

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr,
               "kelo-server: %s\n"
               "usage: kelo-server [--host ADDRESS] [--port N] [--database FILE|postgresql://...]\n"
               "                   [--workers N] [--lease-seconds N] [--runs-per-hour N]\n"
               "                   [--runs-per-hour-per-key N] [--trust-proxy] [--game DIR]\n",
               why);
  std::exit(2);
}

int IntArg(const char* name, const char* value, int lowest, int highest) {
  char* end = nullptr;
  const long v = std::strtol(value, &end, 10);
  if (!*value || *end || v < lowest || v > highest)
    Usage((std::string(name) + " takes a number from " + std::to_string(lowest) + " to " + std::to_string(highest))
              .c_str());
  return int(v);
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Usage((a + " needs a value").c_str());
      return argv[++i];
    };
    if (a == "--host") o.host = value();
    else if (a == "--port") o.port = IntArg("--port", value(), 0, 65535);
    else if (a == "--database") o.database = value();
    else if (a == "--workers") o.workers = IntArg("--workers", value(), 1, 256);
    else if (a == "--lease-seconds") o.settings.leaseSeconds = IntArg("--lease-seconds", value(), 1, 86400);
    else if (a == "--runs-per-hour") o.settings.runsPerHourPerAddress = IntArg("--runs-per-hour", value(), 1, 1000000);
    else if (a == "--runs-per-hour-per-key")
      o.settings.runsPerHourPerKey = IntArg("--runs-per-hour-per-key", value(), 1, 1000000);
    else if (a == "--game") o.game = value();
    else if (a == "--trust-proxy") o.trustProxy = true;
    else if (a == "--worker") o.worker = true;
    else if (a == "--help") Usage("the world list's server");
    else Usage(("unknown option " + a).c_str());
  }
  return o;
}

// The sender's address: behind a proxy of ours, the last one it names.
std::string AddressOf(const httplib::Request& req, bool trustProxy) {
  if (trustProxy && req.has_header("X-Forwarded-For")) {
    std::string chain = req.get_header_value("X-Forwarded-For");
    const size_t comma = chain.rfind(',');
    if (comma != std::string::npos) chain.erase(0, comma + 1);
    chain.erase(0, chain.find_first_not_of(' '));
    if (!chain.empty()) return chain;
  }
  return req.remote_addr;
}

int Serve(const Options& o) {
  // SIGINT and SIGTERM end the server in order: one thread waits for them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  // A worker that died is noticed at its pipe, not by a signal.
  ::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<server::Database> db;
  try {
    db = server::Database::Open(o.database, 8);
    server::Migrate(*db);
  } catch (const server::DatabaseError& e) {
    std::fprintf(stderr, "kelo-server: %s\n", e.what());
    return 1;
  }
  server::Pool::Options pool;
  pool.command = {std::filesystem::read_symlink("/proc/self/exe").string(), "--worker"};
  if (!o.game.empty()) pool.command.insert(pool.command.end(), {"--game", o.game});
  pool.workers = o.workers > 0 ? o.workers : int(std::max(1u, std::thread::hardware_concurrency()));
  server::Pool verifier(pool);
  server::Runs runs(*db);
  server::Api api(runs, verifier, o.settings);

  httplib::Server http;
  // Every request is the API's: whatever the method or path.
  const auto handle = [&](const httplib::Request& req, httplib::Response& res) {
    server::Request q;
    q.method = req.method;
    q.path = req.path;
    for (const auto& [k, v] : req.params) q.query.emplace(k, v);
    q.key = req.get_header_value("X-Kelo-Key");
    q.address = AddressOf(req, o.trustProxy);
    q.body = req.body;
    q.privateNetwork = req.get_header_value("Access-Control-Request-Private-Network") == "true";
    const server::Response r = api.Handle(q);
    res.status = r.status;
    for (const auto& [k, v] : r.headers) res.set_header(k, v);
    if (!r.type.empty()) res.set_content(r.body, r.type.c_str());
  };
  for (auto route : {&httplib::Server::Get, &httplib::Server::Post, &httplib::Server::Delete, &httplib::Server::Put,
                     &httplib::Server::Patch})
    (http.*route)(".*", handle);
  http.Options(".*", handle);
  // What the library refuses by itself (too large, malformed) is told in one line, too.
  http.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    const std::string why = res.status == 413 ? "too-large" : res.status == 414 ? "too-long" : "bad-request";
    res.set_header("Access-Control-Allow-Origin", "*");
    res.set_content("{\"error\":\"" + why + "\",\"reason\":\"the request was refused: HTTP " +
                        std::to_string(res.status) + "\"}",
                    "application/json");
    return httplib::Server::HandlerResponse::Handled;
  }));
  http.set_payload_max_length(server::kMostReplayBytes + 1);
  // Slow clients are let go rather than holding a thread.
  http.set_read_timeout(10, 0);
  http.set_write_timeout(10, 0);
  http.set_keep_alive_timeout(5);
  http.set_keep_alive_max_count(100);
  // The library gives each open connection a thread of its own while it
  // lasts: enough of them that many clients keeping their connections open
  // do not starve the others.
  http.new_task_queue = [] { return new httplib::ThreadPool(128); };

  const int port = o.port == 0 ? http.bind_to_any_port(o.host) : (http.bind_to_port(o.host, o.port) ? o.port : -1);
  if (port < 0) {
    std::fprintf(stderr, "kelo-server: cannot listen on %s port %d\n", o.host.c_str(), o.port);
    return 1;
  }

  // Runs left waiting by a server that stopped are played again: at the
  // start and every second after, as their lease runs out.
  std::mutex stopMutex;
  std::condition_variable stopped;
  bool stopping = false;
  std::thread recover([&] {
    std::unique_lock lock(stopMutex);
    do {
      lock.unlock();
      try {
        while (api.Recover() > 0) {
        }
      } catch (const server::DatabaseError& e) {
        std::fprintf(stderr, "kelo-server: %s\n", e.what());
      }
      lock.lock();
    } while (!stopped.wait_for(lock, std::chrono::seconds(1), [&] { return stopping; }));
  });
  std::thread signals([&] {
    int sig = 0;
    sigwait(&stop, &sig);
    http.stop();
  });

  std::printf("kelo-server: listening on http://%s:%d/ with %s, %d workers\n", o.host.c_str(), port,
              db->Name().c_str(), pool.workers);
  std::fflush(stdout);
  const bool listened = http.listen_after_bind();
  {
    std::lock_guard lock(stopMutex);
    stopping = true;
  }
  stopped.notify_all();
  recover.join();
  if (signals.joinable()) {
    pthread_kill(signals.native_handle(), SIGTERM);
    signals.join();
  }
  return listened ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  if (o.worker) {
    // The verdicts go out on the pipe the server reads; whatever the game
    // prints goes to the standard error.
    const int out = ::dup(1);
    ::dup2(2, 1);
    return server::RunWorker(0, out, o.game);
  }
  return Serve(o);
}
