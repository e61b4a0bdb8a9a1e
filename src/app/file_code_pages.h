// The code page of each dialogue file the editor was told (by --encoding or 코드 페이지로 열기),
// remembered in the program's settings (QSettings, group "codePages", the file's absolute path as
// the key, percent-encoded), so that the file opens in it next time whatever the locale.
#pragma once

#include <string>

namespace app {

// The code page remembered for `path`; empty when none is.
std::string RememberedCodeset(const std::string& path);
// Remembers `codeset` for `path`; an empty codeset forgets it.
void RememberCodeset(const std::string& path, const std::string& codeset);

}  // namespace app
