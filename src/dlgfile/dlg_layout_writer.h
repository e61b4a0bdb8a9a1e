// The one writer of the .dlg layout (docs/dlg-format.md). A caller describes its document through
// a DlgLayoutSource: the fixed part's fields, the plot table, and every line with its record size
// and plot index, in the caller's document order. The writer does the rest, the same way for
// every caller:
//  - the lines in file order: ascending ID, and among equal IDs document order; a line whose ID
//    is negative or already taken by an earlier line gets no entry and no record, so that entry k
//    of the index is always the line with ID k;
//  - the index with holes (a hole holds ID -1 and the offset of the record that follows it);
//  - the 2 GiB limit of the format's signed 32-bit offsets, checked before any file is touched;
//  - buffering: the file is assembled in one buffer of at most 1 MiB, records encoded in place,
//    and written a buffer at a time (a record larger than the buffer is written on its own);
//  - the atomic replacement of the target (platform::ReplaceFile) and the described debug lines
//    of CDlgFile::Save for every failure.
// Callers: CDlgFile::Save (dlg_writer.cpp) and the merge's SaveMergedDocument and
// WriteMergedDocument (src/merge/dlg_merge_write.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/file_io.h"
#include "platform/status.h"

// One line of a source, as the writer orders and writes it.
struct DlgLayoutLine {
  int32_t id;
  int32_t order;      // its place in the source's document order, from 0
  int32_t plotIndex;  // the record's plot index
  int32_t size;       // its record's size (DlgRecordSize); -1 when that passes 2 GiB
  const void* line;   // the source's own line, handed back to DlgLayoutSource::Texts
};

// The fields of the fixed part, and the counts that size the plot table.
struct DlgLayoutHead {
  std::string_view gameName;       // cut to its 32-byte field by the writer
  int32_t columns[3] = {0, 0, 0};  // use speaker, expression, sound
  int32_t multiLine = 0;
  int64_t plotCount = 0;
  int64_t memberCount = 0;  // member IDs of all plots together
  int64_t lineCount = 0;    // every line of the document, written or left out
};

// Where a source puts its plot table: each entry, then that entry's member IDs.
class DlgPlotTableOut {
 public:
  virtual void Entry(std::string_view name, int32_t rangeLow, int32_t rangeHigh,
                     int32_t memberCount) = 0;
  virtual void Member(int32_t id) = 0;

 protected:
  ~DlgPlotTableOut() = default;
};

class DlgLayoutSource {
 public:
  virtual ~DlgLayoutSource() = default;
  virtual DlgLayoutHead Head() const = 0;
  // Fills at most `room` (Head().lineCount) lines in document order; returns how many it filled.
  virtual int64_t ListLines(DlgLayoutLine* lines, int64_t room) const = 0;
  // The plots in list order, as many entries and members as Head() counted.
  virtual void PutPlots(DlgPlotTableOut& out) const = 0;
  // The texts of a listed line: speaker, expression, sound, text (no NUL bytes; their sizes are
  // the ones its DlgLayoutLine::size was taken from).
  virtual void Texts(const DlgLayoutLine& line, std::string_view texts[4]) const = 0;
};

// Replaces `path` by the source's file, as CDlgFile::Save does: Ok, or the reason (the described
// debug line written, errno set to the status's system error) with the old file unchanged and no
// temporary file left. `beforeReplace` as ReplaceFile takes it; empty leaves the thread's
// ReplaceCheckScope, if any, in force.
[[nodiscard]] platform::Status SaveDlgLayout(const DlgLayoutSource& source, const char* path,
                                             const platform::BeforeReplace& beforeReplace);

// The same bytes to an open stream (no file, no sync). kNotTaken, with nothing written, when Save
// would report something on the way (a line left out, a file past 2 GiB); a text over 4095 bytes
// still gets saveStr's warning, so a caller that must stay silent checks its texts first. kFailed
// (errno set) when the stream failed or memory ran out.
enum class DlgStreamWrite { kWritten, kNotTaken, kFailed };
[[nodiscard]] DlgStreamWrite WriteDlgLayout(const DlgLayoutSource& source, std::FILE* stream);
