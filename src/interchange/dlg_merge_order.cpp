#include "interchange/dlg_merge_order.h"

#include <cstddef>
#include <unordered_map>

namespace {

// A singly linked list in two arrays, with node 0 as the head sentinel, and the node of each key:
// insertion after any key in constant time, for plots of a hundred thousand lines.
class KeyList {
 public:
  explicit KeyList(size_t expected) {
    keys_.reserve(expected + 1);
    next_.reserve(expected + 1);
    node_.reserve(expected);
    keys_.push_back(0);
    next_.push_back(kEnd);
    pass_.push_back(0);
  }

  static constexpr int kHead = 0;
  // The node holding `key`, or -1.
  int Find(int32_t key) const {
    auto it = node_.find(key);
    return it == node_.end() ? -1 : it->second;
  }
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
    node_.emplace(key, node);
    return node;
  }
  std::vector<int32_t> Keys() const {
    std::vector<int32_t> out;
    out.reserve(keys_.size() - 1);
    for (int node = next_[kHead]; node != kEnd; node = next_[node]) out.push_back(keys_[node]);
    return out;
  }

 private:
  static constexpr int kEnd = -1;
  std::vector<int32_t> keys_;
  std::vector<int> next_;
  std::vector<int> pass_;
  std::unordered_map<int32_t, int> node_;
};

std::unordered_set<int32_t> KeySet(const std::vector<int32_t>& keys) {
  return std::unordered_set<int32_t>(keys.begin(), keys.end());
}

std::vector<int32_t> Filter(const std::vector<int32_t>& keys,
                            const std::unordered_set<int32_t>& wanted) {
  std::vector<int32_t> out;
  for (int32_t key : keys) {
    if (wanted.count(key) != 0) out.push_back(key);
  }
  return out;
}

// Places the kept keys of one side's list that are not placed yet after their predecessor there,
// and after what an earlier pass added at that place.
void PlaceSide(const std::vector<int32_t>& side, const std::unordered_set<int32_t>& keep,
               int pass, KeyList& list) {
  int anchor = KeyList::kHead;
  for (int32_t key : side) {
    if (keep.count(key) == 0) continue;
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

}  // namespace

OrderMerge MergeOrder(const std::vector<int32_t>& base, const std::vector<int32_t>& ours,
                      const std::vector<int32_t>& theirs, const std::unordered_set<int32_t>& keep) {
  std::unordered_set<int32_t> inAll;
  {
    const std::unordered_set<int32_t> inOurs = KeySet(ours);
    const std::unordered_set<int32_t> inTheirs = KeySet(theirs);
    for (int32_t key : base) {
      if (keep.count(key) != 0 && inOurs.count(key) != 0 && inTheirs.count(key) != 0) {
        inAll.insert(key);
      }
    }
  }
  OrderMerge result;
  result.shared[0] = Filter(base, inAll);
  result.shared[1] = Filter(ours, inAll);
  result.shared[2] = Filter(theirs, inAll);
  const bool oursMoved = result.shared[1] != result.shared[0];
  const bool theirsMoved = result.shared[2] != result.shared[0];
  result.conflict = oursMoved && theirsMoved && result.shared[1] != result.shared[2];
  const std::vector<int32_t>& skeleton = oursMoved ? result.shared[1] : result.shared[2];

  KeyList list(keep.size());
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
