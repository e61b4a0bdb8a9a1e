// The voice-over script: one row per line for a recording studio, as an XLSX workbook or a CSV
// file. docs/voscript.md lists the columns and the rules below.
//
// Every cell is UTF-8, converted strictly from the document's code page as the exchange export
// converts (a text the code page rejects names its ID and nothing is written). The file is never
// read back by the program, so cells are written for people: in XLSX every cell is a string cell
// (never a formula, whatever it starts with); in CSV a cell that a spreadsheet would run as a
// formula gets a leading apostrophe.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"

namespace exchange {

class Recoder;

enum class ScriptFormat { kXlsx, kCsv };

// .xlsx or .csv (any letter case); false for other names.
[[nodiscard]] bool ScriptFormatFromPath(const std::string& path, ScriptFormat& format);

// The header row, in column order; notes, take and status stay empty for the studio.
inline constexpr const char* kScriptColumns[] = {"ID",        "sound", "plot",          "speaker",
                                                 "direction", "text",  "previous_line", "notes",
                                                 "take",      "status"};
inline constexpr int kScriptColumnCount = 10;

struct ScriptRow {
  int id = -1;
  std::string sound;
  std::string plot;
  std::string speaker;
  std::string direction;  // the line's expression
  std::string text;
  std::string previous;  // "speaker: text" of the line before it in the same plot, or "text"
};

struct ScriptSet {
  std::string title;  // the game name
  std::vector<ScriptRow> rows;
};

struct ScriptOptions {
  std::string codeset;  // the document's code page; empty: the locale's
  std::string plot;     // only the plots of this name; empty: every plot
};

// What a spreadsheet holds: 32 767 characters per cell (counted in UTF-16 code units, as the
// spreadsheet programs count), 1 048 576 rows per sheet, the header included.
inline constexpr size_t kMaxCellUnits = 32767;
inline constexpr size_t kMaxSheetRows = 1048576;

// A plot's stored name matches `wanted` when its bytes are the same or its UTF-8 form is (the
// command line is UTF-8 when the document's code page is a legacy one).
[[nodiscard]] bool PlotNameMatches(const CPlainString& name, const std::string& wanted,
                                   const Recoder& recoder);

// The rows in plot order, then member order; a line listed by two plots appears once, where it
// first appears. False with `error` set when a name or text is not valid in the code page, the
// code page is unknown, an ID is used by two lines, or no plot has the name options.plot.
[[nodiscard]] bool CollectScript(CDlgFile& doc, const ScriptOptions& options, ScriptSet& set,
                                 std::string& error);

// Number of UTF-16 code units of valid UTF-8 text.
size_t Utf16Units(std::string_view utf8);

// The CSV bytes: RFC 4180, UTF-8 with a byte order mark, CR LF after every record.
std::string WriteScriptCsv(const ScriptSet& set);

// Writes the rows to `path` through the atomic replace (the old file stays on any failure). An
// XLSX whose rows or cells exceed a sheet's limits is refused before anything is written, with
// `error` naming the ID. The title goes into the workbook's properties.
[[nodiscard]] bool WriteScriptFile(const ScriptSet& set, const std::string& path,
                                   ScriptFormat format, std::string& error);

}  // namespace exchange
