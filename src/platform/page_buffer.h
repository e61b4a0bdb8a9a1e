// PageBuffer: a large byte buffer taken straight from the kernel's pages (an anonymous mapping)
// rather than from the C library's heap.
//
// A heap block the size of a whole file makes the allocator first consolidate every small free
// block it holds (after a document of 100 000 lines was freed, half a million of them), and its
// release may leave the heap fragmented. A mapping costs neither and goes back to the system whole.
// Allocate asks the allocation seam once, as the heap block it replaces did.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class PageBuffer {
 public:
  PageBuffer() = default;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  ~PageBuffer() { Free(); }

  // Replaces the buffer by one of `size` bytes (contents undefined). False, with no buffer, when
  // the seam fails the call or the system has no memory for it. A size of 0 gives no buffer.
  [[nodiscard]] bool Allocate(size_t size);
  void Free();

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace platform
