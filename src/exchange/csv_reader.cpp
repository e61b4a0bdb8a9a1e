// A strict RFC 4180 reader. Records end with CR LF or LF; a field is bare (no quote, CR or LF in
// it) or quoted (anything, a quote doubled, and nothing but a comma or the record's end after the
// closing quote). The first record names the columns, in any order and letter case; "source",
// "target" and one of "ID", "context" or "location" must be among them. Every record has as many
// fields as the header. A UTF-8 byte order mark is skipped; the rest must be valid UTF-8.
//
// The line ID is taken from the ID column, else from context, else from the digits after the last
// colon of location. The fuzzy column is empty, 0, false, no (not fuzzy) or 1, true, yes, fuzzy.
//
// What spreadsheets and translate-toolkit write besides:
//  - the separator is sniffed from the header: a comma, else a semicolon (a spreadsheet saving
//    CSV under a locale whose decimal mark is a comma), else a TAB (Excel's "Unicode text");
//  - UTF-16 with a byte order mark (Excel's "Unicode text") is converted to UTF-8 first; UTF-16
//    without one is refused, saying so;
//  - translate-toolkit's po2csv quotes every field, the header too, and doubles every backslash
//    (its dialect has the backslash as escape character). A file whose header has every name
//    quoted and no ID column is read in that dialect: "\\" is one backslash, and a backslash
//    before anything else is refused, naming the tool.
//
// A record may not have more fields than the header (nor a header more than kMaxColumns): the
// reader stops at the first field too many, so a record of millions of empty fields costs nothing.
#include <algorithm>
#include <cctype>

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"
#include "exchange/table_columns.h"

namespace exchange {
namespace {

constexpr size_t kMaxColumns = 4096;

class CsvParser {
 public:
  CsvParser(std::string_view data, ParseFailure& failure) : data_(data), failure_(failure) {
    if (data_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  void SetSeparator(char separator) { separator_ = separator; }
  void Rewind(size_t to) {
    pos_ = to;
    done_ = false;
  }
  size_t position() const { return pos_; }

  // Reads the next record into `fields`, at most `maxFields` of them; false at the end (done()
  // true) or on a fault. `quoted`, when given, tells for each field whether it was quoted.
  bool Next(std::vector<std::string>& fields, size_t maxFields,
            std::vector<bool>* quoted = nullptr) {
    fields.clear();
    if (quoted != nullptr) quoted->clear();
    if (pos_ >= data_.size()) {
      done_ = true;
      return false;
    }
    recordOffset_ = pos_;
    while (true) {
      if (fields.size() == maxFields) {
        return Fail(pos_,
                    "a record with more than " + std::to_string(maxFields) +
                        (maxFields == kMaxColumns ? " fields" : " fields, the header's count"));
      }
      std::string field;
      const bool isQuoted = pos_ < data_.size() && data_[pos_] == '"';
      if (isQuoted) {
        if (!Quoted(field)) return false;
      } else {
        const size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != separator_ && data_[pos_] != '\n' &&
               data_[pos_] != '\r') {
          if (data_[pos_] == '"') return Fail(pos_, "a quote inside a field that is not quoted");
          ++pos_;
        }
        field.assign(data_, start, pos_ - start);
      }
      fields.push_back(std::move(field));
      if (quoted != nullptr) quoted->push_back(isQuoted);
      if (pos_ >= data_.size()) return true;
      const char c = data_[pos_];
      if (c == separator_) {
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
      if (pos_ < data_.size() && data_[pos_] != separator_ && data_[pos_] != '\r' &&
          data_[pos_] != '\n') {
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
  char separator_ = ',';
};

// translate-toolkit's escaping: "\\" is one backslash. False when a backslash stands before
// anything else (the tool's own reader would drop it; we cannot tell what was meant).
bool UndoToolkitEscapes(std::string& field) {
  const size_t first = field.find('\\');
  if (first == std::string::npos) return true;
  size_t out = first;
  for (size_t i = first; i < field.size(); ++i) {
    if (field[i] == '\\') {
      if (i + 1 >= field.size() || field[i + 1] != '\\') return false;
      ++i;
    }
    field[out++] = field[i];
  }
  field.resize(out);
  return true;
}

}  // namespace

namespace {

bool FailWhole(ParseFailure& failure, const std::string& message) {
  failure.line = 1;
  failure.column = 1;
  failure.message = message;
  return false;
}

bool ReadUtf8Csv(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
                 const UnitSink* sink);

}  // namespace

bool ReadCsv(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
             const UnitSink* sink) {
  units.clear();
  failure = ParseFailure();
  const bool bomLe = data.substr(0, 2) == "\xFF\xFE";
  const bool bomBe = data.substr(0, 2) == "\xFE\xFF";
  if (bomLe || bomBe) {
    // Excel's "Unicode text": UTF-16 with a byte order mark, TAB-separated.
    std::string utf8;
    const Recoder utf16(bomLe ? "UTF-16LE" : "UTF-16BE");
    if (!utf16.ok() || !utf16.ToUtf8(data.substr(2), utf8)) {
      return FailWhole(failure, "UTF-16 text (Excel's \"Unicode text\") that is not valid UTF-16");
    }
    data = std::string_view();  // the UTF-16 bytes are not looked at again
    return ReadUtf8Csv(utf8, units, failure, sink);
  }
  // Latin letters in UTF-16 without a byte order mark have every other byte zero.
  if (data.size() >= 4 && ((data[0] == '\0') != (data[1] == '\0')) &&
      ((data[2] == '\0') != (data[3] == '\0'))) {
    return FailWhole(failure,
                     "UTF-16 text without a byte order mark; save the file as CSV in UTF-8");
  }
  return ReadUtf8Csv(data, units, failure, sink);
}

namespace {

bool ReadUtf8Csv(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
                 const UnitSink* sink) {
  CsvParser parser(data, failure);
  const size_t valid = ValidUtf8Prefix(data);
  if (valid != data.size()) return parser.Fail(valid, "invalid UTF-8");
  std::vector<std::string> fields;
  std::vector<bool> quoted;
  const size_t headerStart = parser.position();
  TableColumns columns;
  // The separator is the first of comma, semicolon and TAB that splits the header into names
  // holding both source and target.
  bool named = false;
  bool commaFailed = false;
  ParseFailure commaFailure;
  for (const char separator : {',', ';', '\t'}) {
    parser.SetSeparator(separator);
    parser.Rewind(headerStart);
    if (!parser.Next(fields, kMaxColumns, &quoted)) {
      if (parser.done()) return parser.Fail(data.size(), "no header record");
      if (separator == ',') {
        commaFailed = true;
        commaFailure = failure;
      }
      continue;
    }
    std::string error;
    if (!columns.Name(fields, error)) return parser.Fail(0, error);
    if (columns.hasTexts()) {
      named = true;
      break;
    }
  }
  if (!named && commaFailed) {
    failure = commaFailure;  // what is wrong with the header read as comma-separated
    return false;
  }
  if (!named || !columns.complete()) {
    return parser.Fail(0, "the header lacks source, target or an ID, context or location column");
  }
  const bool toolkit =
      !columns.hasId() && std::find(quoted.begin(), quoted.end(), false) == quoted.end();
  const size_t count = fields.size();
  // Record lines are counted forward from the previous record, never from the start.
  size_t counted = 0;
  long line = 1;
  while (parser.Next(fields, count)) {
    const size_t at = parser.recordOffset();
    if (fields.size() == 1 && fields[0].empty()) continue;  // an empty line
    if (fields.size() != count) {
      return parser.Fail(at, "a record with " + std::to_string(fields.size()) +
                                 " fields where the header has " + std::to_string(count));
    }
    if (toolkit) {
      for (std::string& field : fields) {
        if (!UndoToolkitEscapes(field)) {
          return parser.Fail(at,
                             "a backslash that is not doubled, in the CSV dialect of "
                             "translate-toolkit's po2csv (every field quoted, every backslash "
                             "doubled)");
        }
      }
    }
    ImportUnit unit;
    line += static_cast<long>(std::count(data.begin() + counted, data.begin() + at, '\n'));
    counted = at;
    unit.line = line;
    std::string error;
    if (!columns.ToUnit(fields, unit, error)) return parser.Fail(at, error);
    if (sink != nullptr) {
      if (!(*sink)(unit)) {
        failure = ParseFailure();
        return false;
      }
    } else {
      units.push_back(std::move(unit));
    }
  }
  return parser.done();
}

}  // namespace

}  // namespace exchange
