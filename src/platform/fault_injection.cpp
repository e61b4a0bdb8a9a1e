#include "platform/fault_injection.h"

namespace platform {
namespace {

// 0: disarmed. Otherwise the number of the allocation (counted from arming) that fails.
long g_failAt = 0;
bool g_sticky = false;
long g_count = 0;

}  // namespace

void FailAllocationAfter(int n, bool sticky) {
  g_failAt = n > 0 ? n : 0;
  g_sticky = sticky;
  g_count = 0;
}

void ResetAllocationFaults() { FailAllocationAfter(0, false); }

bool AllocationShouldFail() {
  ++g_count;
  if (g_failAt == 0) return false;
  return g_sticky ? g_count >= g_failAt : g_count == g_failAt;
}

long AllocationCount() { return g_count; }

}  // namespace platform
