// Test seams for allocation failures, for the file operations of saving and for reads.
//
// One FaultCounter counts the guarded calls of one kind. The document model allocates list nodes,
// string blocks and record buffers through NewArray/NewObject below, which ask the allocation
// counter first; every file operation of a save asks the file operation counter (file_io.h); every
// read of a file's contents (ReadAt, ReadStream in file_read.h) asks the read counter, and a failed
// read reads as EIO, as a bad sector does.
// Tests arm a counter so that the Nth guarded call from now fails (once, or that one and every
// later one) and then check that the operation reports failure and leaves its data consistent.
// Disarmed, the check costs one compare.
#pragma once

#include <cerrno>
#include <cstddef>
#include <new>
#include <utility>

namespace platform {

class FaultCounter {
 public:
  // Arms the counter: the nth guarded call from now (1 = the next one) fails. With `sticky`, every
  // guarded call after it fails as well. n <= 0 disarms it.
  void FailAfter(int n, bool sticky = false) {
    failAt_ = n > 0 ? n : 0;
    sticky_ = sticky;
    count_ = 0;
  }
  void Reset() { FailAfter(0); }
  // True when the guarded call about to be made must fail. Counts the call.
  bool ShouldFail() {
    ++count_;
    if (failAt_ == 0) return false;
    return sticky_ ? count_ >= failAt_ : count_ == failAt_;
  }
  // Number of guarded calls since the counter was last armed or reset.
  long Count() const { return count_; }

 private:
  long failAt_ = 0;  // 0: disarmed; otherwise the number of the call that fails
  bool sticky_ = false;
  long count_ = 0;
};

FaultCounter& AllocationFaults();
FaultCounter& FileOperationFaults();
FaultCounter& ReadFaults();

// The allocation seam as functions, as the tests arm it.
inline void FailAllocationAfter(int n, bool sticky = false) {
  AllocationFaults().FailAfter(n, sticky);
}
inline void ResetAllocationFaults() { AllocationFaults().Reset(); }
inline bool AllocationShouldFail() { return AllocationFaults().ShouldFail(); }
inline long AllocationCount() { return AllocationFaults().Count(); }

// Guarded allocations: nullptr when the seam fails the call or memory runs out, never a throw;
// errno is then ENOMEM, as malloc leaves it, so that a caller reporting the system's reason names
// the right one. NewArray leaves bytes of trivial types uninitialised; NewZeroedArray
// value-initialises them.
template <typename T>
[[nodiscard]] T* OutOfMemory() {
  errno = ENOMEM;
  return nullptr;
}
template <typename T>
[[nodiscard]] T* NewArray(size_t count) {
  T* block = AllocationShouldFail() ? nullptr : new (std::nothrow) T[count];
  return block != nullptr ? block : OutOfMemory<T>();
}
template <typename T>
[[nodiscard]] T* NewZeroedArray(size_t count) {
  T* block = AllocationShouldFail() ? nullptr : new (std::nothrow) T[count]();
  return block != nullptr ? block : OutOfMemory<T>();
}
template <typename T, typename... Args>
[[nodiscard]] T* NewObject(Args&&... args) {
  T* object = AllocationShouldFail() ? nullptr : new (std::nothrow) T{std::forward<Args>(args)...};
  return object != nullptr ? object : OutOfMemory<T>();
}

}  // namespace platform
