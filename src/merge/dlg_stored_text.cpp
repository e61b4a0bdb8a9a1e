// The stored text form; the layout is in dlg_stored_text.h and docs/git.md.
#include "merge/dlg_stored_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unordered_set>

#include "platform/text_escape.h"

namespace {

constexpr std::string_view kSecondLine =
    "# To get the .dlg: dlgtool git-install --store-text, then git checkout -- FILE "
    "(docs/git.md)\n";
constexpr std::string_view kColumnHeading =
    "ID\tspeaker\texpression\tsound\ttext\n"
    "--\t-------\t----------\t-----\t----\n";

// Most texts need no escape: they go over in one piece (the escaper works byte by byte). The
// bytes are exactly what AppendEscapedText writes either way.
void AppendField(std::string& out, std::string_view field) {
  for (const char c : field) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '\\') {
      platform::AppendEscapedText(out, field);
      return;
    }
  }
  out.append(field);
}

void AppendRange(std::string& out, int32_t low, int32_t high) {
  out += "range [" + std::to_string(low) + ", " + std::to_string(high) + ")\n";
}

// Reads the text line by line and undoes the escapes; each failure says which line.
class Reader {
 public:
  Reader(std::string_view text, std::string& storage) : text_(text), storage_(storage) {}

  bool AtEnd() const { return at_ >= text_.size(); }
  size_t number() const { return number_; }

  // The next line without its line feed; false at the end or when the last line has none.
  bool Next(std::string_view& line) {
    if (AtEnd()) return false;
    const size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) return false;
    line = text_.substr(at_, end - at_);
    at_ = end + 1;
    ++number_;
    return true;
  }
  // True when the next line is empty (the line before a plot).
  bool NextIsEmpty() const { return at_ < text_.size() && text_[at_] == '\n'; }

  // Appends the unescaped bytes of `escaped` to the storage and views them. The storage was
  // reserved for the whole text, which no unescaped value outgrows, so earlier views stay valid.
  bool Unescape(std::string_view escaped, std::string_view& value) {
    const size_t start = storage_.size();
    for (size_t i = 0; i < escaped.size(); ++i) {
      // Runs of plain bytes go over in one piece.
      size_t run = i;
      while (run < escaped.size() && escaped[run] != '\\') {
        const unsigned char c = static_cast<unsigned char>(escaped[run]);
        if (c < 0x20 || c == 0x7F) return false;
        ++run;
      }
      storage_.append(escaped.data() + i, run - i);
      i = run;
      if (i == escaped.size()) break;
      if (++i == escaped.size()) return false;
      switch (escaped[i]) {
        case '\\':
          storage_ += '\\';
          break;
        case 't':
          storage_ += '\t';
          break;
        case 'r':
          storage_ += '\r';
          break;
        case 'n':
          storage_ += '\n';
          break;
        case '"':
          storage_ += '"';
          break;
        case 'x': {
          if (i + 2 >= escaped.size()) return false;
          const int high = Hex(escaped[i + 1]), low = Hex(escaped[i + 2]);
          if (high < 0 || low < 0) return false;
          storage_ += static_cast<char>(high * 16 + low);
          i += 2;
          break;
        }
        default:
          return false;
      }
    }
    value = std::string_view(storage_).substr(start);
    return true;
  }

  // `"...",` as a quoted value: the part between the quotes, unescaped.
  bool Quoted(std::string_view quoted, std::string_view& value) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
    const std::string_view inner = quoted.substr(1, quoted.size() - 2);
    for (size_t i = 0; i < inner.size(); ++i) {
      if (inner[i] == '\\') {
        ++i;
      } else if (inner[i] == '"') {
        return false;
      }
    }
    return Unescape(inner, value);
  }

 private:
  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  std::string_view text_;
  std::string& storage_;
  size_t at_ = 0;
  size_t number_ = 0;
};

// A decimal int32 as the renderer writes it: optional '-', digits, no leading zeros or '+'.
bool Int32(std::string_view digits, int32_t& value) {
  const bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && digits.size() > 1)) return false;
  if (negative && digits == "0") return false;
  long long parsed = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    parsed = parsed * 10 + (c - '0');
  }
  if (negative) parsed = -parsed;
  if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

bool Prefixed(std::string_view line, std::string_view prefix, std::string_view& rest) {
  if (line.substr(0, prefix.size()) != prefix) return false;
  rest = line.substr(prefix.size());
  return true;
}

}  // namespace

bool IsStoredText(std::string_view bytes) {
  return bytes.substr(0, kStoredTextMagic.size()) == kStoredTextMagic;
}

std::string RenderStoredText(const MergeDocument& doc) {
  size_t estimate = 512;
  for (const MergePlot& plot : doc.plots) {
    estimate += 160 + plot.name.size();
    for (const MergeLine& line : plot.lines) {
      estimate +=
          16 + line.speaker.size() + line.expression.size() + line.sound.size() + line.text.size();
    }
  }
  std::string out;
  out.reserve(estimate);
  out += kStoredTextMagic;
  out += "; not a .dlg file without it.\n";
  out += kSecondLine;
  out += "version 104\ngame ";
  platform::AppendQuotedText(out, doc.gameName);
  out += "\ncolumns speaker " + std::to_string(doc.useSpeaker) + ", expression " +
         std::to_string(doc.useExpression) + ", sound " + std::to_string(doc.useSound) + "\n";
  out += "multi-line " + std::to_string(doc.multiLine) + "\n";
  for (const MergePlot& plot : doc.plots) {
    out += "\nplot ";
    platform::AppendQuotedText(out, plot.name);
    out += "\n";
    AppendRange(out, plot.rangeLow, plot.rangeHigh);
    out += kColumnHeading;
    for (const MergeLine& line : plot.lines) {
      out += std::to_string(line.id);
      for (const std::string_view field : {line.speaker, line.expression, line.sound, line.text}) {
        out += '\t';
        AppendField(out, field);
      }
      out += '\n';
    }
  }
  return out;
}

platform::Status ParseStoredText(std::string_view text, MergeDocument& doc, std::string& storage) {
  doc = MergeDocument();
  storage.clear();
  storage.reserve(text.size());
  Reader reader(text, storage);
  std::string_view line, rest;
  auto fail = [&reader](const std::string& what) {
    return platform::Status::Failure("line " + std::to_string(reader.number()) + ": " + what);
  };
  if (!reader.Next(line) || !IsStoredText(line)) {
    return platform::Status::Failure("line 1: not a dialogue file stored as text");
  }
  if (!reader.Next(line) || !line.starts_with("# ")) return fail("expected the second comment");
  if (!reader.Next(line) || line != "version 104") return fail("expected `version 104`");
  if (!reader.Next(line) || !Prefixed(line, "game ", rest) || !reader.Quoted(rest, doc.gameName)) {
    return fail("expected `game \"NAME\"`");
  }
  int32_t* options[] = {&doc.useSpeaker, &doc.useExpression, &doc.useSound};
  if (!reader.Next(line) || !Prefixed(line, "columns speaker ", rest)) {
    return fail("expected `columns speaker N, expression N, sound N`");
  }
  for (int k = 0; k < 3; ++k) {
    const size_t comma = k < 2 ? rest.find(", ") : rest.size();
    if (comma == std::string_view::npos || !Int32(rest.substr(0, comma), *options[k])) {
      return fail("expected `columns speaker N, expression N, sound N`");
    }
    if (k < 2) {
      rest = rest.substr(comma + 2);
      const std::string_view name = k == 0 ? "expression " : "sound ";
      if (!Prefixed(rest, name, rest))
        return fail("expected `columns speaker N, expression N, sound N`");
    }
  }
  if (!reader.Next(line) || !Prefixed(line, "multi-line ", rest) || !Int32(rest, doc.multiLine)) {
    return fail("expected `multi-line N`");
  }
  // The merge and the writer take a line by its ID and a plot by its name: each once.
  std::unordered_set<int32_t> ids;
  std::unordered_set<std::string_view> names;
  while (!reader.AtEnd()) {
    if (!reader.Next(line)) return fail("the text ends without a line break");
    if (!line.empty()) return fail("expected an empty line before a plot");
    MergePlot plot;
    if (!reader.Next(line) || !Prefixed(line, "plot ", rest) || !reader.Quoted(rest, plot.name)) {
      return fail("expected `plot \"NAME\"`");
    }
    if (!names.insert(plot.name).second) return fail("a second plot of this name");
    if (!reader.Next(line) || !Prefixed(line, "range [", rest) || !rest.ends_with(")")) {
      return fail("expected `range [LOW, HIGH)`");
    }
    rest.remove_suffix(1);
    const size_t comma = rest.find(", ");
    if (comma == std::string_view::npos || !Int32(rest.substr(0, comma), plot.rangeLow) ||
        !Int32(rest.substr(comma + 2), plot.rangeHigh)) {
      return fail("expected `range [LOW, HIGH)`");
    }
    std::string_view heading;
    if (!reader.Next(line) || !reader.Next(heading) ||
        std::string(line) + "\n" + std::string(heading) + "\n" != kColumnHeading) {
      return fail("expected the two heading lines of the columns");
    }
    while (!reader.AtEnd() && !reader.NextIsEmpty()) {
      if (!reader.Next(line)) return fail("the text ends without a line break");
      MergeLine member;
      std::string_view fields[5];
      size_t at = 0;
      for (int k = 0; k < 5; ++k) {
        const size_t tab = k < 4 ? line.find('\t', at) : line.size();
        if (tab == std::string_view::npos) return fail("expected five fields separated by TABs");
        fields[k] = line.substr(at, tab - at);
        at = tab + 1;
      }
      if (fields[4].find('\t') != std::string_view::npos) return fail("more than five fields");
      if (!Int32(fields[0], member.id)) return fail("expected the line's ID");
      if (!ids.insert(member.id).second) return fail("a second line with this ID");
      std::string_view* values[] = {&member.speaker, &member.expression, &member.sound,
                                    &member.text};
      for (int k = 0; k < 4; ++k) {
        if (!reader.Unescape(fields[k + 1], *values[k])) return fail("a field has a bad escape");
      }
      plot.lines.push_back(member);
    }
    doc.plots.push_back(std::move(plot));
  }
  return platform::Status::Ok();
}
