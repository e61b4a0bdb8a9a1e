// CNewFileDlg: the format of a new document, asked by the main window's New command: the game name
// and which columns (speaker, expression, sound file) the lines of the new document carry.
//
// The opener sets the values before showing the dialog and reads them after OK. The game-name field
// takes at most kDlgGameNameMaxBytes bytes, as the main window's does: a longer name would
// not survive a save and a load.
#pragma once

#include <string>

#include "toolkit/dialog.h"

namespace toolkit {
class Prompts;
}

class CNewFileDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kGameNameLabel = 1,
    kGameName,
    kSpeaker,
    kExpression,
    kSound,
    kOk,
    kCancel,
  };

  explicit CNewFileDlg(toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CNewFileDlg() override;

  static const toolkit::DialogTemplate& Template();

  // Values, in the order of the dialog's description.
  bool expression = false;
  bool speaker = false;
  bool sound = false;
  std::string gameName;

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
};
