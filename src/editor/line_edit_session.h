// What the line editor works on: the open document, the lines added and deleted since it opened
// (both lists empty while no line editor is open) and the prompts. The opener owns all four.
#pragma once

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
};
