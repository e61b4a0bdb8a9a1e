// The editor's command line: `parlatrix [--encoding CODEPAGE] [FILE]`, `--help`, `--version`.
//
// The file is everything that is not an option, joined with single blanks: a path with blanks
// that the shell split into words (an unquoted `parlatrix my file.dlg`) is one path again, as
// the editor has always taken the rest of its command line. `--` ends the options, for a file
// whose name begins with a dash. Arguments are taken as bytes, whatever the locale: a path in the
// locale's code page reaches the file system unchanged.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace app {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kError };
  Action action = Action::kRun;
  std::string path;      // the file to open; empty: none
  std::string encoding;  // the document's code page from --encoding; empty: not given
  QString output;        // kHelp, kVersion: what to print; kError: the fault, then the usage
  // kError only because of options the application object takes (-platform, -style...): before
  // one exists that is no fault yet.
  bool onlyQtOptions = false;
};

// `arguments` as QCoreApplication::arguments() or ArgumentsOf() hand them, program name first.
CommandLine ParseCommandLine(const QStringList& arguments);

// argv as byte-preserving strings (each byte one Latin-1 character), for ParseCommandLine.
QStringList ArgumentsOf(int argc, char** argv);

// The editor's version, as --version prints it after the program name.
inline constexpr char kEditorVersion[] = "1.0";

}  // namespace app
