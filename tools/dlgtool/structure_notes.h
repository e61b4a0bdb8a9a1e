// The structural verification of a dialogue file's bytes (dlgfile/dlg_verify.h) as dlgtool reports
// it: `check` lists every finding, `textconv` adds a few as notes, `merge` refuses damaged input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dlgfile/dlg_verify.h"

namespace dlgtool {

struct StructureReport {
  bool opened = false;  // false when the file cannot be read as a regular file
  std::vector<std::string> findings;  // `offset 200, entry 3, ID 3: message`
  bool truncated = false;             // more were found than are listed
};

// Verifies the whole file, listing at most `maxFindings` findings.
StructureReport VerifyStructure(const std::string& path, size_t maxFindings);

// At most a few findings of VerifyStructure, the last one saying how many more there are; empty
// for a whole file (and for one that cannot be read: the caller reports that itself).
std::vector<std::string> StructureNotes(const std::string& path);

// `offset 200, entry 3, ID 3: message`, leaving out what does not apply.
std::string FormatStructureFinding(const DlgFinding& finding);

// For `check`: prints every finding to stdout as `FILE: offset 200, entry 3, ID 3: message` and
// returns how many it printed (0 also when the file cannot be read; the load reports that).
size_t PrintStructureFindings(const std::string& path);

}  // namespace dlgtool
