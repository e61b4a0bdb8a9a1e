// dlgtool import: translated texts back into a dialogue file, matched by ID.
#include "commands.h"
#include "document_io.h"
#include "interchange/text_import.h"
#include "output.h"
#include "write_rules.h"
#include "platform/status.h"

#include <cerrno>

namespace dlgtool {

int RunImport(const std::string& file, const std::string& in, const std::string& given,
              const std::string& log) {
  const std::string output = OutputOrInPlace(file, given);
  const std::string logPath = log.empty() ? std::string(kImportLogName) : log;
  if ((!output.empty() &&
       RefuseTarget(output, TargetKind::kDialogue, {file, in, logPath}, "the import")) ||
      RefuseTarget(logPath, TargetKind::kOther, {file, in, output}, "the log")) {
    return kExitFailure;
  }
  switch (ProbeImportFile(in.c_str())) {
    case ImportFileKind::kUtf16:
      Message("%s: UTF-16 text; save it as UTF-8 (or the code page) and import again", in.c_str());
      return kExitFinding;
    case ImportFileKind::kNoRegularFile:
      Message("%s: no regular file (the import reads its file twice; save a pipe to a file first)",
              in.c_str());
      return kExitFailure;
    case ImportFileKind::kText:
    case ImportFileKind::kUnreadable:
      break;
  }
  CDlgFile doc;
  DlgHeader header;
  platform::FileLock lock;
  if (output.empty() ? !LoadForInPlaceWrite(file.c_str(), doc, header, lock)
                     : !LoadDocument(file.c_str(), doc, header) ||
                           RefuseDamagedInput(file, "the imported document")) {
    return kExitFailure;
  }
  // Two names swapped on the command line would otherwise replace a text file by a .dlg.
  if (output.empty() && !HasDialogueSignature(header)) {
    Message("%s: not replaced, as it is no dialogue file; use -o to save elsewhere", file.c_str());
    return kExitFailure;
  }
  ImportCounts counts;
  bool imported = false;
  platform::Status status;
  {
    QuietDiagnostics quiet;  // the same failure, in dlgtool's words below
    imported =
        ImportText(doc, in.c_str(), counts, status, log.empty() ? kImportLogName : log.c_str());
  }
  if (!imported) {
    const std::string reason = ReasonOf(status);
    if (status.message == kImportLogFailure) {
      Message("%s: cannot write the log of unmatched texts: %s; nothing applied",
              log.empty() ? kImportLogName : log.c_str(), reason.c_str());
    } else {
      Message("%s: cannot read the import file: %s", in.c_str(), reason.c_str());
    }
    return kExitFailure;
  }
  if (counts.matched + counts.logged == 0) {
    Message("%s: no entry in the translation form (ID line, text, empty line); nothing saved",
            in.c_str());
    return kExitFinding;
  }
  // Save's diagnostics stay visible: they name lines that the file cannot hold.
  if (output.empty()) {
    if (!SaveInPlace(file.c_str(), doc)) return kExitFailure;
  } else if (!SaveAs(output.c_str(), doc)) {
    return kExitFailure;
  }
  PrintResult("matched: " + std::to_string(counts.matched) +
              "\nlogged: " + std::to_string(counts.logged) + " (" +
              (log.empty() ? std::string(kImportLogName) : log) + ")\n");
  return kExitSuccess;
}

}  // namespace dlgtool
