#include "platform/page_buffer.h"

#include <sys/mman.h>

#include "platform/fault_injection.h"

namespace platform {

bool PageBuffer::Allocate(size_t size) {
  Free();
  if (size == 0) return true;
  if (AllocationShouldFail()) return false;
  // The pages are filled right away (one call instead of a fault per page): the buffer is about
  // to be written whole.
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (pages == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(pages);
  size_ = size;
  return true;
}

void PageBuffer::Free() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace platform
