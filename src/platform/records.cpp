#include "platform/records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace plat {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path) {
  throw EInOutError(std::string(what) + " " + path + ": " + std::strerror(errno));
}

}  // namespace

TRecordFile::~TRecordFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TRecordFile::Reset(int recordSize) {
  if (fd_ >= 0) Close();
  fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) Fail("cannot open", path_);
  recordSize_ = recordSize;
  position_ = 0;
}

void TRecordFile::Rewrite(int recordSize) {
  if (fd_ >= 0) Close();
  const bool existed = FileExists(path_);
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) Fail("cannot create", path_);
  recordSize_ = recordSize;
  position_ = 0;
  if (!existed) {
    // Make the new name itself durable.
    const size_t slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path_.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) Fail("cannot open folder", folder);
    const int rc = ::fsync(dir);
    ::close(dir);
    if (rc != 0 && errno != EINVAL) Fail("cannot sync folder", folder);
  }
}

bool TRecordFile::Eof() {
  if (fd_ < 0) Fail("not open:", path_);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail("cannot examine", path_);
  return long(st.st_size) <= position_ * recordSize_;
}

void TRecordFile::Seek(int record) {
  if (fd_ < 0) Fail("not open:", path_);
  if (record < 0) {
    errno = EINVAL;
    Fail("cannot seek in", path_);
  }
  position_ = record;
}

void TRecordFile::Read(void* record) {
  if (fd_ < 0) Fail("not open:", path_);
  size_t done = 0;
  auto* out = static_cast<char*>(record);
  while (done < size_t(recordSize_)) {
    ssize_t n = ::pread(fd_, out + done, size_t(recordSize_) - done, off_t(position_ * recordSize_) + off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read", path_);
    if (n == 0) {
      errno = EIO;
      Fail("record cut short in", path_);
    }
    done += size_t(n);
  }
  ++position_;
}

void TRecordFile::Write(const void* record) {
  if (fd_ < 0) Fail("not open:", path_);
  size_t done = 0;
  const auto* in = static_cast<const char*>(record);
  while (done < size_t(recordSize_)) {
    ssize_t n = ::pwrite(fd_, in + done, size_t(recordSize_) - done, off_t(position_ * recordSize_) + off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot write", path_);
    done += size_t(n);
  }
  if (::fdatasync(fd_) != 0) Fail("cannot sync", path_);
  ++position_;
}

void TRecordFile::Close() {
  if (fd_ < 0) Fail("not open:", path_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("cannot close", path_);
}

}  // namespace plat
