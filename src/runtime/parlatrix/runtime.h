/* Parlatrix runtime: reads the lines of a .dlg dialogue file by ID, for games and engines.
 *
 * A file is opened once: its bytes are mapped (or read where mapping is impossible), nothing is
 * copied, and the header, the plot table and the index are checked. Each line record is checked
 * and unscrambled when it is first read; a damaged record is reported by its lookup
 * (PRX_ERROR_DAMAGED) and never returned. Lookups are safe from any number of threads at once
 * without locks; no file and no ID makes a call crash. Portable C99: POSIX and Win32.
 *
 * Ownership: every pointer a lookup returns points into the handle and stays valid, unchanged,
 * until prx_close. Texts are byte strings in the game's code page, as the editor stored them,
 * each followed by a zero byte (`size` excludes it). Copy a text into your own buffer with
 * prx_copy_field when it must outlive the handle.
 *
 * Compatibility: the interface follows semantic versioning. Within one major version functions,
 * structures and error codes are only ever added (a newer library runs programs built against an
 * older header of the same major version); the shared library's SONAME carries the major version
 * (libparlatrix_runtime.so.1). Any change to an existing function or structure raises the major
 * version. PRX_VERSION_* describe the header; prx_version() the library actually loaded.
 *
 * docs/runtime.md describes the interface with examples for C, C++ and Python ctypes. */
#ifndef PARLATRIX_RUNTIME_H
#define PARLATRIX_RUNTIME_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Only these functions are exported from the shared library. On Windows the DLL is built with
 * PRX_BUILD_DLL (dllexport); programs need no definition (the import library resolves the calls),
 * PRX_USE_DLL makes them dllimport for the direct call. Elsewhere the library is built with hidden
 * symbols and these are the visible ones. */
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(PRX_BUILD_DLL)
#define PRX_API __declspec(dllexport)
#elif defined(PRX_USE_DLL)
#define PRX_API __declspec(dllimport)
#else
#define PRX_API
#endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#define PRX_API __attribute__((visibility("default")))
#else
#define PRX_API
#endif

#define PRX_VERSION_MAJOR 1
#define PRX_VERSION_MINOR 1
#define PRX_VERSION_PATCH 0
/* major << 16 | minor << 8 | patch, as prx_version() returns it. */
#define PRX_VERSION ((PRX_VERSION_MAJOR << 16) | (PRX_VERSION_MINOR << 8) | PRX_VERSION_PATCH)

typedef enum prx_status {
  PRX_OK = 0,
  PRX_ERROR_ARGUMENT = 1,  /* a required pointer is NULL, or an unknown field */
  PRX_ERROR_OPEN = 2,      /* the file cannot be opened, or is no regular file */
  PRX_ERROR_READ = 3,      /* reading the file failed */
  PRX_ERROR_NO_MEMORY = 4, /* the file's bytes or its tables do not fit in memory */
  PRX_ERROR_DAMAGED = 5,   /* no intact dialogue file of versions 100 to 104; a damaged record */
  PRX_ERROR_NOT_FOUND = 6, /* no line has this ID (out of range or a hole); no such plot */
  PRX_ERROR_BUFFER = 7     /* the caller's buffer is too small; nothing was copied but the size */
} prx_status;

/* Why an open failed: the code and a one-line English message naming the file and, for a
 * damaged file, the first damage found with its byte offset. */
typedef struct prx_error {
  prx_status code;
  char message[256];
} prx_error;

/* A byte string owned by the handle; data is never NULL and data[size] is a zero byte. */
typedef struct prx_text {
  const char* data;
  size_t size;
} prx_text;

typedef struct prx_line {
  int32_t id;
  int32_t plot_index; /* position of the line's plot in the plot table, as the record stores it */
  prx_text speaker;
  prx_text expression;
  prx_text sound;
  prx_text text; /* a line break inside the text is CR LF, as stored */
} prx_line;

typedef struct prx_plot {
  prx_text name;
  int32_t range_low;      /* first ID of the plot's range; -1: none */
  int32_t range_high;     /* end of the range, exclusive; -1: none */
  const int32_t* members; /* member IDs in the plot's order (may be NULL when count is 0) */
  size_t member_count;
} prx_plot;

typedef enum prx_field {
  PRX_FIELD_SPEAKER = 0,
  PRX_FIELD_EXPRESSION = 1,
  PRX_FIELD_SOUND = 2,
  PRX_FIELD_TEXT = 3
} prx_field;

typedef struct prx_file prx_file;

/* The library's version (PRX_VERSION layout) and as text, e.g. "1.0.0". */
PRX_API uint32_t prx_version(void);
PRX_API const char* prx_version_string(void);
/* A fixed English text for a status code; never NULL. */
PRX_API const char* prx_status_message(prx_status status);

/* Which texts a file holds (prx_text_encoding). */
typedef enum prx_encoding {
  PRX_ENCODING_UNKNOWN_LEGACY = 0, /* some name or text is no valid UTF-8: a legacy code page */
  PRX_ENCODING_UTF8 = 1            /* the game name, every plot name and every text is UTF-8 */
} prx_encoding;

/* Flags of prx_open_memory_ex. */
#define PRX_OPEN_NO_COPY                                              \
  1u /* use the caller's bytes in place; they must stay unchanged and \
        valid until prx_close */

/* Opens a .dlg file (path in UTF-8, on Windows too) and checks its header, plot table and index.
 * On success *file is a new handle; on failure *file is NULL and `error` (may be NULL) says why. */
PRX_API prx_status prx_open(const char* path, prx_file** file, prx_error* error);
/* The same for a file already in memory (an engine's own asset system); the bytes are copied. */
PRX_API prx_status prx_open_memory(const void* data, size_t size, prx_file** file,
                                   prx_error* error);
/* prx_open_memory with flags: PRX_OPEN_NO_COPY reads the caller's bytes in place (since 1.1). */
PRX_API prx_status prx_open_memory_ex(const void* data, size_t size, unsigned flags,
                                      prx_file** file, prx_error* error);
/* Releases the handle and everything it returned. NULL is ignored. Not concurrently with other
 * calls on the same handle. */
PRX_API void prx_close(prx_file* file);

/* Number of lines (records) in the file, and the highest line ID (-1 when there is none). IDs
 * run from 0 to the highest; IDs between may be unused. */
PRX_API int32_t prx_line_count(const prx_file* file);
PRX_API int32_t prx_highest_id(const prx_file* file);
/* The game name stored in the file header. */
PRX_API prx_text prx_game_name(const prx_file* file);

/* The line with this ID: PRX_OK and *line filled, PRX_ERROR_NOT_FOUND (ID negative, beyond the
 * highest, or unused) or PRX_ERROR_DAMAGED (its record is damaged), *line then holding ID -1 and
 * empty texts. */
PRX_API prx_status prx_get_line(const prx_file* file, int32_t id, prx_line* line);
/* Copies one text of line `id`, with its zero byte, into buffer[0 .. capacity). *needed (may be
 * NULL) receives the size the copy takes, zero byte included, also when the buffer is too small
 * (PRX_ERROR_BUFFER; then nothing is copied). */
PRX_API prx_status prx_copy_field(const prx_file* file, int32_t id, prx_field field, char* buffer,
                                  size_t capacity, size_t* needed);

/* Plots, in the file's order: 0 to prx_plot_count() - 1. */
PRX_API int32_t prx_plot_count(const prx_file* file);
PRX_API prx_status prx_get_plot(const prx_file* file, int32_t index, prx_plot* plot);
/* The index of the first plot named `name` (zero-terminated, compared byte for byte), through a
 * hash table built at open: PRX_OK, or PRX_ERROR_NOT_FOUND and *index -1 (since 1.1). */
PRX_API prx_status prx_find_plot(const prx_file* file, const char* name, int32_t* index);

/* UTF-8 when the game name, every plot name and every text of every intact record is valid UTF-8,
 * else PRX_ENCODING_UNKNOWN_LEGACY (NULL: legacy). Decided at the first call, which reads every
 * record once (as long as opening took); later calls return the stored answer (since 1.1). */
PRX_API prx_encoding prx_text_encoding(const prx_file* file);

#ifdef __cplusplus
}
#endif

#endif /* PARLATRIX_RUNTIME_H */
