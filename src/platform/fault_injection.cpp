#include "platform/fault_injection.h"

namespace platform {

FaultCounter& AllocationFaults() {
  static FaultCounter counter;
  return counter;
}

FaultCounter& FileOperationFaults() {
  static FaultCounter counter;
  return counter;
}

FaultCounter& ReadFaults() {
  static FaultCounter counter;
  return counter;
}

}  // namespace platform
