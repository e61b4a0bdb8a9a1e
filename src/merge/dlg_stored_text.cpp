// The stored text form; the layout is in dlg_stored_text.h and docs/git.md.
#include "merge/dlg_stored_text.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "platform/page_buffer.h"
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

void AppendNumber(std::string& out, int32_t value) {
  char digits[16];
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, written.ptr);
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

  // The next line without its line feed; false at the end or when the last line has none (which
  // counts as a line, so that a failure names it).
  bool Next(std::string_view& line) {
    if (AtEnd()) return false;
    const size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) {
      ++number_;
      return false;
    }
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

// What a byte of a member line is to the parser: a TAB ends a field, a backslash starts an
// escape, and no field holds another control byte (the renderer escapes them all).
enum ByteClass : uint8_t { kPlain, kFieldEnd, kEscape, kNever };

constexpr std::array<uint8_t, 256> kByteClass = [] {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = kNever;
  table[0x7F] = kNever;
  table['\t'] = kFieldEnd;
  table['\\'] = kEscape;
  return table;
}();

// The IDs seen so far: open addressing over a power-of-two table, since a node-based set costs
// an allocation per line of a script of 100 000 lines.
class IdSet {
 public:
  explicit IdSet(size_t expected) {
    size_t capacity = 1024;
    while (capacity < 2 * expected) capacity *= 2;
    slots_.assign(capacity, kEmpty);
  }
  // False when `id` was there already.
  bool Insert(int32_t id) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    if (!Place(slots_, id)) return false;
    ++count_;
    return true;
  }

 private:
  static constexpr int64_t kEmpty = INT64_MIN;

  static bool Place(std::vector<int64_t>& slots, int32_t id) {
    const size_t mask = slots.size() - 1;
    // Fibonacci hashing spreads the runs of consecutive IDs a script has.
    for (size_t at = (static_cast<uint32_t>(id) * 2654435769u) & mask;; at = (at + 1) & mask) {
      if (slots[at] == kEmpty) {
        slots[at] = id;
        return true;
      }
      if (slots[at] == id) return false;
    }
  }
  void Grow() {
    std::vector<int64_t> bigger(slots_.size() * 2, kEmpty);
    for (const int64_t id : slots_) {
      if (id != kEmpty) Place(bigger, static_cast<int32_t>(id));
    }
    slots_.swap(bigger);
  }

  std::vector<int64_t> slots_;
  size_t count_ = 0;
};

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
  platform::PreferHugePages(out.data(), out.capacity());
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
      AppendNumber(out, line.id);
      for (const std::string_view field : {line.speaker, line.expression, line.sound, line.text}) {
        out += '\t';
        AppendField(out, field);
      }
      out += '\n';
    }
  }
  return out;
}

namespace {

// One member line: ID TAB speaker TAB expression TAB sound TAB text. A value without a backslash
// views the text itself; only escaped values are unescaped into the storage. Every byte is looked
// at once, and the failures keep their order: the field count, the ID, a repeated ID, then a
// control byte or a bad escape in a value.
const char* ParseMember(std::string_view line, Reader& reader, IdSet& ids, MergeLine& member) {
  size_t ends[5];
  bool escaped[5] = {};
  bool never = false;
  int field = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    switch (kByteClass[static_cast<unsigned char>(line[i])]) {
      case kPlain:
        break;
      case kFieldEnd:
        if (field < 5) ends[field] = i;
        ++field;
        break;
      case kEscape:
        if (field < 5) escaped[field] = true;
        break;
      default:
        never = true;
        break;
    }
  }
  if (field < 4) return "expected five fields separated by TABs";
  if (field > 4) return "more than five fields";
  ends[4] = line.size();
  if (!Int32(line.substr(0, ends[0]), member.id)) return "expected the line's ID";
  if (!ids.Insert(member.id)) return "a second line with this ID";
  if (never) return "a field has a bad escape";
  std::string_view* values[] = {&member.speaker, &member.expression, &member.sound, &member.text};
  for (int k = 1; k < 5; ++k) {
    const std::string_view value = line.substr(ends[k - 1] + 1, ends[k] - ends[k - 1] - 1);
    if (!escaped[k]) {
      *values[k - 1] = value;
    } else if (!reader.Unescape(value, *values[k - 1])) {
      return "a field has a bad escape";
    }
  }
  return nullptr;
}

}  // namespace

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
  // The merge and the writer take a line by its ID and a plot by its name: each once. A member
  // line takes some 40 bytes or more, which sizes the ID table for most texts at once.
  IdSet ids(text.size() / 64);
  std::unordered_set<std::string_view> names;
  // A plot's lines are gathered here and then copied to the plot in one block of the right size:
  // growing each plot's vector line by line costs more than parsing the lines.
  std::vector<MergeLine> members;
  while (!reader.AtEnd()) {
    if (!reader.Next(line)) return fail("the text ends without a line break");
    if (!line.empty()) return fail("expected an empty line before a plot");
    MergePlot& plot = doc.plots.emplace_back();
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
        kColumnHeading.size() != line.size() + heading.size() + 2 ||
        kColumnHeading.substr(0, line.size()) != line || kColumnHeading[line.size()] != '\n' ||
        kColumnHeading.substr(line.size() + 1, heading.size()) != heading) {
      return fail("expected the two heading lines of the columns");
    }
    members.clear();
    while (!reader.AtEnd() && !reader.NextIsEmpty()) {
      if (!reader.Next(line)) return fail("the text ends without a line break");
      if (const char* wrong = ParseMember(line, reader, ids, members.emplace_back())) {
        return fail(wrong);
      }
    }
    plot.lines.assign(members.begin(), members.end());
  }
  return platform::Status::Ok();
}
