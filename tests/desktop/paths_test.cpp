// Where an installed game keeps its files: $XDG_DATA_HOME/kelo/ when that is
// an absolute path, otherwise ~/.local/share/kelo/; missing folders are made
// for the player only.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "platform/core/files.h"

namespace fs = std::filesystem;

TEST(UserFiles, XdgDataHomeCountsOnlyAsAnAbsolutePathAndMissingFoldersAreMadePrivate) {
  const fs::path root = fs::temp_directory_path() / ("kelo-paths-" + std::to_string(std::random_device()()));
  fs::create_directories(root / "cwd");
  const fs::path before = fs::current_path();
  fs::current_path(root / "cwd");  // where a relative path would land
  const std::string home = root.string() + "/home";
  const std::string ownHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const char* ownXdg = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> savedXdg = ownXdg ? std::optional<std::string>(ownXdg) : std::nullopt;
  ::setenv("HOME", (home + "//").c_str(), 1);

  struct Case {
    std::optional<std::string> xdg;  // none: unset
    std::string folder;
  };
  const std::string fallback = home + "/.local/share/kelo/";
  const Case cases[] = {{std::nullopt, fallback},  {"", fallback},        {"xdg", fallback},
                        {"./share", fallback},     {"~/share", fallback},
                        {root.string() + "/x/y//", root.string() + "/x/y/kelo/"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xdg.value_or("(unset)"));
    if (c.xdg)
      ::setenv("XDG_DATA_HOME", c.xdg->c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(plat::UserFilesFolder(), c.folder);
    EXPECT_TRUE(fs::is_directory(c.folder));
    EXPECT_TRUE(fs::is_empty(root / "cwd"));
  }
  for (const fs::path& made : {fs::path(home) / ".local", root / "x", root / "x/y/kelo"}) {
    struct stat st {};
    ASSERT_EQ(::stat(made.c_str(), &st), 0) << made;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
  }

  // A file where the folder belongs is an error, not a game without its files.
  std::ofstream(root / "file") << "x";
  ::setenv("XDG_DATA_HOME", (root / "file").c_str(), 1);
  EXPECT_THROW(plat::UserFilesFolder(), plat::EInOutError);

  fs::current_path(before);
  fs::remove_all(root);
  ::setenv("HOME", ownHome.c_str(), 1);
  if (savedXdg)
    ::setenv("XDG_DATA_HOME", savedXdg->c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}
