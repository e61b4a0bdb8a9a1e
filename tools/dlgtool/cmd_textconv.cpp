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
//   plot "intro" range [0, 100)
//   0 TAB Ann TAB TAB TAB Hi
//   2 TAB Bo TAB TAB TAB Yo
//
// A damaged file shows what loads, followed by notes; the exit status stays 0 so that git goes on.
#include <string>

#include "commands.h"
#include "document_io.h"
#include "output.h"
#include "structure_notes.h"

namespace dlgtool {

namespace {

std::string HeaderText(const DlgHeader& header, const CDlgFile& doc) {
  int speaker = 0, expression = 0, sound = 0;
  doc.GetColumns(speaker, expression, sound);
  std::string out = "# dialogue file (dlgtool textconv)\nversion " +
                    std::to_string(header.version) + "\ngame ";
  AppendQuoted(out, doc.GetGameName().c_str());
  out += "\ncolumns speaker " + std::to_string(speaker) + ", expression " +
         std::to_string(expression) + ", sound " + std::to_string(sound) + "\n";
  out += "multi-line " + std::to_string(doc.GetMultiLine()) + "\n";
  out += "lines " + std::to_string(header.lineCount) + ", index entries " +
         std::to_string(header.indexCount) + ", plots " +
         std::to_string(doc.GetPlots().GetCount()) + "\n";
  return out;
}

void AppendLine(std::string& out, const CDlgItem& line) {
  out += std::to_string(line.GetID());
  for (const CPlainString* field :
       {&line.GetSpeaker(), &line.GetExpression(), &line.GetSound(), &line.GetText()}) {
    out += '\t';
    AppendEscaped(out, std::string_view(field->c_str(), static_cast<size_t>(field->GetLength())));
  }
  out += '\n';
}

std::string PlotsText(const CDlgFile& doc) {
  std::string out;
  for (auto* pos = doc.GetPlots().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgPlot& plot = pos->value;
    out += "\nplot ";
    AppendQuoted(out, plot.GetName().c_str());
    out += " range " + RangeText(plot.rangeLow, plot.rangeHigh) + "\n";
    for (auto* member = plot.members.GetHeadPosition(); member != nullptr;
         member = member->next) {
      AppendLine(out, member->value->value);
    }
  }
  return out;
}

}  // namespace

int RunTextconv(const std::string& file) {
  DlgHeader header;
  if (!ReadHeader(file.c_str(), header)) {
    Message("%s: cannot open the dialogue file: %s", file.c_str(), Reason());
    return kExitFailure;
  }
  CDlgFile doc;
  int loaded = 0;
  {
    QuietDiagnostics quiet;  // damage shows as notes in the text instead
    loaded = doc.Load(file.c_str());
  }
  std::string out = HeaderText(header, doc);
  if (loaded != 0) out += PlotsText(doc);
  const std::vector<std::string> notes = StructureNotes(file);
  if (!notes.empty() || loaded == 0) {
    out += "\n# note: the file is damaged; shown is what loads. dlgtool check lists every problem\n";
    for (const std::string& note : notes) out += "# note: " + note + "\n";
  }
  PrintResult(out);
  return kExitSuccess;
}

}  // namespace dlgtool
