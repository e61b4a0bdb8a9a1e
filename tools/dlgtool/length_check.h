// check --max-length: texts longer than the text boxes of a game can show.
#pragma once

#include <string>
#include <vector>

#include "check.h"
#include "exchange/word_count.h"
#include "model/dlg_file.h"

namespace dlgtool {

struct LengthLimit {
  long long limit = 0;
  exchange::LengthUnit unit = exchange::LengthUnit::kCharacters;
};

// "N" or "N:UNIT" with UNIT characters (the default), bytes or utf16; N at least 1. False for
// anything else.
[[nodiscard]] bool ParseLengthLimit(const std::string& text, LengthLimit& limit);

// One finding per text over the limit, in plot order, naming the ID and the length. A text the
// code page rejects is measured byte by byte (check reports the code page on its own).
std::vector<Finding> CheckLengths(const CDlgFile& doc, const LengthLimit& limit,
                                  const std::string& encoding);

}  // namespace dlgtool
