// CAboutBox: the program's version and history, and the way into the ID lookup test tool.
//
// The opener sets `folder` and `fileName` before showing the box; the box works on its own copies
// and writes nothing back.
#pragma once

#include <string>

#include "dlgfile/dlg_item_reader.h"
#include "toolkit/dialog.h"

class CAboutBox : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kIcon = 1,
    kVersion,
    kOwner,
    kDate,
    kHistory1,
    kHistory2,
    kTest,
    kOk,
  };

  // `reader` and `prompts` go on to the lookup dialog that the Test button opens.
  CAboutBox(CDlgItemReader& reader, toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CAboutBox() override;

  static const toolkit::DialogTemplate& Template();

  std::string folder;    // where the Test button's file dialog starts
  std::string fileName;  // the name that dialog is pre-filled with

 public slots:
  // Chooses a saved dialogue file and opens the lookup dialog on it.
  void OnTest();

 protected:
  bool OnInitDialog() override;

 private:
  CDlgItemReader& reader_;
};
