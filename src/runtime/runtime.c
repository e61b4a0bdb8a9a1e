/* The runtime's interface (parlatrix/runtime.h) over a .dlg file's bytes, used where they lie.
 *
 * Open checks what every lookup relies on, in time proportional to the index (not to the texts):
 * the header, the plot table with its member lists, and every index entry. Entry k holds ID k or
 * -1 (a hole) and the offset of its record; records follow each other without gaps in entry
 * order, so record k ends where entry k + 1's offset points (a hole carries the next record's
 * offset) and the last one at the records size word. Open checks that these offsets start at the
 * records, never fall, stay inside the records and that the size word equals the records' size;
 * the first lookup of ID k then checks that record k fills exactly [offset k, offset k + 1) with
 * the writer's six fields (prx_dlg.h, strict walk) and unscrambles its texts into a block that
 * mirrors the records (untouched pages of it cost no memory).
 *
 * Each ID has a slot whose state moves once from "unread" to "line", "hole" or "damaged"; the
 * thread that moves it out of "unread" (compare-and-swap to "busy") fills the slot and publishes it
 * with a release store; another thread meeting "busy" waits those few hundred nanoseconds. After
 * that a lookup is one acquire load and a few reads. */
#include "parlatrix/runtime.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "prx_atomic.h"
#include "prx_dlg.h"
#include "prx_platform.h"

#define PRX__STRINGIFY2(x) #x
#define PRX__STRINGIFY(x) PRX__STRINGIFY2(x)

enum { PRX__UNREAD = 0, PRX__BUSY = 1, PRX__LINE = 2, PRX__HOLE = 3, PRX__DAMAGED = 4 };

/* One ID's decoded record. Texts are offsets into the handle's text block; size 0 is "". */
typedef struct prx__slot {
  prx__atomic32 state;
  int32_t plot_index;
  uint32_t text_at[4];
  uint32_t text_size[4];
} prx__slot;

typedef struct prx__plot_info {
  const char* name;
  size_t name_size;
  int32_t range_low;
  int32_t range_high;
  const int32_t* members;
  size_t member_count;
  int32_t members_at; /* offset of the member IDs in the file (version 104) */
} prx__plot_info;

struct prx_file {
  prx__bytes bytes;
  const uint8_t* data; /* = bytes.data */
  int64_t size;
  int32_t version;
  int32_t index_count;
  int32_t line_count;
  int32_t plot_count;
  int64_t index_at;
  int64_t records_at;
  int64_t records_end; /* offset of the records size word */
  prx__slot* slots;    /* index_count slots, lazily zeroed */
  size_t slots_bytes;
  uint8_t* texts; /* records_end - records_at bytes, lazily zeroed */
  size_t texts_bytes;
  prx__plot_info* plots;
  int32_t* members; /* member IDs when they cannot be used in place */
  int32_t* plot_hash;
  uint32_t plot_hash_mask;
  prx__atomic32 encoding; /* 0 not yet known, else 1 + prx_encoding */
  size_t game_name_size;
};

static const char prx__empty[1] = {0};

/* ---------------------------------------------------------------------------------------------- */
/* Errors */

static prx_status prx__fail(prx_error* error, prx_status code, const char* name, const char* why) {
  if (error != NULL) {
    error->code = code;
    snprintf(error->message, sizeof error->message, "%s: %s", name, why);
  }
  return code;
}

/* What open finds wrong: the first damage and its byte offset. */
typedef struct prx__damage {
  int64_t at;
  char what[160];
} prx__damage;

static int prx__damaged(prx__damage* damage, int64_t at, const char* what, long long a,
                        long long b) {
  damage->at = at;
  snprintf(damage->what, sizeof damage->what, what, a, b);
  return 0;
}

/* ---------------------------------------------------------------------------------------------- */
/* Records */

static int32_t prx__decode(const prx_file* file, int32_t id, prx__slot* slot) {
  const uint8_t* entry = file->data + file->index_at + (int64_t)PRX__INDEX_ENTRY_SIZE * id;
  int64_t at, end;
  prx__record record;
  int t;
  if (prx__load_le32(entry) < 0) return PRX__HOLE;
  at = prx__load_le32(entry + 4);
  end = id + 1 < file->index_count ? prx__load_le32(entry + PRX__INDEX_ENTRY_SIZE + 4)
                                   : file->records_end;
  /* Open made sure records_at <= at <= end <= records_end. */
  if (!prx__walk_record(file->data + at, (size_t)(end - at), 1, id, &record, NULL, NULL) ||
      4 + (int64_t)record.length != end - at) {
    return PRX__DAMAGED;
  }
  for (t = 0; t < 4; ++t) {
    const int32_t n = record.text_n[t];
    const size_t mirror = (size_t)(at - file->records_at) + (size_t)record.text_at[t];
    slot->text_at[t] = 0;
    slot->text_size[t] = 0;
    if (n <= 0) continue;
    /* The strict walk made sure the block ends in its zero byte, so the text is terminated. */
    slot->text_at[t] = (uint32_t)mirror;
    slot->text_size[t] = (uint32_t)prx__unscramble_text(
        file->texts + mirror, file->data + at + record.text_at[t], (size_t)n);
  }
  slot->plot_index = record.plot_index;
  return PRX__LINE;
}

/* The final state of ID `id` (0 <= id < index_count), decoding its record on the first call. */
static int32_t prx__settle(const prx_file* file, int32_t id) {
  prx__slot* slot = &file->slots[id];
  int32_t state = prx__load_acquire(&slot->state);
  if (state >= PRX__LINE) return state;
  if (state == PRX__UNREAD && prx__compare_swap(&slot->state, PRX__UNREAD, PRX__BUSY)) {
    state = prx__decode(file, id, slot);
    prx__store_release(&slot->state, state);
    return state;
  }
  while ((state = prx__load_acquire(&slot->state)) == PRX__BUSY) prx__pause();
  return state;
}

static prx_text prx__text(const prx_file* file, uint32_t at, uint32_t size) {
  prx_text text;
  text.data = size > 0 ? (const char*)file->texts + at : prx__empty;
  text.size = size;
  return text;
}

static void prx__clear_line(prx_line* line) {
  line->id = -1;
  line->plot_index = -1;
  line->speaker.data = line->expression.data = line->sound.data = line->text.data = prx__empty;
  line->speaker.size = line->expression.size = line->sound.size = line->text.size = 0;
}

/* ---------------------------------------------------------------------------------------------- */
/* Open */

static int prx__check_header(prx_file* file, prx__damage* damage) {
  const uint8_t* data = file->data;
  int32_t count_at;
  if (file->size < PRX__PLOT_TABLE_AT + 4) {
    return prx__damaged(damage, file->size,
                        "file of %lld bytes is shorter than the header and records size",
                        (long long)file->size, 0);
  }
  file->records_end = file->size - 4;
  file->version = prx__load_le32(data + PRX__VERSION_AT);
  if (file->version < PRX__VERSION_OLDEST || file->version > PRX__VERSION_NEWEST) {
    return prx__damaged(damage, PRX__VERSION_AT, "unknown version %lld", file->version, 0);
  }
  if (prx__load_le32(data + PRX__LINE_COUNT_AT) < 0) {
    return prx__damaged(damage, PRX__LINE_COUNT_AT, "line count %lld is negative",
                        prx__load_le32(data + PRX__LINE_COUNT_AT), 0);
  }
  if (memchr(data + PRX__GAME_NAME_AT, 0, PRX__GAME_NAME_SIZE) == NULL) {
    return prx__damaged(damage, PRX__GAME_NAME_AT, "game name has no terminating zero byte", 0, 0);
  }
  file->game_name_size = strlen((const char*)data + PRX__GAME_NAME_AT);
  /* Files before version 102 have no index count of their own: the line count serves. */
  count_at = file->version < PRX__VERSION_INDEX_COUNT ? PRX__LINE_COUNT_AT : PRX__INDEX_COUNT_AT;
  file->index_count = prx__load_le32(data + count_at);
  if (file->index_count < 0) {
    return prx__damaged(damage, count_at, "index count %lld is negative", file->index_count, 0);
  }
  file->plot_count = prx__load_le32(data + PRX__PLOT_COUNT_AT);
  if (file->plot_count < 0) {
    return prx__damaged(damage, PRX__PLOT_COUNT_AT, "plot count %lld is negative", file->plot_count,
                        0);
  }
  return 1;
}

static int prx__little_endian(void) {
  const uint16_t one = 1;
  uint8_t first;
  memcpy(&first, &one, 1);
  return first == 1;
}

/* Walks the plot table into file->plots; the member IDs are used in place where the host reads
 * the file's integers as they are, else copied. */
static int prx__read_plots(prx_file* file, prx__damage* damage) {
  const int in_place = prx__little_endian();
  int64_t offset = PRX__PLOT_TABLE_AT;
  size_t total = 0, copied = 0;
  int32_t p;
  /* Every entry takes at least 64 bytes of the file: the count is bounded by its size. */
  if (file->plot_count > (file->records_end - PRX__PLOT_TABLE_AT) / PRX__PLOT_NAME_SIZE) {
    return prx__damaged(damage, PRX__PLOT_COUNT_AT, "plot count %lld does not fit the file",
                        file->plot_count, 0);
  }
  file->plots = (prx__plot_info*)calloc((size_t)file->plot_count + 1, sizeof *file->plots);
  if (file->plots == NULL) return -1;
  for (p = 0; p < file->plot_count; ++p) {
    prx__plot_entry entry;
    prx__plot_info* plot = &file->plots[p];
    const int64_t at = offset;
    if (prx__walk_plot(file->data + at, file->records_end - at, file->version, 1, &entry) !=
        PRX__PLOT_TAKEN) {
      return prx__damaged(damage, at,
                          "plot %lld of %lld is cut off or its member count does not fit", p,
                          file->plot_count);
    }
    if (!entry.name_ends) {
      return prx__damaged(damage, at, "plot %lld name has no terminating zero byte", p, 0);
    }
    plot->name = (const char*)file->data + at;
    plot->name_size = strlen(plot->name);
    plot->range_low = entry.range_low;
    plot->range_high = entry.range_high;
    plot->member_count = (size_t)entry.member_count;
    plot->members_at = entry.members_at < 0 ? -1 : (int32_t)(at + entry.members_at);
    offset = at + entry.size;
    total += (size_t)entry.member_count;
  }
  file->index_at = offset;
  if (file->version < PRX__VERSION_MEMBERS) return 1;
  if (prx__load_le32(file->data + PRX__INDEX_OFFSET_AT) != offset) {
    return prx__damaged(damage, PRX__INDEX_OFFSET_AT,
                        "index offset %lld, but the plot table ends at %lld",
                        prx__load_le32(file->data + PRX__INDEX_OFFSET_AT), offset);
  }
  for (p = 0; p < file->plot_count; ++p) {
    prx__plot_info* plot = &file->plots[p];
    if (plot->member_count == 0) continue;
    if (in_place && ((uintptr_t)(file->data + plot->members_at) & 3) == 0) {
      plot->members = (const int32_t*)(const void*)(file->data + plot->members_at);
    } else {
      size_t m;
      if (file->members == NULL) {
        file->members = (int32_t*)malloc(total * sizeof *file->members);
        if (file->members == NULL) return -1;
      }
      for (m = 0; m < plot->member_count; ++m) {
        file->members[copied + m] = prx__load_le32(file->data + plot->members_at + 4 * (int64_t)m);
      }
      plot->members = file->members + copied;
      copied += plot->member_count;
    }
  }
  return 1;
}

/* Every index entry: its ID and its record's offset (see the top of this file). */
static int prx__check_index(prx_file* file, prx__damage* damage) {
  const uint8_t* const data = file->data;
  const int32_t count = file->index_count;
  int64_t records_at, previous;
  int32_t k, lines = 0;
  if (count > (file->records_end - file->index_at) / PRX__INDEX_ENTRY_SIZE) {
    return prx__damaged(damage, PRX__INDEX_COUNT_AT,
                        "index of %lld entries runs past the end of the file", count, 0);
  }
  records_at = file->index_at + (int64_t)PRX__INDEX_ENTRY_SIZE * count;
  file->records_at = records_at;
  previous = records_at;
  for (k = 0; k < count; ++k) {
    const uint8_t* entry = data + file->index_at + (int64_t)PRX__INDEX_ENTRY_SIZE * k;
    const int32_t id = prx__load_le32(entry);
    const int64_t offset = prx__load_le32(entry + 4);
    const int64_t at = file->index_at + (int64_t)PRX__INDEX_ENTRY_SIZE * k;
    if (id != k && id != -1) return prx__damaged(damage, at, "entry %lld holds ID %lld", k, id);
    if (k == 0 ? offset != records_at : offset < previous) {
      return prx__damaged(damage, at + 4, "record offset %lld, but the record follows at %lld",
                          offset, previous);
    }
    if (offset > file->records_end) {
      return prx__damaged(damage, at + 4, "record offset %lld is outside the records", offset, 0);
    }
    if (id < 0) {
      /* A hole has no record; its offset is that of the next record. */
      if (k == count - 1) return prx__damaged(damage, at, "index ends in a hole", 0, 0);
      if (prx__load_le32(entry + PRX__INDEX_ENTRY_SIZE + 4) != offset) {
        return prx__damaged(damage, at + 4, "hole's record offset %lld is not the next record's",
                            offset, 0);
      }
    } else {
      ++lines;
    }
    previous = offset;
  }
  if (count == 0 && records_at != file->records_end) {
    return prx__damaged(damage, records_at, "%lld bytes after the last record belong to no entry",
                        file->records_end - records_at, 0);
  }
  if (prx__load_le32(data + file->records_end) != file->records_end - records_at) {
    return prx__damaged(damage, file->records_end,
                        "records size %lld, but the records take %lld bytes",
                        prx__load_le32(data + file->records_end), file->records_end - records_at);
  }
  file->line_count = lines;
  return 1;
}

/* Version 104 lists each plot's members; every listed ID must have a record (a negative ID is
 * what the editor writes for a line without an ID and is kept as listed). */
static int prx__check_members(prx_file* file, prx__damage* damage) {
  int32_t p;
  size_t m;
  for (p = 0; p < file->plot_count; ++p) {
    const prx__plot_info* plot = &file->plots[p];
    for (m = 0; m < plot->member_count; ++m) {
      const int32_t id = plot->members[m];
      if (id < 0) continue;
      if (id >= file->index_count ||
          prx__load_le32(file->data + file->index_at + (int64_t)PRX__INDEX_ENTRY_SIZE * id) < 0) {
        return prx__damaged(damage, (const uint8_t*)(plot->members + m) - file->data,
                            "plot %lld lists ID %lld, which has no record", p, id);
      }
    }
  }
  return 1;
}

/* Before version 104 a plot's lines are those whose records name it, in ascending ID order: every
 * record is read at open (these files are small and old) and must name a plot of the table. */
static int prx__group_old_members(prx_file* file, prx__damage* damage) {
  size_t* filled;
  size_t first = 0;
  int32_t k, p;
  for (k = 0; k < file->index_count; ++k) {
    const int32_t state = prx__settle(file, k);
    const prx__slot* slot = &file->slots[k];
    const int64_t at = file->index_at + (int64_t)PRX__INDEX_ENTRY_SIZE * k + 4;
    if (state == PRX__DAMAGED) {
      return prx__damaged(damage, prx__load_le32(file->data + at), "record of ID %lld is damaged",
                          k, 0);
    }
    if (state != PRX__LINE) continue;
    if (slot->plot_index < 0 || slot->plot_index >= file->plot_count) {
      return prx__damaged(damage, prx__load_le32(file->data + at),
                          "record of ID %lld names plot %lld, which the table lacks", k,
                          slot->plot_index);
    }
    ++file->plots[slot->plot_index].member_count;
  }
  file->members = (int32_t*)malloc(((size_t)file->line_count + 1) * sizeof *file->members);
  filled = (size_t*)calloc((size_t)file->plot_count + 1, sizeof *filled);
  if (file->members == NULL || filled == NULL) {
    free(filled);
    return -1;
  }
  for (p = 0; p < file->plot_count; ++p) {
    file->plots[p].members = file->members + first;
    first += file->plots[p].member_count;
  }
  for (k = 0; k < file->index_count; ++k) {
    const prx__slot* slot = &file->slots[k];
    if (prx__load_acquire(&slot->state) != PRX__LINE) continue;
    file->members[(size_t)(file->plots[slot->plot_index].members - file->members) +
                  filled[slot->plot_index]++] = k;
  }
  free(filled);
  return 1;
}

static uint32_t prx__hash(const char* bytes, size_t size) {
  uint32_t hash = 2166136261u; /* FNV-1a */
  size_t i;
  for (i = 0; i < size; ++i) hash = (hash ^ (uint8_t)bytes[i]) * 16777619u;
  return hash;
}

/* An open-addressing table of plot indexes by name, at most half full; the first plot of a name
 * wins, as a scan in file order would find it. */
static int prx__hash_plots(prx_file* file) {
  uint32_t size = 8;
  int32_t p;
  while (size < 2 * (uint32_t)file->plot_count) size *= 2;
  file->plot_hash = (int32_t*)malloc(size * sizeof *file->plot_hash);
  if (file->plot_hash == NULL) return -1;
  memset(file->plot_hash, 0xFF, size * sizeof *file->plot_hash);
  file->plot_hash_mask = size - 1;
  for (p = 0; p < file->plot_count; ++p) {
    const prx__plot_info* plot = &file->plots[p];
    uint32_t i = prx__hash(plot->name, plot->name_size) & file->plot_hash_mask;
    for (;; i = (i + 1) & file->plot_hash_mask) {
      const int32_t there = file->plot_hash[i];
      if (there < 0) {
        file->plot_hash[i] = p;
        break;
      }
      if (file->plots[there].name_size == plot->name_size &&
          memcmp(file->plots[there].name, plot->name, plot->name_size) == 0) {
        break;
      }
    }
  }
  return 1;
}

static void prx__free(prx_file* file) {
  prx__free_lazy_zeroed(file->slots, file->slots_bytes);
  prx__free_lazy_zeroed(file->texts, file->texts_bytes);
  free(file->plots);
  free(file->members);
  free(file->plot_hash);
  prx__release_bytes(&file->bytes);
  free(file);
}

/* Takes over `bytes` (released on failure too). */
static prx_status prx__open_bytes(prx__bytes bytes, const char* name, prx_file** out,
                                  prx_error* error) {
  prx__damage damage;
  int result;
  prx_file* file = (prx_file*)calloc(1, sizeof *file);
  if (file == NULL) {
    prx__release_bytes(&bytes);
    return prx__fail(error, PRX_ERROR_NO_MEMORY, name, "not enough memory");
  }
  file->bytes = bytes;
  file->data = bytes.data;
  file->size = (int64_t)bytes.size;
  if (bytes.size > (size_t)INT32_MAX) {
    prx__free(file);
    return prx__fail(error, PRX_ERROR_DAMAGED, name, "larger than 2 GiB, no dialogue file");
  }
  damage.at = 0;
  damage.what[0] = '\0';
  result = prx__check_header(file, &damage);
  if (result > 0) result = prx__read_plots(file, &damage);
  if (result > 0) result = prx__check_index(file, &damage);
  if (result > 0 && file->version >= PRX__VERSION_MEMBERS)
    result = prx__check_members(file, &damage);
  if (result > 0) {
    file->slots_bytes = ((size_t)file->index_count + 1) * sizeof(prx__slot);
    file->texts_bytes = (size_t)(file->records_end - file->records_at) + 1;
    file->slots = (prx__slot*)prx__alloc_lazy_zeroed(file->slots_bytes);
    file->texts = (uint8_t*)prx__alloc_lazy_zeroed(file->texts_bytes);
    if (file->slots == NULL || file->texts == NULL) result = -1;
  }
  if (result > 0 && file->version < PRX__VERSION_MEMBERS) {
    result = prx__group_old_members(file, &damage);
  }
  if (result > 0) result = prx__hash_plots(file);
  if (result <= 0) {
    char why[200];
    prx__free(file);
    if (result < 0) return prx__fail(error, PRX_ERROR_NO_MEMORY, name, "not enough memory");
    snprintf(why, sizeof why, "damaged at byte %lld: %s", (long long)damage.at, damage.what);
    return prx__fail(error, PRX_ERROR_DAMAGED, name, why);
  }
  *out = file;
  if (error != NULL) {
    error->code = PRX_OK;
    error->message[0] = '\0';
  }
  return PRX_OK;
}

/* ---------------------------------------------------------------------------------------------- */
/* The interface */

uint32_t prx_version(void) {
  return PRX_VERSION;
}

const char* prx_version_string(void) {
  return PRX__STRINGIFY(PRX_VERSION_MAJOR) "." PRX__STRINGIFY(PRX_VERSION_MINOR) "." PRX__STRINGIFY(
      PRX_VERSION_PATCH);
}

const char* prx_status_message(prx_status status) {
  switch (status) {
    case PRX_OK:
      return "success";
    case PRX_ERROR_ARGUMENT:
      return "invalid argument";
    case PRX_ERROR_OPEN:
      return "cannot open the file";
    case PRX_ERROR_READ:
      return "cannot read the file";
    case PRX_ERROR_NO_MEMORY:
      return "not enough memory";
    case PRX_ERROR_DAMAGED:
      return "damaged or no dialogue file";
    case PRX_ERROR_NOT_FOUND:
      return "no such line or plot";
    case PRX_ERROR_BUFFER:
      return "buffer too small";
  }
  return "unknown status";
}

prx_status prx_open(const char* path, prx_file** file, prx_error* error) {
  prx__bytes bytes;
  char why[200];
  int code;
  if (file != NULL) *file = NULL;
  if (path == NULL || file == NULL) {
    return prx__fail(error, PRX_ERROR_ARGUMENT, "prx_open", "path and file must not be NULL");
  }
  code = prx__map_file(path, &bytes, why, sizeof why);
  if (code != 0) return prx__fail(error, (prx_status)code, path, why);
  return prx__open_bytes(bytes, path, file, error);
}

prx_status prx_open_memory_ex(const void* data, size_t size, unsigned flags, prx_file** file,
                              prx_error* error) {
  prx__bytes bytes;
  if (file != NULL) *file = NULL;
  if ((data == NULL && size > 0) || file == NULL) {
    return prx__fail(error, PRX_ERROR_ARGUMENT, "prx_open_memory",
                     "data and file must not be NULL");
  }
  if (size > (size_t)INT32_MAX) {
    return prx__fail(error, PRX_ERROR_DAMAGED, "memory", "larger than 2 GiB, no dialogue file");
  }
  bytes.size = size;
  if ((flags & PRX_OPEN_NO_COPY) || size == 0) {
    static const uint8_t nothing[1] = {0};
    bytes.data = size > 0 ? (const uint8_t*)data : nothing;
    bytes.kind = PRX__BYTES_BORROWED;
  } else {
    uint8_t* copy = (uint8_t*)malloc(size);
    if (copy == NULL) return prx__fail(error, PRX_ERROR_NO_MEMORY, "memory", "not enough memory");
    memcpy(copy, data, size);
    bytes.data = copy;
    bytes.kind = PRX__BYTES_HEAP;
  }
  return prx__open_bytes(bytes, "memory", file, error);
}

prx_status prx_open_memory(const void* data, size_t size, prx_file** file, prx_error* error) {
  return prx_open_memory_ex(data, size, 0, file, error);
}

void prx_close(prx_file* file) {
  if (file != NULL) prx__free(file);
}

int32_t prx_line_count(const prx_file* file) {
  return file != NULL ? file->line_count : 0;
}

int32_t prx_highest_id(const prx_file* file) {
  return file != NULL ? file->index_count - 1 : -1;
}

prx_text prx_game_name(const prx_file* file) {
  prx_text text;
  text.data = file != NULL ? (const char*)file->data + PRX__GAME_NAME_AT : prx__empty;
  text.size = file != NULL ? file->game_name_size : 0;
  return text;
}

prx_status prx_get_line(const prx_file* file, int32_t id, prx_line* line) {
  const prx__slot* slot;
  int32_t state;
  if (file == NULL || line == NULL) return PRX_ERROR_ARGUMENT;
  if (id < 0 || id >= file->index_count) {
    prx__clear_line(line);
    return PRX_ERROR_NOT_FOUND;
  }
  state = prx__settle(file, id);
  if (state != PRX__LINE) {
    prx__clear_line(line);
    return state == PRX__HOLE ? PRX_ERROR_NOT_FOUND : PRX_ERROR_DAMAGED;
  }
  slot = &file->slots[id];
  line->id = id;
  line->plot_index = slot->plot_index;
  line->speaker = prx__text(file, slot->text_at[0], slot->text_size[0]);
  line->expression = prx__text(file, slot->text_at[1], slot->text_size[1]);
  line->sound = prx__text(file, slot->text_at[2], slot->text_size[2]);
  line->text = prx__text(file, slot->text_at[3], slot->text_size[3]);
  return PRX_OK;
}

prx_status prx_copy_field(const prx_file* file, int32_t id, prx_field field, char* buffer,
                          size_t capacity, size_t* needed) {
  prx_line line;
  prx_status status;
  prx_text text;
  if (needed != NULL) *needed = 0;
  if (file == NULL || (int)field < (int)PRX_FIELD_SPEAKER || (int)field > (int)PRX_FIELD_TEXT ||
      (buffer == NULL && capacity > 0)) {
    return PRX_ERROR_ARGUMENT;
  }
  status = prx_get_line(file, id, &line);
  if (status != PRX_OK) return status;
  text = field == PRX_FIELD_SPEAKER      ? line.speaker
         : field == PRX_FIELD_EXPRESSION ? line.expression
         : field == PRX_FIELD_SOUND      ? line.sound
                                         : line.text;
  if (needed != NULL) *needed = text.size + 1;
  if (capacity < text.size + 1) return PRX_ERROR_BUFFER;
  memcpy(buffer, text.data, text.size + 1);
  return PRX_OK;
}

int32_t prx_plot_count(const prx_file* file) {
  return file != NULL ? file->plot_count : 0;
}

prx_status prx_get_plot(const prx_file* file, int32_t index, prx_plot* plot) {
  const prx__plot_info* info;
  if (file == NULL || plot == NULL) return PRX_ERROR_ARGUMENT;
  if (index < 0 || index >= file->plot_count) return PRX_ERROR_NOT_FOUND;
  info = &file->plots[index];
  plot->name.data = info->name;
  plot->name.size = info->name_size;
  plot->range_low = info->range_low;
  plot->range_high = info->range_high;
  plot->members = info->member_count > 0 ? info->members : NULL;
  plot->member_count = info->member_count;
  return PRX_OK;
}

prx_status prx_find_plot(const prx_file* file, const char* name, int32_t* index) {
  size_t size;
  uint32_t i;
  if (index != NULL) *index = -1;
  if (file == NULL || name == NULL || index == NULL) return PRX_ERROR_ARGUMENT;
  size = strlen(name);
  if (size >= PRX__PLOT_NAME_SIZE) return PRX_ERROR_NOT_FOUND;
  for (i = prx__hash(name, size) & file->plot_hash_mask;; i = (i + 1) & file->plot_hash_mask) {
    const int32_t p = file->plot_hash[i];
    if (p < 0) return PRX_ERROR_NOT_FOUND;
    if (file->plots[p].name_size == size && memcmp(file->plots[p].name, name, size) == 0) {
      *index = p;
      return PRX_OK;
    }
  }
}

prx_encoding prx_text_encoding(const prx_file* file) {
  prx_file* mutable_file = (prx_file*)file;
  int32_t known, k, p;
  int utf8;
  if (file == NULL) return PRX_ENCODING_UNKNOWN_LEGACY;
  known = prx__load_acquire(&file->encoding);
  if (known != 0) return (prx_encoding)(known - 1);
  utf8 = prx__utf8_valid(file->data + PRX__GAME_NAME_AT, file->game_name_size);
  for (p = 0; utf8 && p < file->plot_count; ++p) {
    utf8 = prx__utf8_valid((const uint8_t*)file->plots[p].name, file->plots[p].name_size);
  }
  for (k = 0; utf8 && k < file->index_count; ++k) {
    const prx__slot* slot = &file->slots[k];
    int t;
    if (prx__settle(file, k) != PRX__LINE) continue; /* a damaged record is never returned */
    for (t = 0; utf8 && t < 4; ++t) {
      utf8 = prx__utf8_valid(file->texts + slot->text_at[t], slot->text_size[t]);
    }
  }
  known = utf8 ? PRX_ENCODING_UTF8 : PRX_ENCODING_UNKNOWN_LEGACY;
  /* Threads that ask at once compute the same answer; the last store wins. */
  prx__store_release(&mutable_file->encoding, known + 1);
  return (prx_encoding)known;
}
