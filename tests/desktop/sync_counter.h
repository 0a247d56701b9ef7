// Counts the syncs that reach the system, by kind, in this test program (its
// own fsync and fdatasync stand in front of the C library's); folder syncs
// can be made to fail.
#pragma once

namespace sync_counter {

struct Counts {
  int fileSyncs = 0;    // fsync of a file
  int dataSyncs = 0;    // fdatasync of a file
  int folderSyncs = 0;  // fsync of a folder
  bool operator==(const Counts&) const = default;
};

// Counts from now on, and folder syncs fail with EIO while `failFolders`.
void Start(bool failFolders = false);
Counts Taken();

}  // namespace sync_counter
