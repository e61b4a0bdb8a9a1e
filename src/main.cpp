// parlatrix: the dialogue editor. One optional argument: a .dlg file to open.
// --language en|original chooses the interface language of this run.
#include <clocale>
#include <cstdio>
#include <string>

#include "app/editor_app.h"
#include "app/language_setting.h"

int main(int argc, char** argv) {
  // Texts are bytes of the locale's code page; the locale must be in force before any is shown.
  std::setlocale(LC_ALL, "");
  std::string language;
  std::string error;
  if (!app::TakeLanguageOption(argc, argv, language, error)) {
    std::fprintf(stderr, "parlatrix: %s\n", error.c_str());
    return 2;
  }
  CEditorApp app(argc, argv);
  app.ChooseLanguage(language);
  app.InitInstance();
  return 0;
}
