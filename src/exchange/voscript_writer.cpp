// The voice-over script's two file forms.
//
// CSV: RFC 4180, UTF-8 with a byte order mark, CR LF after every record, a field quoted (its
// quotes doubled) when it holds a comma, a double quote, CR or LF, as the exchange CSV. A cell
// starting with = + - @ TAB or CR is one a spreadsheet would evaluate as a formula (or, for TAB and
// CR, one it strips down to such a start), so it is written with an apostrophe in front.
//
// XLSX through libxlsxwriter: one sheet, a bold header row frozen above the others, fixed column
// widths, wrapped text aligned to the top. Every cell is written by worksheet_write_string, which
// stores a string cell, so no text is ever taken for a formula or a number. libxlsxwriter writes
// to a path of its own choosing; it is given the temporary file of the atomic replace, through
// /proc/self/fd, so that the workbook reaches its name only by the final rename. Its own
// temporary files go to the target's folder (not /tmp, which may be small or full), every return
// value is checked, and the finished workbook is read back: its sheet must hold every row that was
// meant, since a failed write into libxlsxwriter's row file is not reported by the library.
#include <fcntl.h>
#include <minizip/unzip.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "exchange/csv_field.h"
#include "exchange/voscript.h"
#include "exchange/xlsx.h"
#include "platform/file_io.h"
#include "platform/path.h"

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
  if (set.rows.size() + 1 > kMaxSheetRows) {
    error = std::to_string(set.rows.size()) + " lines do not fit one sheet (at most " +
            std::to_string(kMaxSheetRows - 1) + " below the header)";
    return false;
  }
  static constexpr const char* kNames[6] = {"sound",     "plot", "speaker",
                                            "direction", "text", "previous_line"};
  const std::string* cells[6];
  for (const ScriptRow& row : set.rows) {
    Cells(row, cells);
    for (int c = 0; c < 6; ++c) {
      const size_t units = Utf16Units(*cells[c]);
      if (units <= kMaxCellUnits) continue;
      error = "ID " + std::to_string(row.id) + ": " + kNames[c] + " is " + std::to_string(units) +
              " characters, more than the " + std::to_string(kMaxCellUnits) +
              " a spreadsheet cell holds";
      return false;
    }
  }
  return true;
}

// libxlsxwriter's close holds the package, a part's temporary file and the row file at once.
constexpr int kDescriptorsForClose = 4;

// True when `count` more descriptors can be opened now (errno EMFILE otherwise).
bool DescriptorsFree(int count) {
  int held[8];
  int opened = 0;
  for (; opened < count && opened < 8; ++opened) {
    held[opened] = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (held[opened] < 0) break;
  }
  const int reason = errno;
  for (int k = 0; k < opened; ++k) close(held[k]);
  if (opened == count) return true;
  errno = reason != 0 ? reason : EMFILE;
  return false;
}

// Builds the workbook into `target` (a path libxlsxwriter opens itself), with its temporary
// files in `tmpdir`. False on any error of the library; the caller then drops the file.
bool BuildWorkbook(const ScriptSet& set, const std::string& target, const std::string& tmpdir) {
  // Rows go out as they are written, as inline strings, instead of being held for a shared
  // string table: a third of the memory for 100 000 lines, and faster.
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = const_cast<char*>(tmpdir.c_str());
  // The row file, and then the close's files (below): a library that cannot open them crashes.
  if (!DescriptorsFree(kDescriptorsForClose + 1)) return false;
  lxw_workbook* book = workbook_new_opt(target.c_str(), &options);
  if (book == nullptr) return false;
  lxw_doc_properties properties = {};
  properties.title = const_cast<char*>(set.title.c_str());
  bool ok = workbook_set_properties(book, &properties) == LXW_NO_ERROR;
  lxw_worksheet* sheet = workbook_add_worksheet(book, "script");
  lxw_format* header = workbook_add_format(book);
  lxw_format* wrapped = workbook_add_format(book);
  ok = ok && sheet != nullptr && header != nullptr && wrapped != nullptr;
  if (ok) {
    format_set_bold(header);
    format_set_text_wrap(wrapped);
    format_set_align(wrapped, LXW_ALIGN_VERTICAL_TOP);
    for (lxw_col_t c = 0; c < kScriptColumnCount; ++c) {
      ok = ok && worksheet_set_column(sheet, c, c, kColumnWidths[c], wrapped) == LXW_NO_ERROR;
      ok = ok && worksheet_write_string(sheet, 0, c, kScriptColumns[c], header) == LXW_NO_ERROR;
    }
    worksheet_freeze_panes(sheet, 1, 0);
  }
  const std::string* cells[6];
  lxw_row_t r = 1;
  for (auto row = set.rows.begin(); ok && row != set.rows.end(); ++row, ++r) {
    ok = worksheet_write_string(sheet, r, 0, std::to_string(row->id).c_str(), wrapped) ==
         LXW_NO_ERROR;
    Cells(*row, cells);
    for (lxw_col_t c = 0; ok && c < 6; ++c) {
      // An empty string would be written as a blank cell holding only the format.
      if (cells[c]->empty()) continue;
      ok = worksheet_write_string(sheet, r, c + 1, SheetText(*cells[c]).c_str(), wrapped) ==
           LXW_NO_ERROR;
    }
  }
  // workbook_close opens a temporary file per part of the package besides the package itself; a
  // library that cannot open them crashes inside (ulimit -n), so that room is made sure of first.
  ok = ok && DescriptorsFree(kDescriptorsForClose);
  // workbook_close also frees the workbook when an earlier step failed.
  const bool closed = workbook_close(book) == LXW_NO_ERROR;
  return ok && closed;
}

// Counts the rows of the first sheet of the workbook at `path`; -1 when it cannot be read.
long CountSheetRows(const std::string& path) {
  unzFile zip = unzOpen64(path.c_str());
  if (zip == nullptr) return -1;
  long rows = -1;
  if (unzLocateFile(zip, "xl/worksheets/sheet1.xml", 1) == UNZ_OK &&
      unzOpenCurrentFile(zip) == UNZ_OK) {
    // "<row " split across two reads is found through the kept tail of the last one.
    static constexpr char kRow[] = "<row ";
    std::string window;
    char chunk[1 << 16];
    int got = 0;
    long found = 0;
    while ((got = unzReadCurrentFile(zip, chunk, sizeof chunk)) > 0) {
      window.append(chunk, static_cast<size_t>(got));
      for (size_t at = window.find(kRow); at != std::string::npos; at = window.find(kRow, at + 1)) {
        ++found;
      }
      window.erase(0, window.size() > 4 ? window.size() - 4 : 0);
    }
    if (unzCloseCurrentFile(zip) == UNZ_OK && got == 0) rows = found;
  }
  unzClose(zip);
  return rows;
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
    const std::string tmpdir = platform::FolderOf(path);
    bool incomplete = false;
    result = platform::ReplaceFile(path.c_str(), [&](std::FILE* file) {
      const std::string written = "/proc/self/fd/" + std::to_string(fileno(file));
      if (std::fflush(file) != 0 || !BuildWorkbook(set, written, tmpdir)) return false;
      // What was written against what was meant: the header row and one row per line.
      const long rows = CountSheetRows(written);
      if (rows == static_cast<long>(set.rows.size()) + 1) return true;
      incomplete = true;
      errno = EIO;
      return false;
    });
    if (incomplete) {
      error = path + ": the workbook came out incomplete (its temporary files in " + tmpdir +
              " could not be written); not replaced";
      return false;
    }
  }
  if (result != platform::ReplaceResult::kReplaced) {
    error = path + ": cannot write the file" + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
    return false;
  }
  return true;
}

}  // namespace exchange
