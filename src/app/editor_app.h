// CEditorApp: the application object. It owns the program-wide objects, which live from before the
// main window opens until after the start routine has returned.
#pragma once

#include <QApplication>
#include <string>

#include "app/app_context.h"
#include "toolkit/qt_prompts.h"

class CEditorApp : public QApplication {
 public:
  // `argc` and `argv` as main() got them; Qt takes out its own options. The caller then sets the
  // context's command line (app/command_line.h).
  CEditorApp(int& argc, char** argv);
  ~CEditorApp() override;

  // The start routine: runs the main window modally. Returns false: nothing runs after it, so the
  // program ends when the main window has closed.
  bool InitInstance();

  // Shows the interface in the language StartupUiLanguage picks for `option` (the --language
  // value; empty when not given).
  void ChooseLanguage(const std::string& option);

  AppContext& context() { return context_; }

 private:
  CDlgFile document_;
  CDlgItemReader reader_;
  CQHList<LinePos> pendingAdditions_;
  CQHList<LinePos> pendingDeletions_;
  toolkit::QtPrompts prompts_;
  AppContext context_;
};
