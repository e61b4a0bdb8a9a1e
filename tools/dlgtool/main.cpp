// dlgtool: the editor's file operations for build pipelines, without a window.
//
//   dlgtool info FILE.dlg [--encoding NAME]
//   dlgtool get FILE.dlg ID... [--text-only]
//   dlgtool export FILE.dlg OUT.txt [--recording]
//   dlgtool export FILE.dlg OUT.(po|xlf|xliff|csv) [--source-lang L] [--target-lang L]
//                  [--translation TRANSLATED.dlg] [--encoding NAME] [--format F]
//                  [--xliff-version 1.2|2.0]
//   dlgtool import FILE.dlg IN.txt [-o OUT.dlg]
//   dlgtool export FILE.dlg LANG.(po|xlf|xliff|csv) --update
//   dlgtool import FILE.dlg IN.(po|xlf|xliff|csv) [-o OUT.dlg] [--encoding NAME] [--format F]
//                  [--fallback source|empty]
//   dlgtool status FILE.dlg LANG.(po|xlf|xliff|csv) [--json]
//   dlgtool recode FILE.dlg --from CODESET --to CODESET [-o OUT.dlg]
//   dlgtool voscript FILE.dlg OUT.(xlsx|csv) [--sounds DIR] [--plot NAME] [--encoding NAME]
//   dlgtool check FILE.dlg [--ini Parlatrix.ini] [--sounds DIR] [--encoding NAME]
//                 [--max-length N[:UNIT]] [--require-utf8]
//   dlgtool textconv FILE.dlg
//   dlgtool merge BASE OURS THEIRS [-o OUT] [--path NAME]
//   dlgtool git-install [--global]
//   dlgtool stats FILE.dlg [--by G] [--format F] [--wpm N] [--cpm N] [--since OLD] [--encoding E]
//
// Exit status: 0 success, 1 a finding (a line that is not there, problems found by check),
// 2 wrong usage or a file that cannot be read or written. Results go to stdout, messages to
// stderr. CLI11 reports usage errors by exception; they are caught here and nowhere else.
#include <CLI/CLI.hpp>
#include <csignal>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "document_io.h"
#include "output.h"
#include "platform/file_io.h"
#include "write_rules.h"

namespace {

struct Arguments {
  bool verbose = false;
  bool acceptDamage = false;
  std::string file;
  std::string second;  // OUT.txt of export, IN.txt of import
  std::vector<std::string> ids;
  bool textOnly = false;
  bool recording = false;
  std::string output;
  std::string log;  // --log of import
  std::string ini;
  std::string sounds;
  std::string plot;
  std::string encoding;         // info, check, voscript
  std::string third;            // THEIRS of merge
  dlgtool::MergeLabels labels;  // --path, --base-name, --ours-name, --theirs-name of merge
  dlgtool::GitInstallOptions install;
  std::string filterMode;  // git-filter
  bool json = false;
  std::string from;  // recode
  std::string to;
  bool requireUtf8 = false;  // check
  dlgtool::ExchangeOptions exchange;
  dlgtool::StatsArguments stats;
  std::string maxLength;  // check --max-length N[:UNIT]
};

constexpr char kInfoHelp[] =
    "Prints the format version, game name, column and multi-line options, the line and index "
    "counts of the header, and every plot with its ID range (upper end exclusive, * for no "
    "bound) and the number of lines loaded into it. Warns when names or texts are not valid in "
    "the code page (the locale's, or --encoding) and names the one among UTF-8, CP949 and GBK "
    "that decodes them all.";
constexpr char kExportHelp[] =
    "The translation form has, per plot, a line of 13 asterisks and then per line its ID, its "
    "text and an empty line. Line ends are CR LF.";
constexpr char kImportHelp[] =
    "Reads a text file in the translation form, puts each text into the line with the same ID "
    "and saves FILE (or the -o file). Texts whose ID matches no line go to Parlatrix.log in the "
    "current directory. Prints how many texts were matched and how many were logged.";
constexpr char kCheckHelp[] =
    "First verifies the file's bytes as a game reading lines by ID relies on them (header against "
    "the file size, plot table, index entries, records, records size, member lists), one line per "
    "finding with its byte offset, index entry or ID. Then reports duplicate IDs, IDs outside "
    "their plot's range, game and plot names longer than their file fields (31 and 63 bytes), "
    "sound names over 250 bytes, texts over 4095 bytes, "
    "repeated plot names, names or texts not valid in the code page (the locale's, or "
    "--encoding), with --ini speakers and expressions that the configuration does not know, and "
    "with --sounds lines without a sound name, sound names no file has, files no line names and "
    "sound names used by two lines. One line per problem, naming the plot and the ID. With "
    "--require-utf8 a file whose game name, plot names or texts are not all valid UTF-8 is a "
    "problem too (as the runtime's prx_text_encoding reports it; `dlgtool recode` converts a "
    "legacy file). Exit status 1 when there are problems.";
constexpr char kVoscriptHelp[] =
    "One row per line in plot order: ID, sound, plot, speaker, direction (the expression), text, "
    "previous_line (the line before it in its plot), and empty notes, take and status columns. "
    "XLSX cells are all text, never formulas; in CSV a cell starting with = + - @ TAB or CR gets "
    "a leading apostrophe. With --sounds the sound checks of check run and their findings go to "
    "stderr; the script is written all the same and the exit status is 1. docs/voscript.md "
    "describes it.";
constexpr char kGetHelp[] =
    "Reads lines straight from FILE through its index, one open and three reads per line, as a "
    "game does. Prints one line per ID: ID, speaker, expression, sound and text separated by "
    "TABs. In the texts backslash, TAB, CR and LF are written as \\\\ \\t \\r \\n, every other "
    "byte below 0x20 and 0x7F as \\xHH (two hex digits); bytes from 0x80 up (CJK texts) pass "
    "unchanged. --text-only prints the text unescaped, its line breaks as LF. Exit status 1 when "
    "some ID has no line.";

constexpr char kTextconvHelp[] =
    "Prints the header fields, then per plot the lines `plot \"NAME\"`, `range [LOW, HIGH)` and "
    "two heading lines of the columns, and one line per member: ID, speaker, expression, sound and "
    "text separated by TABs, escaped as get "
    "does. Only stored values; a damaged file prints what loads and notes, with exit status 0.";
constexpr char kMergeHelp[] =
    "Merges by line ID and plot name. Writes the result to OUT, or over OURS. Conflicts keep ours "
    "and are listed on stdout and in NAME.conflicts.txt (NAME: --path, else the written file; as "
    "git's driver only for a merge in the work tree, never through a symbolic link). Lines an "
    "earlier merge moved are followed (recorded in the git directory). Exit status 0 clean, 1 "
    "conflicts, 2 an input that cannot be merged (nothing written). As git's merge driver: "
    "dlgtool merge %O %A %B --path %P --base-name %S --ours-name %X --theirs-name %Y";
constexpr char kGitInstallHelp[] =
    "Sets diff.parlatrix and merge.parlatrix in git's configuration (the repository's, or the "
    "user's with --global) and adds `*.dlg diff=parlatrix merge=parlatrix` to the repository's "
    ".gitattributes and the merge's reports to its .gitignore if missing. Running it again "
    "changes nothing; run it again after moving dlgtool. --store-text also sets the clean/smudge "
    "filter filter.parlatrix (git-filter) and writes `*.dlg filter=parlatrix diff=parlatrix-text "
    "merge=parlatrix`: git then stores the text form of each .dlg (see docs/git.md).";
constexpr char kGitFilterHelp[] =
    "git's clean/smudge filter of --store-text; reads stdin, writes stdout. clean: a .dlg file "
    "to its stored text form, refused (exit 2) unless the text gives the very same bytes back "
    "(a damaged file, an older version). smudge: the stored text to the .dlg file; a .dlg "
    "committed before the filter passes unchanged.";

// An empty -o would otherwise mean "no -o" and write over the input.
const CLI::Validator NonEmptyName(
    [](const std::string& value) { return value.empty() ? std::string("empty file name") : ""; },
    "NAME");

void AddGitCommands(CLI::App& app, Arguments& args) {
  CLI::App* textconv = app.add_subcommand("textconv", "A dialogue file as text, for git diff");
  textconv->footer(kTextconvHelp);
  textconv->add_option("FILE", args.file, "Dialogue file (.dlg)")->required();
  textconv->add_option("--encoding", args.encoding,
                       "Code page of the texts; printed as UTF-8 (default: bytes as stored)");

  CLI::App* merge = app.add_subcommand("merge", "Three-way merge of dialogue files by line ID");
  merge->footer(kMergeHelp);
  merge->add_option("BASE", args.file, "Common ancestor (an empty file: none)")->required();
  merge->add_option("OURS", args.second, "Our version; replaced by the result without -o")
      ->required();
  merge->add_option("THEIRS", args.third, "Their version")->required();
  merge->add_option("-o,--output", args.output, "Write the result here instead of over OURS")
      ->check(NonEmptyName);
  merge->add_option("--path", args.labels.path, "The file's name in the repository (git's %P)");
  merge->add_option("--base-name", args.labels.base, "What the base is (git's %S)");
  merge->add_option("--ours-name", args.labels.ours, "What ours is (git's %X)");
  merge->add_option("--theirs-name", args.labels.theirs, "What theirs is (git's %Y)");

  CLI::App* install = app.add_subcommand("git-install", "Let git diff and merge .dlg files");
  install->footer(kGitInstallHelp);
  install->add_flag("--global", args.install.global,
                    "Configure git for every repository of this user");
  install->add_option("--encoding", args.install.encoding,
                      "Code page of the texts: git diff shows them as UTF-8 (textconv --encoding)");
  install->add_flag("--store-text", args.install.storeText,
                    "Store .dlg files as their text form in the repository (a git filter)");

  CLI::App* filter = app.add_subcommand("git-filter", "git's filter for --store-text");
  filter->footer(kGitFilterHelp);
  filter->add_option("MODE", args.filterMode, "clean or smudge")
      ->required()
      ->check(CLI::IsMember({"clean", "smudge"}));
  filter->add_option("PATH", args.file, "The file's path in the repository (git's %f)");
}

void AddFile(CLI::App* command, Arguments& args) {
  command->add_option("FILE", args.file, "Dialogue file (.dlg)")->required();
}

void AddEncoding(CLI::App* command, Arguments& args) {
  command->add_option("--encoding", args.encoding,
                      "Code page of the document's texts (default: the locale's)");
}

void AddSounds(CLI::App* command, Arguments& args) {
  command->add_option("--sounds", args.sounds, "Folder of the sound files the lines name")
      ->check(NonEmptyName);
}

constexpr char kExchangeHelp[] =
    " A .po, .xlf/.xliff or .csv file (or --format) selects gettext PO, XLIFF 1.2 or CSV, keyed "
    "by line ID with the speaker, expression, sound and previous line as context; "
    "docs/exchange.md describes them. Import applies a translation only when the file's source "
    "text is still the line's text, and not when it is empty or fuzzy; it prints one line per "
    "fuzzy, stale or unknown entry and a summary, and exits with 1 when there were any. A "
    "malformed file applies nothing.";

void AddExchangeOptions(CLI::App* command, Arguments& args, bool exporting) {
  command->add_option("--format", args.exchange.format, "po, xliff, csv or xlsx, whatever the name");
  command->add_option("--encoding", args.exchange.encoding,
                      "Code page of the document's texts (default: the locale's)");
  if (!exporting) {
    command
        ->add_option("--fallback", args.exchange.fallback,
                     "Lines without a current translation keep their source text (source, the "
                     "default) or become empty (empty); they are listed")
        ->check(CLI::IsMember({"source", "empty"}));
    return;
  }
  command->add_flag("--update", args.exchange.update,
                    "Bring the existing OUT up to date with FILE by line ID, keeping its "
                    "translations (see docs/exchange.md)");
  command->add_option("--source-lang", args.exchange.sourceLang, "Source language (und)");
  command->add_option("--target-lang", args.exchange.targetLang, "Target language (und)");
  command->add_option("--translation", args.exchange.translation,
                      "Translated dialogue file whose texts fill the targets, by ID");
  command
      ->add_option("--xliff-version", args.exchange.xliffVersion,
                   "XLIFF version to write: 1.2 (the default; an update keeps the file's) or 2.0")
      ->check(CLI::IsMember({"1.2", "2.0"}));
}

int Dispatch(const CLI::App& app, const Arguments& args) {
  using namespace dlgtool;
  if (app.got_subcommand("info")) return RunInfo(args.file, args.encoding);
  if (app.got_subcommand("voscript")) {
    return RunVoscript(args.file, args.second, {args.sounds, args.plot, args.encoding});
  }
  if (app.got_subcommand("get")) return RunGet(args.file, args.ids, args.textOnly);
  const bool exchangeFile = IsExchangeRequest(args.second, args.exchange.format);
  if (app.got_subcommand("export")) {
    if (exchangeFile && args.recording) {
      Message("--recording is a form of the plain text export only");
      return kExitFailure;
    }
    if (args.exchange.update) {
      if (!exchangeFile) {
        Message("--update works on .po, .xlf, .xliff, .csv and .xlsx files only");
        return kExitFailure;
      }
      return RunExchangeUpdate(args.file, args.second, args.exchange);
    }
    if (!exchangeFile && (!args.exchange.translation.empty() ||
                          !args.exchange.sourceLang.empty() || !args.exchange.targetLang.empty())) {
      Message("--translation, --source-lang and --target-lang work with .po, .xlf, .xliff, .csv "
              "and .xlsx files only");
      return kExitFailure;
    }
    return exchangeFile ? RunExchangeExport(args.file, args.second, args.exchange)
                        : RunExport(args.file, args.second, args.recording);
  }
  if (app.got_subcommand("import")) {
    if (!args.exchange.fallback.empty() && !exchangeFile) {
      Message("--fallback works with .po, .xlf, .xliff, .csv and .xlsx files only");
      return kExitFailure;
    }
    if (exchangeFile) {
      ExchangeOptions options = args.exchange;
      options.log = args.log;
      return RunExchangeImport(args.file, args.second, args.output, options);
    }
    return exchangeFile ? RunExchangeImport(args.file, args.second, args.output, args.exchange)
                        : RunImport(args.file, args.second, args.output, args.log);
  }
  if (app.got_subcommand("status")) {
    return RunStatus(args.file, args.second, args.exchange, args.json);
  }
  if (app.got_subcommand("recode")) return RunRecode(args.file, args.from, args.to, args.output);
  if (app.got_subcommand("textconv")) return RunTextconv(args.file, args.encoding);
  if (app.got_subcommand("merge")) {
    return RunMerge(args.file, args.second, args.third, args.output, args.labels);
  }
  if (app.got_subcommand("git-install")) return RunGitInstall(args.install);
  if (app.got_subcommand("git-filter")) return RunGitFilter(args.filterMode, args.file);
  if (app.got_subcommand("stats")) return RunStats(args.stats);
  return RunCheck(args.file,
                  {args.ini, args.sounds, args.encoding, args.maxLength, args.requireUtf8});
}

// Says what memory running out left behind; allocates nothing. Every writer replaces its target
// only once the whole file is written, and a throw inside a writer removes the temporary file: a
// file is either whole or untouched. One written before the failure (the command then failed
// while it reported, or between two files) is named.
int OutOfMemory() {
  const long written = platform::ReplacedFileCount();
  if (written == 0) {
    dlgtool::Message("out of memory; nothing written");
  } else if (written == 1) {
    dlgtool::Message("out of memory after %s was written (whole); the rest was not done",
                     platform::LastReplacedPath());
  } else {
    dlgtool::Message("out of memory after %ld files were written (whole), the last %s; the rest "
                     "was not done",
                     written, platform::LastReplacedPath());
  }
  return dlgtool::kExitFailure;
}

int Main(int argc, char** argv) {
  Arguments args;
  CLI::App app{"Parlatrix dialogue files (.dlg) on the command line.", "dlgtool"};
  app.set_version_flag("--version", "dlgtool 1.0");
  app.add_flag("-v,--verbose", args.verbose,
               "Also print, on stderr, the reader's and writer's own diagnostic lines behind a "
               "message (the low-level reason); before or after the subcommand");
  app.add_flag("--accept-damage", args.acceptDamage,
               "Write an output from a damaged dialogue file all the same (it lacks the lines that "
               "could not be read); never over the damaged file itself");
  app.require_subcommand(1, 1);
  app.fallthrough();
  app.footer(
      "Exit status: 0 success, 1 a finding (a missing line, problems found), 2 wrong usage or a "
      "file that cannot be read or written.");

  CLI::App* info = app.add_subcommand("info", "Header, options and plots of a dialogue file");
  info->footer(kInfoHelp);
  AddFile(info, args);
  AddEncoding(info, args);

  CLI::App* get = app.add_subcommand("get", "Lines by ID, read through the file's index");
  get->footer(kGetHelp);
  AddFile(get, args);
  get->add_option("ID", args.ids, "Line IDs")->required();
  get->add_flag("--text-only", args.textOnly,
                "Print only the text, as the lookup tool shows it: one final line break and "
                "every CR removed");

  CLI::App* exporter = app.add_subcommand("export", "Write every plot's texts to a text file");
  exporter->footer(std::string(kExportHelp) + kExchangeHelp);
  AddFile(exporter, args);
  exporter->add_option("OUT", args.second, "Text file to create (replaced if it exists)")
      ->required();
  exporter->add_flag("--recording", args.recording,
                     "Write the recording form (one line per dialogue line: ID TAB text) "
                     "instead of the translation form");

  AddExchangeOptions(exporter, args, true);

  CLI::App* importer = app.add_subcommand("import", "Put translated texts back and save");
  importer->footer(std::string(kImportHelp) + kExchangeHelp);
  AddFile(importer, args);
  importer->add_option("IN", args.second, "Text file in the translation form")->required();
  importer->add_option("-o,--output", args.output, "Save to this file instead of replacing FILE")
      ->check(NonEmptyName);
  importer->add_option("--log", args.log, "Write unmatched texts here instead of Parlatrix.log")
      ->check(NonEmptyName);
  AddExchangeOptions(importer, args, false);

  CLI::App* status = app.add_subcommand("status", "How far a translation file is, per plot");
  status->footer(
      "Counts per plot and in total the lines translated, fuzzy, stale (the source changed since "
      "the file was made) and untranslated, and the file's obsolete entries. Exit status 0 when "
      "every line has a current translation, 1 otherwise.");
  AddFile(status, args);
  status->add_option("TRANSLATION", args.second, "The .po, .xlf, .xliff or .csv file")->required();
  status->add_option("--format", args.exchange.format, "po, xliff, csv or xlsx, whatever the name");
  status->add_option("--encoding", args.exchange.encoding,
                     "Code page of the document's texts (default: the locale's)");
  status->add_flag("--json", args.json, "Print the counts as JSON");

  CLI::App* recode =
      app.add_subcommand("recode", "Convert every name and text to another code page");
  recode->footer(
      "Converts the game name, plot names and every line's text, speaker, expression and sound "
      "name with iconv (CP949, GBK, UTF-8...). Nothing is written when a text is invalid in the "
      "source code page, cannot be held by the target, or a game or plot name outgrows its field.");
  AddFile(recode, args);
  recode->add_option("--from", args.from, "The file's code page now")->required();
  recode->add_option("--to", args.to, "The code page to convert to")->required();
  recode->add_option("-o,--output", args.output, "Save to this file instead of replacing FILE");

  CLI::App* check = app.add_subcommand("check", "Report problems to fix before shipping");
  check->footer(kCheckHelp);
  AddFile(check, args);
  check->add_option("--ini", args.ini, "Parlatrix.ini whose speakers and expressions to check");
  AddSounds(check, args);
  AddEncoding(check, args);
  check->add_option("--max-length", args.maxLength,
                    "Report texts longer than N characters (N:bytes in the code page, "
                    "N:utf16 in UTF-16 units)");
  check->add_flag("--require-utf8", args.requireUtf8,
                  "Fail a file whose names and texts are not all valid UTF-8");

  CLI::App* voscript = app.add_subcommand("voscript", "A voice-over script as XLSX or CSV");
  voscript->footer(kVoscriptHelp);
  AddFile(voscript, args);
  voscript->add_option("OUT", args.second, "The .xlsx or .csv file (replaced if it exists)")
      ->required();
  AddSounds(voscript, args);
  voscript->add_option("--plot", args.plot, "Only the lines of the plot of this name")
      ->check(NonEmptyName);
  AddEncoding(voscript, args);

  AddGitCommands(app, args);
  dlgtool::AddStatsCommand(app, args.stats);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return dlgtool::FinishOutput(status == 0 ? dlgtool::kExitSuccess : dlgtool::kExitFailure);
  }
  dlgtool::InstallDiagnostics(args.verbose);
  dlgtool::SetAcceptDamage(args.acceptDamage);
  // A file size limit (ulimit -f) then fails the write with EFBIG, which every writer reports and
  // cleans up after, instead of killing the process with its temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // A command killed by SIGTERM or ^C takes its half-written temporary file with it.
  platform::RemoveTemporaryFileOnSignals();
  int exitStatus = dlgtool::kExitFailure;
  try {
    exitStatus = Dispatch(app, args);
  } catch (const std::bad_alloc&) {
    exitStatus = OutOfMemory();
  }
  return dlgtool::FinishOutput(exitStatus);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    // Memory ran out while the command line was set up, or after the command finished.
    return dlgtool::FinishOutput(OutOfMemory());
  }
}
