// The README's pictures of the file commands: the new-file dialog as New shows it, and the question
// Export asks. Both are taken from the running commands, in their real dialogs.
#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>

#include "app/main_dlg.h"
#include "app/new_file_dlg.h"
#include "platform/path.h"
#include "screenshots/screenshots.h"
#include "support/temp_dir.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/prompts.h"
#include "toolkit/qt_prompts.h"

namespace {

bool NewFileScreenshot(CMainDlg& main, const std::string& dir) {
  bool ok = false;
  ModalScript script;
  script.Then([&](QWidget* modal) {
    ok = qobject_cast<CNewFileDlg*>(modal) != nullptr && SaveScreenshot(modal, dir, "new-file.png");
    ModalScript::Dismiss(modal);
  });
  main.OnNew();
  return ok && script.done();
}

bool ExportScreenshot(CMainDlg& main, const std::string& dir, const std::string& target) {
  bool ok = false;
  ModalScript script;
  script.Then([&](QWidget* modal) {
    auto* files = qobject_cast<QFileDialog*>(modal);
    if (files == nullptr) return ModalScript::Dismiss(modal);
    files->selectFile(QString::fromStdString(target));
    static_cast<QDialog*>(files)->accept();  // QFileDialog narrows accept() to protected
  });
  script.Then([&](QWidget* modal) {
    auto* question = qobject_cast<QMessageBox*>(modal);
    if (question == nullptr) return ModalScript::Dismiss(modal);
    ok = SaveScreenshot(question, dir, "export.png");
    question->button(QMessageBox::Yes)->click();
  });
  script.Then([](QWidget* modal) { ModalScript::Dismiss(modal); });
  main.OnExport();
  return ok && script.done();
}

}  // namespace

bool WriteFileCommandScreenshots(const std::string& dir) {
  // The file dialog moves the current directory; the other pictures are taken from where they were.
  ScopedCurrentDir keep(platform::CurrentDirectory());
  TempDir temp;
  CDlgFile document;
  CDlgItemReader reader;
  CQHList<LinePos> additions, deletions;
  toolkit::QtPrompts prompts;
  AppContext context{document, reader, additions, deletions, prompts, "demo.dlg", {}};
  CMainDlg main(context);
  main.InitDialog();
  main.show();
  bool ok = NewFileScreenshot(main, dir);
  ok = ExportScreenshot(main, dir, temp.File("demo.txt")) && ok;
  main.hide();
  if (!ok)
    std::fprintf(stderr, "screenshots: the file commands' dialogs did not open as expected\n");
  return ok;
}
