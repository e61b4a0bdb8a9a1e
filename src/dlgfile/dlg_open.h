// Opening a dialogue file for reading.
#pragma once

#include <cstdio>

// Opens `path` for binary reading if it names a regular file (following links); nullptr
// otherwise. A FIFO or device is refused without blocking: opening a FIFO the ordinary way would
// wait for a writer forever.
std::FILE* OpenRegularFileForReading(const char* path);
