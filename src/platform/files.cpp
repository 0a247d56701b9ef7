#include "platform/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open folder", folder);
  const int rc = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; they keep names safe by themselves.
  if (rc != 0 && error != EINVAL) FailWith(error, "cannot sync folder", folder);
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  std::string path(buf.data(), size_t(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

namespace {
std::string& FolderOverride() {
  static std::string folder;
  return folder;
}
}  // namespace

std::string ProgramFolder() { return FolderOverride().empty() ? ExecutableFolder() : FolderOverride(); }

void SetProgramFolder(const std::string& folder) {
  FolderOverride() = folder;
  if (!folder.empty() && folder.back() != '/') FolderOverride() += '/';
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open", path);
  std::string content;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) content.reserve(size_t(st.st_size));  // read at its size once
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      Fail("cannot read", path);
    }
    if (n == 0) break;
    content.append(buf, size_t(n));
  }
  ::close(fd);
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

std::string LeftoverOf(const std::string& target) { return target + ".new"; }

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

  const std::string temp = LeftoverOf(target);
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

void RemoveLeftoverOf(const std::string& path) {
  std::string target;
  if (!FollowLinks(path, target)) return;  // saving it will report why
  const std::string temp = LeftoverOf(target);
  struct stat st {};
  if (::lstat(temp.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  // In a folder that may not be written it can stay: it is never read.
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT && !Refused(errno)) Fail("cannot remove", temp);
}

void CreateFileComplete(const std::string& path, std::string_view content) {
  const std::string temp = LeftoverOf(path);
  if (!WriteBeside(temp, content, nullptr)) Fail("cannot create", temp);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    FailWith(error, "cannot create", path);
  }
  SyncFolderOf(path);
}

// --- Where the game's files and data live ------------------------------------

namespace {

bool FolderExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not an absolute path.
std::string UserDataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return WithoutTrailingSlashes(xdg);
  std::string home;
  if (const char* env = std::getenv("HOME")) home = env;
  if (home.empty())
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  if (home.empty()) throw EInOutError("no home folder for the game's files");
  return WithoutTrailingSlashes(home) + "/.local/share";
}

// Makes the folder and every missing parent, for this user only.
void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!part.empty() && !FolderExists(part) && ::mkdir(part.c_str(), 0700) != 0) {
      if (errno == EEXIST) errno = ENOTDIR;
      Fail("cannot create folder", part);
    }
    if (slash == std::string::npos || slash + 1 == folder.size()) break;
  }
}

}  // namespace

std::string GameFilesFolder() {
  if (!FolderOverride().empty()) return FolderOverride();
  const std::string own = ExecutableFolder();
  if (FolderExists(own + "data") && ::faccessat(AT_FDCWD, own.c_str(), W_OK, AT_EACCESS) == 0) return own;
  const std::string folder = UserDataHome() + "/kelo/";
  MakeFolders(folder);
  return folder;
}

// KELO_DATA_FROM_PROGRAM: the installation's data folder seen from the program's
// folder ("../share/kelo/data"), from the build.
std::string InstalledDataFolder() {
  const std::filesystem::path folder = std::filesystem::path(ExecutableFolder()) / KELO_DATA_FROM_PROGRAM / "";
  return folder.lexically_normal().string();
}

std::string DataFile(const std::string& path) {
  if (FileExists(path) || !FolderOverride().empty()) return path;
  const size_t slash = path.rfind('/');
  const bool inData = slash != std::string::npos && slash >= 4 && path.compare(slash - 4, 5, "data/") == 0 &&
                      (slash == 4 || path[slash - 5] == '/');
  if (!inData) return path;
  const std::string name = path.substr(slash + 1);
  for (const std::string& folder : {ExecutableFolder() + "data/", InstalledDataFolder()})
    if (FileExists(folder + name)) return folder + name;
  return path;
}

}  // namespace plat
