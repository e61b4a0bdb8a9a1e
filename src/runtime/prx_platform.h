/* The runtime's only contact with the operating system: a file's bytes mapped (or read where
 * mapping is impossible), and large zero-filled blocks whose pages cost memory only once written.
 * prx_platform.c holds the POSIX and the Win32 implementation. */
#ifndef PARLATRIX_PRX_PLATFORM_H
#define PARLATRIX_PRX_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

/* Where a file's bytes live and how they are given back. */
typedef struct prx__bytes {
  const uint8_t* data; /* never NULL (an empty file points at a static zero byte) */
  size_t size;
  int kind; /* PRX__BYTES_* */
} prx__bytes;

#define PRX__BYTES_BORROWED 0 /* the caller's memory; nothing to release */
#define PRX__BYTES_MAPPED 1
#define PRX__BYTES_HEAP 2

/* Maps the regular file at `path` (UTF-8; on Windows converted to UTF-16) read-only. Returns 0,
 * or a prx_status code with the system's reason in why[0 .. why_size). A file larger than
 * INT32_MAX bytes is refused with PRX_ERROR_DAMAGED. */
int prx__map_file(const char* path, prx__bytes* out, char* why, size_t why_size);
void prx__release_bytes(prx__bytes* bytes);

/* A zero-filled block of `size` bytes (size > 0) whose pages are taken from the system only when
 * first written; NULL when there is no memory. */
void* prx__alloc_lazy_zeroed(size_t size);
void prx__free_lazy_zeroed(void* block, size_t size);

/* A hint to the processor inside a wait for another thread (a few nanoseconds). */
void prx__pause(void);

#endif /* PARLATRIX_PRX_PLATFORM_H */
