/* One fresh process's view of the runtime, beside a gettext .mo of the same texts:
 *
 *   parlatrix-bench-runtime-probe SCRIPT.dlg [MESSAGES.mo]
 *
 * prints, for the .dlg: the wall time of prx_open, the resident memory it added against the file's
 * size, and the mean time of prx_get_line over every ID from 0 to the highest in random order,
 * first when each record is read for the first time (decoded then), then a second time in another
 * random order; for the .mo: the time to map it and check its header (what gettext does when a
 * catalogue is first used), and a lookup of every original string in random order through the
 * .mo's own hash table (gettext's hash_string and double hashing), twice likewise.
 * bench/runtime_open_peer.sh runs it on generated scripts in /dev/shm. */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "parlatrix/runtime.h"

/* CPU time of this process: on a machine shared with other work the wall time mostly measures
 * the waits for a core; the CPU time is what the run costs and what an idle machine shows as wall
 * time. Page faults count (they are the kernel's work for this process). */
static double now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}
static double wall_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

/* Resident memory of this process in KiB (/proc/self/statm). */
static long resident_kib(void) {
  long pages = 0, resident = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (statm == NULL) return -1;
  if (fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
  fclose(statm);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

static uint64_t random_state = 88172645463325252u;
static uint64_t next_random(void) {
  random_state ^= random_state << 13;
  random_state ^= random_state >> 7;
  random_state ^= random_state << 17;
  return random_state;
}
static void shuffle(size_t* order, size_t count) {
  size_t i;
  for (i = 0; i < count; ++i) order[i] = i;
  for (i = count; i > 1; --i) {
    const size_t j = (size_t)(next_random() % i);
    const size_t t = order[i - 1];
    order[i - 1] = order[j];
    order[j] = t;
  }
}

static volatile size_t sink;

static int probe_dlg(const char* path) {
  struct stat info;
  prx_file* file = NULL;
  prx_error error;
  long before, after;
  double start, opened, wall;
  size_t count, i, *order;
  int pass;
  if (stat(path, &info) != 0) return 1;
  before = resident_kib();
  wall = wall_ns();
  start = now_ns();
  if (prx_open(path, &file, &error) != PRX_OK) {
    fprintf(stderr, "%s\n", error.message);
    return 1;
  }
  opened = now_ns();
  wall = wall_ns() - wall;
  after = resident_kib();
  printf("dlg open_cpu_ms %.3f\n", (opened - start) / 1e6);
  printf("dlg open_wall_ms %.3f\n", wall / 1e6);
  printf("dlg resident_after_open_kib %ld file_kib %ld lines %d ids %d\n", after - before,
         (long)(info.st_size / 1024), prx_line_count(file), prx_highest_id(file) + 1);
  count = (size_t)prx_highest_id(file) + 1;
  order = (size_t*)malloc(count * sizeof *order);
  if (order == NULL) return 1;
  for (pass = 1; pass <= 2; ++pass) {
    size_t found = 0;
    shuffle(order, count);
    start = now_ns();
    for (i = 0; i < count; ++i) {
      prx_line line;
      if (prx_get_line(file, (int32_t)order[i], &line) == PRX_OK) {
        ++found;
        sink += (unsigned char)line.text.data[0];
      }
    }
    printf("dlg lookup_pass%d_cpu_ns %.1f over %zu IDs (%zu lines)\n", pass,
           (now_ns() - start) / (double)count, count, found);
  }
  printf("dlg resident_after_lookups_kib %ld\n", resident_kib() - before);
  free(order);
  prx_close(file);
  return 0;
}

/* A .mo catalogue: little-endian 32-bit words (the machine's, as msgfmt writes here). */
static uint32_t word(const uint8_t* mo, size_t at) {
  uint32_t value;
  memcpy(&value, mo + at, 4);
  return value;
}

/* gettext's hash_string (hashpjw over 32 bits). */
static uint32_t hash_string(const char* text) {
  uint32_t hash = 0, g;
  while (*text != '\0') {
    hash = (hash << 4) + (unsigned char)*text++;
    g = hash & 0xF0000000u;
    if (g != 0) {
      hash ^= g >> 24;
      hash ^= g;
    }
  }
  return hash;
}

static const char* mo_lookup(const uint8_t* mo, const char* key) {
  const uint32_t originals = word(mo, 12), translations = word(mo, 16);
  const uint32_t size = word(mo, 20), table = word(mo, 24);
  const uint32_t hash = hash_string(key);
  uint32_t index = hash % size;
  const uint32_t step = 1 + hash % (size - 2);
  for (;;) {
    const uint32_t entry = word(mo, table + 4 * index);
    if (entry == 0) return NULL;
    if (strcmp((const char*)mo + word(mo, originals + 8 * (entry - 1) + 4), key) == 0) {
      return (const char*)mo + word(mo, translations + 8 * (entry - 1) + 4);
    }
    index = index >= size - step ? index - (size - step) : index + step;
  }
}

static int probe_mo(const char* path) {
  struct stat info;
  double start, opened;
  const uint8_t* mo;
  uint32_t count;
  size_t i, *order;
  int pass, fd;
  long before = resident_kib();
  start = now_ns();
  fd = open(path, O_RDONLY);
  if (fd < 0 || fstat(fd, &info) != 0) return 1;
  mo = (const uint8_t*)mmap(NULL, (size_t)info.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (mo == MAP_FAILED || word(mo, 0) != 0x950412DEu || word(mo, 20) < 3) return 1;
  count = word(mo, 8);
  opened = now_ns();
  printf("mo open_cpu_ms %.3f\n", (opened - start) / 1e6);
  printf("mo resident_after_open_kib %ld file_kib %ld strings %u\n", resident_kib() - before,
         (long)(info.st_size / 1024), count);
  order = (size_t*)malloc(count * sizeof *order);
  if (order == NULL) return 1;
  for (pass = 1; pass <= 2; ++pass) {
    size_t found = 0;
    shuffle(order, count);
    start = now_ns();
    for (i = 0; i < count; ++i) {
      const char* key = (const char*)mo + word(mo, word(mo, 12) + 8 * order[i] + 4);
      const char* text = mo_lookup(mo, key);
      if (text != NULL) {
        ++found;
        sink += (unsigned char)text[0];
      }
    }
    printf("mo lookup_pass%d_cpu_ns %.1f over %u strings (%zu found)\n", pass,
           (now_ns() - start) / (double)count, count, found);
  }
  free(order);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s SCRIPT.dlg [MESSAGES.mo]\n", argv[0]);
    return 2;
  }
  if (probe_dlg(argv[1]) != 0) return 1;
  if (argc > 2 && probe_mo(argv[2]) != 0) return 1;
  return 0;
}
