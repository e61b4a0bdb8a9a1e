// NodePool: the storage behind one CQHList's nodes.
//
// Slots of `kSlotSize` bytes are cut from chunks that grow by half from 2 slots up to
// kMaxChunkSlots, so a short list (a plot's members, a pending list) costs a small chunk and a long
// one (the document's lines) a few dozen. A deleted slot goes on a free list that the next New
// takes first. Nodes never move: a slot keeps its address until it is deleted. Release frees every
// chunk at once; the owner calls it only when no node is alive any more.
//
// Chunk layout: a ChunkHeader (the previous chunk, for Release), padded to the slot alignment,
// then the slots. A free slot holds the address of the next free slot in its first bytes. (No
// identifier here is called `slots`: Qt defines that word as a macro.)
//
// The pool does not ask the allocation seam: its owner asks once per node, so that the fault loops
// count exactly one guarded allocation per node wherever the node's bytes come from.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define PARLATRIX_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define PARLATRIX_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define PARLATRIX_POISON(address, size) ((void)(address), (void)(size))
#define PARLATRIX_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

template <size_t kSlotSize, size_t kSlotAlign>
class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool() { Release(); }

  // Constructs a Node in a free slot; nullptr when no chunk can be allocated.
  template <typename Node, typename... Args>
  Node* New(Args&&... args) {
    static_assert(sizeof(Node) == kSlotSize && alignof(Node) == kSlotAlign);
    void* slot = TakeSlot();
    return slot == nullptr ? nullptr : new (slot) Node{std::forward<Args>(args)...};
  }

  template <typename Node>
  void Delete(Node* node) {
    node->~Node();
    auto* slot = reinterpret_cast<FreeSlot*>(node);
    slot->next = free_;
    free_ = slot;
    // Under AddressSanitizer a dead node reads as freed memory, as a deleted heap node would.
    PARLATRIX_POISON(reinterpret_cast<char*>(slot) + sizeof(FreeSlot),
                     kSlotSize - sizeof(FreeSlot));
  }

  // Makes the next chunk hold at least `count` slots beyond those still unused (up to the chunk
  // limit), so that a list whose length is known ahead takes one chunk instead of a growing series.
  // Allocates nothing itself.
  void Reserve(size_t count) {
    const size_t unused = static_cast<size_t>(end_ - next_) / kSlotSize;
    if (count > unused) nextSlots_ = std::max(nextSlots_, std::min(count - unused, kMaxChunkSlots));
  }

  // Frees every chunk; every node handed out is gone.
  void Release() {
    while (chunk_ != nullptr) {
      ChunkHeader* previous = chunk_->previous;
      const size_t bytes = kHeaderSize + chunk_->slotCount * kSlotSize;
      PARLATRIX_UNPOISON(chunk_, bytes);
      ::operator delete(static_cast<void*>(chunk_));
      chunk_ = previous;
    }
    free_ = nullptr;
    next_ = nullptr;
    end_ = nullptr;
    nextSlots_ = kFirstChunkSlots;
    totalSlots_ = 0;
  }

 private:
  struct FreeSlot {
    FreeSlot* next;
  };
  struct ChunkHeader {
    ChunkHeader* previous;
    size_t slotCount;
  };
  static_assert(kSlotSize >= sizeof(FreeSlot) && kSlotSize % alignof(FreeSlot) == 0);
  static constexpr size_t kChunkAlign =
      kSlotAlign > alignof(ChunkHeader) ? kSlotAlign : alignof(ChunkHeader);
  static_assert(kChunkAlign <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "chunks come from plain new");
  static constexpr size_t kHeaderSize =
      (sizeof(ChunkHeader) + kSlotAlign - 1) / kSlotAlign * kSlotAlign;
  static constexpr size_t kFirstChunkSlots = 2;
  // About 256 KiB of document lines per chunk; a million lines take a few hundred chunks.
  static constexpr size_t kMaxChunkSlots = 4096;

  void* TakeSlot() {
    if (free_ != nullptr) {
      FreeSlot* slot = free_;
      PARLATRIX_UNPOISON(slot, kSlotSize);
      free_ = slot->next;
      return slot;
    }
    if (next_ == end_ && !AddChunk()) return nullptr;
    char* slot = next_;
    next_ += kSlotSize;
    return slot;
  }

  bool AddChunk() {
    const size_t slotCount = nextSlots_;
    void* bytes = ::operator new(kHeaderSize + slotCount * kSlotSize, std::nothrow);
    if (bytes == nullptr) return false;
    auto* chunk = static_cast<ChunkHeader*>(bytes);
    chunk->previous = chunk_;
    chunk->slotCount = slotCount;
    chunk_ = chunk;
    next_ = static_cast<char*>(bytes) + kHeaderSize;
    end_ = next_ + slotCount * kSlotSize;
    // Each chunk holds half as many slots as all before it: the slots never used stay below a third
    // of those in use, near the C library's own overhead for separate nodes.
    totalSlots_ += slotCount;
    nextSlots_ = std::clamp(totalSlots_ / 2, kFirstChunkSlots, kMaxChunkSlots);
    return true;
  }

  ChunkHeader* chunk_ = nullptr;  // the newest chunk; older ones follow `previous`
  FreeSlot* free_ = nullptr;
  char* next_ = nullptr;  // the first never-used slot of the newest chunk
  char* end_ = nullptr;
  size_t nextSlots_ = kFirstChunkSlots;
  size_t totalSlots_ = 0;
};
