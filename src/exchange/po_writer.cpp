// gettext PO, written exactly as `msgcat --no-wrap` writes it, so that running the file through
// gettext's own tools changes no byte:
//  - escapes \a \b \t \n \v \f \r \\ \" and no others; every other byte, control bytes and
//    UTF-8 included, is written as it is;
//  - a string holding an LF before its last byte is written as "" followed by one quoted line per
//    LF-terminated piece; any other string on the keyword's own line;
//  - entries are separated by one empty line; the file ends with the last msgstr line.
#include "exchange/chunked_output.h"
#include "exchange/exchange_units.h"

namespace exchange {
namespace {

// The escaped bytes are BEL..CR (7..13), backslash and double quote; the rest is copied in runs.
void AppendEscaped(std::string& out, std::string_view text) {
  static constexpr char kLetter[] = "abtnvfr";
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' && c != '"' && (c < '\a' || c > '\r')) continue;
    out.append(text, run, i - run);
    out += '\\';
    out += c == '\\' || c == '"' ? c : kLetter[c - '\a'];
    run = i + 1;
  }
  out.append(text, run, text.size() - run);
}

void AppendString(std::string& out, const char* keyword, std::string_view text) {
  out += keyword;
  const size_t lf = text.find('\n');
  if (lf == std::string_view::npos || lf + 1 >= text.size()) {
    out += " \"";
    AppendEscaped(out, text);
    out += "\"\n";
    return;
  }
  out += " \"\"\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    out += '"';
    AppendEscaped(out, text.substr(start, end - start));
    out += "\"\n";
    start = end;
  }
}

// gettext wraps file names holding white space in Unicode isolates when it rewrites references;
// a name without any keeps the reference byte-stable.
std::string ReferenceName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') c = '_';
  }
  return out;
}

// A header field value must stay on its line.
std::string FieldValue(const std::string& value) {
  std::string out = value;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return out;
}

// Every line of `block` behind `prefix`, as msgmerge writes previous strings and obsolete entries.
void AppendPrefixed(std::string& out, const char* prefix, std::string_view block) {
  size_t start = 0;
  while (start < block.size()) {
    size_t end = block.find('\n', start);
    if (end == std::string_view::npos) end = block.size();
    out += prefix;
    out.append(block.substr(start, end - start));
    out += '\n';
    start = end + 1;
  }
}

// gettext joins a line that ends in a backslash with the next one, comments included: a context
// item ending in "\\" would swallow the entry's "#:" reference in msgcat and msguniq. Such a
// comment line gets one space after the backslash (the reader drops it again).
void EndCommentLine(std::string& out) {
  if (!out.empty() && out.back() == '\\') out += ' ';
  out += '\n';
}

void AppendComments(std::string& out, std::string_view comments) {
  if (comments.empty()) return;
  size_t start = 0;
  while (start <= comments.size()) {
    size_t end = comments.find('\n', start);
    if (end == std::string_view::npos) end = comments.size();
    const std::string_view line = comments.substr(start, end - start);
    out += line.empty() ? "#" : "# ";
    out.append(line);
    EndCommentLine(out);
    start = end + 1;
  }
}

void AppendFlags(std::string& out, bool fuzzy, std::string_view flags) {
  if (!fuzzy && flags.empty()) return;
  out += "#, ";
  if (fuzzy) out += flags.empty() ? "fuzzy" : "fuzzy, ";
  out.append(flags);
  out += '\n';
}

}  // namespace

std::string PoObsoleteEntry(const ImportUnit& unit) {
  std::string out;
  AppendComments(out, unit.comments);
  AppendFlags(out, unit.fuzzy, unit.flags);
  std::string strings = "msgctxt \"" + std::to_string(unit.id) + "\"\n";
  AppendString(strings, "msgid", unit.source);
  AppendString(strings, "msgstr", unit.target);
  AppendPrefixed(out, "#~ ", strings);
  return out;
}

namespace {

size_t PoEstimate(const ExportSet& set) {
  size_t estimate = 512 + set.obsolete.size();
  for (const ExportUnit& unit : set.units) {
    estimate += 64 + unit.text.size() * 2 + unit.target.size() * 2 + unit.notes.size() * 2;
  }
  return estimate;
}

bool WritePoTo(const ExportSet& set, ChunkedOutput& output) {
  std::string& out = output.text;
  const std::string header = "Project-Id-Version: " + FieldValue(set.gameName) +
                             "\nLanguage: " + FieldValue(set.targetLang) +
                             "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                             "Content-Transfer-Encoding: 8bit\nX-Generator: Parlatrix\n"
                             "X-Source-Language: " +
                             FieldValue(set.sourceLang) + "\n";
  out += set.poHeaderComments;
  out += "msgid \"\"\n";
  AppendString(out, "msgstr", set.poHeader.empty() ? header : set.poHeader);
  const std::string reference = "#: " + ReferenceName(set.original) + ":";
  for (const ExportUnit& unit : set.units) {
    if (!output.EntryBegins()) return false;
    out += '\n';
    AppendComments(out, unit.comments);
    size_t start = 0;
    while (start < unit.notes.size()) {
      size_t end = unit.notes.find('\n', start);
      if (end == std::string::npos) end = unit.notes.size();
      out += "#. ";
      out.append(unit.notes, start, end - start);
      EndCommentLine(out);
      start = end + 1;
    }
    const std::string id = std::to_string(unit.id);
    out += reference;
    out += id;
    out += '\n';
    AppendFlags(out, unit.fuzzy, unit.flags);
    if (unit.fuzzy && unit.hasPrevious) {
      std::string previous = "msgctxt \"" + std::to_string(unit.id) + "\"\n";
      AppendString(previous, "msgid", unit.previous);
      AppendPrefixed(out, "#| ", previous);
    }
    out += "msgctxt \"";
    out += id;
    out += "\"\n";
    AppendString(out, "msgid", unit.text);
    AppendString(out, "msgstr", unit.hasTarget ? unit.target : std::string_view());
  }
  if (!set.obsolete.empty()) {
    out += '\n';
    out += set.obsolete;
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') {
      out.pop_back();
    }
  }
  return output.Finish();
}

}  // namespace

std::string WritePo(const ExportSet& set) {
  ChunkedOutput output(nullptr, PoEstimate(set));
  (void)WritePoTo(set, output);
  return std::move(output.text);
}

bool WritePo(const ExportSet& set, const ChunkSink& sink) {
  ChunkedOutput output(&sink, 0);
  return WritePoTo(set, output);
}

}  // namespace exchange
