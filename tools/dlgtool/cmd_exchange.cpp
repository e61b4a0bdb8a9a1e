// dlgtool export and import in the translation exchange formats (PO, XLIFF, CSV); the plain text
// forms stay in cmd_export.cpp and cmd_import.cpp.
#include <clocale>

#include "commands.h"
#include "document_io.h"
#include "exchange/exchange.h"
#include "exchange/exchange_log.h"
#include "output.h"
#include "platform/file_io.h"
#include "rounds_fallback.h"
#include "write_rules.h"

namespace dlgtool {
namespace {

// The document's code page is the user's locale codeset, as in the editor.
void UseLocaleCodeset() {
  std::setlocale(LC_CTYPE, "");
}

bool ChooseFormat(const std::string& path, const std::string& forced, exchange::Format& format) {
  if (!forced.empty()) {
    if (exchange::FormatFromName(forced, format)) return true;
    Message("%s: unknown format; use po, xliff, csv or xlsx", forced.c_str());
    return false;
  }
  return exchange::FormatFromPath(path, format);
}

// Where `import --log` writes: the one place that decides it, so that a check of the path against
// the command's other files has one place to go.
std::string ExchangeLogPath(const ExchangeOptions& options) {
  return options.log;
}

}  // namespace

bool XliffVersionFits(const ExchangeOptions& options, exchange::Format format) {
  if (options.xliffVersion.empty() || format == exchange::Format::kXliff) return true;
  Message("--xliff-version applies to XLIFF files only");
  return false;
}

int XliffVersionNumber(const ExchangeOptions& options) {
  return options.xliffVersion == "2.0" ? 2 : options.xliffVersion == "1.2" ? 1 : 0;
}

bool IsExchangeRequest(const std::string& path, const std::string& forcedFormat) {
  exchange::Format format;
  return !forcedFormat.empty() || exchange::FormatFromPath(path, format);
}

int RunExchangeExport(const std::string& file, const std::string& out,
                      const ExchangeOptions& options) {
  exchange::Format format;
  if (!ChooseFormat(out, options.format, format)) return kExitFailure;
  if (!XliffVersionFits(options, format)) return kExitFailure;
  UseLocaleCodeset();
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;
  if (RefuseTarget(out, TargetKind::kOther, {file, options.translation}, "an export") ||
      RefuseDamagedInput(file, "the export")) {
    return kExitFailure;
  }
  CDlgFile translation;
  exchange::ExportOptions exportOptions;
  exportOptions.codeset = options.encoding;
  exportOptions.original = file;
  if (!options.sourceLang.empty()) exportOptions.sourceLang = options.sourceLang;
  if (!options.targetLang.empty()) exportOptions.targetLang = options.targetLang;
  exportOptions.xliffVersion = XliffVersionNumber(options);
  if (!options.translation.empty()) {
    DlgHeader translationHeader;
    if (!LoadDocument(options.translation.c_str(), translation, translationHeader) ||
        RefuseDamagedInput(options.translation, "the export")) {
      return kExitFailure;
    }
    exportOptions.translation = &translation;
  }
  std::string error;
  if (!exchange::ExportDocument(doc, out, format, exportOptions, error)) {
    Message("%s; nothing written", error.c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

int RunExchangeImport(const std::string& file, const std::string& in, const std::string& given,
                      const ExchangeOptions& options) {
  exchange::Format format;
  if (!ChooseFormat(in, options.format, format)) return kExitFailure;
  UseLocaleCodeset();
  const std::string output = OutputOrInPlace(file, given);
  const std::string log = ExchangeLogPath(options);
  if ((!output.empty() &&
       RefuseTarget(output, TargetKind::kDialogue, {file, in, log}, "the import")) ||
      (!log.empty() && RefuseTarget(log, TargetKind::kOther, {file, in, output}, "the log"))) {
    return kExitFailure;
  }
  if (RefuseCutFileWithBackup(in)) return kExitFailure;
  CDlgFile doc;
  DlgHeader header;
  platform::FileLock lock;
  if (output.empty() ? !LoadForInPlaceWrite(file.c_str(), doc, header, lock)
                     : !LoadDocument(file.c_str(), doc, header) ||
                           RefuseDamagedInput(file, "the imported document")) {
    return kExitFailure;
  }
  exchange::ImportReport report;
  if (!exchange::ImportDocument(doc, in, format, options.encoding, report)) {
    Message("%s; nothing applied", report.error.c_str());
    return kExitFailure;
  }
  // Emptying every text because the file matched nothing (a wrong file) would lose them all.
  if (options.fallback == "empty" && report.applied == 0 && output.empty()) {
    Message("%s: no translation applied; --fallback empty would empty every text of %s; nothing "
            "written (use -o to write such a document elsewhere)",
            in.c_str(), file.c_str());
    return kExitFailure;
  }
  // The log goes out before the document is saved: when it cannot be written nothing changes.
  if (!log.empty()) {
    if (!exchange::WriteImportLogFile(log, report)) {
      Message("%s: cannot write the import log: %s; nothing applied", log.c_str(), Reason());
      return kExitFailure;
    }
  }
  // On stderr, so that the summary on stdout stays what pipelines already parse.
  const std::string fallback = ApplyFallback(doc, report.appliedIds, options.fallback == "empty");
  if (!fallback.empty()) Message("%s", fallback.c_str());
  if (output.empty() ? !SaveInPlace(file.c_str(), doc) : !SaveAs(output.c_str(), doc)) {
    // The log already replaced the old one: say so, rather than leave it to look like the log
    // of a saved import.
    if (!log.empty() && platform::ReplacedFileCount() > 0) {
      Message("%s: the import log was written; the document was not saved", log.c_str());
    }
    return kExitFailure;
  }
  std::string text;
  for (const exchange::ImportReport::Note& note : report.notes) {
    text += std::to_string(note.id) + ": " + exchange::OutcomeName(note.outcome) + "\n";
  }
  text += exchange::SummaryLine(report) + "\n";
  PrintResult(text);
  return report.clean() ? kExitSuccess : kExitFinding;
}

}  // namespace dlgtool
