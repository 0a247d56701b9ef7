// Plain files and the folders the game uses. Every operation checks its
// result and throws EInOutError on failure.
//
// The rules of which folder holds what live in paths.cpp and are the same on
// every system; the operations themselves are each operating system's own
// (os/<system>/).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// --- Where things are (paths.cpp) ------------------------------------------------

// The folder the game keeps its files in: the program's own, unless the
// headless driver has named another. Ends in '/'.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);
// The folder of the game's own files ("kelo.ini", the highscore files): the one
// the headless driver named; else, for a game the installer installed (its mark
// lies beside the program), the user's own folder for the game
// (UserFilesFolder, made when missing), into which it first moves what an
// earlier start left beside the program (MoveGameFiles); else the program's
// folder while it is a game folder (it holds data/) that may be written to;
// else the user's folder. Ends in '/'.
std::string GameFilesFolder();
// Moves the game's own files from the folder `from` into the folder `to`, each
// one that `to` does not hold yet: it is made complete in `to` (written beside,
// synced, renamed), and only then removed from `from`, where it stays if that
// folder may not be written. Nothing moves while another copy of the game holds
// `to`. Both folders end in '/'.
void MoveGameFiles(const std::string& from, const std::string& to);
// The file to read for a data file the game names as <folder>/data/NAME: that
// path while it exists (and always in a folder the headless driver named);
// else NAME in data/ beside the program, then in the installed data folder;
// the path as named when none holds it.
std::string DataFile(const std::string& path);
// The name a save writes beside `target` before it takes its place.
std::string SaveTempOf(const std::string& target);
// The folder part of a path, ending in '/' ("./" for a bare name).
std::string FolderOf(const std::string& path);
// Splits a list of paths at the system's separator (and ';' everywhere).
std::vector<std::string> SplitPathList(std::string_view list);

// --- The operating system's services (os/<system>/) ------------------------------

// Folder of the running program, ending in '/'.
std::string ExecutableFolder();
// The installed data folder (share/kelo/data/ of the installation). Ends in '/'.
std::string InstalledDataFolder();
// The user's own folder for the game's files (made when missing). Ends in '/'.
std::string UserFilesFolder();
// The separator of path lists in environment variables (':' or ';').
char PathListSeparator();
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// The program may create and replace files in the folder.
bool FolderWritable(const std::string& folder);
// Removes a file. False, with the file left as it was, where it cannot be
// removed: missing, not the player's to remove, or held by another program.
bool TryRemoveFile(const std::string& path);
// The whole file; a file larger than maxBytes is an error.
std::string ReadWholeFile(const std::string& path, uint64_t maxBytes = UINT64_MAX);

// Saves a file that a person may have placed, linked or protected himself:
// - a symbolic link is followed; its target is replaced and the link stays;
// - a file that exists but may not be written, or is no plain file, is an error;
// - where the folder allows it, the content is written beside the file, synced,
//   renamed over it and the folder synced, so the old content is never lost
//   (once the new file has its name, a folder that cannot be synced is no error);
// - a writable file in a folder that may not be written is written in place
//   and synced (a failure there can cost the old content: nothing else can be done).
void SaveFile(const std::string& path, std::string_view content);
// Removes what a save of `path` that was killed half way left beside it.
void RemoveLeftoverOf(const std::string& path);
// Creates a file complete: written beside, synced, renamed into place, the
// folder synced. Whoever looks, at any moment, sees no file or the whole one.
void CreateFileComplete(const std::string& path, std::string_view content);
// Gives a file another name in the same folder in one step, replacing a file of
// that name, and makes the change durable: at any moment the content is under
// the one name or the other.
void RenameFile(const std::string& from, const std::string& to);
// Removes a file; one that is not there is no error.
void RemoveFile(const std::string& path);

// An open file for reading and writing at given offsets; every write reaches
// the disk with SyncData. Closed quietly when destroyed without Close.
class FileHandle {
 public:
  // Opens an existing file; with `create`, a missing one is made empty (and
  // its name made durable).
  static std::unique_ptr<FileHandle> Open(const std::string& path, bool create);
  virtual ~FileHandle() = default;
  virtual uint64_t Size() = 0;
  // Reads up to n bytes at offset; fewer only at the end of the file.
  virtual size_t ReadAt(void* buffer, size_t n, uint64_t offset) = 0;
  // Writes all n bytes at offset.
  virtual void WriteAt(const void* buffer, size_t n, uint64_t offset) = 0;
  // The data written so far reaches the disk.
  virtual void SyncData() = 0;
  virtual void Close() = 0;
};

// Keeps other copies of the game out of a folder of game files for as long as
// the returned lock lives; null when another copy holds the folder.
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};
std::unique_ptr<FolderLock> LockFolder(const std::string& folder);

}  // namespace plat
