// dlgtool export: the translation form, or the recording form, of a dialogue file.
#include "commands.h"
#include "document_io.h"
#include "output.h"

namespace dlgtool {

int RunExport(const std::string& file, const std::string& out, bool recording) {
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(file.c_str(), doc, header)) return kExitFailure;
  bool exported = false;
  {
    QuietDiagnostics quiet;
    exported = doc.Export(out.c_str(), recording);
  }
  if (!exported) {
    Message("%s: cannot write the export file", out.c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace dlgtool
