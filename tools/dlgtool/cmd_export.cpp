// dlgtool export: the translation form, or the recording form, of a dialogue file.
#include "commands.h"
#include "document_io.h"
#include "interchange/text_import.h"
#include "output.h"
#include "write_rules.h"

namespace dlgtool {

void WarnAboutAlteredLines(const CDlgFile& doc, const std::string& file) {
  const std::vector<int> ids = LinesThePlainFormAlters(doc);
  if (ids.empty()) return;
  std::string list;
  for (size_t k = 0; k < ids.size() && k < 20; ++k) list += (k > 0 ? " " : "") + std::to_string(ids[k]);
  if (ids.size() > 20) list += " ... (" + std::to_string(ids.size()) + " lines)";
  Message("%s: warning: the text form cannot carry these texts back unchanged (a line of digits "
          "only, of 13 asterisks, or a final line break): IDs %s; use PO or XLIFF for them",
          file.c_str(), list.c_str());
}

int RunExport(const std::string& file, const std::string& out, bool recording) {
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;
  if (RefuseTarget(out, TargetKind::kOther, {file}, "an export") ||
      RefuseDamagedInput(file, "the export")) {
    return kExitFailure;
  }
  WarnAboutAlteredLines(doc, file);
  bool exported = false;
  platform::Status status;
  {
    QuietDiagnostics quiet;  // the same failure, in dlgtool's words below
    exported = doc.Export(out.c_str(), recording, status);
  }
  if (!exported) {
    Message("%s: cannot write the export file: %s", out.c_str(), ReasonOf(status).c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace dlgtool
