// libFuzzer entry point; the target itself is in targets/ so that the test suite can replay it.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzStoredText(data, size);
}
