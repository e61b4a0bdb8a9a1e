// The replaceable global operator new of failing_new.h. Blocks come from malloc and go back
// through the library's operator delete, which frees them.
#include "failing_new.h"

#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> failAt{0};  // 0: disarmed
std::atomic<long> calls{0};

bool ShouldFail() {
  if (failAt.load(std::memory_order_relaxed) == 0) return false;
  if (++calls != failAt.load(std::memory_order_relaxed)) return false;
  // PARLATRIX_TEST_FAIL_NEW_TRACE=1: where the failing allocation was made, on stderr.
  if (std::getenv("PARLATRIX_TEST_FAIL_NEW_TRACE") != nullptr) {
    void* frames[48];
    backtrace_symbols_fd(frames, backtrace(frames, 48), 2);
  }
  return true;
}

void* Allocate(std::size_t size) {
  if (ShouldFail()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace oomtest {

void ArmFailingNew(long n) {
  calls = 0;
  failAt = n > 0 ? n : 0;
}

long DisarmFailingNew() {
  failAt = 0;
  return calls.load();
}

}  // namespace oomtest

void* operator new(std::size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](std::size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
