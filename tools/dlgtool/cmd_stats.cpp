// dlgtool stats: what a script costs (words, characters, spoken minutes), and what changed since
// an earlier version or translation. docs/stats.md.
#include <clocale>
#include <cstdlib>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "document_io.h"
#include "exchange/exchange.h"
#include "exchange/stats.h"
#include "output.h"
#include "write_rules.h"

namespace dlgtool {
namespace {

constexpr char kStatsHelp[] =
    "Counts per group the lines, words, characters (Unicode code points without white space), "
    "characters with spaces, empty texts, lines without a sound name, and the spoken minutes "
    "(words / --wpm, Chinese and Japanese characters / --cpm). A word is a run of letters, "
    "marks, digits and connector punctuation (one apostrophe or hyphen inside joins: don't, "
    "well-known); each Han, Hiragana and Katakana character is a word. With --since OLD.dlg: "
    "lines new, changed, unchanged and deleted by ID; with --since a .po/.xlf/.csv: lines "
    "translated, fuzzy, stale and untranslated; each with words and characters, per plot. "
    "docs/stats.md has the rules and the JSON shape.";

bool ParseGrouping(const std::string& name, exchange::StatsGrouping& by) {
  if (name == "total") by = exchange::StatsGrouping::kTotal;
  else if (name == "plot") by = exchange::StatsGrouping::kPlot;
  else if (name == "speaker") by = exchange::StatsGrouping::kSpeaker;
  else if (name == "plot-speaker") by = exchange::StatsGrouping::kPlotSpeaker;
  else return false;
  return true;
}

bool ParseFormat(const std::string& name, exchange::StatsFormat& format) {
  if (name == "table") format = exchange::StatsFormat::kTable;
  else if (name == "csv") format = exchange::StatsFormat::kCsv;
  else if (name == "json") format = exchange::StatsFormat::kJson;
  else if (name == "md") format = exchange::StatsFormat::kMarkdown;
  else if (name == "html") format = exchange::StatsFormat::kHtml;
  else return false;
  return true;
}

int RunSince(CDlgFile& doc, const StatsArguments& args, const exchange::StatsOptions& options,
             exchange::StatsFormat format) {
  exchange::SinceReport report;
  platform::Status status;
  exchange::Format exchangeFormat;
  if (exchange::FormatFromPath(args.since, exchangeFormat)) {
    if (!exchange::CompareTranslation(doc, args.since, exchangeFormat, options, report, status)) {
      Message("%s", status.Text().c_str());
      return kExitFailure;
    }
  } else {
    CDlgFile before;
    DlgHeader header;
    if (!LoadDocument(args.since.c_str(), before, header)) return kExitFailure;
    if (!exchange::CompareVersions(doc, before, options, report, status)) {
      Message("%s", status.Text().c_str());
      return kExitFailure;
    }
  }
  PrintResult(exchange::FormatSince(report, format));
  return kExitSuccess;
}

}  // namespace

void AddStatsCommand(CLI::App& app, StatsArguments& args) {
  CLI::App* stats = app.add_subcommand("stats", "Words, characters and spoken minutes of a script");
  stats->footer(kStatsHelp);
  stats->add_option("FILE", args.file, "Dialogue file (.dlg)")->required();
  stats->add_option("--by", args.by, "total, plot (the default), speaker or plot-speaker")
      ->check(CLI::IsMember({"total", "plot", "speaker", "plot-speaker"}));
  stats->add_option("--format", args.format, "table (the default), csv, json, md or html")
      ->check(CLI::IsMember({"table", "csv", "json", "md", "html"}));
  stats->add_option("--wpm", args.wordsPerMinute, "Spoken words a minute (150)")
      ->check(CLI::PositiveNumber);
  stats->add_option("--cpm", args.charactersPerMinute,
                    "Spoken Chinese or Japanese characters a minute (300)")
      ->check(CLI::PositiveNumber);
  stats->add_option("--since", args.since,
                    "An earlier version (.dlg) or a translation file (.po, .xlf, .xliff, .csv)");
  stats->add_option("--encoding", args.encoding,
                    "Code page of the document's texts (default: the locale's)");
}

int RunStats(const StatsArguments& args) {
  std::setlocale(LC_CTYPE, "");  // the document's code page is the locale's, as in the editor
  exchange::StatsOptions options;
  options.codeset = args.encoding;
  options.wordsPerMinute = args.wordsPerMinute;
  options.charactersPerMinute = args.charactersPerMinute;
  exchange::StatsFormat format = exchange::StatsFormat::kTable;
  if (!ParseGrouping(args.by, options.by) || !ParseFormat(args.format, format)) {
    Message("unknown --by or --format");
    return kExitFailure;
  }
  CDlgFile doc;
  DlgHeader header;
  if (!LoadDocument(args.file.c_str(), doc, header)) return kExitFailure;
  // As info: the counts cover only the lines that loaded; a damaged file says so (exit 1).
  const DamageReport damage =
      HasDialogueSignature(header) ? ReportDamage(args.file) : DamageReport::kIntact;
  if (damage == DamageReport::kNotChecked) return kExitFailure;
  const bool damaged = damage == DamageReport::kDamaged;
  if (!args.since.empty()) {
    const int compared = RunSince(doc, args, options, format);
    return compared == kExitSuccess && damaged ? kExitFinding : compared;
  }
  exchange::StatsReport report;
  platform::Status status;
  if (!exchange::CollectStats(doc, options, report, status)) {
    Message("%s", status.Text().c_str());
    return kExitFailure;
  }
  if (report.undecodable > 0) {
    Message("%s: warning: %d text%s not valid in the code page (first: %s), counted byte by byte; "
            "see --encoding",
            args.file.c_str(), report.undecodable, report.undecodable == 1 ? " is" : "s are",
            report.undecodableWhere.c_str());
  }
  PrintResult(exchange::FormatStats(report, format));
  return damaged ? kExitFinding : kExitSuccess;
}

}  // namespace dlgtool
