#include "toolkit/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace toolkit {

bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // "qt" is the meta catalogue naming every module's file; "qtbase" alone covers the widgets.
  for (const char* catalogue : {"qt", "qtbase"}) {
    auto* translator = new QTranslator(&app);
    if (translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"), folder) &&
        app.installTranslator(translator)) {
      return true;
    }
    delete translator;
  }
  return false;
}

}  // namespace toolkit
