// The one CSV field writer of the exchange CSV, the voice-over script's CSV and the statistics'
// CSV (RFC 4180): a field holding a comma, a double quote, CR or LF is quoted with its quotes
// doubled; any other is written bare. `lead` (the apostrophe before a cell a spreadsheet would
// run as a formula) goes in front of the text, inside the quotes when there are quotes.
#pragma once

#include <string>
#include <string_view>

namespace exchange {

inline bool CsvFieldNeedsQuotes(std::string_view field) {
  return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

inline void AppendCsvField(std::string& out, std::string_view field, std::string_view lead = {}) {
  if (!CsvFieldNeedsQuotes(field)) {
    out.append(lead);
    out.append(field);
    return;
  }
  out += '"';
  out.append(lead);
  size_t run = 0;
  for (size_t quote = field.find('"'); quote != std::string_view::npos;
       quote = field.find('"', quote + 1)) {
    out.append(field, run, quote + 1 - run);
    out += '"';
    run = quote + 1;
  }
  out.append(field, run, field.size() - run);
  out += '"';
}

// A cell starting with = + - @ TAB or CR is one a spreadsheet would evaluate as a formula (or, for
// TAB and CR, one it strips down to such a start).
inline bool CsvCellRunsAsFormula(std::string_view cell) {
  return !cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos;
}

// A text cell for a spreadsheet: quoted as above, with an apostrophe in front when it would run
// as a formula.
inline void AppendCsvTextCell(std::string& out, std::string_view cell) {
  AppendCsvField(out, cell, CsvCellRunsAsFormula(cell) ? "'" : "");
}

}  // namespace exchange
