// The order part of the three-way merge: a list of keys (line IDs of a plot, or plot numbers)
// merged from three versions of its order.
#pragma once

#include <cstdint>
#include <vector>

struct OrderMerge {
  std::vector<int32_t> order;  // every kept key once
  bool conflict = false;       // both sides reordered the shared keys differently; ours' order won
  // The keys that all three versions have and the result keeps, in each version's order; what a
  // conflict report shows.
  std::vector<int32_t> shared[3];  // base, ours, theirs
};

// Orders `keep` (sorted ascending, each key once) after the three versions. The keys all three versions share form the skeleton, in
// the order of the side that changed it (ours when both did, differently). Every other kept key is
// then placed after the key that precedes it in ours' list, then in theirs', so a key added on one
// side lands where that side put it, and keys both sides added after one place come ours first.
// A kept key that neither side lists (none should) goes after its predecessor in base.
OrderMerge MergeOrder(const std::vector<int32_t>& base, const std::vector<int32_t>& ours,
                      const std::vector<int32_t>& theirs, const std::vector<int32_t>& keep);
