#include "exchange/exchange_log.h"

#include <unistd.h>

#include <cstdio>

#include "interchange/text_import.h"
#include "interchange/text_stream.h"
#include "platform/file_io.h"

namespace exchange {

bool WriteImportLog(const std::string& folder, const ImportReport& report) {
  return WriteImportLogFile((folder.empty() ? std::string(".") : folder) + "/" + kImportLogName,
                            report);
}

// The log replaces the old one whole (platform::ReplaceFile), as the text import's does: memory
// running out or a kill while it is written leaves the old log, never half of the new one.
bool WriteImportLogFile(const std::string& path, const ImportReport& report) {
  if (report.notes.empty() && access(path.c_str(), F_OK) != 0) return true;
  // The null device takes the log away on purpose (--log /dev/null): nothing to replace there.
  if (platform::IsNullDevice(path.c_str())) return true;
  interchange::TextFileWriter log;
  return platform::ReplaceFile(path.c_str(), [&](std::FILE* file) {
           log.Attach(file);
           for (const ImportReport::Note& note : report.notes) {
             char digits[16];
             std::snprintf(digits, sizeof digits, "%d", note.id);
             log.Write(digits);
             log.Write("\n ");
             log.Write(OutcomeName(note.outcome));
             log.Write(": ");
             log.Write(note.target.data(), note.target.size());
             log.Write("\n");
           }
           return log.Detach();
         }) == platform::ReplaceResult::kReplaced;
}

}  // namespace exchange
