// Measures the heap a piece of code uses. Under AddressSanitizer it sees every allocation through
// the sanitizer's hooks and reports the peak; elsewhere it reports the heap still held at the end
// (glibc's mallinfo2), which is the weaker of the two checks.
#pragma once

#include <cstddef>

class MemoryMeter {
 public:
  MemoryMeter();
  ~MemoryMeter();
  MemoryMeter(const MemoryMeter&) = delete;
  MemoryMeter& operator=(const MemoryMeter&) = delete;

  // Bytes above the level at construction: the peak where it can be seen, else the current.
  size_t Used() const;
  static bool SeesPeak();
};
