// The real game without any display: it says so in one line and ends, unless
// the user has named a video driver that draws nowhere.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "support.h"

namespace {

int RunGame(const testing_support::GameFolder& folder, const std::string& env, int seconds) {
  std::filesystem::copy_file(KELO_GAME, folder.File("kelo"));
  const std::string cmd = "cd " + folder.Path() + " && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + env +
                          " SDL_AUDIODRIVER=dummy timeout " + std::to_string(seconds) + " ./kelo >out 2>err";
  const int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(StartUp, WithoutADisplayTheGameSaysSoAndEnds) {
  testing_support::GameFolder folder;
  EXPECT_EQ(RunGame(folder, "XDG_RUNTIME_DIR=" + folder.Path(), 60), 1);
  const std::string err = folder.Read("err");
  const size_t line = err.find("Kelo - Das Spiel: Es ist kein Bildschirm erreichbar");
  ASSERT_NE(line, std::string::npos) << err;
  EXPECT_EQ(err.find('\n', line), err.size() - 1) << err;           // one line, the last
  EXPECT_FALSE(std::filesystem::exists(folder.File("high1.sco")));  // the game did not start
}

TEST(StartUp, ANamedVideoDriverThatDrawsNowhereStillRunsTheGame) {
  testing_support::GameFolder folder;
  EXPECT_EQ(RunGame(folder, "SDL_VIDEODRIVER=dummy", 3), 124) << folder.Read("err");  // ended by timeout
  EXPECT_TRUE(std::filesystem::exists(folder.File("high1.sco")));
}

}  // namespace
