// A file of fixed-size records, kept open. Every write goes through to the
// disk before it returns; every operation checks its result and throws
// EInOutError on failure.
#pragma once

#include <memory>
#include <string>

#include "platform/core/files.h"

namespace plat {

class TRecordFile {
 public:
  TRecordFile() = default;
  TRecordFile(const TRecordFile&) = delete;
  TRecordFile& operator=(const TRecordFile&) = delete;

  void Assign(const std::string& path) { path_ = path; }
  const std::string& Path() const { return path_; }
  bool IsOpen() const { return file_ != nullptr; }

  // Opens an existing file for reading and writing.
  void Reset(int recordSize);
  // Creates the file for reading and writing. An existing file is taken over
  // without being cut, so a record written into it replaces the old one in
  // place and the file is never seen shorter than before.
  void Rewrite(int recordSize);
  // True when the position is at or past the end of the file.
  bool Eof();
  void Seek(int record);
  void Read(void* record);
  void Write(const void* record);
  void Close();

 private:
  std::string path_;
  std::unique_ptr<FileHandle> file_;
  int recordSize_ = 1;
  long position_ = 0;  // in records
};

}  // namespace plat
