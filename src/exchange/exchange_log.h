// The import log for the exchange formats: the same Parlatrix.log, in the same shape, that the
// plain text import writes for unknown IDs ("ID", line end, one space, text, line end; LF written
// as CR LF). Here the text is the reason followed by the entry's translation:
//   12
//    stale: 새 텍스트
#pragma once

#include <string>

#include "exchange/exchange.h"

namespace exchange {

// Writes one entry per fuzzy, stale or unknown entry of `report` to `folder`/Parlatrix.log,
// replacing what it held. A log that exists is emptied when there is nothing to report; none is
// created then. False when the log could not be written.
[[nodiscard]] bool WriteImportLog(const std::string& folder, const ImportReport& report);
// The same log at `path` (dlgtool import --log).
[[nodiscard]] bool WriteImportLogFile(const std::string& path, const ImportReport& report);

}  // namespace exchange
