// CLanguageDlg: the interface language, chosen from the main window's context menu.
//
// The opener sets `language` before showing the dialog and reads it after OK. The languages are
// listed by their names in their own script, which no translation changes, so that a user who
// cannot read the current interface still finds theirs.
#pragma once

#include "toolkit/dialog.h"
#include "toolkit/qt_translations.h"

class QListWidget;

class CLanguageDlg : public toolkit::CDialog {
  Q_OBJECT

 public:
  enum ControlId {
    kLabel = 1,
    kList,
    kOk,
    kCancel,
  };

  explicit CLanguageDlg(toolkit::Prompts& prompts, QWidget* parent = nullptr);
  ~CLanguageDlg() override;

  static const toolkit::DialogTemplate& Template();
  // The list's entries, in list order: "English", then the original texts.
  static QString LanguageName(toolkit::UiLanguage language);

  QListWidget* languageList() const;

  toolkit::UiLanguage language = toolkit::UiLanguage::kOriginal;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
};
