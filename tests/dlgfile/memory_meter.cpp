#include "memory_meter.h"

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's allocator interface; g++ ships the runtime but not its header.
extern "C" {
size_t __sanitizer_get_allocated_size(const volatile void* p);
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));
}
#define PARLATRIX_METER_HOOKS 1
#endif

namespace {

bool g_armed = false;
long long g_current = 0;
long long g_peak = 0;
size_t g_start = 0;

#ifdef PARLATRIX_METER_HOOKS
void OnMalloc(const volatile void*, size_t size) {
  if (!g_armed) return;
  g_current += static_cast<long long>(size);
  if (g_current > g_peak) g_peak = g_current;
}

void OnFree(const volatile void* ptr) {
  if (!g_armed) return;
  g_current -= static_cast<long long>(__sanitizer_get_allocated_size(ptr));
}

bool InstallHooks() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  return installed;
}
#endif

}  // namespace

MemoryMeter::MemoryMeter() {
  g_current = 0;
  g_peak = 0;
#ifdef PARLATRIX_METER_HOOKS
  InstallHooks();
#endif
  g_start = mallinfo2().uordblks;
  g_armed = true;
}

MemoryMeter::~MemoryMeter() {
  g_armed = false;
}

bool MemoryMeter::SeesPeak() {
#ifdef PARLATRIX_METER_HOOKS
  return true;
#else
  return false;
#endif
}

size_t MemoryMeter::Used() const {
  if (SeesPeak()) return g_peak > 0 ? static_cast<size_t>(g_peak) : 0;
  const size_t now = mallinfo2().uordblks;
  return now > g_start ? now - g_start : 0;
}
