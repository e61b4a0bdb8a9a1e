// Counts the bytes allocated through operator new while a HeapMeter is running (the benchmark
// binary replaces the global operator new and delete), so that a benchmark can report the peak
// heap of one operation. Outside a meter the replacement costs one test of a flag.
#pragma once

#include <cstddef>

namespace bench {

// Measures the net bytes allocated between construction and destruction: blocks freed meanwhile
// count against it, whenever they were allocated. Meters do not nest.
class HeapMeter {
 public:
  HeapMeter();
  ~HeapMeter();
  HeapMeter(const HeapMeter&) = delete;
  HeapMeter& operator=(const HeapMeter&) = delete;

  // The highest net number of bytes allocated so far.
  size_t Peak() const;
};

}  // namespace bench
