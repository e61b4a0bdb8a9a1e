// What changed since an earlier version, by line ID: the analysis a translation vendor prices a
// new round by.
#include <unordered_map>
#include <utility>

#include "exchange/rounds.h"
#include "exchange/stats.h"
#include "exchange/stats_text.h"

namespace exchange {
namespace {

enum SinceColumn { kNew, kChanged, kUnchanged, kDeleted };

// Rows by plot name: a plot of the earlier version is the plot of that name now.
class SinceRows {
 public:
  explicit SinceRows(SinceReport& report) : report_(report) {}

  void Add(const std::string& plot, int column, const TextCounts& counts) {
    auto [found, added] = index_.emplace(plot, report_.plots.size());
    if (added) {
      report_.plots.emplace_back();
      report_.plots.back().plot = plot;
      report_.plots.back().columns.resize(report_.columnNames.size());
    }
    for (SinceRow* row : {&report_.plots[found->second], &report_.total}) {
      ++row->columns[column].lines;
      row->columns[column].counts += counts;
    }
  }

 private:
  SinceReport& report_;
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace

bool CompareVersions(const CDlgFile& now, const CDlgFile& before, const StatsOptions& options,
                     SinceReport& report, platform::Status& status) {
  report = SinceReport();
  report.columnNames = {"new", "changed", "unchanged", "deleted"};
  report.total.plot = "total";
  report.total.columns.resize(report.columnNames.size());
  StatsText text(options.codeset);
  if (!text.ok()) {
    status = platform::Status::Failure("unknown encoding " + options.codeset);
    return false;
  }
  SinceRows rows(report);
  std::unordered_map<int, const CDlgItem*> earlier;
  earlier.reserve(static_cast<size_t>(before.GetLines().GetCount()));
  ForEachLine(before, [&](const CDlgPlot*, const CDlgItem& line) {
    earlier.emplace(line.GetID(), &line);
  });
  std::unordered_map<int, bool> seen;
  seen.reserve(earlier.size());
  // Lines come plot by plot: each plot's name is converted once.
  const CDlgPlot* namedPlot = nullptr;
  std::string plotName;
  auto nameOf = [&](const CDlgPlot* plot) -> const std::string& {
    if (plot != namedPlot || plotName.empty()) {
      plotName = plot != nullptr ? text.Name(plot->GetName()) : std::string();
      namedPlot = plot;
    }
    return plotName;
  };
  ForEachLine(now, [&](const CDlgPlot* plot, const CDlgItem& line) {
    bool valid = true;
    const TextCounts counts = text.Count(line, valid);
    const auto found = earlier.find(line.GetID());
    int column = kNew;
    if (found != earlier.end() && seen.emplace(line.GetID(), true).second) {
      const CPlainString& was = found->second->GetText();
      const CPlainString& is = line.GetText();
      const bool same = was.GetLength() == is.GetLength() &&
                        std::char_traits<char>::compare(was.c_str(), is.c_str(),
                                                        static_cast<size_t>(is.GetLength())) == 0;
      column = same ? kUnchanged : kChanged;
    }
    rows.Add(nameOf(plot), column, counts);
  });
  ForEachLine(before, [&](const CDlgPlot* plot, const CDlgItem& line) {
    if (seen.count(line.GetID()) != 0) return;
    seen.emplace(line.GetID(), true);  // a repeated ID of the earlier version is counted once
    bool valid = true;
    const TextCounts counts = text.Count(line, valid);
    rows.Add(nameOf(plot), kDeleted, counts);
  });
  status = platform::Status::Ok();
  return true;
}

bool CompareTranslation(CDlgFile& doc, const std::string& path, Format format,
                        const StatsOptions& options, SinceReport& report,
                        platform::Status& status) {
  report = SinceReport();
  report.columnNames = {"translated", "fuzzy", "stale", "untranslated"};  // LineTranslation order
  report.total.plot = "total";
  report.total.columns.resize(report.columnNames.size());
  StatsText text(options.codeset);
  if (!text.ok()) {
    status = platform::Status::Failure("unknown encoding " + options.codeset);
    return false;
  }
  ExportOptions exportOptions;
  exportOptions.codeset = options.codeset;
  std::vector<std::string> plots;
  std::vector<LineState> states;
  int obsolete = 0;
  std::string error;
  if (!TranslationStates(doc, path, format, exportOptions, plots, states, obsolete, error)) {
    status = platform::Status::Failure(error);
    return false;
  }
  SinceRows rows(report);
  for (const LineState& line : states) {
    const LinePos pos = doc.FindItem(line.id);
    if (pos == nullptr) continue;
    bool valid = true;
    rows.Add(plots[line.plot], static_cast<int>(line.state), text.Count(pos->value, valid));
  }
  status = platform::Status::Ok();
  return true;
}

}  // namespace exchange
