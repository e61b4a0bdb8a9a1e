#include "platform/page_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "platform/fault_injection.h"

namespace platform {

namespace {

std::atomic<size_t> residentBytes{0};
std::atomic<size_t> peakResidentBytes{0};

size_t PageSize() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void PreferHugePages(void* data, size_t size) {
  const uintptr_t page = PageSize();
  const uintptr_t start = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
  if (end <= start || end - start < kHugePage) return;
  madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void PageBuffer::Count(size_t added, size_t removed) {
  resident_ = resident_ + added - removed;
  const size_t now = residentBytes.fetch_add(added) + added;
  residentBytes.fetch_sub(removed);
  size_t peak = peakResidentBytes.load();
  while (now > peak && !peakResidentBytes.compare_exchange_weak(peak, now)) {
  }
}

size_t PageBuffer::PeakResidentBytes() {
  return peakResidentBytes.load();
}

void PageBuffer::ResetPeakResidentBytes() {
  peakResidentBytes.store(residentBytes.load());
}

bool PageBuffer::Allocate(size_t size) {
  Free();
  if (size == 0) return true;
  if (AllocationShouldFail()) return false;
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) return false;
  // The pages are filled right away (one call instead of a fault per page), huge where the
  // system allows: the buffer is about to be written whole. A kernel without the call (before
  // Linux 5.14) fills them as they are touched.
  PreferHugePages(pages, size);
#ifdef MADV_POPULATE_WRITE
  madvise(pages, size, MADV_POPULATE_WRITE);
#endif
  data_ = static_cast<uint8_t*>(pages);
  size_ = size;
  Count(size, 0);
  return true;
}

bool PageBuffer::AllocateHuge(size_t size) {
  Free();
  if (size == 0) return true;
  if (AllocationShouldFail()) return false;
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (pages == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
  (void)madvise(pages, size, MADV_HUGEPAGE);  // advice only: without it, 4 KiB pages
#endif
  // Memory for the whole buffer now, so that a shortage is a false here, not a fault later. A
  // kernel older than 5.14 does not know the request (EINVAL): the writes then fault it in.
  if (madvise(pages, size, MADV_POPULATE_WRITE) != 0 && errno != EINVAL) {
    munmap(pages, size);
    return false;
  }
  data_ = static_cast<uint8_t*>(pages);
  size_ = size;
  Count(size, 0);
  return true;
}

bool PageBuffer::Reserve(size_t size) {
  Free();
  if (size == 0) return true;
  if (AllocationShouldFail()) return false;
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (pages == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(pages);
  size_ = size;
  return true;
}

bool PageBuffer::Populate(size_t offset, size_t size) {
  if (AllocationShouldFail()) return false;
  const size_t start = offset / PageSize() * PageSize();
  const size_t end = offset + size;
  // One call fills the pages instead of a fault per page. A kernel older than 5.14 does not know
  // the request (EINVAL): the pages are then filled by the faults of the first writes.
  if (madvise(data_ + start, end - start, MADV_POPULATE_WRITE) != 0 && errno != EINVAL) {
    return false;
  }
  Count(end - start, 0);
  return true;
}

void PageBuffer::Discard(size_t offset, size_t size) {
  madvise(data_ + offset, size, MADV_DONTNEED);
  Count(0, size < resident_ ? size : resident_);
}

bool PageBuffer::Move(size_t from, size_t to, size_t size) {
  if (mremap(data_ + from, size, size, MREMAP_MAYMOVE | MREMAP_FIXED, data_ + to) == MAP_FAILED) {
    return false;
  }
  (void)mmap(data_ + from, size, PROT_READ | PROT_WRITE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
  return true;
}

void PageBuffer::Free() {
  if (data_ != nullptr) munmap(data_, size_);
  Count(0, resident_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace platform
