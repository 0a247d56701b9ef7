#include "platform/core/records.h"

namespace plat {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path) { throw EInOutError(std::string(what) + " " + path); }

}  // namespace

void TRecordFile::Reset(int recordSize) {
  file_.reset();
  file_ = FileHandle::Open(path_, false);
  recordSize_ = recordSize;
  position_ = 0;
}

void TRecordFile::Rewrite(int recordSize) {
  file_.reset();
  file_ = FileHandle::Open(path_, true);
  recordSize_ = recordSize;
  position_ = 0;
}

bool TRecordFile::Eof() {
  if (!file_) Fail("not open:", path_);
  return file_->Size() <= uint64_t(position_) * uint64_t(recordSize_);
}

void TRecordFile::Seek(int record) {
  if (!file_) Fail("not open:", path_);
  if (record < 0) Fail("cannot seek before the start of", path_);
  position_ = record;
}

void TRecordFile::Read(void* record) {
  if (!file_) Fail("not open:", path_);
  const size_t n = size_t(recordSize_);
  if (file_->ReadAt(record, n, uint64_t(position_) * n) != n) Fail("record cut short in", path_);
  ++position_;
}

void TRecordFile::Write(const void* record) {
  if (!file_) Fail("not open:", path_);
  const size_t n = size_t(recordSize_);
  file_->WriteAt(record, n, uint64_t(position_) * n);
  file_->SyncData();
  ++position_;
}

void TRecordFile::Close() {
  if (!file_) Fail("not open:", path_);
  std::unique_ptr<FileHandle> file = std::move(file_);
  file->Close();
}

}  // namespace plat
