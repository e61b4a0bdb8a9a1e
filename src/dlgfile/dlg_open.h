// Opening a dialogue file for reading.
#pragma once

#include <cstdint>
#include <cstdio>

// Opens `path` for binary reading if it names a regular file (following links); nullptr
// otherwise. A FIFO or device is refused without blocking: opening a FIFO the ordinary way would
// wait for a writer forever.
std::FILE* OpenRegularFileForReading(const char* path);

// The same as a bare descriptor for the random access by ID, which reads a few small pieces at
// known offsets and needs no buffering. Sets `size` to the file's size. -1 when refused.
int OpenRegularFdForReading(const char* path, int64_t& size);

// Reads up to `size` bytes at `offset`, retrying after interruptions and short reads; the number
// of bytes read (fewer only at the end of the file), or -1 on an error.
int64_t ReadAt(int fd, void* into, size_t size, int64_t offset);
