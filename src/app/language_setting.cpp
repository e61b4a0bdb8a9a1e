#include "app/language_setting.h"

#include <QLocale>
#include <QSettings>
#include <cstring>

namespace app {
namespace {

constexpr char kKey[] = "ui/language";

QSettings UserSettings() {
  return QSettings(QSettings::UserScope, QStringLiteral("Parlatrix"), QStringLiteral("Parlatrix"));
}

}  // namespace

std::optional<toolkit::UiLanguage> SavedUiLanguage() {
  const QString saved = UserSettings().value(QLatin1String(kKey)).toString();
  toolkit::UiLanguage language;
  if (!toolkit::ParseUiLanguage(saved.toStdString(), language)) return std::nullopt;
  return language;
}

void SaveUiLanguage(toolkit::UiLanguage language) {
  QSettings settings = UserSettings();
  settings.setValue(QLatin1String(kKey), QString::fromLatin1(toolkit::UiLanguageKey(language)));
  settings.sync();
}

toolkit::UiLanguage StartupUiLanguage(const std::string& option) {
  toolkit::UiLanguage language;
  if (toolkit::ParseUiLanguage(option, language)) return language;
  if (std::optional<toolkit::UiLanguage> saved = SavedUiLanguage()) return *saved;
  return toolkit::LanguageForUiLanguages(QLocale::system().uiLanguages());
}

bool TakeLanguageOption(int& argc, char** argv, std::string& value, std::string& error) {
  constexpr char kOption[] = "--language";
  constexpr size_t kLength = sizeof(kOption) - 1;
  int kept = 1;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, kOption, kLength) != 0 || (arg[kLength] != '\0' && arg[kLength] != '=')) {
      argv[kept++] = argv[i];
      continue;
    }
    if (arg[kLength] == '=') {
      value = arg + kLength + 1;
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      value.clear();
    }
    toolkit::UiLanguage language;
    if (!toolkit::ParseUiLanguage(value, language)) {
      error = "--language takes en or original, not '" + value + "'";
      ok = false;
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return ok;
}

}  // namespace app
