// The voice-over script's two file forms.
//
// CSV: RFC 4180, UTF-8 with a byte order mark, CR LF after every record, a field quoted (its
// quotes doubled) when it holds a comma, a double quote, CR or LF, as the exchange CSV. A cell
// starting with = + - @ TAB or CR is one a spreadsheet would evaluate as a formula (or, for TAB and
// CR, one it strips down to such a start), so it is written with an apostrophe in front.
//
// XLSX through the workbook writer (xlsx_writer.h): one sheet, a bold header row frozen above the
// others, fixed column widths, wrapped text aligned to the top. Every cell is an inline string
// cell, so no text is ever taken for a formula or a number. The workbook is packed straight into
// the temporary file of the atomic replace, so it reaches its name only by the final rename and
// every failed write is reported with its reason.
#include <cctype>
#include <cerrno>
#include <cstring>

#include "exchange/csv_field.h"
#include "exchange/voscript.h"
#include "exchange/xlsx_writer.h"
#include "platform/file_io.h"

namespace exchange {
namespace {

// The text cells of a row, in column order after the ID.
void Cells(const ScriptRow& row, const std::string* (&cells)[6]) {
  cells[0] = &row.sound;
  cells[1] = &row.plot;
  cells[2] = &row.speaker;
  cells[3] = &row.direction;
  cells[4] = &row.text;
  cells[5] = &row.previous;
}

// Characters wide, per column.
constexpr double kColumnWidths[kScriptColumnCount] = {8, 16, 16, 12, 12, 60, 40, 30, 8, 10};

bool CheckSheetLimits(const ScriptSet& set, std::string& error) {
  if (!RowsFitSheet(set.rows.size(), error)) return false;
  static constexpr const char* kNames[6] = {"sound",     "plot", "speaker",
                                            "direction", "text", "previous_line"};
  const std::string* cells[6];
  for (const ScriptRow& row : set.rows) {
    Cells(row, cells);
    for (int c = 0; c < 6; ++c) {
      if (!TextFitsCell(row.id, kNames[c], *cells[c], error)) return false;
    }
  }
  return true;
}

}  // namespace

size_t Utf16Units(std::string_view utf8) {
  size_t units = 0;
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;  // a character beyond U+FFFF takes a surrogate pair
  }
  return units;
}

std::string WriteScriptCsv(const ScriptSet& set) {
  std::string out = "\xEF\xBB\xBF";
  for (int c = 0; c < kScriptColumnCount; ++c) {
    if (c > 0) out += ',';
    out += kScriptColumns[c];
  }
  out += "\r\n";
  const std::string* cells[6];
  for (const ScriptRow& row : set.rows) {
    out += std::to_string(row.id);
    Cells(row, cells);
    for (const std::string* cell : cells) {
      out += ',';
      AppendCsvTextCell(out, *cell);
    }
    out += ",,,\r\n";
  }
  return out;
}

bool WriteScriptFile(const ScriptSet& set, const std::string& path, ScriptFormat format,
                     std::string& error) {
  platform::ReplaceResult result;
  if (format == ScriptFormat::kCsv) {
    const std::string bytes = WriteScriptCsv(set);
    result = platform::ReplaceFile(path.c_str(), [&bytes](std::FILE* file) {
      return platform::WriteBytes(file, bytes.data(), bytes.size());
    });
  } else {
    if (!CheckSheetLimits(set, error)) return false;
    SheetLayout layout;
    layout.name = "script";
    layout.header.assign(kScriptColumns, kScriptColumns + kScriptColumnCount);
    layout.widths.assign(kColumnWidths, kColumnWidths + kScriptColumnCount);
    layout.title = set.title;
    std::string id;  // the row's ID as text, until the next row
    const SheetRows rows = [&set, &id](size_t index, std::vector<std::string_view>& cells) {
      const ScriptRow& row = set.rows[index];
      id = std::to_string(row.id);
      cells[0] = id;
      const std::string* texts[6];
      Cells(row, texts);
      for (int c = 0; c < 6; ++c) cells[c + 1] = *texts[c];
    };
    platform::Status status;
    result = platform::ReplaceFile(path.c_str(), [&](std::FILE* file) {
      return WriteSheetWorkbook(file, layout, set.rows.size(), rows, status);
    });
    if (result != platform::ReplaceResult::kReplaced && !status.ok && status.systemError == 0) {
      error = path + ": " + status.message;  // a refusal: a part of 4 GiB or more
      return false;
    }
    if (status.systemError != 0) errno = status.systemError;
  }
  if (result != platform::ReplaceResult::kReplaced) {
    error = path + ": cannot write the file" + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
    return false;
  }
  return true;
}

}  // namespace exchange
