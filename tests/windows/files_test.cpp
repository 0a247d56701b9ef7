// Windows' own file faults, under the real Windows API (or Wine's): a settings
// file that may not be written, saves killed at any moment, files held by
// another program, paths with umlauts, the lock on a folder of game files, and
// the files an earlier start left beside the installed program moving into the
// player's folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
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

// --- Files another program holds ----------------------------------------------------

namespace {

std::wstring NextName(const wchar_t* what) {
  static int next = 0;
  return L"Local\\kelo-test-" + std::wstring(what) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(next++);
}

// Another program (kelo_file_holder, beside the tests) holding a file or a
// folder, from WaitUntilHeld until `release` is set.
class Holder {
 public:
  Holder(const std::string& path, const std::string& how, const std::wstring& release) : path_(path) {
    const std::wstring readyName = NextName(L"ready");
    ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + (fs::path(std::wstring(self, n)).parent_path() / L"kelo_file_holder.exe").wstring() +
                           L"\" \"" + Wide(path) + L"\" " + Wide(how, false) + L" " + readyName + L" " + release;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process_))
      throw std::runtime_error("cannot start kelo_file_holder");
  }
  void WaitUntilHeld() const {
    const HANDLE either[] = {ready_, process_.hProcess};
    if (WaitForMultipleObjects(2, either, FALSE, 60000) != WAIT_OBJECT_0)
      throw std::runtime_error("kelo_file_holder does not hold " + path_);
  }
  ~Holder() {
    TerminateProcess(process_.hProcess, 0);  // when still holding
    WaitForSingleObject(process_.hProcess, INFINITE);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    CloseHandle(ready_);
  }

 private:
  std::string path_;
  HANDLE ready_;
  PROCESS_INFORMATION process_{};
};

uint64_t Identity(const std::string& path) {
  const HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  return uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
}

// Each save of the game with one of its files held by another program, all at
// once, each in a folder of its own:
// - "kelo.ini" saved over the old one;
// - a highscore file opened again (as the reset does) and a record written and
//   synced in place;
// - a missing highscore file made complete, beside a leftover of a killed save.
struct HeldSave {
  std::string file;
  std::string how;
  std::unique_ptr<Folder> folder = std::make_unique<Folder>();
  uint64_t iniBefore = 0;
  std::string error{};
  bool threw = false;

  // No system lets the save past a holder that shares no deletion.
  bool Blocks() const { return how != "all" && how != "lock"; }
};

std::vector<HeldSave> HeldSaves() {
  std::vector<HeldSave> saves;
  for (const char* how : {"none", "read", "read+write", "all", "lock"}) saves.push_back({"kelo.ini", how});
  for (const char* how : {"none", "read", "lock"}) saves.push_back({"high1.sco", how});
  for (const char* how : {"none", "read+write", "all"}) saves.push_back({"high2.sco.new", how});
  return saves;
}

// Holds each file, saves them all, and lets go after `holdMs` or, when
// negative, once every save has ended.
void SaveWhileHeld(std::vector<HeldSave>& saves, int holdMs) {
  for (HeldSave& save : saves) {
    const std::string base = save.folder->Path();
    plat::SaveFile(base + "kelo.ini", "old");
    plat::CreateFileComplete(base + "high1.sco", Record(0));
    plat::SaveFile(base + "high2.sco.new", "left over");
    save.iniBefore = Identity(base + "kelo.ini");
  }
  const std::wstring releaseName = NextName(L"release");
  const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  std::vector<std::unique_ptr<Holder>> holders;
  for (HeldSave& save : saves)
    holders.push_back(std::make_unique<Holder>(save.folder->Path() + save.file, save.how, releaseName));
  for (const auto& holder : holders) holder->WaitUntilHeld();
  std::vector<std::thread> savers;
  for (HeldSave& save : saves)
    savers.emplace_back([&save] {
      const std::string base = save.folder->Path();
      try {
        if (save.file == "kelo.ini") {
          plat::SaveFile(base + "kelo.ini", "new");
        } else if (save.file == "high1.sco") {
          auto file = plat::FileHandle::Open(base + "high1.sco", true);
          file->WriteAt(Record(1).data(), 230, 0);
          file->SyncData();
          file->Close();
        } else {
          plat::CreateFileComplete(base + "high2.sco", Record(2));
        }
      } catch (const plat::EInOutError& e) {
        save.threw = true;
        save.error = e.what();
      }
    });
  if (holdMs >= 0) {
    Sleep(DWORD(holdMs));
    SetEvent(release);
  }
  for (std::thread& saver : savers) saver.join();
  SetEvent(release);
  holders.clear();
  CloseHandle(release);
}

}  // namespace

// The save ended as if the file had never been held: the whole new content,
// "kelo.ini" by a rename (a new file in the old one's place, never the old one
// written over).
void ExpectSavedWhole(const HeldSave& save) {
  const std::string base = save.folder->Path();
  if (save.file == "kelo.ini") {
    EXPECT_EQ(plat::ReadWholeFile(base + "kelo.ini"), "new");
    EXPECT_NE(Identity(base + "kelo.ini"), save.iniBefore) << "written in place";
  } else if (save.file == "high1.sco") {
    EXPECT_EQ(plat::ReadWholeFile(base + "high1.sco"), Record(1));
  } else {
    EXPECT_EQ(plat::ReadWholeFile(base + "high2.sco"), Record(2));
  }
  EXPECT_FALSE(plat::FileExists(base + "kelo.ini.new"));
}

TEST(WindowsFiles, AFileHeldForAMomentIsSavedWholeOnceItIsLetGo) {
  std::vector<HeldSave> saves = HeldSaves();
  SaveWhileHeld(saves, 300);
  for (const HeldSave& save : saves) {
    SCOPED_TRACE(save.file + " held: " + save.how);
    EXPECT_FALSE(save.threw) << save.error;
    ExpectSavedWhole(save);
  }

  // The lock on a folder asks for nothing that a holder of the folder could refuse.
  const Folder folder;
  const std::wstring release = NextName(L"release");
  const HANDLE released = CreateEventW(nullptr, TRUE, FALSE, release.c_str());
  {
    std::string path = folder.Path();
    path.pop_back();  // no backslash before the closing quote of its command line
    const Holder holder(path, "none", release);
    holder.WaitUntilHeld();
    EXPECT_TRUE(plat::LockFolder(folder.Path()));
  }
  CloseHandle(released);
}

// Held beyond the game's patience (about two seconds): the error message,
// and the old file whole. Where the system lets the save past the holder
// (Windows' newer renames past a holder that shares deletion; Wine's locks,
// which bind no reads or writes), it is saved whole.
TEST(WindowsFiles, AFileHeldForLongIsTheErrorMessageAndTheOldFileStaysWhole) {
  std::vector<HeldSave> saves = HeldSaves();
  SaveWhileHeld(saves, -1);
  for (const HeldSave& save : saves) {
    SCOPED_TRACE(save.file + " held: " + save.how);
    const std::string base = save.folder->Path();
    if (save.Blocks()) {
      EXPECT_TRUE(save.threw);
    }
    if (!save.threw) {
      ExpectSavedWhole(save);
      continue;
    }
    EXPECT_EQ(plat::ReadWholeFile(base + "kelo.ini"), "old");
    EXPECT_EQ(Identity(base + "kelo.ini"), save.iniBefore);
    EXPECT_FALSE(plat::FileExists(base + "kelo.ini.new"));
    EXPECT_EQ(plat::ReadWholeFile(base + "high1.sco"), Record(0));
    EXPECT_FALSE(plat::FileExists(base + "high2.sco"));
  }
}
