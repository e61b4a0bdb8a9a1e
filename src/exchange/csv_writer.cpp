// CSV as RFC 4180 describes it, in UTF-8 with a byte order mark (which spreadsheet programs need
// to take the file as UTF-8) and CR LF after every record, including the last. The columns are
// those translate-toolkit and the localisation platforms import:
//   location,source,target,ID,fuzzy,context,translator_comments,developer_comments
// A field holding a comma, a double quote, CR or LF is quoted, its quotes doubled; every other
// field is written bare. Texts keep every byte, their CR LF included.
#include "exchange/exchange_units.h"

namespace exchange {
namespace {

void AppendField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

std::string WriteCsv(const ExportSet& set) {
  std::string out;
  size_t estimate = 256;
  for (const ExportUnit& unit : set.units) {
    estimate +=
        64 + set.original.size() + unit.text.size() + unit.target.size() + unit.notes.size();
  }
  out.reserve(estimate);
  out +=
      "\xEF\xBB\xBF"
      "location,source,target,ID,fuzzy,context,translator_comments,developer_comments";
  out += set.previousColumn ? ",previous_source\r\n" : "\r\n";
  for (const ExportUnit& unit : set.units) {
    const std::string id = std::to_string(unit.id);
    AppendField(out, set.original + ":" + id);
    out += ',';
    AppendField(out, unit.text);
    out += ',';
    if (unit.hasTarget) AppendField(out, unit.target);
    out += ',';
    out += id;
    out += unit.fuzzy ? ",True," : ",False,";
    out += id;
    out += ',';
    AppendField(out, unit.comments);
    out += ',';
    AppendField(out, unit.notes);
    if (set.previousColumn) {
      out += ',';
      if (unit.fuzzy && unit.hasPrevious) AppendField(out, unit.previous);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace exchange
