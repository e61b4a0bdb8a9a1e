// dlgtool info: what a dialogue file holds, from its header and its loaded plots.
#include <clocale>
#include <string>

#include "commands.h"
#include "document_io.h"
#include "exchange/codeset_probe.h"
#include "exchange/recoder.h"
#include "output.h"
#include "write_rules.h"

namespace dlgtool {

namespace {

std::string Describe(const DlgHeader& header, CDlgFile& doc) {
  int speaker = 0, expression = 0, sound = 0;
  doc.GetColumns(speaker, expression, sound);
  std::string out = "version: " + std::to_string(header.version) + "\ngame name: ";
  AppendQuoted(out, doc.GetGameName().c_str());
  out += "\ncolumns: speaker " + std::to_string(speaker) + ", expression " +
         std::to_string(expression) + ", sound " + std::to_string(sound) + "\n";
  out += "multi-line: " + std::to_string(doc.GetMultiLine()) + "\n";
  out += "lines: " + std::to_string(header.lineCount) + "\n";
  out += "index entries: " + std::to_string(header.indexCount) + "\n";
  out += "plots: " + std::to_string(doc.GetPlots().GetCount()) + "\n";
  int number = 0;
  for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr; pos = pos->next, ++number) {
    const CDlgPlot& plot = pos->value;
    out += "plot " + std::to_string(number) + " ";
    AppendQuoted(out, plot.GetName().c_str());
    const int count = plot.members.GetCount();
    out += ": range " + RangeText(plot.rangeLow, plot.rangeHigh) + ", " + std::to_string(count) +
           (count == 1 ? " line\n" : " lines\n");
  }
  return out;
}

}  // namespace

int RunInfo(const std::string& file, const std::string& encoding) {
  std::setlocale(LC_CTYPE, "");  // the document's code page is the locale's, as in the editor
  if (const exchange::Recoder recoder(encoding); !recoder.ok()) {
    Message("unknown encoding %s", recoder.codeset().c_str());
    return kExitFailure;
  }
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;
  PrintResult(Describe(header, doc));
  // As check: a file that loads only in part says so, with exit status 1.
  const DamageReport damage =
      HasDialogueSignature(header) ? ReportDamage(file) : DamageReport::kIntact;
  if (damage == DamageReport::kNotChecked) return kExitFailure;
  const bool damaged = damage == DamageReport::kDamaged;
  const exchange::CodesetProbe probe = exchange::ProbeCodeset(doc, encoding);
  if (!probe.valid) {
    Message("%s: warning: %s", file.c_str(), exchange::CodesetWarning(probe, encoding).c_str());
  }
  return damaged ? kExitFinding : kExitSuccess;
}

}  // namespace dlgtool
