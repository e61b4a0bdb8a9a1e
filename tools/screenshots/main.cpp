// parlatrix-screenshots DIR: writes the README's screenshots into DIR (make screenshots), on the
// offscreen platform unless the caller chose another: the original texts into DIR, the English
// interface into DIR/en.
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "screenshots/screenshots.h"
#include "toolkit/qt_translations.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: parlatrix-screenshots DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  // Qt's own buttons as a Korean desktop shows them beside the original texts.
  const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
  (void)toolkit::SetUiLanguage(app, toolkit::UiLanguage::kOriginal, korean);
  int result = WriteScreenshots(dir, false);
  const std::string english = dir + "/en";
  if (!QDir().mkpath(QString::fromStdString(english)) ||
      !toolkit::SetUiLanguage(app, toolkit::UiLanguage::kEnglish, korean)) {
    std::fprintf(stderr, "screenshots: cannot switch to English into %s\n", english.c_str());
    return 1;
  }
  return WriteScreenshots(english, true) != 0 ? 1 : result;
}
