// CNameInputDlg: asks for a name, for the main window's Add plot command.
//
// The opener reads `name` after OK. The field takes at most kDlgPlotNameMaxBytes bytes: the .dlg
// plot name field holds 64 bytes with the closing NUL.
#pragma once

#include <string>

#include "toolkit/dialog.h"

namespace toolkit {
class Prompts;
}

class CNameInputDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kNameLabel = 1,
    kName,
    kOk,
    kCancel,
  };

  explicit CNameInputDlg(toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CNameInputDlg() override;

  static const toolkit::DialogTemplate& Template();

  std::string name;  // empty at construction

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
};
