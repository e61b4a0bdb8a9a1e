// The workbooks we write (the exchange's XLSX and the voice-over script): one sheet of text
// cells, packed by our own zip writer straight into the file of the atomic replace. The sheet is
// generated a chunk at a time into the compressor, so a workbook of any size passes through a
// fixed buffer. docs/architecture.md ("The workbook writer") describes the parts.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_units.h"
#include "platform/status.h"

namespace exchange {

// What the sheet looks like: its name, the header row (bold, frozen above the others), each
// column's width in characters, and the workbook's title (docProps/core.xml; none when empty).
// Every other cell is wrapped and aligned to the top.
struct SheetLayout {
  std::string name;
  std::vector<std::string_view> header;
  std::vector<double> widths;  // one per header column
  std::string title;
};

// Fills `cells` (sized to the header's columns) with the texts of row `index` (0 is the first row
// below the header); an empty text is a blank cell. The views must stay valid until the next call.
using SheetRows = std::function<void(size_t index, std::vector<std::string_view>& cells)>;

// Writes the workbook of `count` rows to `file` (the start of an archive; seekable). Every cell is
// an inline string (t="inlineStr"), its text in the escape spreadsheets decode (`_xHHHH_`) and
// escaped for XML. False with `status` set on a failed write (its errno, also left in errno) or a
// refusal (a part of 4 GiB or more, more rows than a sheet holds), after which the file holds no
// usable workbook.
[[nodiscard]] bool WriteSheetWorkbook(std::FILE* file, const SheetLayout& layout, size_t count,
                                      const SheetRows& rows, platform::Status& status);

// The limits of a sheet, with the messages every workbook gives: `count` lines below the header
// must fit one sheet (1 048 576 rows); the text of the cell `column` of the line `id` must fit a
// cell (32 767 characters, counted in UTF-16 units as spreadsheets count them).
[[nodiscard]] bool RowsFitSheet(size_t count, std::string& error);
[[nodiscard]] bool TextFitsCell(int id, const char* column, std::string_view text,
                                std::string& error);

// The exchange's workbook of `set`: sheet "translation", the CSV's columns. False with `error`
// set, before anything is written, when a text exceeds a cell (32 767 characters) or the rows a
// sheet (1 048 576).
[[nodiscard]] bool CheckXlsxWorkbook(const ExportSet& set, std::string& error);
// Writes it (CheckXlsxWorkbook first); see WriteSheetWorkbook for `status`.
[[nodiscard]] bool WriteXlsxWorkbook(const ExportSet& set, std::FILE* file,
                                     platform::Status& status);

}  // namespace exchange
