// The subcommands of dlgtool. Each returns the process's exit status.
#pragma once

#include <string>
#include <vector>

#include "exchange/exchange_units.h"

class CDlgFile;
namespace CLI {
class App;
}

namespace dlgtool {

enum ExitStatus {
  kExitSuccess = 0,
  kExitFinding = 1,  // a lookup that found nothing, a check that found problems
  kExitFailure = 2,  // wrong usage, or a file that cannot be read or written
};

// `ids` as typed: whole decimal numbers, optionally signed.
int RunGet(const std::string& file, const std::vector<std::string>& ids, bool textOnly);
int RunExport(const std::string& file, const std::string& out, bool recording);
// Warns on stderr about texts the plain text form would not bring back unchanged.
void WarnAboutAlteredLines(const CDlgFile& doc, const std::string& file);
// Saves in place when `output` is empty.
int RunImport(const std::string& file, const std::string& in, const std::string& output,
              const std::string& log);
// What `check` and `info` take besides the file; empty strings: not asked for, or the default.
struct CheckOptions {
  std::string ini;       // check speakers and expressions against this configuration
  std::string sounds;    // check sound names against the files of this folder
  std::string encoding;  // the document's code page (default: the locale's)
  std::string maxLength;  // "N", "N:characters", "N:bytes" or "N:utf16"; empty: no limit
  bool requireUtf8 = false;  // a name or text that is not valid UTF-8 is a problem
};
int RunCheck(const std::string& file, const CheckOptions& options);
// Warns on stderr when names or texts are not valid in the code page (default: the locale's).
int RunInfo(const std::string& file, const std::string& encoding);

// Git support (docs/git.md).
// Prints FILE as stable text for `git diff`; 0 even for a damaged file (it prints notes then).
// With `encoding`, names and texts of that code page print as UTF-8.
int RunTextconv(const std::string& file, const std::string& encoding);
// What git tells the merge driver besides the three files: the file's path in the repository
// (%P) and the names of the three versions (%S, %X, %Y; empty, or an unexpanded placeholder of an
// older git, when unknown).
struct MergeLabels {
  std::string path;
  std::string base;
  std::string ours;
  std::string theirs;
};
// Three-way merge into `output`, or into `ours` when it is empty. `labels.path` names the file
// in the report and places the report beside it; when empty, the written file does both.
int RunMerge(const std::string& base, const std::string& ours, const std::string& theirs,
             const std::string& output, const MergeLabels& labels);
struct GitInstallOptions {
  bool global = false;
  std::string encoding;  // --encoding: git diff shows texts of this code page as UTF-8
  bool storeText = false;  // --store-text: the clean/smudge filter of the stored text form
};
int RunGitInstall(const GitInstallOptions& options);

// git's clean/smudge filter of the stored text form; `mode` is "clean" or "smudge", `path` git's
// %f (for messages). cmd_git_filter.cpp.
int RunGitFilter(const std::string& mode, const std::string& path);

// Translation exchange (PO, XLIFF, CSV; cmd_exchange.cpp). Empty strings: defaults.
struct ExchangeOptions {
  std::string format;  // po, xliff or csv; empty: from the file name
  std::string encoding;
  std::string sourceLang;
  std::string targetLang;
  std::string translation;
  std::string xliffVersion;  // export: "1.2" or "2.0"; empty: 1.2, or an updated file's own
  bool update = false;   // export: bring the existing file up to date (cmd_rounds.cpp)
  std::string fallback;  // import: "source" (default) or "empty" for lines left untranslated
  std::string log;       // import: write fuzzy, stale and unknown entries to this log
};
// --xliff-version: false (with the message printed) when it is given for another format; the
// number ExportOptions::xliffVersion takes (0: not given).
bool XliffVersionFits(const ExchangeOptions& options, exchange::Format format);
int XliffVersionNumber(const ExchangeOptions& options);
// True when `path` names an exchange file (.po, .xlf, .xliff, .csv) or a format is forced.
bool IsExchangeRequest(const std::string& path, const std::string& forcedFormat);
int RunExchangeExport(const std::string& file, const std::string& out,
                      const ExchangeOptions& options);
// Exit status 1 when anything was stale, fuzzy or unknown.
int RunExchangeImport(const std::string& file, const std::string& in, const std::string& output,
                      const ExchangeOptions& options);

// Translation rounds (cmd_rounds.cpp).
int RunExchangeUpdate(const std::string& file, const std::string& path,
                      const ExchangeOptions& options);
// Exit status 0 when every line has a current translation.
int RunStatus(const std::string& file, const std::string& path, const ExchangeOptions& options,
              bool json);

// Every name and text from the code page `from` to `to` (cmd_recode.cpp); in place without
// `output`.
int RunRecode(const std::string& file, const std::string& from, const std::string& to,
              const std::string& output);

// The voice-over script (cmd_voscript.cpp). Exit status 1 when the sound checks found anything
// (the script is written then too).
struct VoscriptOptions {
  std::string sounds;    // folder of sound files; empty: no sound checks
  std::string plot;      // only the plots of this name
  std::string encoding;  // the document's code page (default: the locale's)
};
int RunVoscript(const std::string& file, const std::string& out, const VoscriptOptions& options);

// Script statistics (cmd_stats.cpp; docs/stats.md).
struct StatsArguments {
  std::string file;
  std::string by = "plot";
  std::string format = "table";
  double wordsPerMinute = 150;
  double charactersPerMinute = 300;
  std::string since;  // an earlier .dlg, or a translation file
  std::string encoding;
};
void AddStatsCommand(CLI::App& app, StatsArguments& args);
int RunStats(const StatsArguments& args);

}  // namespace dlgtool
