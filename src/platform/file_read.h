// Reading files through POSIX: regular files only, without blocking on a FIFO, and reads at known
// offsets. The document reader, the random access by ID, the window and dlgtool share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cerrno>
#include <cstdio>

#include "platform/fault_injection.h"

namespace platform {

// Opens `path` for binary reading if it names a regular file (following links); nullptr
// otherwise. A FIFO or device is refused without blocking: opening a FIFO the ordinary way would
// wait for a writer forever.
std::FILE* OpenRegularFileForReading(const char* path);

// Opens `path` as a bare descriptor for reads at known offsets (ReadAt), for the random access by
// ID, which needs no buffering; -1 when it cannot be opened. Opening never blocks; what is no
// regular file is refused by the first read instead, which fails on a FIFO, a terminal or a folder.
int OpenForReadingAt(const char* path);

// Reads up to `size` bytes at `offset`, retrying after interruptions and short reads; the number
// of bytes read (fewer only at the end of the file), or -1 on an error.
// An error is never taken for the end of the file: a caller that gets -1 must fail, not go on with
// fewer bytes (a bad sector past the first page would otherwise read as an empty document).
int64_t ReadAt(int fd, void* into, size_t size, int64_t offset);

// Reads up to `size` bytes from the stream, as fread does but with the error told apart: the
// number of bytes read (fewer only at the end of the file), or -1 (errno set) on a read error.
int64_t ReadStream(std::FILE* file, void* into, size_t size);

// The read seam as functions (the counter is ReadFaults()): every ReadAt and ReadStream asks it
// once before it reads. An injected failure reads as EIO.
inline void FailReadAfter(int n, bool sticky = false) { ReadFaults().FailAfter(n, sticky); }
inline void ResetReadFaults() { ReadFaults().Reset(); }
inline bool ReadShouldFail() {
  if (!ReadFaults().ShouldFail()) return false;
  errno = EIO;
  return true;
}
inline long ReadCount() { return ReadFaults().Count(); }

}  // namespace platform
