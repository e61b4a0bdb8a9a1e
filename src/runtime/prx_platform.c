/* The operating system behind prx_platform.h: Win32 on Windows, POSIX everywhere else (Linux,
 * the BSDs, macOS, consoles with a POSIX layer, Emscripten). Nothing else in the runtime calls
 * the system. */
#if !defined(_WIN32)
/* open, fstat, mmap and sched_yield of POSIX.1-2008; MAP_ANONYMOUS is in every libc but not in the
 * standard, so its libc's own feature switches are turned on too. */
#ifndef _POSIX_C_SOURCE
#define _POSIX_C_SOURCE 200809L
#endif
#ifndef _DEFAULT_SOURCE
#define _DEFAULT_SOURCE 1
#endif
#ifndef _DARWIN_C_SOURCE
#define _DARWIN_C_SOURCE 1
#endif
#endif

#include "prx_platform.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "parlatrix/runtime.h"

static const uint8_t prx__no_bytes[1] = {0};

static void prx__set_empty(prx__bytes* out) {
  out->data = prx__no_bytes;
  out->size = 0;
  out->kind = PRX__BYTES_BORROWED;
}

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

/* The system's text for `code`, in UTF-8, without its closing period and line break. */
static void prx__system_reason(DWORD code, char* why, size_t why_size) {
  wchar_t wide[256];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), wide, 256, NULL);
  while (n > 0 && (wide[n - 1] == L'\r' || wide[n - 1] == L'\n' || wide[n - 1] == L'.')) --n;
  if (n == 0 || why_size < 2) {
    snprintf(why, why_size, "system error %lu", (unsigned long)code);
    return;
  }
  n = (DWORD)WideCharToMultiByte(CP_UTF8, 0, wide, (int)n, why, (int)why_size - 1, NULL, NULL);
  why[n] = '\0';
}

int prx__map_file(const char* path, prx__bytes* out, char* why, size_t why_size) {
  wchar_t* wide;
  HANDLE file, mapping;
  LARGE_INTEGER size;
  int length;
  prx__set_empty(out);
  length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, NULL, 0);
  if (length <= 0) {
    snprintf(why, why_size, "the path is not valid UTF-8");
    return PRX_ERROR_OPEN;
  }
  wide = (wchar_t*)malloc((size_t)length * sizeof(wchar_t));
  if (wide == NULL) {
    snprintf(why, why_size, "not enough memory");
    return PRX_ERROR_NO_MEMORY;
  }
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, length);
  file = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  free(wide);
  if (file == INVALID_HANDLE_VALUE) {
    prx__system_reason(GetLastError(), why, why_size);
    return PRX_ERROR_OPEN;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    snprintf(why, why_size, "not a regular file");
    return PRX_ERROR_OPEN;
  }
  if (!GetFileSizeEx(file, &size)) {
    prx__system_reason(GetLastError(), why, why_size);
    CloseHandle(file);
    return PRX_ERROR_READ;
  }
  if (size.QuadPart > INT32_MAX) {
    CloseHandle(file);
    snprintf(why, why_size, "larger than 2 GiB, no dialogue file");
    return PRX_ERROR_DAMAGED;
  }
  if (size.QuadPart == 0) {
    CloseHandle(file);
    return 0;
  }
  mapping = CreateFileMappingW(file, NULL, PAGE_READONLY, 0, 0, NULL);
  if (mapping != NULL) {
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);
    if (view != NULL) {
      CloseHandle(file);
      out->data = (const uint8_t*)view;
      out->size = (size_t)size.QuadPart;
      out->kind = PRX__BYTES_MAPPED;
      return 0;
    }
  }
  {
    /* No mapping (a network share that refuses one): the bytes are read. */
    uint8_t* copy = (uint8_t*)malloc((size_t)size.QuadPart);
    size_t got = 0;
    if (copy == NULL) {
      CloseHandle(file);
      snprintf(why, why_size, "not enough memory for the file");
      return PRX_ERROR_NO_MEMORY;
    }
    while (got < (size_t)size.QuadPart) {
      DWORD n = 0;
      if (!ReadFile(file, copy + got, (DWORD)((size_t)size.QuadPart - got), &n, NULL)) {
        prx__system_reason(GetLastError(), why, why_size);
        CloseHandle(file);
        free(copy);
        return PRX_ERROR_READ;
      }
      if (n == 0) break;
      got += n;
    }
    CloseHandle(file);
    out->data = copy;
    out->size = got;
    out->kind = PRX__BYTES_HEAP;
    return 0;
  }
}

void prx__release_bytes(prx__bytes* bytes) {
  if (bytes->kind == PRX__BYTES_MAPPED) UnmapViewOfFile((LPCVOID)bytes->data);
  if (bytes->kind == PRX__BYTES_HEAP) free((void*)bytes->data);
  prx__set_empty(bytes);
}

void* prx__alloc_lazy_zeroed(size_t size) {
  return VirtualAlloc(NULL, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void prx__free_lazy_zeroed(void* block, size_t size) {
  (void)size;
  if (block != NULL) VirtualFree(block, 0, MEM_RELEASE);
}

void prx__pause(void) {
  SwitchToThread();
}

#else /* POSIX */

#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if !defined(MAP_ANONYMOUS) && defined(MAP_ANON)
#define MAP_ANONYMOUS MAP_ANON
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

int prx__map_file(const char* path, prx__bytes* out, char* why, size_t why_size) {
  struct stat info;
  size_t size, got;
  uint8_t* copy;
  void* view;
  /* Without blocking, so that a FIFO is refused instead of waiting for a writer. */
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  prx__set_empty(out);
  if (fd < 0) {
    snprintf(why, why_size, "%s", strerror(errno));
    return PRX_ERROR_OPEN;
  }
  if (fstat(fd, &info) != 0) {
    snprintf(why, why_size, "%s", strerror(errno));
    close(fd);
    return PRX_ERROR_OPEN;
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    snprintf(why, why_size, "not a regular file");
    return PRX_ERROR_OPEN;
  }
  if (info.st_size > INT32_MAX) {
    close(fd);
    snprintf(why, why_size, "larger than 2 GiB, no dialogue file");
    return PRX_ERROR_DAMAGED;
  }
  size = (size_t)info.st_size;
  if (size == 0) {
    close(fd);
    return 0;
  }
  view = mmap(NULL, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (view != MAP_FAILED) {
    close(fd);
    out->data = (const uint8_t*)view;
    out->size = size;
    out->kind = PRX__BYTES_MAPPED;
    return 0;
  }
  /* No mapping (a file system that has none): the bytes are read. */
  copy = (uint8_t*)malloc(size);
  if (copy == NULL) {
    close(fd);
    snprintf(why, why_size, "not enough memory for the file");
    return PRX_ERROR_NO_MEMORY;
  }
  got = 0;
  while (got < size) {
    const ssize_t n = read(fd, copy + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      snprintf(why, why_size, "%s", strerror(errno));
      close(fd);
      free(copy);
      return PRX_ERROR_READ;
    }
    if (n == 0) break; /* the file shrank meanwhile: what is there is checked as it is */
    got += (size_t)n;
  }
  close(fd);
  out->data = copy;
  out->size = got;
  out->kind = PRX__BYTES_HEAP;
  return 0;
}

void prx__release_bytes(prx__bytes* bytes) {
  if (bytes->kind == PRX__BYTES_MAPPED) munmap((void*)bytes->data, bytes->size);
  if (bytes->kind == PRX__BYTES_HEAP) free((void*)bytes->data);
  prx__set_empty(bytes);
}

void* prx__alloc_lazy_zeroed(size_t size) {
#if defined(MAP_ANONYMOUS) && !defined(__EMSCRIPTEN__)
  void* block = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? NULL : block;
#else
  return calloc(1, size);
#endif
}

void prx__free_lazy_zeroed(void* block, size_t size) {
  if (block == NULL) return;
#if defined(MAP_ANONYMOUS) && !defined(__EMSCRIPTEN__)
  munmap(block, size);
#else
  (void)size;
  free(block);
#endif
}

void prx__pause(void) {
  sched_yield();
}

#endif
