#include "app/editor_app.h"

#include <QLocale>

#include "app/language_setting.h"
#include "app/main_dlg.h"
#include "platform/path.h"
#include "toolkit/icons.h"
#include "toolkit/qt_translations.h"

CEditorApp::CEditorApp(int& argc, char** argv)
    : QApplication(argc, argv),
      context_{document_, reader_,       pendingAdditions_,           pendingDeletions_,
               prompts_,  std::string(), platform::CurrentDirectory()} {
  setOrganizationName(QStringLiteral("Parlatrix"));
  setApplicationName(QStringLiteral("Parlatrix"));
  setWindowIcon(toolkit::MainIcon());
}

void CEditorApp::ChooseLanguage(const std::string& option) {
  // Qt's own texts in the original language follow the locale of the environment (LANG,
  // LC_ALL), as the code page does.
  (void)toolkit::SetUiLanguage(*this, app::StartupUiLanguage(option), QLocale::system());
}

CEditorApp::~CEditorApp() = default;

bool CEditorApp::InitInstance() {
  CMainDlg dialog(context_);
  dialog.DoModal();
  return false;
}
