#include "app/editor_app.h"

#include "app/main_dlg.h"
#include "platform/path.h"
#include <QLocale>

#include "toolkit/icons.h"
#include "toolkit/qt_translations.h"

CEditorApp::CEditorApp(int& argc, char** argv)
    : QApplication(argc, argv),
      context_{document_, reader_,           pendingAdditions_,           pendingDeletions_,
               prompts_,  std::string(), platform::CurrentDirectory()} {
  setOrganizationName(QStringLiteral("Parlatrix"));
  setApplicationName(QStringLiteral("Parlatrix"));
  setWindowIcon(toolkit::MainIcon());
  // The locale of the environment (LANG, LC_ALL) decides, as it does for the code page.
  (void)toolkit::InstallQtTranslations(*this, QLocale::system());
}

CEditorApp::~CEditorApp() = default;

bool CEditorApp::InitInstance() {
  CMainDlg dialog(context_);
  dialog.DoModal();
  return false;
}
