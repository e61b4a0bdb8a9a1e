#include "exchange/stats.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <string_view>
#include <utility>

#include "exchange/recoder.h"
#include "exchange/stats_text.h"

namespace exchange {

void StatsRow::Add(const TextCounts& text, bool emptyText, bool hasSound) {
  ++lines;
  counts += text;
  if (emptyText) ++empty;
  if (!hasSound) ++noSound;
}

double SpokenMinutes(const TextCounts& counts, const StatsOptions& options) {
  const double words = static_cast<double>(counts.words - counts.ideographic);
  const double characters = static_cast<double>(counts.ideographic);
  return words / options.wordsPerMinute + characters / options.charactersPerMinute;
}

StatsText::StatsText(const std::string& codeset) : recoder_(codeset) {}

bool StatsText::ok() const {
  return recoder_.ok();
}

std::string_view StatsText::Utf8(const CPlainString& text, bool& valid) {
  const std::string_view bytes(text.c_str(), text.GetLength());
  valid = true;
  if (recoder_.identity()) {
    valid = ValidUtf8Prefix(bytes) == bytes.size();
    return bytes;
  }
  if (recoder_.ToUtf8(bytes, buffer_)) return buffer_;
  valid = false;
  return bytes;  // counted byte by byte: every invalid byte is one character
}

std::string StatsText::Name(const CPlainString& text) {
  bool valid = true;
  const std::string_view utf8 = Utf8(text, valid);
  if (valid) return std::string(utf8);
  // Invalid bytes become U+FFFD so that every output stays valid UTF-8.
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t good = ValidUtf8Prefix(utf8.substr(i));
    out.append(utf8.substr(i, good));
    i += good;
    if (i < utf8.size()) {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

TextCounts StatsText::Count(const CDlgItem& line, bool& valid) {
  TextCounts counts;
  CountUtf8(Utf8(line.GetText(), valid), counts);
  return counts;
}

void ForEachLine(const CDlgFile& doc,
                 const std::function<void(const CDlgPlot* plot, const CDlgItem& line)>& visit) {
  long long memberCount = 0;
  for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr; pos = pos->next) {
    const CDlgPlot& plot = pos->value;
    memberCount += plot.members.GetCount();
    for (auto* member = plot.members.GetHeadPosition(); member != nullptr;
         member = member->next) {
      visit(&plot, member->value->value);
    }
  }
  // Every line is normally a member of one plot; only then are there no lines left to find.
  if (memberCount == doc.GetLines().GetCount()) return;
  std::unordered_set<const void*> members;
  for (PlotPos pos = doc.GetFirstPlot(); pos != nullptr; pos = pos->next) {
    for (auto* member = pos->value.members.GetHeadPosition(); member != nullptr;
         member = member->next) {
      members.insert(member->value);
    }
  }
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (members.count(pos) == 0) visit(nullptr, pos->value);
  }
}

bool CollectStats(const CDlgFile& doc, const StatsOptions& options, StatsReport& report,
                  platform::Status& status) {
  report = StatsReport();
  report.by = options.by;
  StatsText text(options.codeset);
  if (!text.ok()) {
    status = platform::Status::Failure("unknown encoding " + options.codeset);
    return false;
  }
  const bool byPlot = options.by == StatsGrouping::kPlot || options.by == StatsGrouping::kPlotSpeaker;
  const bool bySpeaker =
      options.by == StatsGrouping::kSpeaker || options.by == StatsGrouping::kPlotSpeaker;
  // Speakers are looked up by their bytes in the document (which outlives this call), so a name
  // is converted once per group, not once per line. Plot members come plot by plot; the group
  // table of the plot in hand is emptied when the next plot begins.
  std::unordered_map<std::string_view, size_t> groupOfSpeaker;
  std::unordered_map<std::string_view, size_t> speakerRow;
  const CDlgPlot* currentPlot = nullptr;
  bool started = false;
  std::string plotName;
  ForEachLine(doc, [&](const CDlgPlot* plot, const CDlgItem& line) {
    if (!started || plot != currentPlot) {
      started = true;
      currentPlot = plot;
      if (byPlot) {
        plotName = plot != nullptr ? text.Name(plot->GetName()) : std::string();
        groupOfSpeaker.clear();
      }
    }
    const std::string_view speaker(line.GetSpeaker().c_str(), line.GetSpeaker().GetLength());
    bool valid = true;
    const TextCounts counts = text.Count(line, valid);
    if (!valid && report.undecodable++ == 0) {
      report.undecodableWhere = "ID " + std::to_string(line.GetID());
    }
    const bool emptyText = line.GetText().GetLength() == 0;
    const bool hasSound = line.GetSound().GetLength() != 0;
    report.total.Add(counts, emptyText, hasSound);
    auto [row, newSpeaker] = speakerRow.emplace(speaker, report.speakers.size());
    if (newSpeaker) {
      report.speakers.emplace_back();
      report.speakers.back().speaker = text.Name(line.GetSpeaker());
    }
    report.speakers[row->second].Add(counts, emptyText, hasSound);
    if (options.by == StatsGrouping::kTotal) return;
    auto [group, added] =
        groupOfSpeaker.emplace(bySpeaker ? speaker : std::string_view(), report.groups.size());
    if (added) {
      StatsRow fresh;
      if (byPlot) fresh.plot = plotName;
      if (bySpeaker) fresh.speaker = report.speakers[row->second].speaker;
      report.groups.push_back(std::move(fresh));
    }
    report.groups[group->second].Add(counts, emptyText, hasSound);
  });
  report.total.minutes = SpokenMinutes(report.total.counts, options);
  for (StatsRow& row : report.groups) row.minutes = SpokenMinutes(row.counts, options);
  for (StatsRow& row : report.speakers) row.minutes = SpokenMinutes(row.counts, options);
  status = platform::Status::Ok();
  return true;
}

}  // namespace exchange
