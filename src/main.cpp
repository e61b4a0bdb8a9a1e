// parlatrix: the dialogue editor. One optional argument: a .dlg file to open.
#include <clocale>

#include "app/editor_app.h"

int main(int argc, char** argv) {
  // Texts are bytes of the locale's code page; the locale must be in force before any is shown.
  std::setlocale(LC_ALL, "");
  CEditorApp app(argc, argv);
  app.InitInstance();
  return 0;
}
