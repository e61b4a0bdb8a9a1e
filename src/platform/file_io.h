// Safe replacement of a file, and the test seam for the file operations of saving.
//
// ReplaceFile is the one routine through which documents are saved. It never writes into the
// target itself: it creates a temporary file in the target's folder, lets the caller write the
// contents through WriteBytes, flushes and fsyncs the temporary file, renames it over the target
// and finally fsyncs the folder so that the rename itself survives a power cut. Until the rename
// the target is untouched; on any failure the temporary file is removed again.
//
//  - A target that is a symbolic link is written through: the file the link names (following a
//    chain of links) is replaced, and the link stays a link.
//  - An existing target's owner, group, permission bits and extended attributes (POSIX ACLs
//    included) carry over to the new file; a new file gets 0666 less the umask, as fopen would.
//  - Where the new file could not keep the owner or group (the process may not give the file to
//    them), or the target has several hard links, a rename would change the file's identity.
//    Such a target is written in place instead, after a durable backup: the old contents are
//    copied to "NAME.save-backup" beside it (synced, and renamed into that name only when whole),
//    then the target is truncated, written and synced, and the backup removed. A failed write
//    puts the old contents back from the backup. A crash leaves the old file, or the backup whole;
//    LeftSaveBackup finds it at the next save, and no save ever writes over it.
//
// Every file operation of a save (creating the temporary file, each write, flush, fsync, close,
// rename, opening and syncing the folder) first asks FileOperationShouldFail(). Tests arm the seam
// so that the Nth such operation from now fails, once or from then on, and check that the old file
// is still there byte for byte.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/fault_injection.h"

namespace platform {

enum class ReplaceResult {
  kReplaced,      // the target now holds exactly what the writer wrote
  kCreateFailed,  // the temporary file could not be created; nothing was written
  kWriteFailed,   // a write, flush, sync, close or the rename failed; the target is untouched
};

// Writes the contents of the file; returns false to abandon the save.
using ContentWriter = std::function<bool(std::FILE* file)>;

// Replaces the file at `path` by what `writer` writes (see above). An existing target that is no
// regular file (a FIFO, device, socket or folder), or that the process may not open for writing
// itself (permission bits, a read-only file system), is refused with kCreateFailed before anything
// is created: a save must fail wherever writing into the file in place would fail. errno then
// names the reason.
[[nodiscard]] ReplaceResult ReplaceFile(const char* path, const ContentWriter& writer);

// How many files this process has replaced through ReplaceFile so far, and the path of the last one
// as the caller named it (cut to 4 KiB; empty before the first). A process that fails after a
// write (memory running out while it reports) says what it did write. Neither allocates.
[[nodiscard]] long ReplacedFileCount();
[[nodiscard]] const char* LastReplacedPath();

// Asked once the new contents are written and synced, right before they replace the target (the
// rename, or on the in-place path the truncation): false abandons the save, which then leaves
// the target untouched and reports kWriteFailed with errno ESTALE. A writer that read the target
// uses it to see a change another program made meanwhile. An empty check leaves the thread's
// ReplaceCheckScope (below), if any, in force.
using BeforeReplace = std::function<bool()>;
[[nodiscard]] ReplaceResult ReplaceFile(const char* path, const ContentWriter& writer,
                                        const BeforeReplace& beforeReplace);

// The same check for every ReplaceFile of this thread while the scope lives, for a command whose
// writer lies in a layer that takes no check of its own (the merge, the exchange update).
class ReplaceCheckScope {
 public:
  explicit ReplaceCheckScope(BeforeReplace check);
  ~ReplaceCheckScope();
  ReplaceCheckScope(const ReplaceCheckScope&) = delete;
  ReplaceCheckScope& operator=(const ReplaceCheckScope&) = delete;

 private:
  BeforeReplace check_;
  const BeforeReplace* outer_;
};

// Where ReplaceFile creates its temporary files, on this thread while the scope lives: in
// `folder` when it lies on the target's file system (a rename cannot cross them), else beside the
// target as always. For a command whose target lies where others read or track files (git's
// merge file in the work tree): a temporary file a killed process leaves then stays out of
// sight. Leftovers of processes that no longer run are removed from both folders.
class TemporaryFolderScope {
 public:
  explicit TemporaryFolderScope(std::string folder);
  ~TemporaryFolderScope();
  TemporaryFolderScope(const TemporaryFolderScope&) = delete;
  TemporaryFolderScope& operator=(const TemporaryFolderScope&) = delete;

 private:
  std::string folder_;
  const std::string* outer_;
};

// Installs handlers for SIGTERM, SIGINT, SIGHUP and SIGQUIT (those not ignored) that remove the
// temporary file of a save in progress, then end the process by the same signal. For the
// command-line programs, which have no handlers of their own; SIGKILL leaves the file, which the
// next save in its folder removes.
void RemoveTemporaryFileOnSignals();

// The name of the backup an in-place write of `path` keeps while it runs (beside the file that
// `path` finally names, following links): "NAME.save-backup".
[[nodiscard]] std::string SaveBackupPath(const char* path);

// A backup that an interrupted in-place write of `path` left. One that holds exactly the file's
// bytes (the write never began) is redundant and removed; any other is kept and its path returned,
// so that the caller can tell the user where the older contents are. "" when there is none.
[[nodiscard]] std::string LeftSaveBackup(const char* path);

// Which file a path names, and which contents it had: a save compares the identity taken when a
// document was read with the one its target has just before the rename.
struct FileIdentity {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedSeconds = 0;
  int64_t modifiedNanoseconds = 0;
  // A hash of the contents, taken only when the modification time was too recent to show a
  // change made later within the same timestamp tick (IdentifyFileForReading).
  bool hashed = false;
  uint64_t contentHash = 0;
  std::string path;  // the name it was identified by
};

// The identity of the file `path` names (following links); exists false when there is none.
[[nodiscard]] FileIdentity IdentifyFile(const char* path);
// The identity of `path` for a reader that will later write over it: as IdentifyFile, and with a
// hash of the contents when the file was modified so recently (within two seconds, or the same
// timestamp tick of a file system that stores whole seconds) that a second change could keep
// its modification time.
[[nodiscard]] FileIdentity IdentifyFileForReading(const char* path);
// True when `path` no longer names what `then` describes: another file (device, inode), or one
// whose size or modification time (with nanoseconds) differs, or, where `then` holds a hash,
// whose contents hash differently. A file that has gone counts as changed. False when `then`
// describes no file (nothing was read from there), and when `path` is another name than the one
// `then` was taken by and names another file (a save as, not a save over).
[[nodiscard]] bool ChangedSince(const FileIdentity& then, const char* path);
// True when both name one existing file (device and inode).
[[nodiscard]] bool SameFile(const FileIdentity& a, const FileIdentity& b);
// True when both name one existing file that has not changed between them (size and mtime too).
[[nodiscard]] bool SameContents(const FileIdentity& a, const FileIdentity& b);

// An advisory lock (flock) on an existing file for a whole read-modify-write. A save replaces the
// file by a new inode, so a writer that waited on the old one would hold a lock on a file nobody
// reads any more: after the lock is granted, the path must still name the locked file, else the
// lock is taken again on the new one. Released by the destructor. Blocks while another process
// holds it.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // False (errno set) when the file cannot be opened or locked.
  [[nodiscard]] bool Lock(const char* path);

 private:
  int fd_ = -1;
};

// True when `path` names the null device (/dev/null by any name): a writer asked to write there
// writes nothing and succeeds, as a shell redirection would.
[[nodiscard]] bool IsNullDevice(const char* path);

// Copies the regular file `from` to `to` through ReplaceFile (fsynced, whole or not at all).
[[nodiscard]] bool CopyFileDurably(const char* from, const char* to);

// Writes all `size` bytes to `file`; false on a short write (or when the seam fails it).
[[nodiscard]] bool WriteBytes(std::FILE* file, const void* data, size_t size);

// The file operation seam as functions (the counter is FileOperationFaults()).
inline void FailFileOperationAfter(int n, bool sticky = false) {
  FileOperationFaults().FailAfter(n, sticky);
}
inline void ResetFileOperationFaults() { FileOperationFaults().Reset(); }
// An injected failure reads as an I/O error to whoever reports errno.
inline bool FileOperationShouldFail() {
  if (!FileOperationFaults().ShouldFail()) return false;
  errno = EIO;
  return true;
}
inline long FileOperationCount() { return FileOperationFaults().Count(); }

}  // namespace platform
