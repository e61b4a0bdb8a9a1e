#include "model/line_id_index.h"

void LineIdIndex::Rebuild(const CQHList<CDlgItem>& lines) {
  entries_.clear();
  entries_.reserve(static_cast<size_t>(lines.GetCount()));
  for (LinePos pos = lines.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    auto [it, inserted] = entries_.try_emplace(pos->value.id, Entry{pos, 1});
    if (!inserted) ++it->second.count;
  }
  seen_ = lines.GetModificationCount();
  valid_ = true;
}

LinePos LineIdIndex::Find(const CQHList<CDlgItem>& lines, int id) {
  if (!InSync(lines)) Rebuild(lines);
  auto it = entries_.find(id);
  if (it == entries_.end()) return nullptr;
  if (it->second.first->value.id != id) {  // an ID was changed in place: trust the list
    Rebuild(lines);
    it = entries_.find(id);
    return it == entries_.end() ? nullptr : it->second.first;
  }
  return it->second.first;
}

void LineIdIndex::Appended(const CQHList<CDlgItem>& lines, LinePos pos) {
  auto [it, inserted] = entries_.try_emplace(pos->value.id, Entry{pos, 1});
  if (!inserted) ++it->second.count;
  seen_ = lines.GetModificationCount();
}

void LineIdIndex::Removing(LinePos pos) {
  const int id = pos->value.id;
  auto it = entries_.find(id);
  if (it == entries_.end()) {
    valid_ = false;
    return;
  }
  Entry& entry = it->second;
  if (--entry.count == 0) {
    if (entry.first != pos) valid_ = false;
    entries_.erase(it);
    return;
  }
  if (entry.first != pos) return;
  // The oldest line of this ID goes: the next one in document order becomes the first.
  LinePos next = pos->next;
  while (next != nullptr && next->value.id != id) next = next->next;
  if (next == nullptr) {
    valid_ = false;
  } else {
    entry.first = next;
  }
}
