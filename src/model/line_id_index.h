// LineIdIndex: the document's lookup from a line ID to the first line, in document order, that
// carries it. It makes FindItem, and so ID allocation, constant time on big scripts while giving
// exactly the answer of a scan of the line list from its head.
//
// The index is a cache over CDlgFile::lines. CDlgFile keeps it up to date as it appends and removes
// lines; when the list was changed by anyone else (its modification count moved without the index
// seeing it) or an indexed line no longer carries its ID, the index is rebuilt from the list before
// it answers. Lines are only ever appended at the tail, so the lines that share an ID stay in
// document order and the first of them is the oldest.
#pragma once

#include <unordered_map>

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
  struct Entry {
    LinePos first;
    int count;
  };
  void Rebuild(const CQHList<CDlgItem>& lines);

  std::unordered_map<int, Entry> entries_;
  unsigned long seen_ = 0;
  bool valid_ = false;
};
