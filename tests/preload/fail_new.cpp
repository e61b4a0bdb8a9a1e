// A test-only allocation seam for whole processes: loaded into dlgtool with LD_PRELOAD, it replaces
// every form of the global operator new and delete, counts the calls to new, and makes one of them
// fail, as memory running out would: the throwing forms throw std::bad_alloc, the nothrow forms
// return nullptr. Nothing of it is linked into any program; the tests load it by path.
//
// Only calls made once main() has started count: what static initialisation allocates (CLI11's
// validators, ...) runs before any code of the program could report anything. main() is found by
// wrapping glibc's __libc_start_main, which receives it.
//
// Environment (read at the first allocation):
//   PARLATRIX_TEST_FAIL_NEW=N        the Nth call to operator new from main() on fails (once;
//                                    1 = the first)
//   PARLATRIX_TEST_NEW_COUNT=PATH    at exit, the number of calls is written to PATH (decimal)
//   PARLATRIX_TEST_FAIL_NEW_TRACE=1  the failing call prints a backtrace on stderr
//
// Blocks come from malloc and go back to free, so that a block of either allocator's making is
// never handed to the other.
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <new>

namespace {

std::atomic<bool> inMain{false};
std::atomic<long> calls{0};
long failAt = -1;  // -1: the environment is not read yet; 0: nothing fails
bool trace = false;

// True when this call is the one that must fail. getenv allocates nothing.
bool ShouldFail() {
  if (!inMain) return false;
  if (failAt < 0) {
    const char* at = getenv("PARLATRIX_TEST_FAIL_NEW");
    failAt = at != nullptr ? atol(at) : 0;
    if (failAt < 0) failAt = 0;
    trace = getenv("PARLATRIX_TEST_FAIL_NEW_TRACE") != nullptr;
  }
  const long n = ++calls;
  if (failAt == 0 || n != failAt) return false;
  if (trace) {
    static const char kLine[] = "fail_new_preload: this allocation fails\n";
    [[maybe_unused]] ssize_t ignored = write(2, kLine, sizeof kLine - 1);
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), 2);
  }
  return true;
}

void* Allocate(std::size_t size, std::size_t alignment) {
  if (ShouldFail()) return nullptr;
  if (size == 0) size = 1;
  if (alignment <= alignof(std::max_align_t)) return malloc(size);
  void* block = nullptr;
  return posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  void* block = Allocate(size, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

__attribute__((destructor)) void WriteCount() {
  const char* path = getenv("PARLATRIX_TEST_NEW_COUNT");
  if (path == nullptr) return;
  char text[32];
  const int length = snprintf(text, sizeof text, "%ld\n", calls.load());
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] ssize_t ignored = write(fd, text, static_cast<size_t>(length));
  close(fd);
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

using MainFunction = int (*)(int, char**, char**);
MainFunction programMain = nullptr;

int CountingMain(int argc, char** argv, char** env) {
  inMain = true;
  return programMain(argc, argv, env);
}

}  // namespace

// glibc calls main() through this; static initialisation runs inside it, before main().
extern "C" int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(),
                                 void (*fini)(), void (*rtldFini)(), void* stackEnd) {
  using Start = int (*)(MainFunction, int, char**, void (*)(), void (*)(), void (*)(), void*);
  const auto next = reinterpret_cast<Start>(dlsym(RTLD_NEXT, "__libc_start_main"));
  programMain = main;
  return next(CountingMain, argc, argv, init, fini, rtldFini, stackEnd);
}

void* operator new(std::size_t size) { return AllocateOrThrow(size, kPlain); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size, kPlain); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, kPlain);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, kPlain);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete(void* block, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  free(block);
}
