// XLSX as an exchange format: one sheet with the CSV's columns, every cell a string cell, so that
// a spreadsheet program keeps "007", "1/2" and "=1+1" as the text they are. docs/exchange.md
// describes the mapping.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_units.h"

namespace exchange {

// Limits of one part of the workbook as the reader unpacks it: the zip's own sizes are checked
// before a byte is inflated, and no more than that is read.
inline constexpr size_t kMaxXlsxPartBytes = size_t{256} << 20;
inline constexpr size_t kMaxXlsxTotalBytes = size_t{512} << 20;

// Reads the first sheet of a workbook. The first row names the columns as in CSV; a row without
// any cell is skipped. A source or target cell that is not a string (a number, a date, a boolean,
// a formula or an error) is refused with its cell name; ID and context cells may be whole numbers.
// With a `sink`, each entry goes to it as its row is read instead of into `units` (see UnitSink).
// `rows`: how the rows of the sheet are read. The reader takes rows in the plain shape every
// writer we know writes without building an XML tree, and the rest through the tree; kTree reads
// them all through the tree, for the tests and the fuzz target that check that both give the same
// entries and the same refusals.
enum class XlsxRows { kPlainOrTree, kTree };
[[nodiscard]] bool ReadXlsx(std::string_view data, std::vector<ImportUnit>& units,
                            ParseFailure& failure, const UnitSink* sink = nullptr,
                            XlsxRows rows = XlsxRows::kPlainOrTree);

}  // namespace exchange
