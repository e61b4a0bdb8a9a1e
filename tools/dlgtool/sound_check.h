// The sound checks of `dlgtool check --sounds DIR` and `dlgtool voscript --sounds DIR`: lines
// without a sound name, sound names that no file in DIR has, files in DIR that no line names, and
// sound names used by two lines.
//
// A sound name is a path relative to DIR; a backslash counts as a slash (names written on
// Windows), and a name in a legacy code page is compared in its UTF-8 form (file names on Linux
// are UTF-8) as well as byte for byte. It names the file with exactly that relative path (letter
// case counts); a name without an extension in its last part also names every file that adds one
// (`m0001` names `m0001.wav` and `m0001.ogg`). DIR is searched with its subfolders; hidden files
// and folders (names starting with a dot) are not looked at.
#pragma once

#include <string>
#include <vector>

#include "check.h"
#include "model/dlg_file.h"

namespace dlgtool {

struct SoundFolder {
  std::string dir;                 // as given, for messages
  std::vector<std::string> files;  // relative paths with '/', sorted
};

// False, with `error` set, when `dir` is no folder that can be read.
[[nodiscard]] bool ListSoundFolder(const std::string& dir, SoundFolder& folder, std::string& error);

// The findings, lines first (plot order), then shared names, then files no line names. With
// `plot` set only the lines of the plots of that name are checked, but a file counts as named when
// any line of the document names it. `codeset`: the document's code page (empty: the locale's).
std::vector<Finding> CheckSounds(const CDlgFile& doc, const SoundFolder& folder,
                                 const std::string& plot, const std::string& codeset);

}  // namespace dlgtool
