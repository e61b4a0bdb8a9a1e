// CDialog: the toolkit's modal dialog class, built from a template in dialog units.
//
// Life of a dialog: construct (values get their initial state), InitDialog() (builds the controls
// from the template and runs OnInitDialog, whose base writes the values into the controls), then
// DoModal() runs it until EndDialog. DoModal calls InitDialog itself when nobody has; tests call
// InitDialog alone and drive the handlers without a modal loop.
//
// Commands as on the platform the layouts come from:
//  - Escape, the close box and a button marked kIsCancel issue Cancel: OnCancel();
//  - a button marked kIsOk issues OK: OnOK();
//  - Enter presses the push button that has the focus, else the default push button; where there
//    is none, it issues OK. A control that handles Enter itself (a multi-line field) keeps it.
// Values and controls are two copies, synchronised only by UpdateData (see data_exchange.h).
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "toolkit/dialog_template.h"

class QMenu;

namespace toolkit {

class CDataExchange;
class Prompts;

enum DialogResult { kIdOk = 1, kIdCancel = 2 };

class CDialog : public QDialog {
  Q_OBJECT

 public:
  CDialog(const DialogTemplate& dialogTemplate, Prompts& prompts, QWidget* parent = nullptr);
  ~CDialog() override;

  // Builds the controls (once) and runs OnInitDialog (once). False if the dialog ended already.
  bool InitDialog();
  // Runs the dialog modally; kIdOk, kIdCancel or what EndDialog was given.
  int DoModal();
  void EndDialog(int result);

  // Controls into values (save) or values into controls. False when a field failed its check;
  // the prompt has been shown and the focus put into that field.
  bool UpdateData(bool saveAndValidate = true);

  QWidget* Control(int id) const;
  template <typename T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }
  const DialogTemplate& dialogTemplate() const { return template_; }
  const BaseUnits& baseUnits() const { return units_; }
  Prompts& prompts() const { return prompts_; }
  bool initialized() const { return initialized_; }

  // `source` (UTF-8) translated in this dialog's context: the context of its class, then of its
  // base classes, the first that has a translation. The source text itself when none has.
  QString Tr(const char* source) const;
  // The template's caption as this dialog shows it (translated).
  QString TranslatedCaption() const { return Tr(template_.caption); }

  // Items of the window's context menu, which stands in for the system menu of the title bar.
  void AppendSystemMenuSeparator();
  void AppendSystemMenuItem(int command, const QString& label);
  // An item whose label is a source text, translated each time the menu is shown.
  void AppendSystemMenuItem(int command, const char* source);
  // The context menu with these items; triggering an item runs OnSysCommand.
  QMenu* CreateSystemMenu(QWidget* parent);
  void RunSystemCommand(int command) { OnSysCommand(command); }

  // QDialog's accept and reject (Enter, Escape, the close box) issue OK and Cancel.
  void accept() override;
  void reject() override;

 protected:
  virtual void DoDataExchange(CDataExchange& dx);
  // Base: writes the values into the controls. True: the toolkit sets the default focus.
  virtual bool OnInitDialog();
  // Base: reads the controls and, if that succeeds, ends with kIdOk.
  virtual void OnOK();
  // Base: ends with kIdCancel.
  virtual void OnCancel();
  virtual void OnSysCommand(int command);
  // After a change of the interface language has retranslated the template's caption and labels:
  // for the texts the dialog sets itself. Base: nothing.
  virtual void OnLanguageChange();

  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // A resizable dialog (a template with kMoveRight... controls) moves and grows those controls.
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct MenuItem {
    int command;  // 0: separator
    QString label;
    const char* source = nullptr;  // when set, translated instead of `label`
  };

  void BuildControls();
  // Captions and the title that still show the template's text take it in the current language;
  // a caption the dialog has set itself (a bound static text) is left alone.
  void Retranslate();
  // Enter: the focused push button, else the default push button, else OK.
  void PressEnter();
  void SetDefaultFocus();

  DialogTemplate template_;
  Prompts& prompts_;
  BaseUnits units_;
  std::map<int, QWidget*> controls_;
  std::map<int, QString> shownLabels_;  // the template label each control shows, as translated
  QString shownCaption_;
  std::vector<MenuItem> menu_;
  bool built_ = false;
  bool initialized_ = false;
  bool ended_ = false;
};

}  // namespace toolkit
