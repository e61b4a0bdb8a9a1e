#include "heap_meter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {

// The benchmarks run on one thread, so plain counters suffice.
bool metering = false;
long long held = 0;
long long peak = 0;

void* Allocate(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr && metering) {
    held += static_cast<long long>(malloc_usable_size(block));
    if (held > peak) peak = held;
  }
  return block;
}

void Release(void* block) {
  if (block != nullptr && metering) held -= static_cast<long long>(malloc_usable_size(block));
  std::free(block);
}

}  // namespace

void* operator new(size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) std::abort();  // a benchmark that runs out of memory has no result
  return block;
}
void* operator new[](size_t size) {
  return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* block) noexcept {
  Release(block);
}
void operator delete[](void* block) noexcept {
  Release(block);
}
void operator delete(void* block, size_t) noexcept {
  Release(block);
}
void operator delete[](void* block, size_t) noexcept {
  Release(block);
}

namespace bench {

HeapMeter::HeapMeter() {
  held = 0;
  peak = 0;
  metering = true;
}

HeapMeter::~HeapMeter() {
  metering = false;
}

size_t HeapMeter::Peak() const {
  return peak > 0 ? static_cast<size_t>(peak) : 0;
}

}  // namespace bench
