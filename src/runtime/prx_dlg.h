/* The .dlg record layout and plot table, decoded in one place: byte order, scrambling, the walk
 * over one line record (lenient, as the editor's loader reads it, or strict, as the structural
 * check and the runtime accept it) and the walk over the plot table. docs/dlg-format.md describes
 * the format.
 *
 * C99, no allocation, no dependency on the runtime's public interface, so that C++ readers can
 * include it as well (every name is prefixed prx__; the small hot helpers are static inline). */
#ifndef PARLATRIX_PRX_DLG_H
#define PARLATRIX_PRX_DLG_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Versions the readers understand, and the ones from which plot table fields exist: ranges from
 * 101, an index count of its own from 102, member lists from 104. */
#define PRX__VERSION_OLDEST 100
#define PRX__VERSION_NEWEST 104
#define PRX__VERSION_RANGES 101
#define PRX__VERSION_INDEX_COUNT 102
#define PRX__VERSION_MEMBERS 104

/* Byte offsets of the header block (132 bytes) and what follows it. */
#define PRX__VERSION_AT 40
#define PRX__LINE_COUNT_AT 44
#define PRX__GAME_NAME_AT 48
#define PRX__GAME_NAME_SIZE 32
#define PRX__INDEX_OFFSET_AT 80
#define PRX__INDEX_COUNT_AT 88
#define PRX__PLOT_COUNT_AT 144
#define PRX__PLOT_TABLE_AT 148
#define PRX__PLOT_NAME_SIZE 64
#define PRX__INDEX_ENTRY_SIZE 8

/* Record body tags; a body holds six fields, readers take at most seven. */
#define PRX__FIELD_COUNT 6
#define PRX__MAX_FIELD_COUNT 7
#define PRX__TAG_ID 100
#define PRX__TAG_PLOT 101
#define PRX__TAG_SPEAKER 102
#define PRX__TAG_TEXT 105

/* Byte i of a scrambled block of len bytes is XORed with (len - i - K) mod 256. */
#define PRX__SCRAMBLE_KEY 0x9D
/* The key of a 4-byte block is always the same four bytes, so a scrambled integer is one XOR. */
#define PRX__INT_KEY                                                                              \
  ((uint32_t)(uint8_t)(4 - PRX__SCRAMBLE_KEY) | (uint32_t)(uint8_t)(3 - PRX__SCRAMBLE_KEY) << 8 | \
   (uint32_t)(uint8_t)(2 - PRX__SCRAMBLE_KEY) << 16 |                                             \
   (uint32_t)(uint8_t)(1 - PRX__SCRAMBLE_KEY) << 24)

/* Integers are read byte by byte: the layout never depends on the host's byte order or on the
 * alignment of the buffer. Compilers turn this into one load on little-endian machines. */
static inline int32_t prx__load_le32(const uint8_t* at) {
  const uint32_t bits =
      (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
  return (int32_t)bits;
}
static inline int32_t prx__load_scrambled32(const uint8_t* at) {
  return (int32_t)((uint32_t)prx__load_le32(at) ^ PRX__INT_KEY);
}

/* Size of a plot table entry without its member IDs: the name only before version 101, name and
 * range up to 103, name, range and member count from 104 (then 4 bytes per member follow). */
static inline int32_t prx__plot_entry_size(int32_t version) {
  if (version < PRX__VERSION_RANGES) return PRX__PLOT_NAME_SIZE;
  if (version < PRX__VERSION_MEMBERS) return PRX__PLOT_NAME_SIZE + 8;
  return PRX__PLOT_NAME_SIZE + 12;
}

/* Scrambles (or unscrambles: it is its own inverse) `length` bytes of `in` into `out`, which may
 * be `in`. */
void prx__scramble_copy(uint8_t* out, const uint8_t* in, size_t length);
/* prx__scramble_copy of a string's block that returns the length of its text: the bytes before
 * the first zero byte, or `length` when there is none. One pass. */
size_t prx__unscramble_text(uint8_t* out, const uint8_t* in, size_t length);
/* True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most
 * U+10FFFF). */
int prx__utf8_valid(const uint8_t* bytes, size_t length);

/* One line record as the walk finds it. A text field the record lacks has at = -1 and n = 0;
 * `at` is the offset of the string's block from the start of the record (its length word is at
 * at - 4), `n` the block's size (the text and, as written, its zero byte). */
typedef struct prx__record {
  int32_t id;
  int32_t plot_index;
  int32_t length; /* body length L; the record takes 4 + L bytes */
  int32_t text_at[4];
  int32_t text_n[4];
} prx__record;

/* Walks the record at `record`, of which `available` bytes exist: the plain body length L, then
 * the scrambled body (field count, per field a tag and, for tags 100/101, an int, for 102-105 an
 * encoded string; an unknown tag carries no value).
 *
 * Lenient (strict == 0), as the editor's loader and ReadItem read: a field that does not lie
 * wholly inside the body is not taken (a string whose length does not fit leaves its field as it
 * was and its length word is read again as the next tag); fails only when L is negative or beyond
 * `available`, or the field count is outside 0 to 7.
 *
 * Strict (strict != 0), as the structural check accepts a record the writer wrote: exactly the six
 * tags 100 to 105 once each, ID equal to `expected_id`, every string within the body and ending in
 * its zero byte, then the trailing copy of L and nothing after it.
 *
 * Returns 1 and fills *out, or 0 (out then unspecified). Reads nothing outside
 * [record, record + available). */
static inline int prx__walk_record(const uint8_t* record, size_t available, int strict,
                                   int32_t expected_id, prx__record* out) {
  const uint8_t* body;
  int32_t length, cursor, field_count, field, seen;
  int t;
  if (available < 4) return 0;
  length = prx__load_le32(record);
  if (length < 0 || (size_t)length > available - 4) return 0;
  body = record + 4;
  out->id = -1;
  out->plot_index = -1;
  out->length = length;
  for (t = 0; t < 4; ++t) {
    out->text_at[t] = -1;
    out->text_n[t] = 0;
  }
  cursor = 0;
  field_count = 0;
  if (length - cursor >= 4) {
    field_count = prx__load_scrambled32(body + cursor);
    cursor += 4;
  } else if (strict) {
    return 0;
  }
  if (field_count < 0 || field_count > PRX__MAX_FIELD_COUNT) return 0;
  if (strict && field_count != PRX__FIELD_COUNT) return 0;
  seen = 0;
  for (field = 0; field < field_count; ++field) {
    int32_t tag = 0;
    if (length - cursor >= 4) {
      tag = prx__load_scrambled32(body + cursor);
      cursor += 4;
    } else if (strict) {
      return 0;
    }
    if (tag < PRX__TAG_ID || tag > PRX__TAG_TEXT) {
      if (strict) return 0;
      continue; /* an unknown tag carries no value: the next 4 bytes are the next tag */
    }
    if (strict) {
      if (seen & (1 << (tag - PRX__TAG_ID))) return 0;
      seen |= 1 << (tag - PRX__TAG_ID);
    }
    if (length - cursor < 4) {
      if (strict) return 0;
      continue;
    }
    if (tag == PRX__TAG_ID || tag == PRX__TAG_PLOT) {
      const int32_t value = prx__load_scrambled32(body + cursor);
      cursor += 4;
      if (tag == PRX__TAG_ID) {
        if (strict && value != expected_id) return 0;
        out->id = value;
      } else {
        out->plot_index = value;
      }
    } else {
      const int32_t n = prx__load_scrambled32(body + cursor);
      if (n < 0 || n > length - cursor - 4) {
        if (strict) return 0;
        continue; /* not taken: the length word is read again as the next tag */
      }
      cursor += 4;
      /* The writer stores each text with its zero byte; without it a reader takes a stray byte.
       * The last byte of a block of n bytes unscrambles with the key (1 - K). */
      if (strict && n > 0 && (body[cursor + n - 1] ^ (uint8_t)(1 - PRX__SCRAMBLE_KEY)) != 0) {
        return 0;
      }
      out->text_at[tag - PRX__TAG_SPEAKER] = 4 + cursor;
      out->text_n[tag - PRX__TAG_SPEAKER] = n;
      cursor += n;
    }
  }
  if (strict) {
    if (seen != 0x3F || length - cursor != 4) return 0;
    if (prx__load_scrambled32(body + cursor) != length) return 0;
  }
  return 1;
}

/* One plot table entry as the walk finds it. */
typedef struct prx__plot_entry {
  int32_t name_at;      /* offset of the 64-byte name field */
  int32_t range_low;    /* -1 before version 101 */
  int32_t range_high;   /* -1 before version 101 */
  int32_t members_at;   /* offset of the first member ID (version 104), else -1 */
  int32_t member_count; /* 0 before version 104 */
} prx__plot_entry;

/* Takes the plot entry at *offset of a file whose plot table must end by `end` (the records size
 * word), and advances *offset past it. Returns 1, or 0 when the entry is cut off by `end` or its
 * member count is negative or does not fit (then *offset is unchanged). Whether the name holds
 * its zero byte is for the caller to check. */
static inline int prx__walk_plot(const uint8_t* file, int64_t end, int32_t version, int64_t* offset,
                                 prx__plot_entry* out) {
  const int64_t at = *offset;
  const int64_t fixed = prx__plot_entry_size(version);
  if (at < 0 || fixed > end - at) return 0;
  out->name_at = (int32_t)at;
  out->range_low = -1;
  out->range_high = -1;
  out->members_at = -1;
  out->member_count = 0;
  if (version >= PRX__VERSION_RANGES) {
    out->range_low = prx__load_le32(file + at + PRX__PLOT_NAME_SIZE);
    out->range_high = prx__load_le32(file + at + PRX__PLOT_NAME_SIZE + 4);
  }
  if (version >= PRX__VERSION_MEMBERS) {
    const int32_t count = prx__load_le32(file + at + fixed - 4);
    if (count < 0 || count > (end - at - fixed) / 4) return 0;
    out->members_at = (int32_t)(at + fixed);
    out->member_count = count;
    *offset = at + fixed + 4 * (int64_t)count;
  } else {
    *offset = at + fixed;
  }
  return 1;
}

#ifdef __cplusplus
}
#endif

#endif /* PARLATRIX_PRX_DLG_H */
