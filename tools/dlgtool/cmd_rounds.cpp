// dlgtool export --update and dlgtool status: translation rounds over PO, XLIFF and CSV files
// (src/exchange/rounds.h); and what import leaves in lines that got no translation.
#include <cerrno>
#include <clocale>
#include <unordered_set>

#include "commands.h"
#include "document_io.h"
#include "exchange/rounds.h"
#include "output.h"
#include "rounds_fallback.h"
#include "write_rules.h"

namespace dlgtool {
namespace {

bool Prepare(const std::string& file, const std::string& path, const ExchangeOptions& options,
             CDlgFile& doc, exchange::Format& format, exchange::ExportOptions& exportOptions) {
  if (!options.format.empty() ? !exchange::FormatFromName(options.format, format)
                              : !exchange::FormatFromPath(path, format)) {
    Message("%s: not a .po, .xlf, .xliff, .csv or .xlsx file; use --format po, xliff, csv or xlsx",
            path.c_str());
    return false;
  }
  if (!XliffVersionFits(options, format)) return false;
  std::setlocale(LC_CTYPE, "");
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return false;
  exportOptions.codeset = options.encoding;
  exportOptions.original = file;
  exportOptions.sourceLang = options.sourceLang;
  exportOptions.targetLang = options.targetLang;
  exportOptions.xliffVersion = XliffVersionNumber(options);
  return true;
}

}  // namespace

int RunExchangeUpdate(const std::string& file, const std::string& path,
                      const ExchangeOptions& options) {
  if (!options.translation.empty()) {
    Message("--translation fills a new file; --update keeps the translations the file holds");
    return kExitFailure;
  }
  CDlgFile doc;
  exchange::Format format;
  exchange::ExportOptions exportOptions;
  if (RefuseTarget(path, TargetKind::kOther, {file}, "the updated translations") ||
      RefuseCutFileWithBackup(path)) {
    return kExitFailure;
  }
  // Locked and noted before it is read: the update replaces what it read.
  InPlaceGuard guard;
  if (!guard.Take(path)) return kExitFailure;
  if (!Prepare(file, path, options, doc, format, exportOptions)) return kExitFailure;
  // The entries of lines that could not be read would be dropped or made obsolete as if the
  // lines were gone: refused even with --accept-damage, which a new export takes instead.
  const DamageReport damage = ReportDamage(file);
  if (damage == DamageReport::kNotChecked) return kExitFailure;
  if (damage == DamageReport::kDamaged) {
    Message("%s: not updated: the translations of the lines that could not be read would be "
            "dropped or made obsolete; nothing written (mend %s, or export to a new file with "
            "--accept-damage)",
            path.c_str(), file.c_str());
    return kExitFailure;
  }
  exchange::UpdateReport report;
  std::string error;
  bool updated = false;
  {
    const platform::ReplaceCheckScope recheck = guard.RecheckBeforeReplace();
    errno = 0;
    updated = exchange::UpdateExchangeFile(doc, path, format, exportOptions, report, error);
  }
  if (!updated) {
    if (errno == ESTALE) {
      guard.SayWhyNotSaved(path, "the translation file");
    } else {
      Message("%s; nothing written", error.c_str());
    }
    return kExitFailure;
  }
  // PO keeps them as #~ entries; the other formats have no place for them.
  if (format != exchange::Format::kPo) {
    for (const int id : report.obsolete) {
      Message("ID %d: no longer in %s; its translation was dropped from %s", id, file.c_str(),
              path.c_str());
    }
  }
  PrintResult("unchanged: " + std::to_string(report.unchanged) +
              ", changed: " + std::to_string(report.changed) +
              ", review: " + std::to_string(report.review) +
              ", added: " + std::to_string(report.added) +
              ", obsolete: " + std::to_string(report.obsolete.size()) + "\n");
  return kExitSuccess;
}

int RunStatus(const std::string& file, const std::string& path, const ExchangeOptions& options,
              bool json) {
  CDlgFile doc;
  exchange::Format format;
  exchange::ExportOptions exportOptions;
  if (RefuseCutFileWithBackup(path)) return kExitFailure;
  if (!Prepare(file, path, options, doc, format, exportOptions)) return kExitFailure;
  // The unread lines are counted nowhere, so a damaged document is never complete.
  const DamageReport damage = ReportDamage(file);
  if (damage == DamageReport::kNotChecked) return kExitFailure;
  const bool damaged = damage == DamageReport::kDamaged;
  exchange::StatusReport report;
  std::string error;
  if (!exchange::TranslationStatus(doc, path, format, exportOptions, report, error)) {
    Message("%s", error.c_str());
    return kExitFailure;
  }
  PrintResult(json ? exchange::StatusJson(report) : exchange::StatusText(report));
  return report.complete() && !damaged ? kExitSuccess : kExitFinding;
}

std::string ApplyFallback(CDlgFile& doc, const std::vector<int>& applied, bool empty) {
  const std::unordered_set<int> done(applied.begin(), applied.end());
  std::unordered_set<int> seen;
  std::string ids;
  int count = 0;
  for (PlotPos p = doc.GetFirstPlot(); p != nullptr;) {
    CDlgPlot& plot = doc.GetNextPlot(p);
    for (auto m = plot.members.GetHeadPosition(); m != nullptr;) {
      CDlgItem& line = doc.GetItem(plot.members.GetNext(m));
      if (done.count(line.id) != 0 || !seen.insert(line.id).second) continue;
      if (empty) line.SetText("");
      ids += (count++ == 0 ? "" : " ") + std::to_string(line.id);
    }
  }
  if (count == 0) return std::string();
  return std::string(empty ? "emptied" : "source kept") + " (no current translation): " +
         std::to_string(count) + ": " + ids;
}

}  // namespace dlgtool
