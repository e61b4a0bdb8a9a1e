#include "model/text_arena.h"

#include <algorithm>
#include <new>

#include "platform/fault_injection.h"

char* TextArena::Allocate(size_t size) {
  if (platform::AllocationShouldFail()) return nullptr;
  if (size <= static_cast<size_t>(end_ - next_)) {
    char* text = next_;
    next_ += size;
    return text;
  }
  // A text longer than a quarter block gets a block of its own, so the rest of the current block
  // stays in use for the short texts that follow.
  const bool own = size > nextBlockSize_ / 4;
  const size_t capacity = own ? size : nextBlockSize_;
  const size_t bytes = sizeof(BlockHeader) + capacity;
  auto* block = static_cast<BlockHeader*>(::operator new(bytes, std::nothrow));
  if (block == nullptr) return nullptr;
  held_ += bytes;
  char* text = reinterpret_cast<char*>(block + 1);
  if (own && block_ != nullptr) {
    // Linked behind the newest block, whose unused bytes stay available.
    block->previous = block_->previous;
    block_->previous = block;
    return text;
  }
  block->previous = block_;
  block_ = block;
  next_ = text + size;
  end_ = text + capacity;
  // Each block is half of all held before it (within the two limits): the unused tail of the
  // newest block stays below a third of the texts, which keeps a small damaged file's load within
  // a small multiple of its size.
  nextBlockSize_ = std::clamp(held_ / 2, kFirstBlockSize, kBlockSize);
  return text;
}

char* TextArena::ClaimTail(size_t size) {
  if (platform::AllocationShouldFail()) return nullptr;
  char* text = next_;
  next_ += size;
  return text;
}

void TextArena::Release() {
  while (block_ != nullptr) {
    BlockHeader* previous = block_->previous;
    ::operator delete(static_cast<void*>(block_));
    block_ = previous;
  }
  next_ = nullptr;
  end_ = nullptr;
  held_ = 0;
  nextBlockSize_ = kFirstBlockSize;
}
