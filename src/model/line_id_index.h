// LineIdIndex: the document's lookup from a line ID to the first line, in document order, that
// carries it. It makes FindItem, and so ID allocation, constant time on big scripts while giving
// exactly the answer of a scan of the line list from its head.
//
// The index is a cache over CDlgFile::lines. CDlgFile keeps it up to date as it appends and removes
// lines; when the list was changed by anyone else (its modification count moved without the index
// seeing it) or an indexed line no longer carries its ID, the index is rebuilt from the list before
// it answers. Lines are only ever appended at the tail, so the lines that share an ID stay in
// document order and the first of them is the oldest.
//
// The entries lie in one open-addressed table (linear probing, at most half full), so a lookup on
// a big script costs one or two cache misses instead of the bucket, node and chain of a node-based
// map. When the table cannot be allocated the index stays invalid and Find scans the list, which
// gives the same answer more slowly.
#pragma once

#include <cstdint>
#include <memory>

#include "model/dlg_file.h"

class LineIdIndex {
 public:
  // The first line whose ID is `id`, or nullptr.
  LinePos Find(const CQHList<CDlgItem>& lines, int id);

  // True when the index describes the list exactly as it is now.
  bool InSync(const CQHList<CDlgItem>& lines) const {
    return valid_ && seen_ == lines.GetModificationCount();
  }
  // To be called right after `pos` was appended, if the index was in sync before the append.
  void Appended(const CQHList<CDlgItem>& lines, LinePos pos);
  // To be called right before `pos` is removed, if the index is in sync; then Removed() after.
  void Removing(LinePos pos);
  void Removed(const CQHList<CDlgItem>& lines) {
    if (valid_) seen_ = lines.GetModificationCount();
  }

 private:
  struct Slot {
    LinePos first;  // nullptr: the slot is free
    int32_t id;
    int32_t count;  // lines carrying the ID
  };
  void Rebuild(const CQHList<CDlgItem>& lines);
  // The slot where a probe for `id` starts.
  size_t Home(int id) const;
  // The slot holding `id`, or the free slot where it would go.
  size_t Probe(int id) const;
  // Adds one line of `id` (the first of its ID when the ID is new). False when the table cannot
  // grow.
  bool Add(int id, LinePos pos);
  void Erase(size_t slot);
  // An empty table of `capacity` slots (a power of two); false when it cannot be allocated.
  bool Reset(size_t capacity);

  std::unique_ptr<Slot[]> slots_;
  size_t mask_ = 0;  // capacity - 1
  size_t used_ = 0;
  unsigned long seen_ = 0;
  bool valid_ = false;
};
