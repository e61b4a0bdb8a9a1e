// CDlgFile::Export: the texts of every plot's lines as a text file with CR LF line ends.
//
// Translation form (singleLine false), per plot:
//   *************            13 asterisks
//   <id>                     "%d", for each member line in plot order
//   <text line 1>            the text, each CR LF inside it ending one file line
//   ...
//   <empty line>
// Recording form (singleLine true), per member line: <id> TAB <text, each CR LF as TAB>. No
// separators, no empty lines. Every LF is stored as CR LF (text_stream.h); any other byte of a
// text, a lone CR included, is written as the document holds it.
#include <charconv>
#include <cstdio>

#include "interchange/text_stream.h"
#include "model/dlg_file.h"
#include "platform/debug_output.h"
#include "platform/line_breaks.h"

namespace {

constexpr char kSeparatorLine[] = "*************\n";

// Writes `text` with every CR LF pair, scanning from the start, replaced by `lineBreak`.
void WriteTextReplacingBreaks(interchange::TextFileWriter& out, const CPlainString& text,
                              char lineBreak) {
  const std::string_view bytes(text.c_str(), static_cast<size_t>(text.GetLength()));
  platform::ReplaceCrLf(bytes, std::string_view(&lineBreak, 1),
                        [&out](const char* data, size_t size) { out.Write(data, size); });
}

}  // namespace

bool CDlgFile::Export(const char* path, bool singleLine) {
  interchange::TextFileWriter out;
  if (!out.Open(path, false)) {
    platform::DebugOutput("CDlgFile::Export() Error (0) : Create export file failed(%s).\n", path);
    return false;
  }
  const char lineBreak = singleLine ? '\t' : '\n';
  const char* const lineEnd = singleLine ? "\n" : "\n\n";
  for (PlotPos plotPos = plots.GetHeadPosition(); plotPos != nullptr; plotPos = plotPos->next) {
    if (!singleLine) out.Write(kSeparatorLine);
    const CQHList<LinePos>& members = plotPos->value.members;
    for (auto* member = members.GetHeadPosition(); member != nullptr; member = member->next) {
      const CDlgItem& line = member->value->value;
      // The ID in decimal as "%d" writes it, then the break.
      char id[16];
      char* idEnd = std::to_chars(id, id + sizeof(id) - 1, line.id).ptr;
      *idEnd++ = lineBreak;
      out.Write(id, static_cast<size_t>(idEnd - id));
      WriteTextReplacingBreaks(out, line.text, lineBreak);
      out.Write(lineEnd);
    }
  }
  // A full disk or a failing device must not pass for a complete export.
  if (!out.Close()) {
    platform::DebugOutput("CDlgFile::Export() Error (1) : Write export file failed(%s).\n", path);
    return false;
  }
  return true;
}
