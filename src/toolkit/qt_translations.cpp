#include "toolkit/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <vector>

namespace toolkit {
namespace {

// Built by lrelease from translations/parlatrix_en.ts and embedded by qt_add_translations (an
// object library, so its registration is linked whatever references it).
constexpr char kCataloguePath[] = ":/i18n/parlatrix_en.qm";

UiLanguage current = UiLanguage::kOriginal;
// The translators SetUiLanguage installed, removed again by its next call.
std::vector<QPointer<QTranslator>>& Installed() {
  static std::vector<QPointer<QTranslator>> translators;
  return translators;
}

QTranslator* LoadQtTranslator(QCoreApplication& app, const QLocale& locale) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // "qt" is the meta catalogue naming every module's file; "qtbase" alone covers the widgets.
  for (const char* catalogue : {"qt", "qtbase"}) {
    auto* translator = new QTranslator(&app);
    if (translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"), folder)) {
      return translator;
    }
    delete translator;
  }
  return nullptr;
}

}  // namespace

UiLanguage LanguageForUiLanguages(const QStringList& uiLanguages) {
  if (uiLanguages.isEmpty()) return UiLanguage::kOriginal;
  const QString first = uiLanguages.first();
  const bool english = first.startsWith(QLatin1String("en"), Qt::CaseInsensitive) &&
                       (first.size() == 2 || first[2] == '-' || first[2] == '_');
  return english ? UiLanguage::kEnglish : UiLanguage::kOriginal;
}

const char* UiLanguageKey(UiLanguage language) {
  return language == UiLanguage::kEnglish ? "en" : "original";
}

bool ParseUiLanguage(std::string_view key, UiLanguage& language) {
  if (key == "en") {
    language = UiLanguage::kEnglish;
  } else if (key == "original") {
    language = UiLanguage::kOriginal;
  } else {
    return false;
  }
  return true;
}

bool SetUiLanguage(QCoreApplication& app, UiLanguage language, const QLocale& systemLocale) {
  for (QPointer<QTranslator>& translator : Installed()) {
    if (translator.isNull()) continue;
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  Installed().clear();
  current = UiLanguage::kOriginal;
  bool loaded = true;
  QTranslator* qt =
      language == UiLanguage::kEnglish ? nullptr : LoadQtTranslator(app, systemLocale);
  if (qt != nullptr && app.installTranslator(qt)) Installed().emplace_back(qt);
  if (language == UiLanguage::kEnglish) {
    auto* catalogue = new QTranslator(&app);
    if (catalogue->load(QString::fromLatin1(kCataloguePath)) && app.installTranslator(catalogue)) {
      Installed().emplace_back(catalogue);
      current = UiLanguage::kEnglish;
    } else {
      delete catalogue;
      loaded = false;
    }
  }
  // Every window hears of the change, also when no translator came or went, and at once: the
  // application posts the event to each window, and the caller expects them retranslated when
  // this returns.
  QEvent change(QEvent::LanguageChange);
  QCoreApplication::sendEvent(&app, &change);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
  return loaded;
}

UiLanguage CurrentUiLanguage() {
  return current;
}

bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale) {
  QTranslator* translator = LoadQtTranslator(app, locale);
  if (translator == nullptr) return false;
  if (app.installTranslator(translator)) return true;
  delete translator;
  return false;
}

}  // namespace toolkit
