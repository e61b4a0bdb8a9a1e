// PageBuffer: a large byte buffer taken straight from the kernel's pages (an anonymous mapping)
// rather than from the C library's heap.
//
// A heap block the size of a whole file makes the allocator first consolidate every small free
// block it holds (after a document of 100 000 lines was freed, half a million of them), and its
// release may leave the heap fragmented. A mapping costs neither and goes back to the system whole.
//
// A buffer is either given memory whole (Allocate) or reserved as address space only (Reserve),
// whose ranges get memory through Populate and give it back through Discard: a reader that
// needs only a window of a big file at a time then holds only that window. Allocate, Reserve and
// each Populate ask the allocation seam once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Asks the kernel to back the pages of [data, data + size) with huge pages (2 MiB) when it
// first touches them: a block of tens of megabytes then costs a few dozen page faults instead of
// thousands, which on a virtual machine cost more than filling the block. Only a hint: a system
// without transparent huge pages, or a block under 2 MiB, is left as it is. Call it before the
// block is written; pages already there stay small.
void PreferHugePages(void* data, size_t size);

class PageBuffer {
 public:
  PageBuffer() = default;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  ~PageBuffer() { Free(); }

  // Replaces the buffer by one of `size` bytes (contents undefined). False, with no buffer, when
  // the seam fails the call or the system has no memory for it. A size of 0 gives no buffer.
  [[nodiscard]] bool Allocate(size_t size);
  // The same, asking the system for huge pages (2 MiB on x86-64, where transparent huge pages are
  // on or on request) before the memory is given: for a buffer of tens of megabytes about to be
  // written whole. A fault per 4 KiB page costs more than writing the page in a virtual machine;
  // filling 75 MB measured 250 ms in 4 KiB pages against 12 ms in huge pages there. Where the
  // system has none, this is Allocate.
  [[nodiscard]] bool AllocateHuge(size_t size);
  // Replaces the buffer by `size` bytes of address space with no memory behind them yet; every
  // byte must be populated before it is touched. False as Allocate.
  [[nodiscard]] bool Reserve(size_t size);
  // Gives the reserved bytes [offset, offset + size) memory, zero-filled (whole pages around
  // them). False when the seam fails the call or the system has no memory for it.
  [[nodiscard]] bool Populate(size_t offset, size_t size);
  // Takes the memory behind [offset, offset + size) back (page-aligned offset; the last page may
  // be partial). The range must be populated again before it is touched.
  void Discard(size_t offset, size_t size);
  // Moves the memory behind [from, from + size) to [to, to + size), which has none, without
  // clearing or copying it (page-aligned ranges, `size` whole pages); `from` is left without.
  // False when the system refuses; nothing has changed then. Should `from` not become reserved
  // address space again afterwards, Populate fails there from then on.
  [[nodiscard]] bool Move(size_t from, size_t to, size_t size);
  void Free();

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

  // The bytes of all page buffers of the process that have memory behind them, at their highest
  // since the last reset: the image figures of the memory benchmarks.
  static size_t PeakResidentBytes();
  static void ResetPeakResidentBytes();

 private:
  void Count(size_t added, size_t removed);

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t resident_ = 0;
};

}  // namespace platform
