// What `dlgtool import --fallback` does to the lines of the document's plots that no entry of the
// exchange file translated: keep their source text, or empty them.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"

namespace dlgtool {

// `applied`: the IDs that got a translation. Returns the report line naming the others, empty
// when there are none.
std::string ApplyFallback(CDlgFile& doc, const std::vector<int>& applied, bool empty);

}  // namespace dlgtool
