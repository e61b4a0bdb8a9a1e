// Whether a document's names and texts are valid in the code page a tool reads them in, and, when
// they are not, which of the code pages dialogue files are found in decodes all of them: a file
// written under a Korean or Chinese Windows locale, opened where the locale is UTF-8, shows
// replacement marks in the editor and stops every export.
#pragma once

#include <string>

#include "model/dlg_file.h"

namespace exchange {

// The code pages tried, in this order: the first that decodes every name and text is named.
inline constexpr const char* kProbedCodesets[] = {"UTF-8", "CP949", "GBK"};

struct CodesetProbe {
  bool valid = true;   // every name and text decodes in the code page asked about
  std::string where;   // the first that does not: "the game name", "plot 2 name", "ID 7: text"
  std::string likely;  // the first of kProbedCodesets that decodes everything; empty: none
};

// Checks the game name, every plot name and every line's speaker, expression, sound and text
// against `codeset` (empty: the locale's). An unknown codeset counts as valid (nothing to say).
CodesetProbe ProbeCodeset(const CDlgFile& doc, const std::string& codeset);

// The warning for an invalid probe: "ID 7: text is not valid UTF-8 text; the names and texts
// decode as CP949 (--encoding CP949)", or "...; none of UTF-8, CP949 and GBK decodes all of them".
std::string CodesetWarning(const CodesetProbe& probe, const std::string& codeset);

}  // namespace exchange
