// Qt's own texts (standard buttons, file dialogs) in the user's language.
#pragma once

class QCoreApplication;
class QLocale;

namespace toolkit {

// Installs Qt's translations for `locale` from Qt's translation folder into `app`. The
// translators live as long as the application. False when none was found for the locale (Qt's
// texts then stay English).
bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale);

}  // namespace toolkit
