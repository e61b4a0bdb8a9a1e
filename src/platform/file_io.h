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
//  - An existing target's permission bits (and, where the process may set them, its owner and
//    group) carry over to the new file; a new file gets 0666 less the umask, as fopen would.
//
// Every file operation of a save (creating the temporary file, each write, flush, fsync, close,
// rename, opening and syncing the folder) first asks FileOperationShouldFail(). Tests arm the seam
// so that the Nth such operation from now fails, once or from then on, and check that the old file
// is still there byte for byte.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

#include "platform/fault_injection.h"

namespace platform {

enum class ReplaceResult {
  kReplaced,      // the target now holds exactly what the writer wrote
  kCreateFailed,  // the temporary file could not be created; nothing was written
  kWriteFailed,   // a write, flush, sync, close or the rename failed; the target is untouched
};

// Writes the contents of the file; returns false to abandon the save.
using ContentWriter = std::function<bool(std::FILE* file)>;

// Replaces the file at `path` by what `writer` writes (see above).
[[nodiscard]] ReplaceResult ReplaceFile(const char* path, const ContentWriter& writer);

// Writes all `size` bytes to `file`; false on a short write (or when the seam fails it).
[[nodiscard]] bool WriteBytes(std::FILE* file, const void* data, size_t size);

// The file operation seam as functions (the counter is FileOperationFaults()).
inline void FailFileOperationAfter(int n, bool sticky = false) {
  FileOperationFaults().FailAfter(n, sticky);
}
inline void ResetFileOperationFaults() { FileOperationFaults().Reset(); }
inline bool FileOperationShouldFail() { return FileOperationFaults().ShouldFail(); }
inline long FileOperationCount() { return FileOperationFaults().Count(); }

}  // namespace platform
