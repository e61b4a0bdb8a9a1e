// dlgtool textconv: a dialogue file as stable, line-oriented text, for `git diff` and `git log -p`.
//
// Only values stored in the file are shown (nothing from Parlatrix.ini), so an old commit renders
// the same forever. docs/git.md describes the form:
//
//   # dialogue file (dlgtool textconv)
//   version 104
//   game "Demo"
//   columns speaker 1, expression 0, sound 0
//   multi-line 0
//   lines 2, index entries 3, plots 1
//
//   plot "intro"
//   range [0, 100)
//   ID TAB speaker TAB expression TAB sound TAB text
//   -- TAB ------- TAB ---------- TAB ----- TAB ----
//   0 TAB Ann TAB TAB TAB Hi
//   2 TAB Bo TAB TAB TAB Yo
//
// The `plot` line stands four lines above the plot's first line on purpose. git names a hunk after
// the last line matching diff.parlatrix.xfuncname (`^plot .*$`) at or above the line just before
// the hunk's context. With git's default three lines of context, a change at a plot's first line
// has its context in the three heading lines below `plot`, so the search starts at the plot's own
// `plot` line; with a one-line heading it started in the previous plot.
//
// A damaged file shows what loads, followed by notes; the exit status stays 0 so that git goes on.
//
// Names and texts pass as bytes, escaped by the one rule of the text forms; in a double-byte code
// page (the locale's, or --encoding) a character's 0x5C trail byte stays whole. With --encoding
// they are converted from that code page to UTF-8 first, so that a UTF-8 terminal shows them.
#include <cstdio>
#include <string>

#include "commands.h"
#include "document_io.h"
#include "merge/dlg_stored_text.h"
#include "output.h"
#include "platform/iconv_codec.h"
#include "platform/text_escape.h"
#include "structure_notes.h"

namespace dlgtool {

namespace {

// How the bytes of names and texts are shown.
class TextForm {
 public:
  // False (with a message) when iconv does not know `encoding`.
  bool Init(const std::string& encoding) {
    if (encoding.empty() || platform::IsUtf8Codeset(encoding)) {
      bytes_ = encoding.empty() ? platform::EscapeBytesFor(platform::LocaleCodeset())
                                : platform::EscapeBytes::kSingle;
      return true;
    }
    codec_ = platform::IconvCodec("UTF-8", encoding);
    if (!codec_.ok()) {
      Message("%s: unknown code page; see `iconv -l`", encoding.c_str());
      return false;
    }
    convert_ = true;
    return true;
  }
  void Append(std::string& out, std::string_view text, bool quoted) const {
    std::string converted;
    if (convert_) {
      // A byte the code page does not decode shows as U+FFFD; the file is only read.
      converted = codec_.ConvertReplacing(text, "\xEF\xBF\xBD", platform::OneByte);
      text = converted;
    }
    if (quoted) {
      platform::AppendQuotedText(out, text, bytes_);
    } else {
      platform::AppendEscapedText(out, text, bytes_);
    }
  }

 private:
  platform::IconvCodec codec_{"UTF-8", "UTF-8"};
  bool convert_ = false;
  platform::EscapeBytes bytes_ = platform::EscapeBytes::kSingle;
};

// Three heading lines between `plot` and the first line: see the top of the file.
constexpr const char* kColumnHeading =
    "ID\tspeaker\texpression\tsound\ttext\n"
    "--\t-------\t----------\t-----\t----\n";

std::string_view View(const CPlainString& text) {
  return std::string_view(text.c_str(), static_cast<size_t>(text.GetLength()));
}

std::string HeaderText(const DlgHeader& header, const CDlgFile& doc, const TextForm& form) {
  int speaker = 0, expression = 0, sound = 0;
  doc.GetColumns(speaker, expression, sound);
  std::string out =
      "# dialogue file (dlgtool textconv)\nversion " + std::to_string(header.version) + "\ngame ";
  form.Append(out, View(doc.GetGameName()), true);
  out += "\ncolumns speaker " + std::to_string(speaker) + ", expression " +
         std::to_string(expression) + ", sound " + std::to_string(sound) + "\n";
  out += "multi-line " + std::to_string(doc.GetMultiLine()) + "\n";
  out += "lines " + std::to_string(header.lineCount) + ", index entries " +
         std::to_string(header.indexCount) + ", plots " +
         std::to_string(doc.GetPlots().GetCount()) + "\n";
  return out;
}

void AppendLine(std::string& out, const CDlgItem& line, const TextForm& form) {
  out += std::to_string(line.GetID());
  for (const CPlainString* field :
       {&line.GetSpeaker(), &line.GetExpression(), &line.GetSound(), &line.GetText()}) {
    out += '\t';
    form.Append(out, View(*field), false);
  }
  out += '\n';
}

std::string PlotsText(const CDlgFile& doc, const TextForm& form) {
  std::string out;
  for (auto* pos = doc.GetPlots().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgPlot& plot = pos->value;
    out += "\nplot ";
    form.Append(out, View(plot.GetName()), true);
    out += "\nrange " + RangeText(plot.rangeLow, plot.rangeHigh) + "\n" + kColumnHeading;
    for (auto* member = plot.members.GetHeadPosition(); member != nullptr; member = member->next) {
      AppendLine(out, member->value->value, form);
    }
  }
  return out;
}

// The stored text form of `git-install --store-text` is shown as it is: it is text already, and
// git hands textconv the stored form when the attributes name both the filter and this driver.
bool PrintedStoredText(const std::string& file) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  std::string bytes;
  char chunk[1 << 16];
  size_t got = std::fread(chunk, 1, kStoredTextMagic.size(), in);
  bytes.append(chunk, got);
  if (!IsStoredText(bytes)) {
    std::fclose(in);
    return false;
  }
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.append(chunk, got);
  std::fclose(in);
  PrintResult(bytes);
  return true;
}

}  // namespace

int RunTextconv(const std::string& file, const std::string& encoding) {
  TextForm form;
  if (!form.Init(encoding)) return kExitFailure;
  if (PrintedStoredText(file)) return kExitSuccess;
  DlgHeader header;
  if (!ReadHeader(file.c_str(), header)) {
    Message("%s: cannot open the dialogue file: %s", file.c_str(), Reason());
    return kExitFailure;
  }
  CDlgFile doc;
  int loaded = 0;
  platform::Status status;
  {
    QuietDiagnostics quiet;  // damage shows as notes in the text instead
    loaded = doc.Load(file.c_str(), status);
  }
  // A read that failed (or memory that ran out) is no damage to show: git must report the
  // textconv as failed rather than diff a document that lacks what could not be read.
  if (loaded == 0 && status.systemError != 0) {
    Message("%s: cannot load the dialogue file: %s", file.c_str(), status.Reason().c_str());
    return kExitFailure;
  }
  std::string out = HeaderText(header, doc, form);
  if (loaded != 0) out += PlotsText(doc, form);
  const std::vector<std::string> notes = StructureNotes(file);
  if (!notes.empty() || loaded == 0) {
    out +=
        "\n# note: the file is damaged; shown is what loads. dlgtool check lists every problem\n";
    for (const std::string& note : notes) out += "# note: " + note + "\n";
  }
  PrintResult(out);
  return kExitSuccess;
}

}  // namespace dlgtool
