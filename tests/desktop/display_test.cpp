// The real game as a player starts it: without any display it says so in one
// line and ends; with a video driver named that draws nowhere it runs; a
// second copy on the same files stays out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support.h"

namespace {

// The game started in its folder with `env`, its output in out and err.
class Game {
 public:
  Game(const testing_support::GameFolder& folder, const std::string& env, const std::string& name = "") {
    if (!std::filesystem::exists(folder.File("kelo"))) std::filesystem::copy_file(KELO_GAME, folder.File("kelo"));
    const std::string cmd = "cd " + folder.Path() +
                            " && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy " +
                            env + " ./kelo >out" + name + " 2>err" + name;
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Game() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait(std::chrono::seconds(60));
    }
  }
  // The exit status once the game has ended, or -1 when it still runs after `limit`.
  int Wait(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  pid_t pid_ = -1;
};

// Whether the file appears before the (generous) limit: a busy machine is slow, not wrong.
bool Appears(const std::string& path) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(StartUp, WithoutADisplayTheGameSaysSoAndEnds) {
  testing_support::GameFolder folder;
  Game game(folder, "XDG_RUNTIME_DIR=" + folder.Path());
  EXPECT_EQ(game.Wait(std::chrono::seconds(120)), 1);
  const std::string err = folder.Read("err");
  const size_t line = err.find("Kelo - Das Spiel: Es ist kein Bildschirm erreichbar");
  ASSERT_NE(line, std::string::npos) << err;
  EXPECT_EQ(err.find('\n', line), err.size() - 1) << err;           // one line, the last
  EXPECT_FALSE(std::filesystem::exists(folder.File("high1.sco")));  // the game did not start
}

TEST(StartUp, ANamedVideoDriverThatDrawsNowhereRunsOneGameAFolder) {
  testing_support::GameFolder folder;
  Game first(folder, "SDL_VIDEODRIVER=dummy");
  ASSERT_TRUE(Appears(folder.File("high3.sco"))) << folder.Read("err");

  // A second copy on the same files says so and ends; the first plays on.
  Game second(folder, "SDL_VIDEODRIVER=dummy", "2");
  EXPECT_EQ(second.Wait(std::chrono::seconds(120)), 1);
  const std::string err = folder.Read("err2");
  EXPECT_NE(err.find("Kelo - Das Spiel: Kelo - Das Spiel läuft schon"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(first.Wait(std::chrono::seconds(0)), -1);

  // Another folder is another game.
  testing_support::GameFolder other;
  Game third(other, "SDL_VIDEODRIVER=dummy");
  EXPECT_TRUE(Appears(other.File("high3.sco"))) << other.Read("err");
}

}  // namespace
