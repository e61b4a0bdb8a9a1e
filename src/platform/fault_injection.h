// Test seam for allocation failures.
//
// The document model allocates list nodes, string blocks and record buffers through checked
// allocations; each asks AllocationShouldFail() first. Tests arm the seam so that the Nth guarded
// allocation from now fails (once, or that one and every later one) and then check that the
// operation reports failure and leaves its data consistent. Disarmed, the check costs one compare.
#pragma once

namespace platform {

// Arms the seam: the nth guarded allocation from now (1 = the next one) fails. With `sticky`,
// every guarded allocation after it fails as well.
void FailAllocationAfter(int n, bool sticky = false);

// Disarms the seam.
void ResetAllocationFaults();

// True when the guarded allocation about to be made must fail. Counts the call.
bool AllocationShouldFail();

// Number of guarded allocations since the seam was last armed or reset.
long AllocationCount();

}  // namespace platform
