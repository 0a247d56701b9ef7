// Holds a file as another program does (a virus scanner, a backup, a sync
// tool), for the file tests:
//
//   kelo_file_holder PATH HOW READY RELEASE
//
// HOW is the sharing it grants others while it reads: "none", "read",
// "read+write" or "all"; or "lock": everything shared, every byte locked.
// It sets the named event READY once it holds PATH (a file or a folder) and
// lets go when the named event RELEASE is set, or after a minute.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 2;
  const std::wstring how = argv[2];
  DWORD share = 0;
  if (how == L"read") share = FILE_SHARE_READ;
  if (how == L"read+write") share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  if (how == L"all" || how == L"lock") share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE file =
      CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  OVERLAPPED whole{};
  if (how == L"lock" && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
    return 4;
  const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
  if (!ready || !release || !SetEvent(ready)) return 5;
  WaitForSingleObject(release, 60000);
  CloseHandle(file);
  return 0;
}
