// CSV as RFC 4180 describes it, in UTF-8 with a byte order mark (which spreadsheet programs need
// to take the file as UTF-8) and CR LF after every record, including the last. The columns are
// those translate-toolkit and the localisation platforms import:
//   location,source,target,ID,fuzzy,context,translator_comments,developer_comments
// A field holding a comma, a double quote, CR or LF is quoted, its quotes doubled; every other
// field is written bare. Texts keep every byte, their CR LF included.
#include "exchange/chunked_output.h"
#include "exchange/csv_field.h"
#include "exchange/exchange_units.h"

namespace exchange {
namespace {

size_t CsvEstimate(const ExportSet& set) {
  size_t estimate = 256;
  for (const ExportUnit& unit : set.units) {
    estimate +=
        64 + set.original.size() + unit.text.size() + unit.target.size() + unit.notes.size();
  }
  return estimate;
}

bool WriteCsvTo(const ExportSet& set, ChunkedOutput& output) {
  std::string& out = output.text;
  out +=
      "\xEF\xBB\xBF"
      "location,source,target,ID,fuzzy,context,translator_comments,developer_comments";
  out += set.previousColumn ? ",previous_source\r\n" : "\r\n";
  const bool quoteOriginal = CsvFieldNeedsQuotes(set.original);
  for (const ExportUnit& unit : set.units) {
    if (!output.EntryBegins()) return false;
    const std::string id = std::to_string(unit.id);
    // The ID's digits and the colon never need quoting: only the file name decides.
    if (quoteOriginal) {
      AppendCsvField(out, set.original + ":" + id);
    } else {
      out += set.original;
      out += ':';
      out += id;
    }
    out += ',';
    AppendCsvField(out, unit.text);
    out += ',';
    if (unit.hasTarget) AppendCsvField(out, unit.target);
    out += ',';
    out += id;
    out += unit.fuzzy ? ",True," : ",False,";
    out += id;
    out += ',';
    AppendCsvField(out, unit.comments);
    out += ',';
    AppendCsvField(out, unit.notes);
    if (set.previousColumn) {
      out += ',';
      if (unit.fuzzy && unit.hasPrevious) AppendCsvField(out, unit.previous);
    }
    out += "\r\n";
  }
  return output.Finish();
}

}  // namespace

std::string WriteCsv(const ExportSet& set) {
  ChunkedOutput output(nullptr, CsvEstimate(set));
  (void)WriteCsvTo(set, output);
  return std::move(output.text);
}

bool WriteCsv(const ExportSet& set, const ChunkSink& sink) {
  ChunkedOutput output(&sink, 0);
  return WriteCsvTo(set, output);
}

}  // namespace exchange
