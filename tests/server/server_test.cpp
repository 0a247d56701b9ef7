// The world list's server as a player's game and a page talk to it: a
// kelo-server started on 127.0.0.1 on a free port, over SQLite and over a
// PostgreSQL the test starts itself, with runs the game records here.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "game_fixture.h"
#include "platform/core/keys.h"
#include "replay.h"
#include "replay_codec.h"
#include "server/db.h"
#include "server/limits.h"
#include "server/pool.h"
#include "server/runs.h"

extern char** environ;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// --- Runs, recorded by the game -----------------------------------------------------

class Recorder : public GameTest {
 public:
  void TestBody() override {}
  // A whole level of `difficulty` played by `name` from `seed`; shooting at
  // the chickens or not at all.
  std::string Record(uint32_t seed, int difficulty, const std::string& name, bool shoot) {
    replay::Replay recorded;
    replay::OnRecorded([&](const replay::Replay& r) { recorded = r; });
    TSurface::PixelsDrawn = false;  // nothing a level does depends on its pictures
    backend = std::make_unique<plat::HarnessBackend>(seed);
    Application.Initialize(backend.get());
    plat::SetProgramFolder(folder.Path());
    CreateGameWindow();
    ShowGameWindow();
    Press(400, 178);
    Press(400, 178 + 26 * (difficulty - 1));
    backend->QueueText(name);
    Key(VK_RETURN);
    for (int n = 0; n < 100000 && recorded.input.empty(); ++n) {
      const TForm1& f = *Form1;
      backend->QueueMove(320 + int(200 * std::sin(n / 37.0)), 240 + int(150 * std::cos(n / 23.0)));
      for (int i = 1; i <= 3 && shoot && n % 3 == 0; ++i)
        if (f.huhnTable[i].State == "Normal") backend->QueuePress(f.huhnTable[i].X + 15, f.huhnTable[i].Y + 16);
      Tick();
    }
    replay::OnRecorded(nullptr);
    TSurface::PixelsDrawn = true;
    TearDown();
    EXPECT_EQ(recorded.claim.end, replay::End::Finished);
    return replay::Encode(recorded);
  }
};

// Every test's runs, recorded once: distinct levels that each play to their claim.
const std::vector<std::string>& Runs() {
  static const std::vector<std::string> runs = [] {
    std::vector<std::string> r;
    Recorder recorder;
    // Two that never shoot (equal in hits and points), then players that do.
    r.push_back(recorder.Record(11, 2, "Ruhig", false));
    r.push_back(recorder.Record(12, 2, "Auch ruhig", false));
    r.push_back(recorder.Record(13, 2, "x'); DROP TABLE runs", true));
    for (uint32_t seed = 20; seed < 30; ++seed) r.push_back(recorder.Record(seed, 1 + seed % 3, "J\xE4ger", true));
    return r;
  }();
  return runs;
}

// --- A PostgreSQL of the test's own, from Debian's package ----------------------------

class Postgres {
 public:
  static Postgres* Get() {
    static std::unique_ptr<Postgres> instance = [] {
      std::unique_ptr<Postgres> p(new Postgres);
      return p->uri_.empty() ? nullptr : std::move(p);
    }();
    return instance.get();
  }
  ~Postgres() {
    if (!uri_.empty()) Run(as_ + bin_ + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop >/dev/null");
    fs::remove_all(dir_);
  }
  // A fresh database of its own for each test.
  std::string Fresh() {
    const std::string name = "t" + std::to_string(++made_);
    auto admin = server::Database::Open(uri_ + "&dbname=postgres", 1);
    server::WithConnection(*admin, [&](server::Connection& c) { c.Execute("CREATE DATABASE " + name, {}); });
    return uri_ + "&dbname=" + name;
  }

 private:
  Postgres() {
    for (const auto& version : fs::directory_iterator("/usr/lib/postgresql"))
      if (fs::exists(version.path() / "bin/initdb")) bin_ = (version.path() / "bin").string();
    if (bin_.empty()) return;
    char templ[] = "/tmp/kelo-pg-XXXXXX";
    dir_ = mkdtemp(templ);
    // The database refuses to run as root: then it runs as its package's user.
    if (geteuid() == 0) {
      as_ = "runuser -u postgres -- ";
      Run("chown postgres " + dir_);
    }
    if (!Run(as_ + bin_ + "/initdb -D " + dir_ + "/data -A trust -U kelo -E UTF8 --locale=C --no-sync >/dev/null") ||
        !Run(as_ + bin_ + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/log -w -o \"-k " + dir_ +
             " -c listen_addresses='' -c fsync=off\" start >/dev/null")) {
      ADD_FAILURE() << "PostgreSQL did not start; see " << dir_ << "/log";
      return;
    }
    uri_ = "postgresql:///?host=" + dir_ + "&user=kelo";
  }
  static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

  std::string bin_, dir_, as_, uri_;
  int made_ = 0;
};

// --- The server as a process --------------------------------------------------------

class ServerProcess {
 public:
  ServerProcess(const std::string& database, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {KELO_SERVER, "--port", "0", "--database", database};
    args.insert(args.end(), options.begin(), options.end());
    int out[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    const size_t at = line.find("127.0.0.1:");
    if (at == std::string::npos) {
      ADD_FAILURE() << "the server did not start: " << line;
      return;
    }
    port = std::stoi(line.substr(at + 10));
  }
  ~ServerProcess() { End(SIGTERM); }
  // Ends it at once, as a crash or a power cut would.
  void Kill() { End(SIGKILL); }
  httplib::Client Client() const {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(60, 0);
    return c;
  }

  int port = 0;

 private:
  void End(int sig) {
    if (pid_ <= 0) return;
    kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    if (sig == SIGTERM) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    pid_ = -1;
  }
  pid_t pid_ = -1;
};

struct Answer {
  int status = 0;
  json body;
};

Answer Send(const ServerProcess& s, const std::string& replay, const std::string& key = "") {
  httplib::Headers headers;
  if (!key.empty()) headers.emplace("X-Kelo-Key", key);
  auto r = s.Client().Post("/api/runs", headers, replay, "application/octet-stream");
  if (!r) return {};
  return {r->status, json::parse(r->body, nullptr, false)};
}

json Get(const ServerProcess& s, const std::string& path, int expect = 200) {
  auto r = s.Client().Get(path);
  EXPECT_TRUE(r && r->status == expect) << path << ": " << (r ? r->body : "no answer");
  return r ? json::parse(r->body, nullptr, false) : json();
}

// A figure of /metrics.
double Metric(const ServerProcess& s, const std::string& name) {
  auto r = s.Client().Get("/metrics");
  if (!r) return -1;
  const size_t at = ("\n" + r->body).find("\n" + name + " ");
  return at == std::string::npos ? 0 : std::stod(r->body.substr(at + name.size() + 1));
}

const std::string kKey = "a-players-own-key-0123456789";

class Server : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "sqlite") {
      database = (fs::path(folder.Path()) / "world.db").string();
    } else {
      Postgres* pg = Postgres::Get();
      if (!pg) GTEST_SKIP() << "PostgreSQL's package is not installed here (tools/setup.sh installs it)";
      database = pg->Fresh();
    }
  }
  testing_support::GameFolder folder;
  std::string database;
};

// --- The tests ------------------------------------------------------------------------

TEST_P(Server, RanksRunsAsTheGameDoesPagesThemAndLetsOnlyTheKeyWithdrawThem) {
  const auto& runs = Runs();
  ServerProcess s(database);
  const Answer first = Send(s, runs[0], kKey), second = Send(s, runs[1]), third = Send(s, runs[2], kKey);
  ASSERT_EQ(first.status, 201) << first.body;
  ASSERT_EQ(second.status, 201) << second.body;
  ASSERT_EQ(third.status, 201) << third.body;
  EXPECT_FALSE(first.body.contains("key"));
  const std::string madeKey = second.body.value("key", "");
  EXPECT_GE(madeKey.size(), 16u);
  // The name holds SQL and comes back as it was typed; the list is still there.
  EXPECT_EQ(third.body["name"], "x'); DROP TABLE runs");

  // More hits first, then more points; a page at a time.
  std::vector<json> sent = {first.body, second.body, third.body};
  std::sort(sent.begin(), sent.end(), [](const json& a, const json& b) {
    return std::pair(a["hits"], a["score"]) > std::pair(b["hits"], b["score"]);
  });
  json top = Get(s, "/api/top?difficulty=2&limit=2");
  EXPECT_EQ(top["total"], 3);
  ASSERT_EQ(top["runs"].size(), 2u);
  EXPECT_EQ(top["runs"][0]["id"], sent[0]["id"]);
  EXPECT_EQ(top["runs"][1]["id"], sent[1]["id"]);
  top = Get(s, "/api/top?difficulty=2&offset=2&limit=2");
  ASSERT_EQ(top["runs"].size(), 1u);
  EXPECT_EQ(top["runs"][0]["id"], sent[2]["id"]);
  EXPECT_EQ(top["runs"][0]["rank"], 3);
  EXPECT_EQ(Get(s, "/api/runs/" + std::to_string(int64_t(sent[2]["id"])))["rank"], 3);
  Get(s, "/api/top?difficulty=4", 400);
  Get(s, "/api/top?difficulty=2&limit=101", 400);
  Get(s, "/api/top?difficulty=2&offset=-1", 400);

  // The replay comes back byte for byte.
  const std::string id = std::to_string(int64_t(first.body["id"]));
  auto replay = s.Client().Get("/api/runs/" + id + "/replay");
  ASSERT_TRUE(replay);
  EXPECT_EQ(replay->body, runs[0]);

  // Sent again, under any key: the same run, not a second one.
  const Answer again = Send(s, runs[0], "someone-else-entirely");
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(again.body["id"], first.body["id"]);

  // Withdrawn by its own key only.
  httplib::Headers other{{"X-Kelo-Key", madeKey}}, own{{"X-Kelo-Key", kKey}};
  EXPECT_EQ(s.Client().Delete("/api/runs/" + id)->status, 403);
  EXPECT_EQ(s.Client().Delete("/api/runs/" + id, other)->status, 403);
  EXPECT_EQ(s.Client().Delete("/api/runs/" + id, own)->status, 204);
  EXPECT_EQ(s.Client().Delete("/api/runs/" + id, own)->status, 404);
  top = Get(s, "/api/top?difficulty=2");
  EXPECT_EQ(top["total"], 2);
  for (const json& run : top["runs"]) EXPECT_NE(run["id"], first.body["id"]);
}

// Equal results stand as in the game's own lists: the older above.
TEST_P(Server, EqualResultsKeepTheirOrderOfArrival) {
  auto db = server::Database::Open(database, 2);
  server::Migrate(*db);
  server::Runs runs(*db);
  auto add = [&](int32_t hits, int32_t points) {
    server::NewRun n;
    n.identity = "run " + std::to_string(runs.CountWaiting() + runs.Count(1));
    n.difficulty = 1;
    n.name = n.identity;
    const int64_t id = *runs.AddWaiting(n, 0, 0);
    EXPECT_TRUE(runs.List(id, points, hits, 0));
    return id;
  };
  const int64_t a = add(5, 100), b = add(5, 100), c = add(5, 200), d = add(6, -50), e = add(4, 9000);
  std::vector<int64_t> order;
  for (const server::Run& r : runs.Top(1, 0, 10)) order.push_back(r.id);
  EXPECT_EQ(order, (std::vector<int64_t>{d, c, a, b, e}));
  EXPECT_EQ(runs.RankOf(*runs.Find(b)), 4);
}

TEST_P(Server, RefusesEachFaultWithItsStatusAndOneLine) {
  const replay::Replay good = replay::Decode(Runs()[3]);
  replay::Replay claim = good, version = good, left = good, endless = good;
  claim.claim.points += 100;
  version.playVersion += 1;
  left.claim.end = replay::End::Left;
  endless.claim.ticks = 1000000;
  // A level without a shot for longer than any level lasts.
  replay::Replay still = good;
  replay::InputWriter input;
  input.Start(320, 240);
  for (uint32_t t = 0; t <= server::kMostLevelTicks; ++t) input.Tick();
  input.Finish();
  still.input = input.Bytes();
  still.claim.ticks = server::kMostLevelTicks + 1;
  ServerProcess s(database, {"--runs-per-hour", "7"});
  const struct {
    std::string body;
    int status;
    const char* error;
  } cases[] = {
      {replay::Encode(claim), 422, "does-not-verify"},
      {replay::Encode(version), 409, "another-version"},
      {replay::Encode(left), 422, "not-finished"},
      {replay::Encode(endless), 400, "malformed"},  // more ticks than any replay holds
      {replay::Encode(still), 422, "too-long"},
      {"KELOREPL\x01 not packed", 400, "malformed"},
      {std::string(300 * 1024, 'K'), 413, "too-large"},
  };
  for (const auto& c : cases) {
    const Answer a = Send(s, c.body, kKey);
    EXPECT_EQ(a.status, c.status) << c.error << ": " << a.body;
    EXPECT_EQ(a.body.value("error", ""), c.error) << a.body;
    EXPECT_EQ(a.body.value("reason", "").find('\n'), std::string::npos);
  }
  EXPECT_EQ(Send(s, Runs()[3], "a-wrong key with spaces").status, 400);
  // The edited claim's run is not on the list; the true one still goes on.
  EXPECT_EQ(Get(s, "/api/top?difficulty=" + std::to_string(good.difficulty))["total"], 0);
  const Answer listed = Send(s, Runs()[3], kKey);
  EXPECT_EQ(listed.status, 201) << listed.body;
  // The hour's runs from this address are used up.
  const Answer often = Send(s, Runs()[4], kKey);
  EXPECT_EQ(often.status, 429) << often.body;
  EXPECT_EQ(Metric(s, "kelo_runs_listed_total"), 1);

  // What is not HTTP at all does not stop it, nor do slow clients, each
  // holding a connection with half a request, more of them than a small
  // pool of threads would serve.
  const auto connectTo = [&] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(s.port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) close(fd), fd = -1;
    return fd;
  };
  std::vector<int> slow;
  for (int i = 0; i < 48; ++i) {
    slow.push_back(connectTo());
    const char half[] = "GET /api/top?diffi";
    EXPECT_GT(write(slow.back(), half, sizeof half - 1), 0);
  }
  std::thread idle([&] {
    const int fd = connectTo();
    if (fd >= 0) {
      const char junk[] = "HELLO\r\n\r\n";
      EXPECT_GT(write(fd, junk, sizeof junk - 1), 0);
      char answer[64] = {};
      EXPECT_GT(read(fd, answer, sizeof answer - 1), 0);
      EXPECT_EQ(std::string(answer).substr(0, 12), "HTTP/1.1 400");
    }
    close(fd);
  });
  // Answered long before the slow ones are let go (10 s), which would free a
  // starved thread.
  httplib::Client quick("127.0.0.1", s.port);
  quick.set_read_timeout(5, 0);
  const auto health = quick.Get("/healthz");
  EXPECT_TRUE(health && health->status == 200) << "no answer beside 48 slow clients";
  idle.join();
  for (const int fd : slow) close(fd);
}

TEST_P(Server, ARestartInTheMiddleOfABurstLosesNoAcceptedRunAndPlaysNoneTwice) {
  const auto& runs = Runs();
  std::vector<std::string> burst(runs.begin() + 3, runs.end());
  std::vector<Answer> answers(burst.size());
  {
    ServerProcess s(database, {"--workers", "1", "--lease-seconds", "1"});
    std::atomic<int> accepted = 0;
    std::vector<std::thread> senders;
    for (size_t i = 0; i < burst.size(); ++i)
      senders.emplace_back([&, i] {
        answers[i] = Send(s, burst[i], kKey);
        accepted += answers[i].status == 201;
      });
    for (int n = 0; n < 3000 && accepted < 2; ++n) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    s.Kill();
    for (std::thread& t : senders) t.join();
  }
  auto db = server::Database::Open(database, 1);
  auto count = [&](int state) {
    return server::WithConnection(*db, [&](server::Connection& c) {
      return c.Query("SELECT COUNT(*) FROM runs WHERE state = $1", {int64_t(state)}).at(0).Int(0);
    });
  };
  const int64_t waiting = count(0), listed = count(1);
  std::printf("at the kill: %lld listed, %lld waiting\n", (long long)listed, (long long)waiting);

  ServerProcess s(database);
  for (int n = 0; n < 3000 && count(0) > 0; ++n) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(count(0), 0);
  EXPECT_EQ(Metric(s, "kelo_runs_played_total"), double(waiting));
  EXPECT_EQ(count(1), listed + waiting);
  // Every run the first server accepted is on its list, once: sent again,
  // each is the run that is kept.
  for (size_t i = 0; i < burst.size(); ++i) {
    const Answer a = Send(s, burst[i], kKey);
    if (answers[i].status == 201) {
      EXPECT_EQ(a.body["id"], answers[i].body["id"]);
    }
  }
  EXPECT_EQ(count(1), int64_t(burst.size()));
}

// Workers that die on a replay, answer nonsense or never answer: each replay
// gets its one outcome, the worker is replaced, and the next replay is played.
TEST(Pool, AWorkerThatDiesHangsOrBabblesCostsOnlyItsReplay) {
  using Kind = server::Outcome::Kind;
  const std::string replay = "hello";  // 4 bytes of length and these 5 reach the worker
  struct Case {
    const char* worker;
    Kind outcome;
  } cases[] = {
      {"head -c 9 >/dev/null; exit 3", Kind::Crashed},
      {"head -c 9 >/dev/null; echo nonsense; sleep 30", Kind::Crashed},
      {"sleep 30", Kind::Overran},
  };
  for (const Case& c : cases) {
    server::Pool::Options options;
    options.command = {"/bin/sh", "-c", c.worker};
    options.workers = 1;
    options.timeout = std::chrono::milliseconds(300);
    server::Pool pool(options);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(pool.Submit(replay).get().kind, c.outcome) << c.worker << " " << i;
    const auto counted = pool.Counted();
    EXPECT_EQ(counted.started, 2u) << c.worker;
    EXPECT_EQ(counted.crashed + counted.overran, 2u) << c.worker;
  }
  server::Pool::Options none;
  none.command = {"/nonexistent/kelo-server", "--worker"};
  server::Pool pool(none);
  EXPECT_EQ(pool.Submit(replay).get().kind, Kind::Unavailable);
}

INSTANTIATE_TEST_SUITE_P(Databases, Server, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& param) { return param.param; });

}  // namespace
