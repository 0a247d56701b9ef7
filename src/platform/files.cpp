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

void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open folder", folder);
  const int rc = ::fsync(fd);
  ::close(fd);
  if (rc != 0 && errno != EINVAL) Fail("cannot sync folder", folder);
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

void WriteFileAtomic(const std::string& path, std::string_view content) {
  const std::string temp = path + ".new";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("cannot create", temp);
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      ::unlink(temp.c_str());
      Fail("cannot write", temp);
    }
    done += size_t(n);
  }
  if (::fsync(fd) != 0) {
    ::close(fd);
    ::unlink(temp.c_str());
    Fail("cannot sync", temp);
  }
  if (::close(fd) != 0) Fail("cannot close", temp);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    Fail("cannot replace", path);
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
