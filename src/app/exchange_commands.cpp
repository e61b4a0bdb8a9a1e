#include "app/exchange_commands.h"

#include "exchange/exchange.h"
#include "exchange/exchange_log.h"
#include "platform/debug_output.h"
#include "platform/path.h"
#include "toolkit/code_page.h"
#include "toolkit/prompts.h"

namespace app {

bool IsExchangeFile(const std::string& path) {
  exchange::Format format;
  return exchange::FormatFromPath(path, format);
}

bool ExportExchangeFile(CDlgFile& document, const std::string& path,
                        const std::string& documentPath) {
  platform::Status status;
  return ExportExchangeFile(document, path, documentPath, status);
}

bool ExportExchangeFile(CDlgFile& document, const std::string& path,
                        const std::string& documentPath, platform::Status& status) {
  exchange::Format format;
  if (!exchange::FormatFromPath(path, format)) {
    status = platform::Status::Failure(path + ": not a PO, XLIFF, CSV or XLSX file name");
    return false;
  }
  exchange::ExportOptions options;
  options.codeset = toolkit::SystemCodePage().codeset();
  options.original = documentPath;
  if (!exchange::ExportDocument(document, path, format, options, status)) {
    platform::DebugOutput("ExportExchangeFile() Error (0) : %s\n", status.message.c_str());
    return false;
  }
  return true;
}

bool ImportExchangeFile(CDlgFile& document, const std::string& path) {
  platform::Status status;
  return ImportExchangeFile(document, path, status);
}

bool ImportExchangeFile(CDlgFile& document, const std::string& path, platform::Status& status) {
  exchange::Format format;
  status = platform::Status::Ok();
  if (!exchange::FormatFromPath(path, format)) {
    status = platform::Status::Failure(path + ": not a PO, XLIFF, CSV or XLSX file name");
    return false;
  }
  exchange::ImportReport report;
  if (!exchange::ImportDocument(document, path, format, toolkit::SystemCodePage().codeset(),
                                report)) {
    status = report.status;
    platform::DebugOutput("ImportExchangeFile() Error (0) : %s\n", report.error.c_str());
    // As with the plain text import, a failed import leaves no old entries in the log.
    (void)exchange::WriteImportLog(platform::FolderOf(path), exchange::ImportReport());
    return false;
  }
  if (!exchange::WriteImportLog(platform::FolderOf(path), report)) {
    platform::DebugOutput(
        "ImportExchangeFile() Error (1) : Cannot write the import log beside(%s)\n", path.c_str());
  }
  return true;
}

}  // namespace app
