// CCodePageDlg: asks for the code page a dialogue file's texts are in, for the main window's
// "코드 페이지로 열기" (open in a code page). The opener sets `codeset` (the one in force) and
// reads it back after OK; OK refuses a name that iconv does not know.
#pragma once

#include <string>

#include "toolkit/dialog.h"

class CCodePageDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kLabel = 1,
    kCodeset,
    kOk,
    kCancel,
  };

  explicit CCodePageDlg(toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CCodePageDlg() override;

  static const toolkit::DialogTemplate& Template();

  std::string codeset;

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  void OnOK() override;
};
