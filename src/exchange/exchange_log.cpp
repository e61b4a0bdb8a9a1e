#include "exchange/exchange_log.h"

#include <unistd.h>

#include "interchange/text_import.h"
#include "interchange/text_stream.h"

namespace exchange {

bool WriteImportLog(const std::string& folder, const ImportReport& report) {
  return WriteImportLogFile((folder.empty() ? std::string(".") : folder) + "/" + kImportLogName,
                            report);
}

bool WriteImportLogFile(const std::string& path, const ImportReport& report) {
  if (report.notes.empty() && access(path.c_str(), F_OK) != 0) return true;
  interchange::TextFileWriter log;
  if (!log.Open(path.c_str(), false)) return false;
  for (const ImportReport::Note& note : report.notes) {
    const std::string entry =
        std::to_string(note.id) + "\n " + OutcomeName(note.outcome) + ": " + note.target + "\n";
    log.Write(entry.data(), entry.size());
  }
  return log.Close();
}

}  // namespace exchange
