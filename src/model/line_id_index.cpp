#include "model/line_id_index.h"

#include <bit>
#include <new>

namespace {

constexpr size_t kSmallestTable = 16;

size_t TableFor(size_t entries) {
  size_t capacity = kSmallestTable;
  while (capacity < 2 * entries) capacity *= 2;
  return capacity;
}

}  // namespace

bool LineIdIndex::Reset(size_t capacity) {
  // Not through the allocation seam: an index that cannot be had costs speed, never a result.
  slots_.reset(new (std::nothrow) Slot[capacity]());
  mask_ = slots_ != nullptr ? capacity - 1 : 0;
  used_ = 0;
  return slots_ != nullptr;
}

size_t LineIdIndex::Home(int id) const {
  // Consecutive IDs get consecutive slots, so the lookups of a pass in ID order (an Import of a
  // file in document order) walk the table instead of jumping about it; the bits above the
  // table's own fold in, so that IDs a multiple of the table size apart do not share one slot.
  const uint64_t bits = static_cast<uint32_t>(id);
  return static_cast<size_t>((bits ^ (bits >> std::popcount(mask_))) & mask_);
}

size_t LineIdIndex::Probe(int id) const {
  size_t slot = Home(id);
  while (slots_[slot].first != nullptr && slots_[slot].id != id) slot = (slot + 1) & mask_;
  return slot;
}

bool LineIdIndex::Add(int id, LinePos pos) {
  if (2 * (used_ + 1) > mask_ + 1) {
    std::unique_ptr<Slot[]> old = std::move(slots_);
    const size_t oldCapacity = mask_ + 1;
    if (!Reset(2 * oldCapacity)) return false;
    for (size_t k = 0; k < oldCapacity; ++k) {
      if (old[k].first == nullptr) continue;
      slots_[Probe(old[k].id)] = old[k];
      ++used_;
    }
  }
  Slot& slot = slots_[Probe(id)];
  if (slot.first != nullptr) {
    ++slot.count;
  } else {
    slot = Slot{pos, id, 1};
    ++used_;
  }
  return true;
}

void LineIdIndex::Erase(size_t slot) {
  // Backward shift: later slots of the probe run move up so that no lookup meets a gap early.
  size_t gap = slot;
  for (size_t next = (gap + 1) & mask_; slots_[next].first != nullptr; next = (next + 1) & mask_) {
    const size_t home = Home(slots_[next].id);
    // The entry may fill the gap when its home does not lie cyclically in (gap, next].
    if (((next - home) & mask_) >= ((next - gap) & mask_)) {
      slots_[gap] = slots_[next];
      gap = next;
    }
  }
  slots_[gap] = Slot{};
  --used_;
}

void LineIdIndex::Rebuild(const CQHList<CDlgItem>& lines) {
  valid_ = false;
  if (!Reset(TableFor(static_cast<size_t>(lines.GetCount())))) return;
  for (LinePos pos = lines.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (!Add(pos->value.id, pos)) return;
  }
  seen_ = lines.GetModificationCount();
  valid_ = true;
}

LinePos LineIdIndex::Find(const CQHList<CDlgItem>& lines, int id) {
  if (!InSync(lines)) Rebuild(lines);
  if (!valid_) {
    for (LinePos pos = lines.GetHeadPosition(); pos != nullptr; pos = pos->next) {
      if (pos->value.id == id) return pos;
    }
    return nullptr;
  }
  const Slot& slot = slots_[Probe(id)];
  if (slot.first == nullptr) return nullptr;
  if (slot.first->value.id != id) {  // an ID was changed in place: trust the list
    valid_ = false;
    return Find(lines, id);
  }
  return slot.first;
}

void LineIdIndex::Appended(const CQHList<CDlgItem>& lines, LinePos pos) {
  if (slots_ == nullptr && !Reset(kSmallestTable)) {
    valid_ = false;
    return;
  }
  if (!Add(pos->value.id, pos)) {
    valid_ = false;
    return;
  }
  seen_ = lines.GetModificationCount();
}

void LineIdIndex::Removing(LinePos pos) {
  const int id = pos->value.id;
  const size_t at = Probe(id);
  Slot& slot = slots_[at];
  if (slot.first == nullptr) {
    valid_ = false;
    return;
  }
  if (--slot.count == 0) {
    if (slot.first != pos) valid_ = false;
    Erase(at);
    return;
  }
  if (slot.first != pos) return;
  // The oldest line of this ID goes: the next one in document order becomes the first.
  LinePos next = pos->next;
  while (next != nullptr && next->value.id != id) next = next->next;
  if (next == nullptr) {
    valid_ = false;
  } else {
    slot.first = next;
  }
}
