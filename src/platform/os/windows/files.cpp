// Files on Windows: saves that never lose the old content, records written
// through to the disk, and the lock on a folder of game files. Paths go to the
// wide-character API.
#include "platform/core/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/os/windows/unicode.h"

namespace plat {

using win::Fail;
using win::Wide;

namespace {

[[noreturn]] void FailWith(const std::string& what, const std::string& path) { throw EInOutError(what + " " + path); }

// The folder refuses a new name in it, or the file is not ours to replace.
bool Refused(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT || error == ERROR_NETWORK_ACCESS_DENIED;
}

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() {
    if (Valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Get() const { return h_; }
  // Closes it, reporting the failure as the system's error code.
  bool Close() {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kChunk = 1u << 30;  // the most one ReadFile or WriteFile is asked for

// --- Files another program holds for a moment ---------------------------------------
//
// A virus scanner, a backup or a sync tool often opens a file just after it was
// written, for a moment, without letting others write, delete or rename it, or
// locks a range of its bytes. Such a hold passes: every file operation of the
// saves tries again while it lasts, for up to two seconds, before it counts as
// a failure. A file that is read-only or not the player's fails at once.

constexpr ULONGLONG kPatienceMs = 2000;

bool Held(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

enum class Outcome { kDone, kFailed, kStillHeld };

// Runs `attempt` (true on success, the error code set on failure) until it
// succeeds, fails in a way `held` does not take for a hold, or the hold has
// outlasted the patience. The error code of the last failure stays set.
template <class Attempt, class IsHeld>
Outcome Patiently(Attempt attempt, IsHeld held) {
  const ULONGLONG until = GetTickCount64() + kPatienceMs;
  for (DWORD nap = 1;; nap = std::min<DWORD>(2 * nap, 50)) {
    if (attempt()) return Outcome::kDone;
    const DWORD error = GetLastError();
    const bool waiting = held(error);
    const bool patient = GetTickCount64() < until;
    SetLastError(error);
    if (!waiting) return Outcome::kFailed;
    if (!patient) return Outcome::kStillHeld;
    Sleep(nap);
  }
}

// The same for a hold by sharing or a locked range alone: true when it succeeded.
template <class Attempt>
bool Patiently(Attempt attempt) {
  return Patiently(attempt, Held) == Outcome::kDone;
}

// CreateFileW, waiting out a hold; invalid with the error code set when it fails.
HANDLE OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE h = INVALID_HANDLE_VALUE;
  Patiently([&] {
    h = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h != INVALID_HANDLE_VALUE;
  });
  return h;
}

// Deleted while another program held it with deletion shared: its name stays
// until that program lets go, and it can no longer be opened.
bool DeletePending(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && Missing(GetLastError())) return false;
  Handle h(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  return !h.Valid() && GetLastError() == ERROR_ACCESS_DENIED;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = DWORD(offset);
  at.OffsetHigh = DWORD(offset >> 32);
  return at;
}

void WriteAll(HANDLE h, const void* data, size_t n, uint64_t offset, const std::string& path) {
  size_t done = 0;
  while (done < n) {
    DWORD wrote = 0;
    if (!Patiently([&] {
          OVERLAPPED at = At(offset + done);
          return WriteFile(h, static_cast<const char*>(data) + done, DWORD(std::min<size_t>(n - done, kChunk)), &wrote,
                           &at) != 0;
        }))
      Fail("cannot write", path);
    done += wrote;
  }
}

// The file a symbolic link (or junction) leads to; the path itself for
// anything else, and for a link that cannot be followed (saving it will say why).
std::string FinalPathOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
  Handle h(CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.Valid()) return path;
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(h.Get(), final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return path;
    if (n < final.size()) {
      final.resize(n);
      break;
    }
    final.resize(n + 1);
  }
  // "\\?\C:\..." and "\\?\UNC\server\..." as the ordinary names they stand for.
  if (final.rfind(L"\\\\?\\UNC\\", 0) == 0)
    final = L"\\\\" + final.substr(8);
  else if (final.rfind(L"\\\\?\\", 0) == 0)
    final = final.substr(4);
  return win::Utf8(final);
}

// Makes the names in the folder of `path` durable (what a rename wrote into
// the folder). The file is whole by then: a folder that cannot be flushed is
// no reason to report the save as failed.
void SyncFolderOf(const std::string& path) {
  Handle dir(CreateFileW(Wide(FolderOf(path)).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (dir.Valid()) FlushFileBuffers(dir.Get());
}

// Writes `content` into a fresh file `temp` with the given attributes and
// flushes it. False, with nothing written and the error code kept, when the
// folder refuses the new file; any other failure (a leftover held for longer
// than the patience too) is an error, and the half-written file is removed.
bool WriteBeside(const std::string& temp, std::string_view content, DWORD attributes) {
  const std::wstring wtemp = Wide(temp);
  // A leftover is removed first. While another program holds it (or, deleted,
  // it keeps its name until its holder lets go), the new one waits. Windows
  // says "access denied" for a name that is deleted yet there, Wine "exists".
  HANDLE made = INVALID_HANDLE_VALUE;
  const Outcome outcome = Patiently(
      [&] {
        if (!DeleteFileW(wtemp.c_str()) && !Missing(GetLastError())) return false;
        made = CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes | FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        return made != INVALID_HANDLE_VALUE;
      },
      [&](DWORD error) {
        return Held(error) || error == ERROR_FILE_EXISTS || (error == ERROR_ACCESS_DENIED && DeletePending(wtemp));
      });
  Handle h(made);
  if (outcome != Outcome::kDone) {
    const DWORD error = GetLastError();
    if (outcome == Outcome::kFailed && Refused(error)) return false;
    Fail("cannot create", temp, error);
  }
  // Until it is complete, a failure takes the half-written file away again.
  struct Discard {
    Handle& h;
    const std::wstring& name;
    bool keep = false;
    ~Discard() {
      if (keep) return;
      if (h.Valid()) h.Close();
      DeleteFileW(name.c_str());
    }
  } discard{h, wtemp};
  WriteAll(h.Get(), content.data(), content.size(), 0, temp);
  if (!FlushFileBuffers(h.Get())) Fail("cannot sync", temp);
  if (!h.Close()) Fail("cannot close", temp);
  discard.keep = true;
  return true;
}

// A rename over `path` was refused with "access denied" because another
// program has it open (Windows renames nothing over an open file), not
// because it is not ours to replace: it may be opened for deletion, or its
// holder shares no deletion.
bool OpenElsewhere(const std::wstring& path) {
  Handle h(CreateFileW(path.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  return h.Valid() || GetLastError() == ERROR_SHARING_VIOLATION;
}

// Puts `temp` in the place of `target` in one rename, written through to the
// disk. MoveFileExW rather than ReplaceFileW: a single rename, which the file
// system journals as a whole, where ReplaceFileW takes several steps and can
// fail half way with the old file under another name. The error code of a
// failure stays set.
Outcome Rename(const std::string& temp, const std::string& target) {
  const std::wstring from = Wide(temp), to = Wide(target);
  return Patiently(
      [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0; },
      [&](DWORD error) { return Held(error) || (error == ERROR_ACCESS_DENIED && OpenElsewhere(to)); });
}

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Windows has no question "may I write here" that answers for folder
// permissions, read-only media and the user's rights together: a file that
// deletes itself on closing is made and closed.
bool FolderWritable(const std::string& folder) {
  std::wstring base = Wide(folder);
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  for (int n = 0; n < 100; ++n) {
    const std::wstring probe =
        base + L"kelo-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n) + L".tmp";
    Handle h(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (h.Valid()) return true;
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

std::string ReadWholeFile(const std::string& path, uint64_t maxBytes) {
  Handle h(OpenFile(Wide(path), GENERIC_READ, kShareAll, OPEN_EXISTING));
  if (!h.Valid()) Fail("cannot open", path);
  std::string content;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(h.Get(), &size) && size.QuadPart >= 0) {
    if (uint64_t(size.QuadPart) > maxBytes) FailWith("too large:", path);
    content.reserve(size_t(size.QuadPart));  // read at its size once
  }
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!Patiently([&] { return ReadFile(h.Get(), buf, sizeof buf, &got, nullptr) != 0; })) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      Fail("cannot read", path);
    }
    if (got == 0) break;
    if (content.size() + got > maxBytes) FailWith("too large:", path);
    content.append(buf, got);
  }
  return content;
}

void SaveFile(const std::string& path, std::string_view content) {
  const std::string target = FinalPathOf(path);
  const std::wstring wtarget = Wide(target);
  const DWORD attributes = GetFileAttributesW(wtarget.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && !Missing(GetLastError())) Fail("cannot examine", target);
  if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) FailWith("not a plain file:", target);
  // A file that may not be written (read-only, or not ours) is an error, even
  // where the folder would let it be replaced. The handle is closed again
  // before the rename: Windows renames nothing over an open file.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) FailWith("read-only:", target);
  if (exists) {
    Handle h(OpenFile(wtarget, GENERIC_WRITE, kShareAll, OPEN_EXISTING));
    if (!h.Valid()) Fail("cannot write", target);
  }

  // The new file takes the place of the old one with its attributes.
  const DWORD keep = exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED) : 0;
  const std::string temp = SaveTempOf(target);
  if (WriteBeside(temp, content, keep)) {
    const Outcome renamed = Rename(temp, target);
    if (renamed == Outcome::kDone) {
      SyncFolderOf(target);
      return;
    }
    const DWORD error = GetLastError();
    DeleteFileW(Wide(temp).c_str());  // one still held stays, removed at the next start
    // A folder that refuses the rename leaves the file to be written in place;
    // a file still held when the patience ends is an error, the old one whole.
    if (renamed == Outcome::kStillHeld || !Refused(error)) Fail("cannot replace", target, error);
  }

  // The folder refuses new names: the file itself is written, in place.
  Handle h(OpenFile(wtarget, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS));
  if (!h.Valid()) Fail("cannot create", target);
  WriteAll(h.Get(), content.data(), content.size(), 0, target);
  LARGE_INTEGER end{};
  end.QuadPart = LONGLONG(content.size());
  if (!SetFilePointerEx(h.Get(), end, nullptr, FILE_BEGIN) || !Patiently([&] { return SetEndOfFile(h.Get()) != 0; }))
    Fail("cannot cut", target);
  if (!FlushFileBuffers(h.Get())) Fail("cannot sync", target);
  if (!h.Close()) Fail("cannot close", target);
}

void RemoveLeftoverOf(const std::string& path) {
  const std::string temp = SaveTempOf(FinalPathOf(path));
  const DWORD attributes = GetFileAttributesW(Wide(temp).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return;
  // In a folder that may not be written, or held by another program for
  // longer than the patience, it can stay: it is never read, and the next
  // save removes it first.
  const Outcome outcome = Patiently([&] { return DeleteFileW(Wide(temp).c_str()) != 0; }, Held);
  const DWORD error = GetLastError();
  if (outcome == Outcome::kFailed && !Missing(error) && !Refused(error)) Fail("cannot remove", temp, error);
}

void CreateFileComplete(const std::string& path, std::string_view content) {
  const std::string temp = SaveTempOf(path);
  if (!WriteBeside(temp, content, 0)) Fail("cannot create", temp);
  if (Rename(temp, path) != Outcome::kDone) {
    const DWORD error = GetLastError();
    DeleteFileW(Wide(temp).c_str());
    Fail("cannot create", path, error);
  }
  SyncFolderOf(path);
}

void RenameFile(const std::string& from, const std::string& to) {
  if (Rename(from, to) != Outcome::kDone) Fail("cannot rename " + from + " to", to);
  SyncFolderOf(to);
}

void RemoveFile(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (Patiently([&] { return DeleteFileW(wide.c_str()) != 0; })) {
    SyncFolderOf(path);
  } else if (const DWORD error = GetLastError(); !Missing(error)) {
    Fail("cannot remove", path, error);
  }
}

bool TryRemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

// --- Records ----------------------------------------------------------------------

namespace {

class WindowsFile final : public FileHandle {
 public:
  WindowsFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}

  uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(H(), &size)) Fail("cannot examine", path_);
    return uint64_t(size.QuadPart);
  }

  size_t ReadAt(void* buffer, size_t n, uint64_t offset) override {
    size_t done = 0;
    while (done < n) {
      DWORD got = 0;
      if (!Patiently([&] {
            OVERLAPPED at = At(offset + done);
            return ReadFile(H(), static_cast<char*>(buffer) + done, DWORD(std::min<size_t>(n - done, kChunk)), &got,
                            &at) != 0;
          })) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        Fail("cannot read", path_);
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  void WriteAt(const void* buffer, size_t n, uint64_t offset) override { WriteAll(H(), buffer, n, offset, path_); }

  void SyncData() override {
    if (!FlushFileBuffers(H())) Fail("cannot sync", path_);
  }

  void Close() override {
    H();
    if (!h_.Close()) Fail("cannot close", path_);
  }

 private:
  HANDLE H() const {
    if (!h_.Valid()) FailWith("not open:", path_);
    return h_.Get();
  }

  Handle h_;
  std::string path_;
};

}  // namespace

std::unique_ptr<FileHandle> FileHandle::Open(const std::string& path, bool create) {
  const bool existed = create && FileExists(path);
  HANDLE h = OpenFile(Wide(path), GENERIC_READ | GENERIC_WRITE, kShareAll, create ? OPEN_ALWAYS : OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) Fail(create ? "cannot create" : "cannot open", path);
  auto file = std::make_unique<WindowsFile>(h, path);
  if (create && !existed) SyncFolderOf(path);  // the new name lasts
  return file;
}

// --- The lock on a folder of game files --------------------------------------------

namespace {

class WindowsFolderLock final : public FolderLock {
 public:
  explicit WindowsFolderLock(HANDLE mutex) : mutex_(mutex) {}
  ~WindowsFolderLock() override { CloseHandle(mutex_); }

 private:
  HANDLE mutex_;
};

}  // namespace

// A named mutex of the system, named after the folder's identity (its volume
// and its number there, whatever path or link leads to it), rather than a lock
// on a file: Windows' file locks are binding on reads and writes, and nothing
// may be renamed over an open file, so neither "kelo.ini" (replaced on every
// save) nor a highscore file (made by a rename on the first start) could carry
// it, and a lock file of its own would be one more file in the player's folder.
// The mutex goes with the process however it ends. It lives in the global
// namespace, so another user's copy on the same folder is kept out too; the
// mutex of another user's copy cannot even be opened, which says as much.
std::unique_ptr<FolderLock> LockFolder(const std::string& folder) {
  Handle dir(CreateFileW(Wide(folder).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir.Valid()) Fail("cannot open folder", folder);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(dir.Get(), &info)) Fail("cannot examine folder", folder);
  uint64_t id = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  if (id == 0) {
    // A file system without numbers for its folders: the folder's full name
    // stands for it, without regard to case, as the file system takes it.
    std::wstring full(32768, L'\0');
    full.resize(GetFinalPathNameByHandleW(dir.Get(), full.data(), DWORD(full.size()), FILE_NAME_NORMALIZED));
    if (full.empty()) Fail("cannot examine folder", folder);
    CharUpperBuffW(full.data(), DWORD(full.size()));
    id = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : full) id = (id ^ uint64_t(c)) * 1099511628211ull;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"Global\\kelo-folder-%08lx-%016llx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long long>(id));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (!mutex) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) return nullptr;
    Fail("cannot lock folder", folder, error);
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<WindowsFolderLock>(mutex);
}

}  // namespace plat
