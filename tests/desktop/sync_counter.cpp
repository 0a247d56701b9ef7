#include "sync_counter.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>

namespace sync_counter {
namespace {

Counts counts;
bool failing = false;

using SyncCall = int (*)(int);

SyncCall Real(const char* name) { return reinterpret_cast<SyncCall>(dlsym(RTLD_NEXT, name)); }

bool IsFolder(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void Start(bool failFolders) {
  counts = {};
  failing = failFolders;
}

Counts Taken() { return counts; }

}  // namespace sync_counter

using namespace sync_counter;

extern "C" int fsync(int fd) {
  static const SyncCall real = Real("fsync");
  if (IsFolder(fd)) {
    ++counts.folderSyncs;
    if (failing) {
      errno = EIO;
      return -1;
    }
  } else {
    ++counts.fileSyncs;
  }
  return real(fd);
}

extern "C" int fdatasync(int fd) {
  static const SyncCall real = Real("fdatasync");
  ++counts.dataSyncs;
  return real(fd);
}
