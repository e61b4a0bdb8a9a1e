#include "merge/dlg_merge_order.h"

#include <algorithm>
#include <cstddef>

namespace {

bool Has(const std::vector<int32_t>& sorted, int32_t key) {
  return std::binary_search(sorted.begin(), sorted.end(), key);
}

std::vector<int32_t> Sorted(std::vector<int32_t> keys) {
  std::sort(keys.begin(), keys.end());
  return keys;
}

// A singly linked list in arrays, with node 0 as the head sentinel, over the kept keys: insertion
// after any key in constant time, and no allocation per key, for plots of a hundred thousand lines.
class KeyList {
 public:
  explicit KeyList(const std::vector<int32_t>& keep) : keep_(keep), nodeOf_(keep.size(), -1) {
    keys_.reserve(keep.size() + 1);
    next_.reserve(keep.size() + 1);
    pass_.reserve(keep.size() + 1);
    keys_.push_back(0);
    next_.push_back(-1);
    pass_.push_back(0);
  }

  static constexpr int kHead = 0;
  // The node holding the kept `key`, or -1.
  int Find(int32_t key) const { return nodeOf_[Slot(key)]; }
  // The node after `at`, or -1.
  int Next(int at) const { return next_[at]; }
  // Which pass inserted the node: 0 for the skeleton.
  int Pass(int node) const { return pass_[node]; }
  int InsertAfter(int at, int32_t key, int pass) {
    const int node = static_cast<int>(keys_.size());
    keys_.push_back(key);
    pass_.push_back(pass);
    next_.push_back(next_[at]);
    next_[at] = node;
    nodeOf_[Slot(key)] = node;
    return node;
  }
  std::vector<int32_t> Keys() const {
    std::vector<int32_t> out;
    out.reserve(keys_.size() - 1);
    for (int node = next_[kHead]; node != -1; node = next_[node]) out.push_back(keys_[node]);
    return out;
  }

 private:
  size_t Slot(int32_t key) const {
    return static_cast<size_t>(std::lower_bound(keep_.begin(), keep_.end(), key) - keep_.begin());
  }

  const std::vector<int32_t>& keep_;
  std::vector<int> nodeOf_;  // per kept key, in keep_'s order
  std::vector<int32_t> keys_;
  std::vector<int> next_;
  std::vector<int> pass_;
};

std::vector<int32_t> Filter(const std::vector<int32_t>& keys, const std::vector<int32_t>& wanted) {
  std::vector<int32_t> out;
  for (int32_t key : keys) {
    if (Has(wanted, key)) out.push_back(key);
  }
  return out;
}

// Places the kept keys of one side's list that are not placed yet after their predecessor there,
// and after what an earlier pass added at that place.
void PlaceSide(const std::vector<int32_t>& side, const std::vector<int32_t>& keep, int pass,
               KeyList& list) {
  int anchor = KeyList::kHead;
  for (int32_t key : side) {
    if (!Has(keep, key)) continue;
    const int node = list.Find(key);
    if (node >= 0) {
      anchor = node;
      continue;
    }
    while (list.Next(anchor) >= 0 && list.Pass(list.Next(anchor)) != 0 &&
           list.Pass(list.Next(anchor)) < pass) {
      anchor = list.Next(anchor);
    }
    anchor = list.InsertAfter(anchor, key, pass);
  }
}

// True when `keys` holds each key of `keep` once and nothing else.
bool SameKeys(const std::vector<int32_t>& keys, const std::vector<int32_t>& keep) {
  if (keys.size() != keep.size()) return false;
  std::vector<bool> seen(keep.size());
  for (int32_t key : keys) {
    const auto at = std::lower_bound(keep.begin(), keep.end(), key);
    if (at == keep.end() || *at != key || seen[static_cast<size_t>(at - keep.begin())]) {
      return false;
    }
    seen[static_cast<size_t>(at - keep.begin())] = true;
  }
  return true;
}

}  // namespace

OrderMerge MergeOrder(const std::vector<int32_t>& base, const std::vector<int32_t>& ours,
                      const std::vector<int32_t>& theirs, const std::vector<int32_t>& keep) {
  // Most lists of a merge are unchanged on both sides: the result is the list itself.
  if (ours == base && theirs == base && SameKeys(base, keep)) {
    OrderMerge result;
    result.order = base;
    for (std::vector<int32_t>& shared : result.shared) shared = base;
    return result;
  }
  std::vector<int32_t> inAll;
  {
    const std::vector<int32_t> inOurs = Sorted(ours);
    const std::vector<int32_t> inTheirs = Sorted(theirs);
    for (int32_t key : base) {
      if (Has(keep, key) && Has(inOurs, key) && Has(inTheirs, key)) inAll.push_back(key);
    }
    std::sort(inAll.begin(), inAll.end());
  }
  OrderMerge result;
  result.shared[0] = Filter(base, inAll);
  result.shared[1] = Filter(ours, inAll);
  result.shared[2] = Filter(theirs, inAll);
  const bool oursMoved = result.shared[1] != result.shared[0];
  const bool theirsMoved = result.shared[2] != result.shared[0];
  result.conflict = oursMoved && theirsMoved && result.shared[1] != result.shared[2];
  const std::vector<int32_t>& skeleton = oursMoved ? result.shared[1] : result.shared[2];

  KeyList list(keep);
  int last = KeyList::kHead;
  for (int32_t key : skeleton) last = list.InsertAfter(last, key, 0);
  PlaceSide(ours, keep, 1, list);
  PlaceSide(theirs, keep, 2, list);
  result.order = list.Keys();
  if (result.order.size() < keep.size()) {
    PlaceSide(base, keep, 3, list);
    result.order = list.Keys();
  }
  return result;
}
