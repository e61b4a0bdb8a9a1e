// CLookupDlg: the ID lookup test tool. Shows what a game reading a saved dialogue file gets for a
// line ID, through the program's one CDlgItemReader, never through the open document.
#pragma once

#include <string>

#include "dlgfile/dlg_item_reader.h"
#include "toolkit/dialog.h"

class CLookupDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kIdLabel = 1,
    kIdField,
    kSpeaker,
    kExpression,
    kSound,
    kText,
    kQuery,
    kClose,
  };

  CLookupDlg(CDlgItemReader& reader, toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CLookupDlg() override;

  static const toolkit::DialogTemplate& Template();

  // Values, in the order of the dialog's description.
  int id = 0;
  std::string text;
  std::string sound;
  std::string expression;
  std::string speaker;
  std::string fileName;  // set by the opener before the dialog is shown

 public slots:
  // Reads the ID and shows the line's fields. An ID field that holds no integer shows the
  // integer prompt and the query stops there.
  void OnQuery();

 protected:
  void DoDataExchange(toolkit::CDataExchange& dx) override;
  bool OnInitDialog() override;

 private:
  CDlgItemReader& reader_;  // the program's one reader, kept between lookups
};
