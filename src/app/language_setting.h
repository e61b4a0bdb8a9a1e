// Which interface language the program starts in, and remembering the user's choice.
//
// In order: the --language option of this run; the choice made in the Language dialog, kept in
// the user's settings (QSettings, organisation and application "Parlatrix", key ui/language:
// "en" or "original"); the system's UI languages (toolkit::LanguageForUiLanguages).
#pragma once

#include <optional>
#include <string>

#include "toolkit/qt_translations.h"

namespace app {

// The remembered choice; none when the user has not chosen or the setting holds something else.
std::optional<toolkit::UiLanguage> SavedUiLanguage();
void SaveUiLanguage(toolkit::UiLanguage language);

// The language to start in; `option` is the --language value of this run, empty when not given,
// and already checked by ParseUiLanguage.
toolkit::UiLanguage StartupUiLanguage(const std::string& option);

// Takes "--language VALUE" and "--language=VALUE" out of argv (the rest keeps its order) into
// `value`. False, with `error` set, when the option has no value or a value other than "en" and
// "original".
[[nodiscard]] bool TakeLanguageOption(int& argc, char** argv, std::string& value,
                                      std::string& error);

}  // namespace app
