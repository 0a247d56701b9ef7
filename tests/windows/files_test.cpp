// Windows' own file faults, under the real Windows API (or Wine's): a settings
// file that may not be written, saves killed at any moment, paths with umlauts,
// the lock on a folder of game files, and the files an earlier start left
// beside the installed program moving into the player's folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "platform/core/files.h"
#include "platform/os/windows/unicode.h"

namespace fs = std::filesystem;
using plat::win::Wide;

namespace {

// A fresh folder under the temporary folder, in a folder named "Jürgen".
class Folder {
 public:
  Folder() {
    const fs::path base = fs::temp_directory_path() / fs::u8path("J\xC3\xBCrgen");
    fs::create_directories(base);
    path_ = base / ("kelo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(next_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path_, ignored);
  }
  // As the game names it: UTF-8 with '/', ending in '/'.
  std::string Path() const { return plat::win::Utf8(path_.wstring()) + "/"; }

 private:
  static inline int next_ = 0;
  fs::path path_;
};

std::string Record(int i) { return std::string(230, char('A' + i % 26)); }

}  // namespace

TEST(WindowsFiles, PathsWithUmlautsSaveReadAndKeepRecords) {
  const Folder folder;
  const std::string ini = folder.Path() + "kelo.ini";
  ASSERT_NE(folder.Path().find("J\xC3\xBCrgen/"), std::string::npos);
  EXPECT_TRUE(plat::FolderExists(folder.Path()));
  EXPECT_TRUE(plat::FolderWritable(folder.Path()));
  EXPECT_TRUE(fs::is_empty(fs::path(Wide(folder.Path())))) << "the probe of FolderWritable stayed";

  plat::SaveFile(ini, "1\r\n");
  plat::SaveFile(ini, "0\r\nlonger\r\n");
  EXPECT_EQ(plat::ReadWholeFile(ini), "0\r\nlonger\r\n");
  EXPECT_FALSE(plat::FileExists(plat::SaveTempOf(ini)));
  EXPECT_THROW(plat::ReadWholeFile(ini, 3), plat::EInOutError);

  const std::string high = folder.Path() + "high1.sco";
  plat::CreateFileComplete(high, Record(0));
  auto file = plat::FileHandle::Open(high, false);
  file->WriteAt(Record(1).data(), 230, 230);
  file->SyncData();
  EXPECT_EQ(file->Size(), 460u);
  std::string back(300, '\0');
  EXPECT_EQ(file->ReadAt(back.data(), back.size(), 200), 260u);  // fewer only at the end
  EXPECT_EQ(back.substr(0, 30), Record(0).substr(0, 30));
  EXPECT_EQ(back.substr(30, 230), Record(1));
  file->Close();
  EXPECT_THROW(file->Size(), plat::EInOutError);
  EXPECT_THROW(plat::FileHandle::Open(folder.Path() + "missing.sco", false), plat::EInOutError);
}

TEST(WindowsFiles, AReadOnlySettingsFileIsAnErrorAndStaysAsItWas) {
  const Folder folder;
  const std::string ini = folder.Path() + "kelo.ini";
  plat::SaveFile(ini, "1\r\nmine\r\n");
  ASSERT_TRUE(SetFileAttributesW(Wide(ini).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_THROW(plat::SaveFile(ini, "0\r\n"), plat::EInOutError);
  EXPECT_EQ(plat::ReadWholeFile(ini), "1\r\nmine\r\n");
  EXPECT_FALSE(plat::FileExists(plat::SaveTempOf(ini)));
  // A folder in the file's place is no file to save either.
  fs::create_directory(fs::path(Wide(folder.Path() + "dir.ini")));
  EXPECT_THROW(plat::SaveFile(folder.Path() + "dir.ini", "0"), plat::EInOutError);
}

TEST(WindowsFiles, OneCopyOfTheGameAFolderHoweverThePathIsSpelt) {
  const Folder one, two;
  auto lock = plat::LockFolder(one.Path());
  ASSERT_TRUE(lock);
  std::string other = one.Path();
  other.pop_back();
  for (char& c : other) c = c == '/' ? '\\' : char(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_FALSE(plat::LockFolder(other));
  EXPECT_TRUE(plat::LockFolder(two.Path()));
  lock.reset();
  EXPECT_TRUE(plat::LockFolder(one.Path()));
}

// What an earlier start left beside the installed program moves into the
// player's folder: whole, only where that folder has no file of the name yet,
// and removed from the program's folder only once the copy is complete.
TEST(WindowsFiles, EarlierGameFilesMoveWholeAndOverwriteNothing) {
  const Folder program, player;
  const std::string ini = "1\r\n" + std::string(70000, 'x') + "\r\n";
  plat::SaveFile(program.Path() + "kelo.ini", ini);
  plat::CreateFileComplete(program.Path() + "high1.sco", Record(1));
  plat::CreateFileComplete(program.Path() + "high2.sco", Record(2));
  plat::CreateFileComplete(program.Path() + "high3.sco", Record(3));
  plat::CreateFileComplete(player.Path() + "high2.sco", Record(12));
  // A folder in a file's place: the copy fails, and the old file stays.
  fs::create_directory(fs::path(Wide(player.Path() + "high3.sco")));

  EXPECT_THROW(plat::MoveGameFiles(program.Path(), player.Path()), plat::EInOutError);
  EXPECT_EQ(plat::ReadWholeFile(player.Path() + "kelo.ini"), ini);
  EXPECT_EQ(plat::ReadWholeFile(player.Path() + "high1.sco"), Record(1));
  EXPECT_EQ(plat::ReadWholeFile(player.Path() + "high2.sco"), Record(12)) << "a file of the player's was replaced";
  EXPECT_FALSE(plat::FileExists(program.Path() + "kelo.ini"));
  EXPECT_FALSE(plat::FileExists(program.Path() + "high1.sco"));
  EXPECT_EQ(plat::ReadWholeFile(program.Path() + "high2.sco"), Record(2));
  EXPECT_EQ(plat::ReadWholeFile(program.Path() + "high3.sco"), Record(3));
  EXPECT_FALSE(plat::FileExists(plat::SaveTempOf(player.Path() + "high3.sco")));

  // Once the way is free it moves; an old file that may not be removed stays
  // where it was, and that is no failure.
  fs::remove(fs::path(Wide(player.Path() + "high3.sco")));
  ASSERT_TRUE(SetFileAttributesW(Wide(program.Path() + "high3.sco").c_str(), FILE_ATTRIBUTE_READONLY));
  // ... but not while another copy of the game holds the player's folder.
  {
    const auto other = plat::LockFolder(player.Path());
    ASSERT_TRUE(other);
    plat::MoveGameFiles(program.Path(), player.Path());
    EXPECT_FALSE(plat::FileExists(player.Path() + "high3.sco"));
  }
  plat::MoveGameFiles(program.Path(), player.Path());
  EXPECT_EQ(plat::ReadWholeFile(player.Path() + "high3.sco"), Record(3));
  EXPECT_EQ(plat::ReadWholeFile(program.Path() + "high3.sco"), Record(3));
}

// The child of the kill test (run by it with KELO_KILL_FOLDER set): saves the
// settings, writes a record in place and makes a missing file complete, over
// and over, until it is killed.
TEST(WindowsFiles, KilledWriter) {
  wchar_t folder[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"KELO_KILL_FOLDER", folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) GTEST_SKIP() << "run by the kill test";
  const std::string base = plat::win::Utf8(folder);
  auto record = plat::FileHandle::Open(base + "high1.sco", true);
  for (int i = 1;; ++i) {
    plat::SaveFile(base + "kelo.ini", std::string(20000, char('a' + i % 2)));
    record->WriteAt(Record(i).data(), 230, 0);
    record->SyncData();
    if (!plat::FileExists(base + "high2.sco")) plat::CreateFileComplete(base + "high2.sco", Record(i));
    if (i % 3 == 0) DeleteFileW(Wide(base + "high2.sco").c_str());
  }
}

TEST(WindowsFiles, AKillLeavesTheWholeOldOrTheWholeNewFile) {
  const Folder folder;
  const std::string base = folder.Path();
  plat::SaveFile(base + "kelo.ini", std::string(20000, 'a'));
  plat::CreateFileComplete(base + "high1.sco", Record(0));

  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=WindowsFiles.KilledWriter";
  ASSERT_TRUE(SetEnvironmentVariableW(L"KELO_KILL_FOLDER", Wide(base, false).c_str()));
  std::mt19937 random(4711);
  for (int round = 0; round < 40; ++round) {
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &child));
    // Killed once it has written for a while: anywhere in its loop.
    for (int waited = 0; waited < 5000 && plat::ReadWholeFile(base + "high1.sco") == Record(0); waited += 5) Sleep(5);
    Sleep(std::uniform_int_distribution<DWORD>(0, 60)(random));
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    ASSERT_EQ(code, 9u) << "the writer ended by itself in round " << round;

    const std::string ini = plat::ReadWholeFile(base + "kelo.ini");
    ASSERT_TRUE(ini == std::string(20000, 'a') || ini == std::string(20000, 'b')) << "kelo.ini broken in round " << round;
    const std::string high1 = plat::ReadWholeFile(base + "high1.sco");
    ASSERT_TRUE(high1.size() == 230 && high1 == Record(high1[0] - 'A')) << "high1.sco broken in round " << round;
    if (plat::FileExists(base + "high2.sco")) {
      const std::string high2 = plat::ReadWholeFile(base + "high2.sco");
      ASSERT_TRUE(high2.size() == 230 && high2 == Record(high2[0] - 'A')) << "high2.sco broken in round " << round;
    }
    plat::RemoveLeftoverOf(base + "kelo.ini");
    ASSERT_FALSE(plat::FileExists(plat::SaveTempOf(base + "kelo.ini")));
    plat::CreateFileComplete(base + "high1.sco", Record(0));
  }
  SetEnvironmentVariableW(L"KELO_KILL_FOLDER", nullptr);
}
