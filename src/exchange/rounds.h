// Translation rounds: an existing PO, XLIFF or CSV file brought up to date with the current
// document, matched by line ID, and the state of such a file against the document.
// docs/exchange.md ("A translation round, step by step") describes both for translators.
#pragma once

#include <string>
#include <vector>

#include "exchange/exchange.h"

namespace exchange {

struct UpdateReport {
  int unchanged = 0;  // entries whose source is the same: kept as they were
  int changed = 0;    // translated entries whose source changed: kept, made fuzzy
  int review = 0;     // translated entries whose speaker or expression changed: made fuzzy
  int added = 0;      // IDs new in the document: added untranslated
  // IDs gone from the document whose entries held a translation or a translator comment. PO keeps
  // them as obsolete (#~) entries; XLIFF and CSV cannot, so the caller must name them.
  std::vector<int> obsolete;
};

// Rewrites `path` (in `format`) for the document's current lines, carrying over by ID what the
// file held. False with `error` set, and the file untouched, when it cannot be read or parsed,
// repeats an ID, or a text of the document is not valid in the code page.
[[nodiscard]] bool UpdateExchangeFile(CDlgFile& doc, const std::string& path, Format format,
                                      const ExportOptions& options, UpdateReport& report,
                                      std::string& error);

// The same with the reason as a Status: the position of a malformed file or a repeated ID, errno
// of a failed read or write.
[[nodiscard]] bool UpdateExchangeFile(CDlgFile& doc, const std::string& path, Format format,
                                      const ExportOptions& options, UpdateReport& report,
                                      platform::Status& status);

// The merge itself: `set` holds the document's units (CollectUnits), `old` the file's entries.
void MergeRound(ExportSet& set, std::vector<ImportUnit>& old, const FileExtras& extras,
                Format format, UpdateReport& report);

struct StatusCounts {
  int translated = 0;    // a current translation: its source is the line's text
  int fuzzy = 0;         // marked fuzzy or for review
  int stale = 0;         // translated, but the line's text changed since
  int untranslated = 0;  // empty, or the file has no entry for the line
};

struct StatusReport {
  std::vector<std::string> plots;  // UTF-8, one per plot that exports a line
  std::vector<StatusCounts> perPlot;
  StatusCounts total;
  int obsolete = 0;  // entries for IDs the document no longer has, PO #~ entries included

  // Every line of the document has a current translation. Obsolete entries do not count: they
  // change nothing in the game.
  bool complete() const {
    return total.fuzzy == 0 && total.stale == 0 && total.untranslated == 0;
  }
};

enum class LineTranslation { kTranslated, kFuzzy, kStale, kUntranslated };

// The state of every line the document exports, in export order, against the file at `path`;
// `obsolete` counts the file's entries for IDs the document no longer has.
struct LineState {
  int id = -1;
  int plot = 0;  // index into `plots`
  LineTranslation state = LineTranslation::kUntranslated;
};
[[nodiscard]] bool TranslationStates(CDlgFile& doc, const std::string& path, Format format,
                                     const ExportOptions& options, std::vector<std::string>& plots,
                                     std::vector<LineState>& states, int& obsolete,
                                     std::string& error);

[[nodiscard]] bool TranslationStatus(CDlgFile& doc, const std::string& path, Format format,
                                     const ExportOptions& options, StatusReport& report,
                                     std::string& error);

// "PLOT: translated T, fuzzy F, stale S, untranslated U" per plot, then the total with obsolete.
std::string StatusText(const StatusReport& report);
std::string StatusJson(const StatusReport& report);

}  // namespace exchange
