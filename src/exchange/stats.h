// What a script costs: lines, words, characters and spoken minutes per plot and speaker, and what
// changed since an earlier version or translation (dlgtool stats, the editor's Statistics window).
// docs/stats.md states the counting rule, the estimates and the JSON shape.
#pragma once

#include <string>
#include <vector>

#include "exchange/exchange_units.h"
#include "exchange/word_count.h"
#include "model/dlg_file.h"
#include "platform/status.h"

namespace exchange {

enum class StatsGrouping { kTotal, kPlot, kSpeaker, kPlotSpeaker };

struct StatsOptions {
  std::string codeset;  // the document's code page; empty: the locale's
  StatsGrouping by = StatsGrouping::kPlot;
  double wordsPerMinute = 150;       // spoken words a minute, for texts counted in words
  double charactersPerMinute = 300;  // spoken characters a minute, for Chinese and Japanese
};

struct StatsRow {
  std::string plot;     // UTF-8; "" for lines in no plot
  std::string speaker;  // UTF-8
  long long lines = 0;
  TextCounts counts;
  long long empty = 0;    // lines whose text is empty
  long long noSound = 0;  // lines without a sound name
  double minutes = 0;

  void Add(const TextCounts& text, bool emptyText, bool hasSound);
};

struct StatsReport {
  StatsGrouping by = StatsGrouping::kPlot;
  StatsRow total;
  std::vector<StatsRow> groups;  // in the order plots and speakers first appear
  std::vector<StatsRow> speakers;  // per speaker whatever the grouping (the chart's bars)
  int undecodable = 0;           // texts not valid in the code page (counted byte by byte)
  std::string undecodableWhere;  // the first of them: "ID 7"
};

// Counts every line of `doc` (plot members in plot order, then lines in no plot). False with
// `status` when the code page is unknown.
[[nodiscard]] bool CollectStats(const CDlgFile& doc, const StatsOptions& options,
                                StatsReport& report, platform::Status& status);

// Spoken minutes of counts: words outside Chinese and Japanese by `wordsPerMinute`, Han,
// Hiragana and Katakana characters by `charactersPerMinute`.
[[nodiscard]] double SpokenMinutes(const TextCounts& counts, const StatsOptions& options);

enum class StatsFormat { kTable, kCsv, kJson, kMarkdown, kHtml };

[[nodiscard]] std::string FormatStats(const StatsReport& report, StatsFormat format);

// What a translator must do since an earlier version: lines new, changed (text differs),
// unchanged and deleted by ID; or, against a translation file, lines translated, untranslated,
// fuzzy and stale. Each with lines, words and characters, per plot and in total.
struct SinceCounts {
  long long lines = 0;
  TextCounts counts;
};

struct SinceRow {
  std::string plot;  // UTF-8
  std::vector<SinceCounts> columns;  // one per SinceReport::columnNames
};

struct SinceReport {
  std::vector<std::string> columnNames;  // "new", "changed", "unchanged", "deleted"
  std::vector<SinceRow> plots;
  SinceRow total;
};

// Against an earlier version of the document. Deleted lines are counted in the plot they had.
[[nodiscard]] bool CompareVersions(const CDlgFile& now, const CDlgFile& before,
                                   const StatsOptions& options, SinceReport& report,
                                   platform::Status& status);

// Against a translation file (PO, XLIFF, CSV): the current lines translated, untranslated,
// fuzzy and stale, counted by their source texts.
[[nodiscard]] bool CompareTranslation(CDlgFile& doc, const std::string& path, Format format,
                                      const StatsOptions& options, SinceReport& report,
                                      platform::Status& status);

[[nodiscard]] std::string FormatSince(const SinceReport& report, StatsFormat format);

}  // namespace exchange
