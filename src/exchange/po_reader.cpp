// A strict reader of gettext PO files in UTF-8. It takes what gettext's tools write and what
// Poedit, Weblate and polib write: comments, flags, references, msgctxt, continued strings, the
// header, obsolete (#~) and previous (#|) lines, which are skipped. It refuses anything else
// (plural forms among them, which no export writes) with the line and column of the fault.
//
// The line ID is the msgctxt. An entry without msgctxt (translate-toolkit's converters drop it)
// takes its IDs from its "#: FILE:ID" (or bare "#: ID") references: every one of them, since
// msguniq and msgmerge fold lines of one text into one entry that names each.
//
// A file whose header names another charset (ISO-8859-1, EUC-KR, GBK, ...) is converted to UTF-8
// whole with iconv before it is parsed; a charset iconv does not know is refused.
#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "exchange/exchange_units.h"
#include "exchange/recoder.h"

namespace exchange {
namespace {

// "UTF-8" as PO headers spell it, and the placeholder of a template nobody filled in.
bool IsUtf8Name(const std::string& upper) {
  return upper == "UTF-8" || upper == "UTF8" || upper == "CHARSET";
}

class PoParser {
 public:
  // `convertedFrom`: the charset the header names, from which `data` was converted to UTF-8;
  // empty when the file was UTF-8 already.
  PoParser(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
           FileExtras* extras, Keep keep, std::string convertedFrom, const UnitSink* sink)
      : sink_(sink),
        data_(data),
        units_(units),
        failure_(failure),
        extras_(extras),
        keep_(keep),
        convertedFrom_(std::move(convertedFrom)) {}

  bool Run() {
    if (data_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    const size_t valid = ValidUtf8Prefix(data_);
    if (valid != data_.size()) return FailAt(valid, "invalid UTF-8");
    while (NextLine()) {
      if (!Line()) return false;
    }
    EndObsolete();
    return Finish();
  }

 private:
  enum class Field { kNone, kContext, kId, kString };

  // Moves to the next line; strips one CR before the LF.
  bool NextLine() {
    if (pos_ >= data_.size()) return false;
    lineStart_ = pos_;
    size_t end = data_.find('\n', pos_);
    if (end == std::string_view::npos) end = data_.size();
    pos_ = end + 1;
    line_ = data_.substr(lineStart_, end - lineStart_);
    if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
    ++lineNumber_;
    return true;
  }

  bool Line() {
    size_t i = 0;
    while (i < line_.size() && (line_[i] == ' ' || line_[i] == '\t')) ++i;
    if (line_.substr(i, 2) == "#~") return Obsolete();
    EndObsolete();
    if (i == line_.size()) return true;
    if (line_[i] == '#') return Comment(line_.substr(i), i);
    if (line_[i] == '"') {
      if (field_ == Field::kNone) return Fail(i, "a continued string without a keyword");
      return QuotedInto(i, Current());
    }
    size_t end = i;
    while (end < line_.size() && line_[end] != ' ' && line_[end] != '\t' && line_[end] != '"') {
      ++end;
    }
    const std::string_view keyword = line_.substr(i, end - i);
    size_t q = end;
    while (q < line_.size() && (line_[q] == ' ' || line_[q] == '\t')) ++q;
    if (keyword == "msgctxt") {
      if (field_ == Field::kString || stage_ == Stage::kId) {
        if (!Complete()) return false;
      } else if (stage_ != Stage::kComments) {
        return Fail(i, "msgctxt out of place");
      }
      stage_ = Stage::kContext;
      hasContext_ = true;
      field_ = Field::kContext;
      startLine_ = startLine_ == 0 ? lineNumber_ : startLine_;
    } else if (keyword == "msgid") {
      if (field_ == Field::kString) {
        if (!Complete()) return false;
      } else if (stage_ == Stage::kId) {
        return Fail(i, "msgid without msgstr");
      }
      stage_ = Stage::kId;
      field_ = Field::kId;
      startLine_ = startLine_ == 0 ? lineNumber_ : startLine_;
    } else if (keyword == "msgstr") {
      if (stage_ != Stage::kId || field_ != Field::kId) return Fail(i, "msgstr without msgid");
      field_ = Field::kString;
    } else if (keyword == "msgid_plural" || keyword.substr(0, 7) == "msgstr[") {
      return Fail(i, "plural forms are not supported");
    } else {
      return Fail(i, "unknown keyword");
    }
    if (q >= line_.size() || line_[q] != '"') return Fail(q, "a quoted string expected");
    return QuotedInto(q, Current());
  }

  std::string& Current() {
    switch (field_) {
      case Field::kContext:
        return context_;
      case Field::kId:
        return source_;
      default:
        return target_;
    }
  }

  // Parses one quoted string starting at line_[at] == '"' and appends its bytes to `out`.
  bool QuotedInto(size_t at, std::string& out) {
    size_t i = at + 1;
    const size_t before = out.size();
    bool byteEscape = false;  // the file is valid UTF-8; only escaped bytes can break that
    while (true) {
      size_t end = i;
      while (end < line_.size() && line_[end] != '"' && line_[end] != '\\') ++end;
      out.append(line_, i, end - i);
      i = end;
      if (i >= line_.size()) return Fail(at, "unterminated string");
      if (line_[i] == '"') break;
      if (++i >= line_.size()) return Fail(i - 1, "unterminated string");
      const char e = line_[i];
      switch (e) {
        case 'a':
          out += '\a';
          ++i;
          continue;
        case 'b':
          out += '\b';
          ++i;
          continue;
        case 't':
          out += '\t';
          ++i;
          continue;
        case 'n':
          out += '\n';
          ++i;
          continue;
        case 'v':
          out += '\v';
          ++i;
          continue;
        case 'f':
          out += '\f';
          ++i;
          continue;
        case 'r':
          out += '\r';
          ++i;
          continue;
        case '\\':
        case '"':
        case '\'':
        case '?':
          out += e;
          ++i;
          continue;
        default:
          break;
      }
      int value = 0;
      int digits = 0;
      if (e >= '0' && e <= '7') {
        while (digits < 3 && i < line_.size() && line_[i] >= '0' && line_[i] <= '7') {
          value = value * 8 + (line_[i++] - '0');
          ++digits;
        }
      } else if (e == 'x') {
        ++i;
        while (i < line_.size() && std::isxdigit(static_cast<unsigned char>(line_[i]))) {
          const char h = line_[i++];
          value = value * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
          if (++digits > 2) return Fail(i - 1, "hexadecimal escape out of range");
        }
      }
      if (digits == 0) return Fail(i - 1, "unknown escape sequence");
      if (value == 0 || value > 0xFF) return Fail(i - 1, "escape of a NUL or out of range");
      out += static_cast<char>(value);
      if (value >= 0x80) byteEscape = true;
    }
    const size_t rest = line_.find_first_not_of(" \t", i + 1);
    if (rest != std::string_view::npos) return Fail(rest, "text after the closing quote");
    if (out.find('\0', before) != std::string::npos) return Fail(at, "a NUL byte in a string");
    if (byteEscape &&
        ValidUtf8Prefix(std::string_view(out).substr(before)) != out.size() - before) {
      return Fail(at, "escapes that form invalid UTF-8");
    }
    return true;
  }

  // An obsolete entry is kept as written, with the comments just before it, for an update to
  // write back; the entries themselves are never read.
  bool Obsolete() {
    if (field_ == Field::kString && !Complete()) return false;
    if (stage_ != Stage::kComments) return Fail(0, "an obsolete line inside an entry");
    if (extras_ != nullptr) {
      extras_->obsolete += pendingRaw_;
      extras_->obsolete.append(line_);
      extras_->obsolete += '\n';
      if (line_.substr(0, 9) == "#~ msgid ") ++extras_->obsoleteCount;
    }
    inObsolete_ = true;
    ClearComments();
    return true;
  }
  void EndObsolete() {
    if (inObsolete_ && extras_ != nullptr) extras_->obsolete += '\n';
    inObsolete_ = false;
  }
  void ClearComments() {
    pendingRaw_.clear();
    notes_.clear();
    comments_.clear();
    flags_.clear();
    previous_.clear();
    hasPrevious_ = false;
    fuzzy_ = false;
    referenceIds_.clear();
    startLine_ = 0;
  }

  static void AddLine(std::string& to, std::string_view line) {
    if (!to.empty()) to += '\n';
    to.append(line);
  }

  bool Comment(std::string_view c, size_t offset) {
    // A comment after the strings of an entry starts the next entry.
    if (field_ == Field::kString && !Complete()) return false;
    if (stage_ != Stage::kComments) return Fail(0, "a comment inside an entry");
    if (extras_ != nullptr) {  // only an update writes obsolete entries back
      pendingRaw_.append(c);
      pendingRaw_ += '\n';
    }
    // The writer puts a space after a comment's final backslash (gettext would join the lines).
    if (c.size() >= 2 && c.substr(c.size() - 2) == "\\ ") c.remove_suffix(1);
    if (c.size() == 1 || c[1] == ' ' || c[1] == '\t') {
      if (keep_ == Keep::kEverything) AddLine(comments_, c.substr(std::min<size_t>(c.size(), 2)));
    } else if (c.substr(0, 2) == "#.") {
      if (keep_ == Keep::kEverything)
        AddLine(notes_, c.substr(c.size() > 2 && c[2] == ' ' ? 3 : 2));
    } else if (c.substr(0, 2) == "#|") {
      // Previous strings: only the msgid is kept, with its continuation lines.
      size_t q = 2;
      while (q < c.size() && (c[q] == ' ' || c[q] == '\t')) ++q;
      if (c.substr(q, 6) == "msgid ") {
        previousField_ = true;
        hasPrevious_ = true;
        previous_.clear();
        q += 6;
        while (q < c.size() && c[q] == ' ') ++q;
      } else if (c.substr(q, 1) != "\"") {
        previousField_ = false;
        return true;
      }
      if (previousField_ && q < c.size() && c[q] == '"') return QuotedInto(offset + q, previous_);
    } else if (c.substr(0, 2) == "#,") {
      size_t i = 2;
      while (i < c.size()) {
        size_t end = c.find(',', i);
        if (end == std::string_view::npos) end = c.size();
        std::string_view flag = c.substr(i, end - i);
        while (!flag.empty() && (flag.front() == ' ' || flag.front() == '\t'))
          flag.remove_prefix(1);
        while (!flag.empty() && (flag.back() == ' ' || flag.back() == '\t')) flag.remove_suffix(1);
        if (flag == "fuzzy") {
          fuzzy_ = true;
        } else if (!flag.empty()) {
          if (!flags_.empty()) flags_ += ", ";
          flags_.append(flag);
        }
        i = end + 1;
      }
    } else if (c.substr(0, 2) == "#:") {
      // References are "FILE:LINE" tokens; the last one whose LINE is an ID names the entry.
      size_t i = 2;
      while (i < c.size()) {
        while (i < c.size() && (c[i] == ' ' || c[i] == '\t')) ++i;
        size_t end = i;
        while (end < c.size() && c[end] != ' ' && c[end] != '\t') ++end;
        const std::string_view token = c.substr(i, end - i);
        // translate-toolkit's xliff2po writes the bare resname: "#: 12".
        const size_t colon = token.rfind(':');
        const std::string_view line =
            colon == std::string_view::npos ? token : token.substr(colon + 1);
        int id;
        if (ParseId(line, id)) referenceIds_.push_back(id);
        i = end;
      }
    }
    if (startLine_ == 0) startLine_ = lineNumber_;
    return true;
  }

  // Ends the entry whose msgstr was read.
  bool Complete() {
    if (field_ != Field::kString) {
      if (stage_ == Stage::kComments) return true;
      return Fail(0, "an entry without msgstr");
    }
    const bool header = !hasContext_ && source_.empty();
    if (header) {
      if (!HeaderCharsetIsUtf8()) return false;
      if (extras_ != nullptr) {
        extras_->headerComments = pendingRaw_;
        extras_->targetLang = HeaderField("Language");
        extras_->sourceLang = HeaderField("X-Source-Language");
        extras_->header = target_;
      }
    } else {
      ImportUnit unit;
      unit.line = startLine_;
      if (hasContext_) {
        // translate-toolkit's xliff2po gives an entry with an empty msgid the context "FILE:ID".
        const size_t colon = context_.rfind(':');
        const std::string_view id = colon == std::string::npos
                                        ? std::string_view(context_)
                                        : std::string_view(context_).substr(colon + 1);
        if (!ParseId(id, unit.id)) {
          return FailLine(startLine_, "msgctxt is not a line ID");
        }
      } else if (!referenceIds_.empty()) {
        // msguniq and msgmerge fold lines of equal text into one entry that references each of
        // them; the entry stands for every one of those IDs.
        unit.id = referenceIds_.front();
        if (referenceIds_.size() > 1) {
          std::unordered_set<int> seen{unit.id};
          for (size_t r = 1; r < referenceIds_.size(); ++r) {
            if (seen.insert(referenceIds_[r]).second) unit.moreIds.push_back(referenceIds_[r]);
          }
        }
      } else {
        return FailLine(startLine_, "an entry without msgctxt or a FILE:ID reference");
      }
      unit.source.swap(source_);
      unit.target.swap(target_);
      unit.fuzzy = fuzzy_;
      unit.hasPrevious = hasPrevious_;
      unit.previous.swap(previous_);
      unit.notes.swap(notes_);
      unit.comments.swap(comments_);
      unit.flags.swap(flags_);
      if (sink_ != nullptr) {
        if (!(*sink_)(unit)) return Stopped();
      } else {
        units_.push_back(std::move(unit));
      }
    }
    context_.clear();
    source_.clear();
    target_.clear();
    hasContext_ = false;
    ClearComments();
    field_ = Field::kNone;
    stage_ = Stage::kComments;
    return true;
  }

  // The value of "NAME: value" in the header; empty when it is not there.
  std::string HeaderField(std::string_view name) {
    size_t at = 0;
    while (at < target_.size()) {
      size_t end = target_.find('\n', at);
      if (end == std::string::npos) end = target_.size();
      const std::string_view line = std::string_view(target_).substr(at, end - at);
      if (line.size() > name.size() + 1 && line.substr(0, name.size()) == name &&
          line[name.size()] == ':') {
        std::string_view value = line.substr(name.size() + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return std::string(value);
      }
      at = end + 1;
    }
    return std::string();
  }

  // A header naming UTF-8 (or nothing) is taken as it is. One naming the charset the file was
  // converted from is rewritten to name UTF-8, which the texts now are (an update writes it back).
  bool HeaderCharsetIsUtf8() {
    const size_t at = target_.find("charset=");
    if (at == std::string::npos) return true;
    size_t end = at + 8;
    while (end < target_.size() && target_[end] != '\n' && target_[end] != ';' &&
           target_[end] != ' ') {
      ++end;
    }
    std::string charset = target_.substr(at + 8, end - at - 8);
    for (char& c : charset) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (IsUtf8Name(charset)) return true;
    if (!convertedFrom_.empty() && charset == convertedFrom_) {
      target_.replace(at + 8, end - at - 8, "UTF-8");
      return true;
    }
    return FailLine(startLine_, "the header names charset " + charset +
                                    " after another; convert the file to UTF-8 with msgconv "
                                    "--to-code=UTF-8");
  }

  bool Finish() {
    if (field_ == Field::kString) return Complete();
    if (stage_ != Stage::kComments) return FailLine(lineNumber_, "the file ends inside an entry");
    return true;
  }

  bool Fail(size_t column, const std::string& message) {
    failure_.line = lineNumber_;
    failure_.column = static_cast<long>(column) + 1;
    failure_.message = message;
    return false;
  }
  bool Stopped() {
    failure_ = ParseFailure();
    return false;
  }
  bool FailLine(long line, const std::string& message) {
    failure_.line = line;
    failure_.column = 1;
    failure_.message = message;
    return false;
  }
  bool FailAt(size_t offset, const std::string& message) {
    LineAndColumn(data_, offset, failure_.line, failure_.column);
    failure_.message = message;
    return false;
  }

  enum class Stage { kComments, kContext, kId };

  const UnitSink* sink_;
  std::string_view data_;
  std::vector<ImportUnit>& units_;
  ParseFailure& failure_;
  size_t pos_ = 0;
  size_t lineStart_ = 0;
  std::string_view line_;
  long lineNumber_ = 0;

  Stage stage_ = Stage::kComments;
  Field field_ = Field::kNone;
  std::string context_;
  std::string source_;
  std::string target_;
  bool hasContext_ = false;
  bool fuzzy_ = false;
  std::vector<int> referenceIds_;  // in file order, each once
  long startLine_ = 0;

  FileExtras* extras_;
  Keep keep_;
  std::string pendingRaw_;  // this entry's comment lines as written
  std::string notes_;
  std::string comments_;
  std::string flags_;
  std::string previous_;
  bool hasPrevious_ = false;
  bool previousField_ = false;
  bool inObsolete_ = false;
  std::string convertedFrom_;
};

}  // namespace

bool ParseId(std::string_view text, int& id) {
  if (text.empty() || text.size() > 10) return false;
  long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > 0x7FFFFFFF) return false;
  id = static_cast<int>(value);
  return true;
}

static std::string PoDeclaredCharset(std::string_view data) {
  if (data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
  // The header is the first entry: the comments above it, `msgid ""`, its msgstr, up to the first
  // empty line. Only that part is looked at, and only its ASCII matters.
  size_t end = 0;
  while (end < data.size()) {
    size_t lineEnd = data.find('\n', end);
    if (lineEnd == std::string_view::npos) lineEnd = data.size();
    std::string_view line = data.substr(end, lineEnd - end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos && end > 0) {
      // An empty line ends the header once a msgid was seen.
      if (data.substr(0, end).find("msgid") != std::string_view::npos) break;
    }
    end = lineEnd + 1;
  }
  const std::string_view header = data.substr(0, std::min(end, data.size()));
  const size_t msgid = header.find("msgid \"\"");
  if (msgid == std::string_view::npos) return std::string();
  const size_t at = header.find("charset=", msgid);
  if (at == std::string_view::npos) return std::string();
  size_t stop = at + 8;
  while (stop < header.size() && header[stop] != '\\' && header[stop] != '"' &&
         header[stop] != ';' && header[stop] != ' ' && header[stop] != '\n' &&
         header[stop] != '\r') {
    ++stop;
  }
  std::string charset(header.substr(at + 8, stop - at - 8));
  for (char& c : charset) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return charset;
}

bool ReadPo(std::string_view data, std::vector<ImportUnit>& units, ParseFailure& failure,
            FileExtras* extras, Keep keep, const UnitSink* sink) {
  units.clear();
  if (extras != nullptr) *extras = FileExtras();
  const std::string charset = PoDeclaredCharset(data);
  if (charset.empty() || IsUtf8Name(charset)) {
    PoParser parser(data, units, failure, extras, keep, std::string(), sink);
    return parser.Run();
  }
  // gettext writes a PO in the charset its header names; the file is turned into UTF-8 whole,
  // before parsing, so that a trail byte equal to a backslash or a quote (Shift_JIS, Big5) is
  // never taken for one.
  const Recoder recoder(charset);
  std::string converted;
  if (!recoder.ok()) {
    failure.line = 1;
    failure.column = 1;
    failure.message = "the header names charset " + charset +
                      ", which this system cannot convert; convert the file to UTF-8 first "
                      "(msgconv --to-code=UTF-8)";
    return false;
  }
  std::string_view body = data;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (!recoder.ToUtf8(body, converted)) {
    failure.line = 1;
    failure.column = 1;
    failure.message = "the file is not valid " + charset +
                      " text, the charset its header names; convert it to UTF-8 with msgconv "
                      "--to-code=UTF-8";
    return false;
  }
  PoParser parser(converted, units, failure, extras, keep, charset, sink);
  return parser.Run();
}

}  // namespace exchange
