// The language of the interface: the program's own texts and Qt's.
//
// The program's texts are written in the original language (Korean window texts, Chinese messages);
// they are the source texts of Qt's translation mechanism, so "original" means no catalogue at all
// and every text shows byte for byte as written. "English" installs the catalogue built from
// translations/parlatrix_en.ts (embedded under :/i18n). Qt's own texts (standard buttons, file
// dialogs) follow: English is Qt's source language, the original language shows them in the
// system locale's language as far as Qt has a translation for it.
//
// Texts held as bytes in dialog templates and tables are marked with QT_TRANSLATE_NOOP, their
// context being the class that shows them, and translated where they are shown.
#pragma once

#include <QStringList>
#include <string_view>

class QCoreApplication;
class QLocale;

namespace toolkit {

enum class UiLanguage { kOriginal, kEnglish };

// The language the system's preferred UI languages ask for (QLocale::uiLanguages(), best first):
// English when the first is English ("en", "en-GB", "en_US"), else the original texts, also for
// the C and POSIX locales.
UiLanguage LanguageForUiLanguages(const QStringList& uiLanguages);

// "en" and "original", as the --language option and the settings spell them.
const char* UiLanguageKey(UiLanguage language);
[[nodiscard]] bool ParseUiLanguage(std::string_view key, UiLanguage& language);

// Makes `language` the interface language of `app`: replaces the translators this function
// installed before by the program's catalogue (English) and Qt's own for the language, which
// sends a LanguageChange event to every widget. `systemLocale` picks Qt's texts in the original
// language. False when the English catalogue could not be loaded (the original texts then stay).
bool SetUiLanguage(QCoreApplication& app, UiLanguage language, const QLocale& systemLocale);

// The language SetUiLanguage last made current; kOriginal before the first call.
UiLanguage CurrentUiLanguage();

// Installs Qt's translations for `locale` from Qt's translation folder into `app`. The
// translators live as long as the application. False when none was found for the locale (Qt's
// texts then stay English).
bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale);

}  // namespace toolkit
