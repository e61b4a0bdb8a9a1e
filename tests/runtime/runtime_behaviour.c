/* The runtime's behaviour in plain C99, so that the same file runs wherever the runtime is built:
 * Linux (gcc and clang, -std=c99 -pedantic-errors), Windows (MinGW-w64, under Wine), the web
 * (Emscripten, under node), and against the amalgamated parlatrix_runtime.c.
 *
 *   parlatrix_runtime_behaviour [DEMO.dlg]
 *
 * Files are built here byte by byte from the format's description (its own scrambling, not the
 * runtime's), written to the current folder where a file is needed, and read back through every
 * way of opening. Exits 0 when every check holds. */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "parlatrix/runtime.h"

#if defined(_WIN32)
#include <wchar.h>
#endif

static int checks = 0;
static int failures = 0;

#define CHECK(condition)                                                            \
  do {                                                                              \
    ++checks;                                                                       \
    if (!(condition)) {                                                             \
      ++failures;                                                                   \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
    }                                                                               \
  } while (0)

/* ---- A writer of .dlg bytes ------------------------------------------------------------------ */

typedef struct spec_line {
  int32_t id;
  int32_t plot;
  const char* speaker;
  const char* expression;
  const char* sound;
  const char* text;
} spec_line;

typedef struct spec_plot {
  const char* name;
  int32_t low, high;
  int count;
  int32_t members[8];
} spec_plot;

typedef struct buffer {
  unsigned char bytes[16384];
  size_t size;
} buffer;

static void put32(buffer* out, int32_t value) {
  const uint32_t bits = (uint32_t)value;
  out->bytes[out->size++] = (unsigned char)bits;
  out->bytes[out->size++] = (unsigned char)(bits >> 8);
  out->bytes[out->size++] = (unsigned char)(bits >> 16);
  out->bytes[out->size++] = (unsigned char)(bits >> 24);
}
static void set32(buffer* out, size_t at, int32_t value) {
  const size_t end = out->size;
  out->size = at;
  put32(out, value);
  out->size = end;
}
/* A zero-padded fixed-size field. */
static void put_field(buffer* out, const char* text, size_t size) {
  const size_t length = text != NULL ? strlen(text) : 0;
  memset(out->bytes + out->size, 0, size);
  memcpy(out->bytes + out->size, text != NULL ? text : "", length < size ? length : size);
  out->size += size;
}
/* Byte i of a block of n bytes is XORed with (n - i - 0x9D) mod 256. */
static void scramble(unsigned char* block, size_t n) {
  size_t i;
  for (i = 0; i < n; ++i) block[i] ^= (unsigned char)(n - i - 0x9D);
}
static void put_scrambled32(buffer* out, int32_t value) {
  put32(out, value);
  scramble(out->bytes + out->size - 4, 4);
}
static void put_string(buffer* out, const char* text) {
  const size_t n = strlen(text) + 1;
  put_scrambled32(out, (int32_t)n);
  memcpy(out->bytes + out->size, text, n);
  scramble(out->bytes + out->size, n);
  out->size += n;
}

/* A file of `version` (100 to 104); lines in ascending ID order, IDs between them are holes. */
static void build(buffer* out, int32_t version, const char* game, const spec_plot* plots,
                  int plot_count, const spec_line* lines, int line_count) {
  const int32_t highest = line_count > 0 ? lines[line_count - 1].id : -1;
  size_t index_at, records_at, entry;
  int p, k;
  int32_t id;
  out->size = 0;
  put_field(out, "DLGTEXT", 8);
  put_field(out, "QUILLHAVEN@", 32);
  put32(out, version);
  put32(out, version < 102 ? highest + 1 : line_count);
  put_field(out, game, 32);
  put32(out, 0); /* index offset, below */
  put32(out, 0);
  put32(out, highest + 1);
  put_field(out, NULL, 40 + 12);
  put32(out, plot_count);
  for (p = 0; p < plot_count; ++p) {
    put_field(out, plots[p].name, 64);
    if (version >= 101) {
      put32(out, plots[p].low);
      put32(out, plots[p].high);
    }
    if (version >= 104) {
      int m;
      put32(out, plots[p].count);
      for (m = 0; m < plots[p].count; ++m) put32(out, plots[p].members[m]);
    }
  }
  index_at = out->size;
  set32(out, 80, (int32_t)index_at);
  out->size += 8 * (size_t)(highest + 1);
  records_at = out->size;
  entry = index_at;
  k = 0;
  for (id = 0; id <= highest; ++id) {
    const int has = k < line_count && lines[k].id == id;
    set32(out, entry, has ? id : -1);
    set32(out, entry + 4, (int32_t)out->size);
    entry += 8;
    if (has) {
      const spec_line* line = &lines[k++];
      const size_t at = out->size;
      int32_t length;
      put32(out, 0);
      put_scrambled32(out, 6);
      put_scrambled32(out, 100);
      put_scrambled32(out, line->id);
      put_scrambled32(out, 101);
      put_scrambled32(out, line->plot);
      put_scrambled32(out, 102);
      put_string(out, line->speaker);
      put_scrambled32(out, 103);
      put_string(out, line->expression);
      put_scrambled32(out, 104);
      put_string(out, line->sound);
      put_scrambled32(out, 105);
      put_string(out, line->text);
      length = (int32_t)(out->size + 4 - at - 4);
      put_scrambled32(out, length);
      set32(out, at, length);
    }
  }
  put32(out, (int32_t)(out->size - records_at));
}

static int same(prx_text text, const char* expected) {
  return text.data != NULL && text.size == strlen(expected) &&
         memcmp(text.data, expected, text.size) == 0 && text.data[text.size] == '\0';
}

static int write_file(const char* path, const buffer* bytes) {
  FILE* file = fopen(path, "wb");
  if (file == NULL) return 0;
  fwrite(bytes->bytes, 1, bytes->size, file);
  return fclose(file) == 0;
}

/* ---- The document of most checks ------------------------------------------------------------ */

static const spec_line kLines[] = {
    {0, 0, "Mira", "smile", "voice/0.ogg", "Hello.\r\nWho goes there?"},
    {1, 1, "", "", "", ""},
    {4, 2, "\xEB\x8C\x80\xEC\x82\xAC", "", "", "\xE5\x8F\xB0\xE8\xAF\x8D"},
    {5, 0, "Tom", "", "", "A longer line of text, long enough to span several steps of sixteen."}};
static const spec_plot kPlots[] = {
    {"intro", 0, 10, 2, {0, 5}}, {"scene b", 10, 20, 1, {1}}, {"intro", 20, 30, 1, {4}}};

static void check_document(const prx_file* file) {
  prx_line line;
  prx_plot plot;
  int32_t index = 7;
  char copy[8];
  size_t needed = 0;
  CHECK(prx_line_count(file) == 4);
  CHECK(prx_highest_id(file) == 5);
  CHECK(same(prx_game_name(file), "Quest"));
  CHECK(prx_get_line(file, 0, &line) == PRX_OK);
  CHECK(line.id == 0 && line.plot_index == 0);
  CHECK(same(line.speaker, "Mira") && same(line.expression, "smile"));
  CHECK(same(line.sound, "voice/0.ogg") && same(line.text, "Hello.\r\nWho goes there?"));
  CHECK(prx_get_line(file, 1, &line) == PRX_OK && same(line.text, "") && same(line.speaker, ""));
  CHECK(prx_get_line(file, 4, &line) == PRX_OK && line.plot_index == 2);
  CHECK(same(line.speaker, kLines[2].speaker) && same(line.text, kLines[2].text));
  CHECK(prx_get_line(file, 5, &line) == PRX_OK && same(line.text, kLines[3].text));
  /* Holes, and IDs outside the index: not found, the line cleared. */
  CHECK(prx_get_line(file, 2, &line) == PRX_ERROR_NOT_FOUND && line.id == -1);
  CHECK(same(line.text, "") && same(line.speaker, ""));
  CHECK(prx_get_line(file, 3, &line) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_get_line(file, 6, &line) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_get_line(file, -1, &line) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_get_line(file, INT_MIN, &line) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_get_line(file, INT_MAX, &line) == PRX_ERROR_NOT_FOUND);
  /* The same answer a second time (the record is decoded once). */
  CHECK(prx_get_line(file, 0, &line) == PRX_OK && same(line.text, kLines[0].text));
  /* Plots: in file order, members as listed, by name through the hash (the first of a name). */
  CHECK(prx_plot_count(file) == 3);
  CHECK(prx_get_plot(file, 0, &plot) == PRX_OK && same(plot.name, "intro"));
  CHECK(plot.range_low == 0 && plot.range_high == 10 && plot.member_count == 2);
  CHECK(plot.members != NULL && plot.members[0] == 0 && plot.members[1] == 5);
  CHECK(prx_get_plot(file, 3, &plot) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_get_plot(file, -1, &plot) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_find_plot(file, "scene b", &index) == PRX_OK && index == 1);
  CHECK(prx_find_plot(file, "intro", &index) == PRX_OK && index == 0);
  CHECK(prx_find_plot(file, "scene", &index) == PRX_ERROR_NOT_FOUND && index == -1);
  CHECK(prx_find_plot(file, "", &index) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_find_plot(file, NULL, &index) == PRX_ERROR_ARGUMENT);
  /* Copies: the size with the zero byte is told also when the buffer is too small. */
  CHECK(prx_copy_field(file, 0, PRX_FIELD_SPEAKER, copy, 3, &needed) == PRX_ERROR_BUFFER);
  CHECK(needed == 5);
  CHECK(prx_copy_field(file, 0, PRX_FIELD_SPEAKER, copy, sizeof copy, &needed) == PRX_OK);
  CHECK(strcmp(copy, "Mira") == 0);
  CHECK(prx_copy_field(file, 2, PRX_FIELD_TEXT, copy, sizeof copy, &needed) == PRX_ERROR_NOT_FOUND);
  CHECK(prx_copy_field(file, 0, (prx_field)9, copy, sizeof copy, &needed) == PRX_ERROR_ARGUMENT);
  CHECK(prx_text_encoding(file) == PRX_ENCODING_UTF8);
  CHECK(prx_text_encoding(file) == PRX_ENCODING_UTF8);
}

static void test_every_way_of_opening(void) {
  static buffer bytes;
  prx_file* file = NULL;
  prx_error error;
  build(&bytes, 104, "Quest", kPlots, 3, kLines, 4);
  CHECK(prx_open_memory(bytes.bytes, bytes.size, &file, &error) == PRX_OK);
  CHECK(error.code == PRX_OK && error.message[0] == '\0');
  if (file != NULL) check_document(file);
  prx_close(file);
  /* Without a copy the caller's bytes are read in place and never written. */
  {
    static buffer before;
    before = bytes;
    CHECK(prx_open_memory_ex(bytes.bytes, bytes.size, PRX_OPEN_NO_COPY, &file, &error) == PRX_OK);
    if (file != NULL) check_document(file);
    prx_close(file);
    CHECK(memcmp(before.bytes, bytes.bytes, bytes.size) == 0);
  }
  CHECK(write_file("behaviour_basic.dlg", &bytes));
  CHECK(prx_open("behaviour_basic.dlg", &file, &error) == PRX_OK);
  if (file != NULL) check_document(file);
  prx_close(file);
  remove("behaviour_basic.dlg");
}

static void test_older_versions(void) {
  static buffer bytes;
  static const spec_plot plots[] = {{"a", 0, 10, 0, {0}}, {"b", 10, 20, 0, {0}}};
  static const spec_line lines[] = {
      {0, 1, "s", "e", "o", "zero"}, {4, 0, "", "", "", "four"}, {5, 1, "", "", "", "five"}};
  int32_t version;
  for (version = 100; version <= 103; ++version) {
    prx_file* file = NULL;
    prx_error error;
    prx_plot plot;
    prx_line line;
    build(&bytes, version, "", plots, 2, lines, 3);
    CHECK(prx_open_memory(bytes.bytes, bytes.size, &file, &error) == PRX_OK);
    if (file == NULL) {
      fprintf(stderr, "version %d: %s\n", (int)version, error.message);
      continue;
    }
    /* Before 104 a plot's members are the lines whose records name it, in ID order. */
    CHECK(prx_get_plot(file, 1, &plot) == PRX_OK && plot.member_count == 2);
    CHECK(plot.members[0] == 0 && plot.members[1] == 5);
    CHECK(plot.range_low == (version < 101 ? -1 : 10));
    CHECK(prx_get_line(file, 4, &line) == PRX_OK && same(line.text, "four"));
    CHECK(prx_get_line(file, 3, &line) == PRX_ERROR_NOT_FOUND);
    prx_close(file);
  }
  /* A record naming a plot the table lacks: an old file does not open. */
  {
    static const spec_line stray[] = {{0, 2, "", "", "", "x"}};
    prx_file* file = NULL;
    build(&bytes, 103, "", plots, 2, stray, 1);
    CHECK(prx_open_memory(bytes.bytes, bytes.size, &file, NULL) == PRX_ERROR_DAMAGED);
  }
}

static void test_encodings(void) {
  static buffer bytes;
  static const spec_plot plots[] = {{"p", -1, -1, 2, {0, 1}}};
  static const spec_line euc[] = {{0, 0, "", "", "", "ok"}, {1, 0, "", "", "", "\xB4\xEB\xBB\xE7"}};
  static const spec_line overlong[] = {{0, 0, "", "", "", "ok"}, {1, 0, "\xC0\xAF", "", "", ""}};
  static const spec_line surrogate[] = {{0, 0, "", "", "", "\xED\xA0\x80"}, {1, 0, "", "", "", ""}};
  static const spec_line utf8[] = {{0, 0, "", "", "", "\xF0\x9F\x98\x80"},
                                   {1, 0, "", "", "", "\xC3\xA9"}};
  const spec_line* cases[] = {euc, overlong, surrogate, utf8};
  int c;
  prx_file* file = NULL;
  for (c = 0; c < 4; ++c) {
    build(&bytes, 104, "", plots, 1, cases[c], 2);
    CHECK(prx_open_memory(bytes.bytes, bytes.size, &file, NULL) == PRX_OK);
    CHECK(prx_text_encoding(file) == (c == 3 ? PRX_ENCODING_UTF8 : PRX_ENCODING_UNKNOWN_LEGACY));
    prx_close(file);
  }
  /* A legacy game name alone makes the file legacy. */
  build(&bytes, 104, "\xB0\xD4\xC0\xD3", plots, 1, utf8, 2);
  CHECK(prx_open_memory(bytes.bytes, bytes.size, &file, NULL) == PRX_OK);
  CHECK(prx_text_encoding(file) == PRX_ENCODING_UNKNOWN_LEGACY);
  prx_close(file);
  CHECK(prx_text_encoding(NULL) == PRX_ENCODING_UNKNOWN_LEGACY);
}

static size_t record_offset(const buffer* bytes, int32_t id) {
  const unsigned char* index = bytes->bytes + (bytes->bytes[80] | bytes->bytes[81] << 8);
  const unsigned char* entry = index + 8 * id + 4;
  return (size_t)entry[0] | (size_t)entry[1] << 8 | (size_t)entry[2] << 16;
}

static void test_damage(void) {
  static buffer good, bad;
  prx_file* file = NULL;
  prx_error error;
  prx_line line;
  size_t length;
  build(&good, 104, "Quest", kPlots, 3, kLines, 4);
  /* A damaged record: the file opens, the record's lookup reports it and returns nothing, the
   * other lines answer, the encoding check passes it by. */
  bad = good;
  bad.bytes[record_offset(&bad, 4) + 8] ^= 0x40; /* the first tag */
  CHECK(prx_open_memory(bad.bytes, bad.size, &file, &error) == PRX_OK);
  CHECK(prx_get_line(file, 4, &line) == PRX_ERROR_DAMAGED && line.id == -1 && same(line.text, ""));
  CHECK(prx_get_line(file, 4, &line) == PRX_ERROR_DAMAGED);
  CHECK(prx_get_line(file, 5, &line) == PRX_OK && same(line.text, kLines[3].text));
  CHECK(prx_text_encoding(file) == PRX_ENCODING_UTF8);
  prx_close(file);
  /* A record whose text lost its zero byte, and one whose length leaves its neighbour. */
  bad = good;
  bad.bytes[record_offset(&bad, 1) - 5] ^= 0x01;
  CHECK(prx_open_memory(bad.bytes, bad.size, &file, &error) == PRX_OK);
  CHECK(prx_get_line(file, 0, &line) == PRX_ERROR_DAMAGED);
  CHECK(prx_get_line(file, 1, &line) == PRX_OK);
  prx_close(file);
  bad = good;
  bad.bytes[record_offset(&bad, 0)] += 4;
  CHECK(prx_open_memory(bad.bytes, bad.size, &file, &error) == PRX_OK);
  CHECK(prx_get_line(file, 0, &line) == PRX_ERROR_DAMAGED);
  prx_close(file);
  /* Damage open sees: an entry with another ID, the records size, every cut of the file. */
  bad = good;
  set32(&bad, (size_t)(bad.bytes[80] | bad.bytes[81] << 8) + 8, 7);
  CHECK(prx_open_memory(bad.bytes, bad.size, &file, &error) == PRX_ERROR_DAMAGED);
  CHECK(file == NULL && error.code == PRX_ERROR_DAMAGED);
  CHECK(strncmp(error.message, "memory: damaged at byte ", 24) == 0);
  bad = good;
  bad.bytes[bad.size - 4] ^= 1;
  CHECK(prx_open_memory(bad.bytes, bad.size, &file, &error) == PRX_ERROR_DAMAGED);
  for (length = 0; length < good.size; ++length) {
    CHECK(prx_open_memory_ex(good.bytes, length, PRX_OPEN_NO_COPY, &file, &error) ==
          PRX_ERROR_DAMAGED);
    prx_close(file);
  }
  /* Any changed byte: a clean answer or a code for every call, never a crash. */
  {
    uint32_t random = 12345;
    int round, opened = 0;
    for (round = 0; round < 4000; ++round) {
      int32_t id;
      bad = good;
      random = random * 1103515245u + 12345u;
      bad.bytes[(random >> 8) % bad.size] ^= (unsigned char)(1 + (random >> 3) % 255);
      if (prx_open_memory_ex(bad.bytes, bad.size, PRX_OPEN_NO_COPY, &file, &error) != PRX_OK) {
        CHECK(error.code == PRX_ERROR_DAMAGED);
        continue;
      }
      ++opened;
      for (id = -1; id <= prx_highest_id(file) + 1; ++id) {
        const prx_status status = prx_get_line(file, id, &line);
        CHECK(status == PRX_OK || status == PRX_ERROR_NOT_FOUND || status == PRX_ERROR_DAMAGED);
        if (status == PRX_OK) CHECK(line.text.data[line.text.size] == '\0');
      }
      prx_text_encoding(file);
      prx_close(file);
    }
    CHECK(opened > 1000); /* changed text bytes cannot be told from text */
  }
}

static void test_arguments_and_files(void) {
  prx_file* file = NULL;
  prx_error error;
  prx_line line;
  prx_plot plot;
  int32_t index;
  CHECK(prx_get_line(NULL, 0, &line) == PRX_ERROR_ARGUMENT);
  CHECK(prx_get_plot(NULL, 0, &plot) == PRX_ERROR_ARGUMENT);
  CHECK(prx_find_plot(NULL, "a", &index) == PRX_ERROR_ARGUMENT);
  CHECK(prx_line_count(NULL) == 0 && prx_highest_id(NULL) == -1 && prx_plot_count(NULL) == 0);
  CHECK(same(prx_game_name(NULL), ""));
  prx_close(NULL);
  CHECK(prx_version() == (uint32_t)PRX_VERSION);
  CHECK(strcmp(prx_version_string(), "1.1.0") == 0);
  CHECK(strcmp(prx_status_message(PRX_ERROR_DAMAGED), "damaged or no dialogue file") == 0);
  CHECK(prx_status_message((prx_status)99) != NULL);
  CHECK(prx_open(NULL, &file, &error) == PRX_ERROR_ARGUMENT);
  CHECK(prx_open("x.dlg", NULL, NULL) == PRX_ERROR_ARGUMENT);
  CHECK(prx_open_memory(NULL, 5, &file, NULL) == PRX_ERROR_ARGUMENT && file == NULL);
  CHECK(prx_open("behaviour_none.dlg", &file, &error) == PRX_ERROR_OPEN && file == NULL);
  CHECK(strncmp(error.message, "behaviour_none.dlg: ", 20) == 0 && strlen(error.message) > 22);
  CHECK(prx_open(".", &file, &error) == PRX_ERROR_OPEN);
  /* A path in UTF-8 with Korean letters (on Windows made wide for CreateFileW). */
  {
    static buffer bytes;
    const char* path = "behaviour_\xEB\x8C\x80\xEC\x82\xAC.dlg";
    int written;
    build(&bytes, 104, "Quest", kPlots, 3, kLines, 4);
#if defined(_WIN32)
    {
      FILE* out = _wfopen(L"behaviour_\uB300\uC0AC.dlg", L"wb");
      written = out != NULL && fwrite(bytes.bytes, 1, bytes.size, out) == bytes.size;
      if (out != NULL) fclose(out);
    }
#else
    written = write_file(path, &bytes);
#endif
    CHECK(written);
    CHECK(prx_open(path, &file, &error) == PRX_OK);
    if (file != NULL) check_document(file);
    prx_close(file);
#if defined(_WIN32)
    _wremove(L"behaviour_\uB300\uC0AC.dlg");
#else
    remove(path);
#endif
  }
}

/* The demo file: every ID answers the same through a lookup and a copy; every plot is found by
 * its name; a reload (open the new file, swap, close the old) keeps answering. */
static void test_demo(const char* path) {
  prx_file* file = NULL;
  prx_file* next = NULL;
  prx_error error;
  int32_t id, p, found = 0;
  CHECK(prx_open(path, &file, &error) == PRX_OK);
  if (file == NULL) {
    fprintf(stderr, "%s\n", error.message);
    return;
  }
  CHECK(prx_highest_id(file) >= 200);
  for (id = -1; id <= prx_highest_id(file) + 1; ++id) {
    prx_line line;
    static char copy[8192];
    size_t needed = 0;
    const prx_status status = prx_get_line(file, id, &line);
    CHECK(status == PRX_OK || status == PRX_ERROR_NOT_FOUND);
    if (status != PRX_OK) continue;
    ++found;
    CHECK(line.id == id);
    CHECK(prx_copy_field(file, id, PRX_FIELD_TEXT, copy, sizeof copy, &needed) == PRX_OK);
    CHECK(needed == line.text.size + 1 && memcmp(copy, line.text.data, needed) == 0);
  }
  CHECK(found == prx_line_count(file));
  for (p = 0; p < prx_plot_count(file); ++p) {
    prx_plot plot;
    int32_t index = -1;
    CHECK(prx_get_plot(file, p, &plot) == PRX_OK);
    CHECK(prx_find_plot(file, plot.name.data, &index) == PRX_OK && index <= p);
  }
  CHECK(prx_open(path, &next, &error) == PRX_OK);
  {
    prx_file* old = file;
    prx_line line;
    file = next; /* a game publishes the new handle, then closes the old one when unused */
    prx_close(old);
    CHECK(prx_get_line(file, 200, &line) == PRX_OK);
  }
  prx_close(file);
}

int main(int argc, char** argv) {
  test_every_way_of_opening();
  test_older_versions();
  test_encodings();
  test_damage();
  test_arguments_and_files();
  if (argc > 1) test_demo(argv[1]);
  printf("runtime_behaviour: %d checks, %d failed\n", checks, failures);
  return failures == 0 ? 0 : 1;
}
