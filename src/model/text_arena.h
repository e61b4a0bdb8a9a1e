// TextArena: storage for a document's texts that is allocated and freed in large blocks.
//
// Loading a script of 100 000 lines stores 400 000 texts; as separate heap blocks they cost the C
// library one allocation each, and the next load or Clear one free each. The arena hands out text
// bytes from blocks (a text longer than a quarter of the next block gets a block of its own) and
// frees them all at once in Release. Blocks grow by half from kFirstBlockSize up to kBlockSize, so
// a small document holds a few KiB of blocks and a big one a block per quarter MiB of text. A text
// handed out is never freed alone: it stays until Release.
//
// Each Allocate asks the allocation seam once, exactly as the separate heap block it replaces, so
// the fault loops meet one guarded allocation per text whichever storage holds it.
//
// Block layout: a BlockHeader (the previous block, for Release), then the text bytes.
#pragma once

#include <cstddef>

class TextArena {
 public:
  TextArena() = default;
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;
  ~TextArena() { Release(); }

  // `size` bytes, or nullptr when the seam fails the call or memory runs out.
  [[nodiscard]] char* Allocate(size_t size);
  // The unused bytes at the end of the newest block when there are at least `size` of them, else
  // nullptr. Nothing is allocated: a reader decodes a text there and then claims the bytes it
  // keeps, which saves a scratch copy per text.
  char* Tail(size_t size) const {
    return size <= static_cast<size_t>(end_ - next_) ? next_ : nullptr;
  }
  // Hands out the first `size` bytes of the tail (size at most what Tail accepted) as Allocate
  // would: one guarded allocation, nullptr when the seam fails it.
  [[nodiscard]] char* ClaimTail(size_t size);
  // Frees every block. Every text handed out is gone.
  void Release();
  // Bytes held in blocks, for the memory figures.
  size_t BytesHeld() const { return held_; }

  static constexpr size_t kFirstBlockSize = 1024;
  static constexpr size_t kBlockSize = 256 * 1024;

 private:
  struct BlockHeader {
    BlockHeader* previous;
  };
  BlockHeader* block_ = nullptr;  // the newest block; older ones follow `previous`
  char* next_ = nullptr;          // the first unused byte of the newest block
  char* end_ = nullptr;
  size_t held_ = 0;
  size_t nextBlockSize_ = kFirstBlockSize;
};
