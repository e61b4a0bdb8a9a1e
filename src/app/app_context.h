// The objects a window works on. The running program hands every dialog the program-wide ones
// (CEditorApp); tests hand each dialog their own document, reader, lists and scripted prompts.
#pragma once

#include <string>

#include "dlgfile/dlg_item_reader.h"
#include "editor/line_edit_session.h"
#include "model/dlg_file.h"
#include "model/qh_list.h"

namespace toolkit {
class Prompts;
}

struct AppContext {
  CDlgFile& document;                  // the one open document
  CDlgItemReader& reader;              // the lookup tool's line reader
  CQHList<LinePos>& pendingAdditions;  // line editor state; empty while no line editor is open
  CQHList<LinePos>& pendingDeletions;  // line editor state; empty while no line editor is open
  toolkit::Prompts& prompts;           // message boxes and file dialogs
  std::string commandLine;             // the file to load at start-up; empty: none
  std::string startFolder;             // the current directory when the program started
  std::string commandLineCodeset = {};  // --encoding: the code page of that file; empty: none

  LineEditSession LineEditing() const {
    return {document, pendingAdditions, pendingDeletions, prompts, {}};
  }
};
