#include "exchange/table_columns.h"

#include <cctype>

namespace exchange {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  while (!out.empty() && (out.front() == ' ' || out.front() == '\t')) out.erase(0, 1);
  return out;
}

bool ParseFuzzy(const std::string& value, bool& fuzzy) {
  const std::string v = Lower(value);
  if (v.empty() || v == "0" || v == "false" || v == "no") {
    fuzzy = false;
  } else if (v == "1" || v == "true" || v == "yes" || v == "fuzzy") {
    fuzzy = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool TableColumns::Name(const std::vector<std::string>& header, std::string& error) {
  *this = TableColumns();
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string name = Lower(header[i]);
    int* column = name == "source"                ? &source
                  : name == "target"              ? &target
                  : name == "id"                  ? &id
                  : name == "context"             ? &context
                  : name == "location"            ? &location
                  : name == "fuzzy"               ? &fuzzy
                  : name == "translator_comments" ? &comments
                  : name == "developer_comments"  ? &notes
                  : name == "previous_source"     ? &previous
                                                  : nullptr;
    if (column == nullptr) continue;
    if (*column >= 0) {
      error = "column " + name + " named twice";
      return false;
    }
    *column = static_cast<int>(i);
  }
  return true;
}

bool TableColumns::ToUnit(std::vector<std::string>& fields, ImportUnit& unit,
                          std::string& error) const {
  bool found = false;
  if (id >= 0 && !fields[id].empty()) {
    found = ParseId(fields[id], unit.id);
  } else if (context >= 0 && !fields[context].empty()) {
    found = ParseId(fields[context], unit.id);
  } else if (location >= 0) {
    const std::string& where = fields[location];
    const size_t colon = where.rfind(':');
    found =
        colon != std::string::npos && ParseId(std::string_view(where).substr(colon + 1), unit.id);
  }
  if (!found) {
    error = "a record without a line ID";
    return false;
  }
  if (fuzzy >= 0 && !ParseFuzzy(fields[fuzzy], unit.fuzzy)) {
    error = "a fuzzy value that is neither true nor false";
    return false;
  }
  for (const std::string* text : {&fields[source], &fields[target]}) {
    if (text->find('\0') != std::string::npos) {
      error = "a NUL byte in a text";
      return false;
    }
  }
  unit.source.swap(fields[source]);
  unit.target.swap(fields[target]);
  if (comments >= 0) unit.comments.swap(fields[comments]);
  if (notes >= 0) unit.notes.swap(fields[notes]);
  if (previous >= 0 && !fields[previous].empty()) {
    unit.hasPrevious = true;
    unit.previous.swap(fields[previous]);
  }
  return true;
}

}  // namespace exchange
