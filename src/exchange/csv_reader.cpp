// A strict RFC 4180 reader. Records end with CR LF or LF; a field is bare (no quote, CR or LF in
// it) or quoted (anything, a quote doubled, and nothing but a comma or the record's end after the
// closing quote). The first record names the columns, in any order and letter case; "source",
// "target" and one of "ID", "context" or "location" must be among them. Every record has as many
// fields as the header. A UTF-8 byte order mark is skipped; the rest must be valid UTF-8.
//
// The line ID is taken from the ID column, else from context, else from the digits after the last
// colon of location. The fuzzy column is empty, 0, false, no (not fuzzy) or 1, true, yes, fuzzy.
#include <algorithm>
#include <cctype>

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"

namespace exchange {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  while (!out.empty() && (out.front() == ' ' || out.front() == '\t')) out.erase(0, 1);
  return out;
}

class CsvParser {
 public:
  CsvParser(std::string_view data, ParseFailure& failure) : data_(data), failure_(failure) {
    if (data_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  // Reads the next record into `fields`; false at the end (done() true) or on a fault.
  bool Next(std::vector<std::string>& fields) {
    fields.clear();
    if (pos_ >= data_.size()) {
      done_ = true;
      return false;
    }
    recordOffset_ = pos_;
    while (true) {
      std::string field;
      if (pos_ < data_.size() && data_[pos_] == '"') {
        if (!Quoted(field)) return false;
      } else {
        const size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\n' &&
               data_[pos_] != '\r') {
          if (data_[pos_] == '"') return Fail(pos_, "a quote inside a field that is not quoted");
          ++pos_;
        }
        field.assign(data_, start, pos_ - start);
      }
      fields.push_back(std::move(field));
      if (pos_ >= data_.size()) return true;
      const char c = data_[pos_];
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == '\r') {
        if (pos_ + 1 >= data_.size() || data_[pos_ + 1] != '\n') {
          return Fail(pos_, "a CR that does not end a record");
        }
        ++pos_;
      }
      ++pos_;  // the LF
      return true;
    }
  }

  bool done() const { return done_; }
  size_t recordOffset() const { return recordOffset_; }

  bool Fail(size_t offset, const std::string& message) {
    LineAndColumn(data_, offset, failure_.line, failure_.column);
    failure_.message = message;
    return false;
  }

 private:
  bool Quoted(std::string& field) {
    const size_t open = pos_++;
    while (true) {
      const size_t quote = data_.find('"', pos_);
      if (quote == std::string_view::npos) return Fail(open, "a quoted field that is never closed");
      field.append(data_, pos_, quote - pos_);
      pos_ = quote + 1;
      if (pos_ < data_.size() && data_[pos_] == '"') {
        field += '"';
        ++pos_;
        continue;
      }
      if (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') {
        return Fail(pos_, "text after the closing quote of a field");
      }
      return true;
    }
  }

  std::string_view data_;
  ParseFailure& failure_;
  size_t pos_ = 0;
  size_t recordOffset_ = 0;
  bool done_ = false;
};

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

bool ReadCsv(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure) {
  units.clear();
  failure = ParseFailure();
  CsvParser parser(data, failure);
  const size_t valid = ValidUtf8Prefix(data);
  if (valid != data.size()) return parser.Fail(valid, "invalid UTF-8");
  std::vector<std::string> fields;
  if (!parser.Next(fields)) {
    return parser.done() ? parser.Fail(data.size(), "no header record") : false;
  }
  int source = -1, target = -1, id = -1, context = -1, location = -1, fuzzy = -1;
  int comments = -1, notes = -1, previous = -1;
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string name = Lower(fields[i]);
    int* column = name == "source"     ? &source
                  : name == "target"   ? &target
                  : name == "id"       ? &id
                  : name == "context"  ? &context
                  : name == "location" ? &location
                  : name == "fuzzy"    ? &fuzzy
                  : name == "translator_comments" ? &comments
                  : name == "developer_comments"  ? &notes
                  : name == "previous_source"     ? &previous
                                       : nullptr;
    if (column == nullptr) continue;
    if (*column >= 0) return parser.Fail(0, "column " + name + " named twice");
    *column = static_cast<int>(i);
  }
  if (source < 0 || target < 0 || (id < 0 && context < 0 && location < 0)) {
    return parser.Fail(0, "the header lacks source, target or an ID, context or location column");
  }
  const size_t columns = fields.size();
  // Record lines are counted forward from the previous record, never from the start.
  size_t counted = 0;
  long line = 1;
  while (parser.Next(fields)) {
    const size_t at = parser.recordOffset();
    if (fields.size() == 1 && fields[0].empty()) continue;  // an empty line
    if (fields.size() != columns) {
      return parser.Fail(at, "a record with " + std::to_string(fields.size()) +
                                 " fields where the header has " + std::to_string(columns));
    }
    ImportUnit unit;
    line += static_cast<long>(std::count(data.begin() + counted, data.begin() + at, '\n'));
    counted = at;
    unit.line = line;
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
    if (!found) return parser.Fail(at, "a record without a line ID");
    if (fuzzy >= 0 && !ParseFuzzy(fields[fuzzy], unit.fuzzy)) {
      return parser.Fail(at, "a fuzzy value that is neither true nor false");
    }
    for (const std::string* text : {&fields[source], &fields[target]}) {
      if (text->find('\0') != std::string::npos) return parser.Fail(at, "a NUL byte in a text");
    }
    unit.source.swap(fields[source]);
    unit.target.swap(fields[target]);
    if (comments >= 0) unit.comments.swap(fields[comments]);
    if (notes >= 0) unit.notes.swap(fields[notes]);
    if (previous >= 0 && !fields[previous].empty()) {
      unit.hasPrevious = true;
      unit.previous.swap(fields[previous]);
    }
    units.push_back(std::move(unit));
  }
  return parser.done();
}

}  // namespace exchange
