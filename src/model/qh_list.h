// CQHList<T>: the program's own doubly linked list with an element count.
//
// A position is a pointer to a node; nullptr is "none". A position stays valid until its own node
// is removed: nodes are never moved or reallocated, so other structures (a plot's member list, the
// line editor's pending lists) may keep positions of this list for as long as the nodes live.
// The list owns its nodes and the values in them; when T is itself a position, only the nodes of
// this list are owned, never the nodes that the values name.
//
// Every insertion allocates through NewNode. When that allocation fails, NewNode reports it on the
// debug output and returns nullptr; the inserting operation then links nothing, leaves the count
// unchanged and returns nullptr to its caller.
//
// Nodes live in chunks that the list owns (NodePool): each node still asks the allocation seam
// once, as a separately allocated node would, but the C library sees one allocation per chunk. A
// removed node's slot is reused by the next insertion; the chunks are freed together when the list
// becomes empty, so a list that held a million lines is released in a few dozen calls instead of a
// million.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

#include "model/node_pool.h"

#include "platform/debug_output.h"
#include "platform/fault_injection.h"

template <typename T>
class CQHList {
 public:
  struct Node {
    Node* next;
    Node* prev;
    T value{};  // a new node holds T's empty state
  };
  using Position = Node*;

  CQHList() = default;
  CQHList(const CQHList&) = delete;
  CQHList& operator=(const CQHList&) = delete;
  ~CQHList() { RemoveAll(); }

  // Allocates one node whose value is in T's empty state; prev and next are set to the arguments,
  // the count grows by one, but the node is not yet linked to head, tail or its neighbours.
  [[nodiscard]] Node* NewNode(Node* prev, Node* next) {
    Node* node = platform::AllocationShouldFail() ? nullptr : pool_.template New<Node>(next, prev);
    if (node == nullptr) {
      platform::DebugOutput("CQHList::NewNode() Error(0) : Not enough memory!");
      return nullptr;
    }
    ++count_;
    ++modifications_;
    return node;
  }

  Node* AddTail(const T& value) {
    Node* node = AddTail();
    if (node != nullptr) node->value = value;
    return node;
  }

  // Appends a node whose value is in T's empty state, for values that are filled in place.
  Node* AddTail() {
    Node* node = NewNode(tail_, nullptr);
    if (node == nullptr) return nullptr;
    if (tail_ != nullptr) {
      tail_->next = node;
    } else {
      head_ = node;
    }
    tail_ = node;
    return node;
  }

  Node* InsertAfter(Node* p, const T& value) { return InsertBetween(p, p->next, value); }

  // Inserts a node in T's empty state right before `p` (at the end when `p` is nullptr), for
  // values that are filled in place and cannot be copied.
  Node* InsertEmptyBefore(Node* p) {
    if (p == nullptr) return AddTail();
    Node* node = NewNode(p->prev, p);
    if (node == nullptr) return nullptr;
    (p->prev != nullptr ? p->prev->next : head_) = node;
    p->prev = node;
    return node;
  }

  Node* InsertBefore(Node* p, const T& value) { return InsertBetween(p->prev, p, value); }

  void RemoveAt(Node* p) {
    if (p == head_) {
      head_ = p->next;
    } else {
      p->prev->next = p->next;
    }
    if (p == tail_) {
      tail_ = p->prev;
    } else {
      p->next->prev = p->prev;
    }
    pool_.Delete(p);
    --count_;
    ++modifications_;
    if (count_ == 0) pool_.Release();
  }

  void RemoveAll() {
    // The chunks go whole right after, so the slots need no free list; values without a
    // destructor (positions, IDs) are not visited at all.
    if constexpr (!std::is_trivially_destructible_v<T>) {
      for (Node* node = head_; node != nullptr; node = node->next) node->value.~T();
    }
    pool_.Release();
    count_ = 0;
    head_ = nullptr;
    tail_ = nullptr;
    ++modifications_;
  }

  // Room for `count` more nodes in one chunk (up to the pool's chunk limit), for a list whose
  // length is known ahead. Allocates nothing and asks no seam: each node still does when added.
  void Reserve(int count) {
    if (count > 0) pool_.Reserve(static_cast<size_t>(count));
  }

  Node* GetHeadPosition() const { return head_; }
  Node* GetTailPosition() const { return tail_; }

  // Returns the value at the position and moves the position to the next node.
  T& GetNext(Node*& position) {
    Node* node = position;
    position = node->next;
    return node->value;
  }
  const T& GetNext(Node*& position) const {
    Node* node = position;
    position = node->next;
    return node->value;
  }

  T& GetAt(Node* position) { return position->value; }
  const T& GetAt(Node* position) const { return position->value; }

  int GetCount() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }

  // Grows with every node added or removed. Owners that keep a lookup index over the list compare
  // it with the value they last saw to tell whether someone else changed the list meanwhile.
  unsigned long GetModificationCount() const { return modifications_; }

 private:
  // A new node holding `value` between neighbours `prev` and `next` (either may be nullptr at an
  // end of the list).
  Node* InsertBetween(Node* prev, Node* next, const T& value) {
    Node* node = NewNode(prev, next);
    if (node == nullptr) return nullptr;
    node->value = value;
    (prev != nullptr ? prev->next : head_) = node;
    (next != nullptr ? next->prev : tail_) = node;
    return node;
  }

  NodePool<sizeof(Node), alignof(Node)> pool_;
  int count_ = 0;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  unsigned long modifications_ = 0;
};
