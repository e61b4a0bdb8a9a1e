// The main window's Import and Export in the translation exchange formats. A chosen file ending
// in .po, .xlf, .xliff or .csv goes here instead of to the plain text forms; the window keeps its
// own messages and shows the reason each routine hands back under them (the reason also goes to
// the debug output).
#pragma once

#include <string>

#include "platform/status.h"

class CDlgFile;

namespace app {

// The text filter as described first (and initial), then the exchange formats, then all files.
inline constexpr char kExchangeTextFilter[] =
    "Text Files (*.txt)|*.txt|PO Files (*.po)|*.po|XLIFF Files (*.xlf;*.xliff)|*.xlf;*.xliff|"
    "CSV Files (*.csv)|*.csv|XLSX Files (*.xlsx)|*.xlsx|All Files (*.*)|*.*||";

// True when `path` names a PO, XLIFF, CSV or XLSX file.
bool IsExchangeFile(const std::string& path);

// Writes the document to `path` in the format its name gives, texts converted from the editor's
// code page; `documentPath` (may be empty) names the .dlg in the file.
[[nodiscard]] bool ExportExchangeFile(CDlgFile& document, const std::string& path,
                                      const std::string& documentPath);
// The same, handing the reason of a failure back (also still written to the debug output).
[[nodiscard]] bool ExportExchangeFile(CDlgFile& document, const std::string& path,
                                      const std::string& documentPath, platform::Status& status);

// Applies the translations of `path` by ID and writes the fuzzy, stale and unknown entries to
// Parlatrix.log beside it. False when nothing was applied because of a fault in the file.
[[nodiscard]] bool ImportExchangeFile(CDlgFile& document, const std::string& path);
// The same, handing the reason back: the message and, for a malformed file, its line and column.
[[nodiscard]] bool ImportExchangeFile(CDlgFile& document, const std::string& path,
                                      platform::Status& status);

}  // namespace app
