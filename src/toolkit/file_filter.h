// The file-dialog filter notation of the described program and its Qt equivalent.
//
// Notation: pairs of description and pattern list, each part ended by "|", the whole ended by an
// extra "|": "Dialog Files (*.dlg)|*.dlg|All Files (*.*)|*.*||". Patterns within a pair are
// separated by ";". The first pair is the initial choice.
#pragma once

#include <QtContainerFwd>
#include <string>
#include <vector>

namespace toolkit {

// The two filters of the program's file dialogs.
inline constexpr char kDialogFilesFilter[] = "Dialog Files (*.dlg)|*.dlg|All Files (*.*)|*.*||";
inline constexpr char kTextFilesFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

struct FilterPair {
  std::string description;
  std::string patterns;
};

// The pairs in order. A trailing description without a pattern is dropped.
std::vector<FilterPair> ParseFilter(const std::string& notation);

// Qt name filters ("Dialog Files (*.dlg)", "All Files (*)"): the description without its own
// parenthesised pattern list, then the patterns in parentheses, blank-separated. "*.*" means every
// file, as on the platform the notation comes from, and becomes "*".
QStringList ToQtNameFilters(const std::string& notation);

}  // namespace toolkit
