// Saved files under faults: permissions, links, a full disk, and kills at any
// moment while the settings and the highscores are written.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>

#include "game_fixture.h"
#include "sync_counter.h"
#include "tool1.h"

namespace fs = std::filesystem;

namespace {

// Makes permissions count for this process while it lives, also for root
// (whose override of them is switched off).
class PermissionsCount {
 public:
  PermissionsCount() {
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    changed_ = syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~PermissionsCount() {
    if (changed_) syscall(SYS_capset, &header_, saved_);
  }
  // Whether a file without write permission really cannot be written now.
  static bool Hold(const std::string& folder) {
    const std::string probe = folder + "probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
    if (fd >= 0) ::close(fd);
    const int again = ::open(probe.c_str(), O_WRONLY);
    if (again >= 0) ::close(again);
    ::unlink(probe.c_str());
    return again < 0;
  }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool changed_ = false;
};

// Files beyond `bytes` cannot be written while it lives, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

std::vector<std::string> StraysIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().extension() == ".new") out.push_back(e.path().filename());
  return out;
}

}  // namespace

class SettingsSave : public GameTest {
 protected:
  void Save(int alpha) {
    Form1->alphaExplosions = uint8_t(alpha);
    SaveSettings();
  }
};

TEST_F(SettingsSave, TheFileDecidesWhetherItMayBeWrittenNotItsFolder) {
  PermissionsCount permissions;
  if (!PermissionsCount::Hold(folder.Path())) GTEST_SKIP() << "permissions are not enforced here";
  folder.Write("kelo.ini", "1\r\nzwei\r\n");
  StartGame();
  const std::string ini = folder.File("kelo.ini");

  // A read-only file in a folder that could replace it: an error, and it stays.
  ASSERT_EQ(chmod(ini.c_str(), 0444), 0);
  EXPECT_THROW(Save(0), plat::EInOutError);
  EXPECT_EQ(folder.Read("kelo.ini"), "1\r\nzwei\r\n");

  // A writable file in a read-only folder is saved in place, keeping its permissions.
  ASSERT_EQ(chmod(ini.c_str(), 0620), 0);
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  Save(0);
  EXPECT_EQ(folder.Read("kelo.ini"), "0\r\nzwei\r\n");
  Save(1);
  EXPECT_EQ(folder.Read("kelo.ini"), "1\r\nzwei\r\n");
  struct stat st {};
  ASSERT_EQ(stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0620u);

  // Where the folder allows it the file is replaced, with the same permissions.
  ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
  Save(0);
  ASSERT_EQ(stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0620u);

  // No file and a read-only folder: nothing can be created, an error.
  folder.Remove("kelo.ini");
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  EXPECT_THROW(Save(1), plat::EInOutError);
  ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
  EXPECT_FALSE(fs::exists(ini));
  EXPECT_EQ(StraysIn(folder.Path()), std::vector<std::string>{});
}

TEST_F(SettingsSave, ALinkIsFollowedAndStaysALink) {
  fs::create_directory(folder.File("elsewhere"));
  folder.Write("elsewhere/real.ini", "1\r\nzwei\r\n");
  ASSERT_EQ(symlink("elsewhere/real.ini", folder.File("kelo.ini").c_str()), 0);
  StartGame();
  EXPECT_EQ(Form1->alphaExplosions, 1);
  Save(0);
  EXPECT_TRUE(fs::is_symlink(folder.File("kelo.ini")));
  EXPECT_EQ(fs::read_symlink(folder.File("kelo.ini")), "elsewhere/real.ini");
  EXPECT_EQ(folder.Read("elsewhere/real.ini"), "0\r\nzwei\r\n");
  EXPECT_EQ(StraysIn(folder.Path()), std::vector<std::string>{});
  EXPECT_EQ(StraysIn(folder.File("elsewhere")), std::vector<std::string>{});
}

TEST_F(SettingsSave, AFullDiskKeepsTheOldFileWhole) {
  std::string old = "1\r\n";
  for (int i = 0; i < 500; ++i) old += "Zeile " + std::to_string(i) + "\r\n";
  folder.Write("kelo.ini", old);
  StartGame();
  {
    FileSizeLimit full(1000);
    EXPECT_THROW(Save(0), plat::EInOutError);
  }
  EXPECT_EQ(folder.Read("kelo.ini"), old);
  EXPECT_EQ(StraysIn(folder.Path()), std::vector<std::string>{});
  Save(0);  // room again
  EXPECT_EQ(folder.Read("kelo.ini"), "0" + old.substr(1));
}

// Every write reaches the disk before the game goes on: the settings file
// (beside and renamed, or in place), a new highscore file, each record.
TEST_F(SettingsSave, EverySaveIsSyncedAndAFolderThatCannotBeSyncedIsNoFailure) {
  using sync_counter::Counts;
  folder.Write("kelo.ini", "1\r\nzwei\r\n");
  sync_counter::Start();
  StartGame();
  // The three new highscore files: each synced, renamed and its folder synced.
  EXPECT_EQ(sync_counter::Taken(), (Counts{3, 0, 3}));

  sync_counter::Start();
  Save(0);
  EXPECT_EQ(sync_counter::Taken(), (Counts{1, 0, 1}));
  sync_counter::Start();
  Form1->difficulty = 2;
  Form1->playerName = "Sync";
  Form1->scorePoints = 400;
  Form1->scoreHits = 2;
  InsertHighscore();
  EXPECT_EQ(sync_counter::Taken(), (Counts{0, 1, 0}));
  sync_counter::Start();
  ResetHighscores();
  EXPECT_EQ(sync_counter::Taken(), (Counts{0, 3, 0}));

  // Once the new file has its name, a folder that cannot be synced does not
  // turn the save into a failure.
  sync_counter::Start(true);
  EXPECT_NO_THROW(Save(1));
  EXPECT_EQ(folder.Read("kelo.ini"), "1\r\nzwei\r\n");
  sync_counter::Start();
}

TEST_F(SettingsSave, SavedInPlaceAShorterFileLeavesNothingOfTheOldOne) {
  PermissionsCount permissions;
  if (!PermissionsCount::Hold(folder.Path())) GTEST_SKIP() << "permissions are not enforced here";
  std::string longer = "1\r\n";
  for (int i = 0; i < 50; ++i) longer += "Zeile " + std::to_string(i) + "\r\n";
  folder.Write("kelo.ini", longer);
  StartGame();
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  Form1->Memo1.Lines.SetText("1\r\nkurz\r\n");
  sync_counter::Start();
  Save(0);
  EXPECT_EQ(sync_counter::Taken(), (sync_counter::Counts{1, 0, 0}));  // in place: the file alone
  ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
  EXPECT_EQ(folder.Read("kelo.ini"), "0\r\nkurz\r\n");
}

namespace {

const std::string kDefaultName = "Quillendorfer (Kelo)";

// Whether a highscore record is one the writer below can have left whole:
// the defaults, or entries "P<k>", "P<k-1>", ... (k points, 1 hit each) with
// defaults below them.
bool IsWholeList(const std::string& record) {
  if (record.size() != 230) return false;
  auto text = [&](size_t at, size_t room) -> std::optional<std::string> {
    if (uint8_t(record[at]) > room) return std::nullopt;
    return record.substr(at + 1, uint8_t(record[at]));
  };
  std::optional<long> top;
  for (size_t i = 0; i < 5; ++i) {
    const auto name = text(21 * i, 20), points = text(105 + 21 * i, 20), hits = text(210 + 4 * i, 3);
    if (!name || !points || !hits) return false;
    if (i == 0 && *name != kDefaultName) top = std::stol(*points);
    const long k = top ? *top - long(i) : 0;
    if (k >= 1) {
      if (*name != "P" + std::to_string(k) || *points != std::to_string(k) || *hits != "1") return false;
    } else if (*name != kDefaultName || *points != "0" || *hits != "000") {
      return false;
    }
  }
  return true;
}

// One step of the writer: saves the settings, ranks a result that takes
// place 1, and now and then resets the lists.
void WriteOnce(int i) {
  Form1->alphaExplosions = uint8_t(i % 2);
  SaveSettings();
  Form1->difficulty = 1 + i % 3;
  const THighscoreTable& t = Form1->highTables[Form1->difficulty];
  const int next = (t.Names[0].Str() == kDefaultName ? 0 : std::stoi(t.Points[0].Str())) + 1;
  Form1->playerName = "P" + std::to_string(next);
  Form1->scorePoints = next;
  Form1->scoreHits = 1;
  InsertHighscore();
  if (i % 4 == 3) ResetHighscores();
}

// The child of the kill test: opens (or creates) the highscore files as the
// start does, then writes until it is killed.
[[noreturn]] void WriteForEver(int ready) {
  try {
    if (write(ready, "!", 1) != 1) _exit(3);
    OpenHighscores();
    for (int i = 0;; ++i) WriteOnce(i);
  } catch (const std::exception&) {
    _exit(4);
  }
}

}  // namespace

// Kills do not test syncing: a folder in memory (where there is one) lets a
// thousand of them run in seconds.
class Kills : public GameTest {
 protected:
  Kills() : GameTest(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp") {}
};

TEST_F(Kills, EveryFileIsTheWholeOldOrTheWholeNewOneAndNoStraySurvives) {
  std::string rest;
  for (int i = 0; i < 3000; ++i) rest += "Zeile " + std::to_string(i) + "\r\n";  // several pages
  const std::string settings[2] = {"0\r\n" + rest, "1\r\n" + rest};
  folder.Write("kelo.ini", settings[0]);
  StartGame(false);
  const char* const scores[3] = {"high1.sco", "high2.sco", "high3.sco"};

  // How long the creation and a few rounds of writes take here (the quickest
  // of three tries): the kills fall anywhere in that time.
  long span = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto begin = std::chrono::steady_clock::now();
    for (const char* name : scores) folder.Remove(name);
    OpenHighscores();
    for (int i = 0; i < 10; ++i) WriteOnce(i);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
    span = attempt == 0 ? long(took.count()) : std::min(span, long(took.count()));
  }

  std::mt19937 random(12345);
  for (int round = 0; round < 1000; ++round) {
    // Some rounds begin with files missing, so that kills meet their creation.
    if (round % 3 == 0) folder.Remove(scores[round % 9 / 3]);
    if (round % 5 == 0) folder.Remove("kelo.ini");
    bool existed[4];
    for (int n = 0; n < 3; ++n) existed[n] = fs::exists(folder.File(scores[n]));
    existed[3] = fs::exists(folder.File("kelo.ini"));

    int pipes[2];
    ASSERT_EQ(pipe(pipes), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) WriteForEver(pipes[1]);
    char c;
    ASSERT_EQ(read(pipes[0], &c, 1), 1);
    close(pipes[0]), close(pipes[1]);
    usleep(useconds_t(std::uniform_int_distribution<long>(0, span)(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer failed: " << status;

    for (int n = 0; n < 3; ++n) {
      if (!fs::exists(folder.File(scores[n]))) {
        ASSERT_FALSE(existed[n]) << scores[n] << " vanished in round " << round;
        continue;
      }
      ASSERT_TRUE(IsWholeList(folder.Read(scores[n]))) << scores[n] << " is broken in round " << round;
    }
    if (fs::exists(folder.File("kelo.ini"))) {
      const std::string now = folder.Read("kelo.ini");
      ASSERT_TRUE(now == settings[0] || now == settings[1]) << "kelo.ini is broken in round " << round;
    } else {
      ASSERT_FALSE(existed[3]) << "kelo.ini vanished in round " << round;
    }
    // A new start leaves nothing of a killed save behind.
    if (round % 100 == 99) {
      TearDown();
      // A start without the file would forget the later lines the checks expect.
      if (!fs::exists(folder.File("kelo.ini"))) folder.Write("kelo.ini", settings[0]);
      StartGame(false);
      ASSERT_EQ(StraysIn(folder.Path()), std::vector<std::string>{}) << "round " << round;
    }
  }
}
