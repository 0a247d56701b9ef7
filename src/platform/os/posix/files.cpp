// Files on a POSIX system: saves that never lose the old content, records
// written through to the disk, and the lock on a folder of game files.
#include "platform/core/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace plat {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw EInOutError(what + " " + path + ": " + std::strerror(errno));
}

[[noreturn]] void FailWith(int error, const std::string& what, const std::string& path) {
  errno = error;
  Fail(what, path);
}

// Makes the names in the folder of `path` durable. Called once a file has its
// name: the file is whole by then, so a folder that cannot be synced (some
// file systems cannot) is no reason to report the save as failed.
void SyncFolderOf(const std::string& path) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

char PathListSeparator() { return ':'; }

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FolderWritable(const std::string& folder) { return ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0; }

std::string ReadWholeFile(const std::string& path, uint64_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open", path);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  std::string content;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    if (uint64_t(st.st_size) > maxBytes) FailWith(EFBIG, "too large:", path);
    content.reserve(size_t(st.st_size));  // read at its size once
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read", path);
    }
    if (n == 0) break;
    if (content.size() + size_t(n) > maxBytes) FailWith(EFBIG, "too large:", path);
    content.append(buf, size_t(n));
  }
  return content;
}

namespace {

// The folder refuses a new name in it (no write permission, or a read-only mount).
bool Refused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Follows symbolic links to the file they lead to (which need not exist yet).
// False for a loop or a link that cannot be read.
bool FollowLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 4095) + 1);
    const ssize_t n = ::readlink(target.c_str(), buf.data(), buf.size());
    if (n <= 0 || size_t(n) >= buf.size()) return false;
    const std::string to(buf.data(), size_t(n));
    const size_t slash = target.rfind('/');
    target = (to.front() == '/' || slash == std::string::npos) ? to : target.substr(0, slash + 1) + to;
  }
  errno = ELOOP;
  return false;
}

void WriteAll(int fd, std::string_view content, const std::string& path) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::pwrite(fd, content.data() + done, content.size() - done, off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot write", path);
    done += size_t(n);
  }
}

// Writes `content` into a fresh file `temp` and syncs it. False, with nothing
// written, when the folder refuses the new file; any other failure is an
// error, and the half-written file is removed.
bool WriteBeside(const std::string& temp, std::string_view content, const struct stat* like) {
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT) {
    if (Refused(errno)) return false;
    Fail("cannot remove", temp);
  }
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (Refused(errno)) return false;
    Fail("cannot create", temp);
  }
  // Until it is complete, a failure takes the half-written file away again.
  struct Discard {
    int fd;
    const std::string& temp;
    bool keep = false;
    ~Discard() {
      if (keep) return;
      ::close(fd);
      ::unlink(temp.c_str());
    }
  } discard{fd, temp};
  if (like) {
    // The new file takes the place of the old one: the same owner where we may
    // give it away, the same permissions.
    if ((like->st_uid != ::geteuid() || like->st_gid != ::getegid()) &&
        ::fchown(fd, like->st_uid, like->st_gid) != 0 && errno != EPERM)
      Fail("cannot give away", temp);
    if (::fchmod(fd, like->st_mode & 07777) != 0) Fail("cannot set the permissions of", temp);
  }
  WriteAll(fd, content, temp);
  if (::fsync(fd) != 0) Fail("cannot sync", temp);
  discard.keep = true;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    FailWith(error, "cannot close", temp);
  }
  return true;
}

}  // namespace

void SaveFile(const std::string& path, std::string_view content) {
  std::string target;
  if (!FollowLinks(path, target)) Fail("cannot follow", path);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) Fail("cannot examine", target);
  if (exists && !S_ISREG(st.st_mode)) FailWith(EINVAL, "not a plain file:", target);
  // A file that may not be written is an error, even where the folder would
  // let it be replaced.
  int fd = -1;
  if (exists) {
    fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) Fail("cannot write", target);
  }
  struct Closer {
    int& fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{fd};

  const std::string temp = SaveTempOf(target);
  if (WriteBeside(temp, content, exists ? &st : nullptr)) {
    if (::rename(temp.c_str(), target.c_str()) == 0) {
      SyncFolderOf(target);
      return;
    }
    const int error = errno;
    ::unlink(temp.c_str());
    // A folder that refuses the rename (a sticky one, say) leaves the file to
    // be written in place.
    if (!Refused(error)) FailWith(error, "cannot replace", target);
  }

  // The folder refuses new names: the file itself is written, in place.
  if (fd < 0) {
    fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) Fail("cannot create", target);
  }
  WriteAll(fd, content, target);
  if (::ftruncate(fd, off_t(content.size())) != 0) Fail("cannot cut", target);
  if (::fsync(fd) != 0) Fail("cannot sync", target);
  const int done = fd;
  fd = -1;
  if (::close(done) != 0) Fail("cannot close", target);
}

bool TryRemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void RemoveLeftoverOf(const std::string& path) {
  std::string target;
  if (!FollowLinks(path, target)) return;  // saving it will report why
  const std::string temp = SaveTempOf(target);
  struct stat st {};
  if (::lstat(temp.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  // In a folder that may not be written it can stay: it is never read.
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT && !Refused(errno)) Fail("cannot remove", temp);
}

void CreateFileComplete(const std::string& path, std::string_view content) {
  const std::string temp = SaveTempOf(path);
  if (!WriteBeside(temp, content, nullptr)) Fail("cannot create", temp);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    FailWith(error, "cannot create", path);
  }
  SyncFolderOf(path);
}

void RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot rename " + from + " to", to);
  SyncFolderOf(to);
}

void RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) {
    SyncFolderOf(path);
  } else if (errno != ENOENT) {
    Fail("cannot remove", path);
  }
}

// --- Records ----------------------------------------------------------------------

namespace {

class PosixFile final : public FileHandle {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  uint64_t Size() override {
    struct stat st {};
    if (::fstat(Fd(), &st) != 0) Fail("cannot examine", path_);
    return uint64_t(st.st_size);
  }

  size_t ReadAt(void* buffer, size_t n, uint64_t offset) override {
    size_t done = 0;
    while (done < n) {
      const ssize_t k = ::pread(Fd(), static_cast<char*>(buffer) + done, n - done, off_t(offset + done));
      if (k < 0 && errno == EINTR) continue;
      if (k < 0) Fail("cannot read", path_);
      if (k == 0) break;
      done += size_t(k);
    }
    return done;
  }

  void WriteAt(const void* buffer, size_t n, uint64_t offset) override {
    size_t done = 0;
    while (done < n) {
      const ssize_t k = ::pwrite(Fd(), static_cast<const char*>(buffer) + done, n - done, off_t(offset + done));
      if (k < 0 && errno == EINTR) continue;
      if (k < 0) Fail("cannot write", path_);
      done += size_t(k);
    }
  }

  void SyncData() override {
    if (::fdatasync(Fd()) != 0) Fail("cannot sync", path_);
  }

  void Close() override {
    const int fd = Fd();
    fd_ = -1;
    if (::close(fd) != 0) Fail("cannot close", path_);
  }

 private:
  int Fd() const {
    if (fd_ < 0) FailWith(EBADF, "not open:", path_);
    return fd_;
  }

  int fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<FileHandle> FileHandle::Open(const std::string& path, bool create) {
  const bool existed = create && FileExists(path);
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
  if (fd < 0) Fail(create ? "cannot create" : "cannot open", path);
  auto file = std::make_unique<PosixFile>(fd, path);
  if (create && !existed) SyncFolderOf(path);  // the new name lasts
  return file;
}

// --- The lock on a folder of game files --------------------------------------------

namespace {

class PosixFolderLock final : public FolderLock {
 public:
  explicit PosixFolderLock(int fd) : fd_(fd) {}
  ~PosixFolderLock() override { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace

// The folder itself is locked, so no file of its own is needed for it. The
// lock goes with the process, however it ends.
std::unique_ptr<FolderLock> LockFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open folder", folder);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    // A file system without locks cannot keep a second copy out: the game
    // runs there as it always did.
    if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL)
      return std::make_unique<PosixFolderLock>(fd);
    ::close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    FailWith(error, "cannot lock folder", folder);
  }
  return std::make_unique<PosixFolderLock>(fd);
}

}  // namespace plat
