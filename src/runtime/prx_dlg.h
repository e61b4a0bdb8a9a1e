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
#include <string.h>

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

/* One line record as the walk finds it. `taken` has bit (tag - 100) set for each field the walk
 * took; a field not taken keeps id / plot_index -1, text_at -1 and text_n 0. `text_at` is the
 * offset of a string's block from the start of the record (its length word is at text_at - 4),
 * `text_n` the block's size (the text and, as written, its zero byte). When a tag repeats, its
 * last value is the one kept. */
typedef struct prx__record {
  int32_t id;
  int32_t plot_index;
  int32_t plot_index_at; /* offset of the plot index value from the start of the record, or -1 */
  int32_t length;        /* body length L (the record takes 4 + L bytes); -1 when unusable */
  int32_t taken;
  int32_t text_at[4];
  int32_t text_n[4];
} prx__record;

/* What the strict walk finds wrong with a record. Each is reported with the offset from the
 * start of the record where it lies and up to two values, named after each code. */
enum prx__flaw {
  PRX__FLAW_NO_LENGTH,      /* fewer than 4 bytes: no body length word */
  PRX__FLAW_LENGTH,         /* a: L, b: the bytes after the length word */
  PRX__FLAW_NO_FIELD_COUNT, /* a: L */
  PRX__FLAW_FIELD_COUNT,    /* a: the count, b: 6 (the walk stops when a is outside 0 to 7) */
  PRX__FLAW_CUT_IN_FIELD,   /* a: L, b: the field's number; the walk stops */
  PRX__FLAW_UNKNOWN_TAG,    /* a: the tag */
  PRX__FLAW_REPEATED_TAG,   /* a: the tag */
  PRX__FLAW_CUT_IN_VALUE,   /* a: L, b: the tag; the walk stops */
  PRX__FLAW_ID,             /* a: the expected ID, b: the record's */
  PRX__FLAW_STRING_LENGTH,  /* a: the length, b: the bytes left; the walk stops */
  PRX__FLAW_NO_ZERO_BYTE,   /* a: the tag */
  PRX__FLAW_LACKS_TAG,      /* a: the tag */
  PRX__FLAW_NO_TRAILING,    /* a: L */
  PRX__FLAW_TRAILING,       /* a: the trailing length, b: L */
  PRX__FLAW_STRAY           /* a: the bytes after the trailing length */
};
typedef void (*prx__flaw_fn)(void* context, int flaw, int32_t at, int64_t a, int64_t b);

/* Walks the record at `record`, of which `available` bytes exist: the plain body length L, then
 * the scrambled body (field count, per field a tag and, for tags 100/101, an int, for 102-105 an
 * encoded string; an unknown tag carries no value).
 *
 * Lenient (strict == 0), as the editor's loader, ReadItem, CDlgItem::Read and the merge read: a
 * field that does not lie wholly inside the body is not taken (a string whose length does not fit
 * leaves its field as it was and its length word is read again as the next tag); fails only when
 * L is negative or beyond `available`, or the field count is outside 0 to 7. `report` is not
 * called.
 *
 * Strict (strict != 0), as the structural check and the runtime accept a record the writer wrote:
 * exactly the six tags 100 to 105 once each, ID equal to `expected_id`, every string within the
 * body and ending in its zero byte, then the trailing copy of L and nothing after it. Without a
 * `report` the walk fails at the first flaw; with one, each flaw is reported (with `context`) and
 * the walk goes on as far as the body can still be read, so that a check lists them all.
 *
 * Returns 1 when the record was read (strict: without a flaw), else 0; *out holds what was taken
 * up to there. Reads nothing outside [record, record + available). */
static inline int prx__walk_record(const uint8_t* record, size_t available, int strict,
                                   int32_t expected_id, prx__record* out, prx__flaw_fn report,
                                   void* context) {
  const uint8_t* body;
  int32_t length, cursor, field_count, field, seen;
  int t, clean = 1;
/* A flaw of the strict walk: reported, or without a report the end of the walk. */
#define PRX__FLAW(code, at, a, b)                              \
  do {                                                         \
    if (report == NULL) return 0;                              \
    report(context, (code), (at), (int64_t)(a), (int64_t)(b)); \
    clean = 0;                                                 \
  } while (0)
  out->id = -1;
  out->plot_index = -1;
  out->plot_index_at = -1;
  out->length = -1;
  out->taken = 0;
  for (t = 0; t < 4; ++t) {
    out->text_at[t] = -1;
    out->text_n[t] = 0;
  }
  if (available < 4) {
    if (strict && report != NULL) report(context, PRX__FLAW_NO_LENGTH, 0, 0, 0);
    return 0;
  }
  length = prx__load_le32(record);
  if (length < 0 || (size_t)length > available - 4) {
    if (strict && report != NULL) {
      report(context, PRX__FLAW_LENGTH, 0, length, (int64_t)(available - 4));
    }
    return 0;
  }
  body = record + 4;
  out->length = length;
  cursor = 0;
  field_count = 0;
  if (length - cursor >= 4) {
    field_count = prx__load_scrambled32(body + cursor);
    cursor += 4;
  } else if (strict) {
    PRX__FLAW(PRX__FLAW_NO_FIELD_COUNT, 0, length, 0);
    return 0;
  }
  if (field_count < 0 || field_count > PRX__MAX_FIELD_COUNT) {
    if (strict) PRX__FLAW(PRX__FLAW_FIELD_COUNT, 4, field_count, PRX__FIELD_COUNT);
    return 0;
  }
  if (strict && field_count != PRX__FIELD_COUNT) {
    PRX__FLAW(PRX__FLAW_FIELD_COUNT, 4, field_count, PRX__FIELD_COUNT);
  }
  seen = 0;
  for (field = 0; field < field_count; ++field) {
    const int32_t tag_at = 4 + cursor;
    int32_t tag = 0, value, value_at;
    if (length - cursor >= 4) {
      tag = prx__load_scrambled32(body + cursor);
      cursor += 4;
    } else if (strict) {
      PRX__FLAW(PRX__FLAW_CUT_IN_FIELD, 0, length, field);
      return 0;
    }
    if (tag < PRX__TAG_ID || tag > PRX__TAG_TEXT) {
      if (strict) PRX__FLAW(PRX__FLAW_UNKNOWN_TAG, tag_at, tag, 0);
      continue; /* an unknown tag carries no value: the next 4 bytes are the next tag */
    }
    if (strict) {
      if (seen & (1 << (tag - PRX__TAG_ID))) PRX__FLAW(PRX__FLAW_REPEATED_TAG, tag_at, tag, 0);
      seen |= 1 << (tag - PRX__TAG_ID);
    }
    if (length - cursor < 4) {
      if (strict) {
        PRX__FLAW(PRX__FLAW_CUT_IN_VALUE, 0, length, tag);
        return 0;
      }
      continue;
    }
    value_at = 4 + cursor;
    value = prx__load_scrambled32(body + cursor);
    if (tag == PRX__TAG_ID || tag == PRX__TAG_PLOT) {
      cursor += 4;
      if (tag == PRX__TAG_ID) {
        if (strict && value != expected_id) PRX__FLAW(PRX__FLAW_ID, value_at, expected_id, value);
        out->id = value;
      } else {
        out->plot_index = value;
        out->plot_index_at = value_at;
      }
    } else {
      if (value < 0 || value > length - cursor - 4) {
        if (strict) {
          PRX__FLAW(PRX__FLAW_STRING_LENGTH, value_at, value, length - cursor - 4);
          return 0;
        }
        continue; /* not taken: the length word is read again as the next tag */
      }
      cursor += 4;
      /* The writer stores each text with its zero byte; without it a reader takes a stray byte.
       * The last byte of a block of n bytes unscrambles with the key (1 - K). */
      if (strict && value > 0 &&
          (body[cursor + value - 1] ^ (uint8_t)(1 - PRX__SCRAMBLE_KEY)) != 0) {
        PRX__FLAW(PRX__FLAW_NO_ZERO_BYTE, 4 + cursor + value - 1, tag, 0);
      }
      out->text_at[tag - PRX__TAG_SPEAKER] = 4 + cursor;
      out->text_n[tag - PRX__TAG_SPEAKER] = value;
      cursor += value;
    }
    out->taken |= 1 << (tag - PRX__TAG_ID);
  }
  if (strict) {
    for (t = 0; t < PRX__FIELD_COUNT; ++t) {
      if (!(seen & (1 << t))) PRX__FLAW(PRX__FLAW_LACKS_TAG, 4, PRX__TAG_ID + t, 0);
    }
    if (length - cursor < 4) {
      PRX__FLAW(PRX__FLAW_NO_TRAILING, 0, length, 0);
    } else if (prx__load_scrambled32(body + cursor) != length) {
      PRX__FLAW(PRX__FLAW_TRAILING, 4 + cursor, prx__load_scrambled32(body + cursor), length);
    } else if (length - cursor != 4) {
      PRX__FLAW(PRX__FLAW_STRAY, 4 + cursor + 4, length - cursor - 4, 0);
    }
  }
#undef PRX__FLAW
  return clean;
}

/* What the plot table walk finds of one entry. */
typedef struct prx__plot_entry {
  int32_t range_low;      /* -1 before version 101 */
  int32_t range_high;     /* -1 before version 101 */
  int32_t member_count;   /* as stored; 0 before version 104 */
  int32_t members_listed; /* member IDs that lie wholly before the end: the count, within 0 and
                             what fits */
  int32_t members_at;     /* offset of the first member ID from the entry (version 104), else -1 */
  int32_t name_ends;      /* nonzero when the 64-byte name holds its zero byte */
  int64_t size; /* bytes the entry takes: fixed part and 4 per member (none if negative) */
} prx__plot_entry;

#define PRX__PLOT_TAKEN 1
#define PRX__PLOT_CUT 0        /* the fixed part does not end by `available` */
#define PRX__PLOT_BAD_COUNT -1 /* strict: the member count is negative or does not fit */

/* Takes the plot table entry at `entry`, of which `available` bytes lie before the end of the
 * plot table's room (the whole file for the loader, the records size word for the structural
 * check and the runtime). Reads only the fixed part (name, range, member count), never the
 * member IDs. Lenient (strict == 0), as the loader and the merge read: a negative member count
 * lists no member, and only the member IDs before the end are listed. Returns PRX__PLOT_TAKEN,
 * PRX__PLOT_CUT (*out unspecified) or, strict only, PRX__PLOT_BAD_COUNT (*out filled but size). */
static inline int prx__walk_plot(const uint8_t* entry, int64_t available, int32_t version,
                                 int strict, prx__plot_entry* out) {
  const int64_t fixed = prx__plot_entry_size(version);
  int64_t fits;
  int32_t count;
  if (available < fixed) return PRX__PLOT_CUT;
  out->name_ends = memchr(entry, 0, PRX__PLOT_NAME_SIZE) != NULL;
  out->range_low = -1;
  out->range_high = -1;
  out->members_at = -1;
  out->member_count = 0;
  out->members_listed = 0;
  out->size = fixed;
  if (version >= PRX__VERSION_RANGES) {
    out->range_low = prx__load_le32(entry + PRX__PLOT_NAME_SIZE);
    out->range_high = prx__load_le32(entry + PRX__PLOT_NAME_SIZE + 4);
  }
  if (version < PRX__VERSION_MEMBERS) return PRX__PLOT_TAKEN;
  count = prx__load_le32(entry + fixed - 4);
  fits = (available - fixed) / 4;
  out->member_count = count;
  out->members_at = (int32_t)fixed;
  if (strict && (count < 0 || count > fits)) return PRX__PLOT_BAD_COUNT;
  out->members_listed = count < 0 ? 0 : count > fits ? (int32_t)fits : count;
  out->size = fixed + 4 * (int64_t)(count < 0 ? 0 : count);
  return PRX__PLOT_TAKEN;
}

#ifdef __cplusplus
}
#endif

#endif /* PARLATRIX_PRX_DLG_H */
