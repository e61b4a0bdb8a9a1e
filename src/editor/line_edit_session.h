// What the line editor works on: the open document, the lines added and deleted since it opened
// (both lists empty while no line editor is open), the prompts, and where to look for the speaker
// configuration. The opener owns all of it.
#pragma once

#include <string>
#include <vector>

#include "model/dlg_file.h"
#include "model/qh_list.h"

namespace toolkit {
class Prompts;
}

struct LineEditSession {
  CDlgFile& document;
  CQHList<LinePos>& pendingAdditions;
  CQHList<LinePos>& pendingDeletions;
  toolkit::Prompts& prompts;
  // Paths of the speaker configuration to try, in order; the first that names a file is read.
  // Empty: the configuration file's name in the current directory.
  std::vector<std::string> configPaths = {};
};
