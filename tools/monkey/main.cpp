// kelo-monkey: plays the game through kelo-harness with random input — moves,
// presses of every button, every key the harness knows, typing with umlauts
// and broken UTF-8, losing and regaining the focus, close requests, answers to
// the boxes — steered so that it reaches every screen. It stops at the first
// crash, sanitizer report, error box or hang, and leaves the session behind
// so that kelo-harness can run it again.
//
//   kelo-monkey --harness PATH [--seed N] [--ticks N] [--timeout SECONDS]
//
// With --desktop it plays the real game instead: it writes an xdotool script
// (for `xdotool -`) that plays a running level for SECONDS in a window whose
// picture has its top-left corner at X,Y on the screen, with strokes of the
// pointer, shots of every button, pauses, F9 and F10.
//
//   kelo-monkey --desktop X,Y [--seed N] [--seconds SECONDS] | xdotool -
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// --- Random choices (splitmix64, the same on every machine) ----------------------

class Dice {
 public:
  explicit Dice(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Between(int lo, int hi) { return lo + int(Next() % uint64_t(hi - lo + 1)); }
  bool Percent(int p) { return Between(1, 100) <= p; }
  template <class T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[size_t(Between(0, int(N) - 1))];
  }

 private:
  uint64_t state_;
};

// --- The screens and their press regions (both bounds included) ------------------

enum Screen { Main, Schwer, Name, Optionen, Highscore, Level, Pause, Atombombe, Nirwana, Results, kScreens };
const std::array<const char*, kScreens> kScreenNames = {"Main",  "Schwer", "Name",      "Optionen", "Highscore",
                                                         "Level", "Pause",  "Atombombe", "Nirwana",  "Results"};

struct Region {
  int x1, x2, y1, y2;
};
const Region kNewGame{367, 542, 172, 185}, kOptions{367, 499, 198, 211}, kHighscore{367, 524, 228, 241},
    kQuit{367, 486, 364, 376};
const std::array<Region, 3> kDifficulties = {Region{367, 542, 172, 185}, Region{367, 542, 199, 211},
                                             Region{367, 542, 225, 238}};
const Region kBack{367, 486, 364, 376}, kStart{368, 485, 335, 348}, kMainMenu{367, 526, 364, 376};
const Region kBlending{368, 513, 172, 194}, kReset{368, 538, 253, 275};
const std::array<Region, 3> kLists = {Region{262, 351, 426, 439}, Region{364, 455, 426, 439},
                                      Region{465, 572, 426, 439}};
const Region kListsBack{67, 172, 426, 439};

const std::array<const char*, 12> kKeys = {"Escape", "Return", "F4",   "F9",   "F10", "Backspace",
                                           "Delete", "Left",   "Right", "Home", "End", "Space"};

// Pieces of typed text: plain, umlauts and other Windows-1252 letters, text the
// code page lacks, and byte runs that are not UTF-8 at all.
const std::array<const char*, 24> kTextPieces = {
    "a",        "Kelo",     " ",        "  ",       "Z9",           "!?#",          "\xC3\xA4\xC3\xB6\xC3\xBC",
    "\xC3\x9F", "\xC3\x84", "\xE2\x82\xAC", "\xC2\xA0", "\xCE\xA9",     "\xE6\xBC\xA2", "\xF0\x9F\x90\x94",
    "e\xCC\x81", "\x80",    "\xC3",     "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF\xFE",
    "\x01\x7F", "\t",       "Quillendorfer Kelo Hahn"};

// --- One run of kelo-harness --------------------------------------------------------

struct Look {
  std::string state;
  bool terminated = false;
  bool terminationRequested = false;
  bool nameBlank = true;
  int errorBoxes = 0;
  bool musicFailed = false;  // the data are all there, so no music operation may fail
};

// The value of a top-level field of a one-line dump, as written.
std::string Field(const std::string& dump, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const size_t at = dump.find(key);
  if (at == std::string::npos) return "";
  size_t pos = at + key.size(), end = pos;
  if (dump[pos] == '"') {
    for (++end; end < dump.size() && dump[end] != '"'; ++end)
      if (dump[end] == '\\') ++end;
    return dump.substr(pos + 1, end - pos - 1);
  }
  while (end < dump.size() && dump[end] != ',' && dump[end] != '}') ++end;
  return dump.substr(pos, end - pos);
}

Look Read(const std::string& dump) {
  Look l;
  l.state = Field(dump, "gameState");
  l.terminated = Field(dump, "terminated") == "true";
  l.terminationRequested = Field(dump, "terminationRequested") == "true";
  for (unsigned char c : Field(dump, "edit1Text"))
    if (c > 32) l.nameBlank = false;
  const std::string box = "\"text\":\"Oh, es ist ein Fehler aufgetreten.";
  for (size_t at = dump.find(box); at != std::string::npos; at = dump.find(box, at + 1)) ++l.errorBoxes;
  l.musicFailed = dump.find("\"failed\":true") != std::string::npos;
  return l;
}

class Harness {
 public:
  Harness(const std::string& program, const fs::path& folder, uint32_t seed, const fs::path& errors) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in[0], 0), dup2(out[1], 1), dup2(err, 2);
      close(in[1]), close(out[0]);
      const std::string seedText = std::to_string(seed), folderText = folder.string() + "/";
      execl(program.c_str(), program.c_str(), "--folder", folderText.c_str(), "--seed", seedText.c_str(), "-",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]), close(out[1]);
    in_ = in[1], out_ = out[0];
  }
  ~Harness() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }

  std::vector<std::string> script;  // every line sent, for running it again

  bool Send(const std::string& line) {
    script.push_back(line);
    const std::string text = line + "\n";
    return write(in_, text.data(), text.size()) == ssize_t(text.size());
  }

  // The answer to "dump -"; none when the harness ended or took longer than allowed.
  std::optional<std::string> Dump(int timeoutMs, bool& timedOut) {
    timedOut = false;
    if (!Send("dump -")) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (const size_t nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{out_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, int(left.count())) == 0) {
        timedOut = true;
        return std::nullopt;
      }
      char chunk[65536];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, size_t(n));
    }
  }

  // Closes the input and waits for the end. The exit status, -1 for a signal,
  // or none when it did not end in time (then it is killed).
  std::optional<int> Finish(int timeoutMs) {
    close(in_), in_ = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
      char chunk[4096];
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0 && read(out_, chunk, sizeof chunk) <= 0) usleep(20000);
    }
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string buffer_;
};

// --- The player -------------------------------------------------------------------

// What the player is after: a screen, or ending the game.
constexpr int kEnd = kScreens;

class Monkey {
 public:
  Monkey(uint64_t seed, std::string harness, int timeoutSeconds)
      : dice_(seed), seed_(seed), harness_(std::move(harness)), timeoutMs_(timeoutSeconds * 1000) {
    folder_ = fs::temp_directory_path() / ("kelo-monkey-" + std::to_string(getpid()) + "-" + std::to_string(seed));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::create_directory_symlink(fs::absolute(fs::path(harness_).parent_path() / "data"), folder_ / "data");
  }
  ~Monkey() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Plays sessions until `ticks` ticks have run; false at the first fault.
  bool Play(long ticks) {
    while (ticksRun_ < ticks)
      if (!Session(ticks)) return false;
    return true;
  }

  long TicksRun() const { return ticksRun_; }
  int Sessions() const { return sessions_; }
  const std::array<int, kScreens>& Arrivals() const { return arrivals_; }

 private:
  bool Session(long ticks) {
    ++sessions_;
    const uint32_t harnessSeed = uint32_t(seed_ * 1000 + uint64_t(sessions_));
    // The files the session starts from, kept for running it again.
    std::map<std::string, std::string> files;
    for (const char* name : {"kelo.ini", "high1.sco", "high2.sco", "high3.sco"}) {
      std::ifstream in(folder_ / name, std::ios::binary);
      if (in) files[name] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    const fs::path errors = folder_ / "stderr.txt";
    Harness game(harness_, folder_, harnessSeed, errors);
    std::string fault;
    Look look;
    const long sessionEnd = ticksRun_ + dice_.Between(20000, 80000);
    inactive_ = false;
    goal_ = NextGoal();
    while (fault.empty()) {
      bool timedOut = false;
      const std::optional<std::string> dump = game.Dump(timeoutMs_, timedOut);
      if (!dump) {
        fault = timedOut ? "no answer within the time limit (hang)" : "the harness ended unexpectedly";
        break;
      }
      look = Read(*dump);
      fault = Check(look);
      if (look.terminated) ++ends_;
      if (!fault.empty() || look.terminated || ticksRun_ >= ticks || ticksRun_ >= sessionEnd) break;
      Note(look.state);
      for (const std::string& line : Step(look)) game.Send(line);
    }
    if (fault.empty()) {
      const std::optional<int> status = game.Finish(timeoutMs_);
      std::ifstream err(errors);
      const std::string said((std::istreambuf_iterator<char>(err)), {});
      if (!status)
        fault = "it did not end within the time limit (hang)";
      else if (*status != 0)
        fault = "it ended with status " + std::to_string(*status);
      else if (!said.empty())
        fault = "it wrote to standard error";
    }
    if (fault.empty()) return true;
    Report(fault, game.script, files, harnessSeed, errors);
    return false;
  }

  std::string Check(const Look& look) const {
    if (look.errorBoxes > 0) return "the game showed its error box";
    if (look.musicFailed) return "a music operation failed";
    bool known = look.state.empty() || look.state == "Busy";
    for (const char* name : kScreenNames) known = known || look.state == name;
    if (!known) return "unknown state \"" + look.state + "\"";
    if (look.state == "Busy" && !look.terminationRequested) return "stuck in \"Busy\" between ticks";
    return "";
  }

  void Note(const std::string& state) {
    if (state != lastState_)
      for (int s = 0; s < kScreens; ++s)
        if (state == kScreenNames[size_t(s)]) ++arrivals_[size_t(s)];
    lastState_ = state;
  }

  // The goal with the fewest arrivals so far. The results (and the end sequence
  // before them) take a whole level, so they count four times.
  int NextGoal() {
    const std::array<int, 8> goals = {Schwer, Name, Optionen, Highscore, Level, Pause, Results, kEnd};
    int best = -1, bestCount = 0;
    for (int g : goals) {
      const int arrivals = g == kEnd ? ends_ : g == Results ? 4 * arrivals_[Results] : arrivals_[size_t(g)];
      const int count = arrivals * 8 + dice_.Between(0, 7);
      if (best < 0 || count < bestCount) best = g, bestCount = count;
    }
    linger_ = dice_.Between(1, 25);
    patience_ = 4000;
    return best;
  }

  std::string At(const Region& r) {
    int x = dice_.Between(r.x1, r.x2), y = dice_.Between(r.y1, r.y2);
    if (dice_.Percent(15)) x = dice_.Percent(50) ? r.x1 : r.x2;
    if (dice_.Percent(15)) y = dice_.Percent(50) ? r.y1 : r.y2;
    const int button = dice_.Between(0, 5);
    return "press " + std::to_string(x) + " " + std::to_string(y) + (button == 4 ? " right" : button == 5 ? " middle" : "");
  }

  std::string Text() {
    std::string t;
    for (int n = dice_.Between(1, 4); n > 0; --n) t += dice_.Pick(kTextPieces);
    return "type " + t;
  }

  std::string Key() {
    if (dice_.Percent(25)) {
      const char c = dice_.Percent(60) ? char('A' + dice_.Between(0, 25)) : char('0' + dice_.Between(0, 9));
      return std::string("key ") + (dice_.Percent(50) ? char(std::tolower(c)) : c);
    }
    return std::string("key ") + dice_.Pick(kKeys);
  }

  // Anything at all.
  std::vector<std::string> Noise() {
    std::vector<std::string> lines;
    for (int n = dice_.Percent(20) ? dice_.Between(2, 6) : 1; n > 0; --n) {
      const int x = dice_.Between(-30, 670), y = dice_.Between(-30, 510);
      switch (dice_.Between(0, 12)) {
        case 0:
        case 1: lines.push_back("move " + std::to_string(x) + " " + std::to_string(y)); break;
        case 2:
        case 3: lines.push_back(At(Region{x, x, y, y})); break;
        case 4:
        case 5:
        case 6: lines.push_back(Key()); break;
        case 7:
        case 8: lines.push_back(Text()); break;
        case 9:
          lines.push_back(inactive_ ? "activate" : "deactivate");
          inactive_ = !inactive_;
          break;
        case 10: lines.push_back("close"); break;
        case 11: lines.push_back(std::string("answer ") + dice_.Pick(std::array<const char*, 3>{"yes", "no", "ok"})); break;
        default: lines.push_back("pump"); break;
      }
    }
    return lines;
  }

  // The way from `state` towards the goal.
  std::vector<std::string> Route(const Look& look, Screen state) {
    const bool wantsGame = goal_ == Schwer || goal_ == Name || goal_ == Level || goal_ == Pause || goal_ == Results;
    switch (state) {
      case Main:
        if (wantsGame) return {At(kNewGame)};
        if (goal_ == Optionen) return {At(kOptions)};
        if (goal_ == Highscore) return {At(kHighscore)};
        if (goal_ == kEnd) return {dice_.Percent(70) ? "key Escape" : At(kQuit)};
        return {};
      case Schwer:
        if (wantsGame) return {At(kDifficulties[size_t(dice_.Between(0, 2))])};
        return {dice_.Percent(50) ? "key Escape" : At(kBack)};
      case Name:
        if (!wantsGame) return {dice_.Percent(50) ? "key Escape" : At(kBack)};
        if (look.nameBlank) return {dice_.Percent(30) ? Text() : "type Kelo " + std::to_string(dice_.Between(1, 99))};
        return {dice_.Percent(50) ? "key Return" : At(kStart)};
      case Level:
        if (goal_ == Pause || !wantsGame) return {"key Escape"};
        return LevelPlay();
      case Pause:
        if (goal_ == Level || goal_ == Results) return {"key Escape"};
        return {"key F4"};
      case Optionen: return {At(kBack)};
      case Highscore: return {At(kListsBack)};
      case Results: return {dice_.Percent(50) ? "key Escape" : At(kMainMenu)};
      default: return {};
    }
  }

  // Shots and the level's own keys.
  std::vector<std::string> LevelPlay() {
    std::vector<std::string> lines;
    for (int n = dice_.Between(0, 3); n > 0; --n)
      lines.push_back(At(Region{0, 639, 0, 479}));
    if (dice_.Percent(5)) lines.push_back(dice_.Percent(50) ? "key F9" : "key F10");
    return lines;
  }

  // What is done on the screen that was the goal, before the next goal.
  std::vector<std::string> Linger(Screen state) {
    switch (state) {
      case Name:
        if (dice_.Percent(50)) return {Text()};
        return {std::string("key ") + dice_.Pick(std::array<const char*, 7>{"Backspace", "Delete", "Left", "Right",
                                                                              "Home", "End", "Space"})};
      case Optionen:
        if (dice_.Percent(50)) return {At(kBlending)};
        if (dice_.Percent(70))
          return {std::string("answer ") + dice_.Pick(std::array<const char*, 3>{"yes", "no", "ok"}), At(kReset)};
        return {At(kReset)};
      case Highscore: return {At(kLists[size_t(dice_.Between(0, 2))])};
      case Level:
        if (dice_.Percent(10)) return {"key Escape", "key Escape"};
        return LevelPlay();
      case Pause: return {dice_.Percent(50) ? "key F9" : At(Region{0, 639, 0, 479})};
      default: return Noise();
    }
  }

  std::vector<std::string> Step(const Look& look) {
    int state = -1;
    for (int s = 0; s < kScreens; ++s)
      if (look.state == kScreenNames[size_t(s)]) state = s;
    std::vector<std::string> lines;
    if (inactive_ && dice_.Percent(30)) lines.push_back("activate"), inactive_ = false;
    if (state == goal_ && linger_-- <= 0) goal_ = NextGoal();
    if (--patience_ <= 0) goal_ = NextGoal();
    // The long stretch of a level that is to be finished has little noise.
    const bool finishing = goal_ == Results && (state == Level || state == Pause || state == Atombombe || state == Nirwana);
    std::vector<std::string> action;
    if (state < 0 || dice_.Percent(finishing ? 10 : 30))
      action = Noise();
    else if (state == goal_)
      action = Linger(Screen(state));
    else
      action = Route(look, Screen(state));
    lines.insert(lines.end(), action.begin(), action.end());
    const bool long_ = state == Atombombe || state == Nirwana || (finishing && state == Level);
    const int n = long_ ? dice_.Between(5, 80) : dice_.Percent(10) ? dice_.Between(5, 60) : dice_.Between(1, 4);
    lines.push_back("tick " + std::to_string(n));
    ticksRun_ += n;
    return lines;
  }

  void Report(const std::string& fault, const std::vector<std::string>& script,
              const std::map<std::string, std::string>& files, uint32_t harnessSeed, const fs::path& errors) {
    const fs::path keep = fs::absolute("monkey-failure-" + std::to_string(seed_) + "-" + std::to_string(sessions_));
    fs::remove_all(keep);
    fs::create_directories(keep);
    for (const auto& [name, content] : files) std::ofstream(keep / name, std::ios::binary) << content;
    std::ofstream out(keep / "script.txt");
    for (const std::string& line : script) out << line << "\n";
    fs::copy_file(errors, keep / "stderr.txt", fs::copy_options::overwrite_existing);
    fs::create_directory_symlink(fs::absolute(fs::path(harness_).parent_path() / "data"), keep / "data");
    std::fprintf(stderr, "kelo-monkey: seed %llu, session %d, after %ld ticks: %s\n", (unsigned long long)seed_,
                 sessions_, ticksRun_, fault.c_str());
    std::ifstream err(errors);
    std::string line;
    for (int n = 0; n < 40 && std::getline(err, line); ++n) std::fprintf(stderr, "  %s\n", line.c_str());
    std::fprintf(stderr, "Run it again with:\n  %s --folder %s/ --seed %u %s/script.txt\n", harness_.c_str(),
                 keep.c_str(), harnessSeed, keep.c_str());
  }

  Dice dice_;
  uint64_t seed_;
  std::string harness_;
  int timeoutMs_;
  fs::path folder_;
  long ticksRun_ = 0;
  int sessions_ = 0;
  std::array<int, kScreens> arrivals_{};
  int ends_ = 0;
  std::string lastState_;
  int goal_ = Main;
  int linger_ = 0;
  int patience_ = 0;
  bool inactive_ = false;
};

// --- The real game in its window, through xdotool ----------------------------------

void DesktopLevel(uint64_t seed, int wx, int wy, double seconds) {
  Dice dice(seed);
  int x = 320, y = 240;
  auto move = [&](int px, int py) { std::printf("mousemove %d %d\n", wx + px, wy + py); };
  for (double t = 0; t < seconds;) {
    // A stroke to somewhere on the picture, fastest in its middle.
    const int tx = dice.Between(0, 639), ty = dice.Between(0, 479), steps = dice.Between(3, 14);
    for (int k = 1; k <= steps; ++k) {
      const double u = double(k) / steps, s = u * u * (3 - 2 * u);
      move(x + int((tx - x) * s), y + int((ty - y) * s));
      std::printf("sleep 0.02\n");
    }
    x = tx, y = ty;
    t += 0.02 * steps;
    if (dice.Percent(60)) std::printf("click %d\n", dice.Percent(80) ? 1 : dice.Percent(50) ? 2 : 3);
    if (dice.Percent(4)) std::printf("key %s\n", dice.Percent(50) ? "F9" : "F10");
    if (dice.Percent(3)) {
      const double pause = 0.2 + 0.1 * dice.Between(0, 8);
      std::printf("key Escape\nsleep %.2f\n", pause / 2);
      move(dice.Between(0, 639), dice.Between(0, 479));
      std::printf("sleep %.2f\nkey Escape\n", pause / 2);
      t += pause;
    }
    if (dice.Percent(20)) {
      const double rest = 0.05 * dice.Between(1, 8);
      std::printf("sleep %.2f\n", rest);
      t += rest;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string harness, desktop;
  uint64_t seed = 1;
  long ticks = 200000;
  int timeout = 120;
  double levelSeconds = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--harness") harness = v;
    else if (a == "--desktop") desktop = v;
    else if (a == "--seed") seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--ticks") ticks = std::strtol(v.c_str(), nullptr, 10);
    else if (a == "--timeout") timeout = std::atoi(v.c_str());
    else if (a == "--seconds") levelSeconds = std::atof(v.c_str());
    else harness.clear(), desktop.clear(), i = argc;
  }
  int wx = 0, wy = 0;
  if (!desktop.empty() && std::sscanf(desktop.c_str(), "%d,%d", &wx, &wy) == 2 && argc % 2 == 1) {
    DesktopLevel(seed, wx, wy, levelSeconds);
    return 0;
  }
  if (harness.empty() || argc % 2 == 0) {
    std::fprintf(stderr, "usage: kelo-monkey --harness PATH [--seed N] [--ticks N] [--timeout SECONDS]\n"
                         "       kelo-monkey --desktop X,Y [--seed N] [--seconds SECONDS] | xdotool -\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  const auto start = std::chrono::steady_clock::now();
  Monkey monkey(seed, harness, timeout);
  const bool clean = monkey.Play(ticks);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("kelo-monkey: seed %llu: %ld ticks in %d sessions, %.1f s\n", (unsigned long long)seed,
              monkey.TicksRun(), monkey.Sessions(), seconds);
  std::string missing;
  for (int s = 0; s < kScreens; ++s) {
    std::printf("  %-10s reached %d times\n", kScreenNames[size_t(s)], monkey.Arrivals()[size_t(s)]);
    if (monkey.Arrivals()[size_t(s)] == 0) missing += std::string(" ") + kScreenNames[size_t(s)];
  }
  if (!clean) return 1;
  if (!missing.empty()) {
    std::fprintf(stderr, "kelo-monkey: never reached:%s\n", missing.c_str());
    return 1;
  }
  return 0;
}
