// Translation rounds by ID. An entry of the old file is matched to the line with its ID, never by
// text similarity as msgmerge does: the ID is the line's identity, so a rewritten line keeps its
// translation (flagged) however different the new text is, and two lines with the same text never
// trade translations.
#include "exchange/rounds.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "platform/file_io.h"

namespace exchange {
namespace {

bool ParseFile(std::string_view data, const std::string& path, Format format,
               std::vector<ImportUnit>& units, FileExtras& extras, std::string& error) {
  ParseFailure failure;
  bool parsed = false;
  switch (format) {
    case Format::kPo:
      parsed = ReadPo(data, units, failure, &extras);
      break;
    case Format::kXliff:
      parsed = ReadXliff(data, units, failure, &extras);
      break;
    case Format::kCsv:
      parsed = ReadCsv(data, units, failure);
      break;
  }
  if (!parsed) {
    error = path + ":" + std::to_string(failure.line) + ":" + std::to_string(failure.column) +
            ": " + failure.message;
    return false;
  }
  std::unordered_set<int> seen;
  for (const ImportUnit& unit : units) {
    if (!seen.insert(unit.id).second) {
      error = path + ":" + std::to_string(unit.line) + ": ID " + std::to_string(unit.id) +
              " appears more than once";
      return false;
    }
  }
  return true;
}

bool ReadAndParse(const std::string& path, Format format, std::vector<ImportUnit>& units,
                  FileExtras& extras, std::string& error) {
  std::string data;
  if (!ReadExchangeFile(path, data, error)) return false;
  return ParseFile(data, path, format, units, extras, error);
}

// The value of the context item `label` ("speaker", "expression") in LF-joined notes.
std::string NoteValue(const std::string& notes, const std::string& label) {
  const std::string key = label + ": ";
  size_t start = 0;
  while (start < notes.size()) {
    size_t end = notes.find('\n', start);
    if (end == std::string::npos) end = notes.size();
    if (notes.compare(start, key.size(), key) == 0) {
      return notes.substr(start + key.size(), end - start - key.size());
    }
    start = end + 1;
  }
  return std::string();
}

// "speaker 민준 -> 서연"-style description of what changed around an unchanged text; empty when
// nothing did. A file without context notes (a tool removed them) tells nothing.
std::string ContextChange(const std::string& before, const std::string& after) {
  if (before.empty()) return std::string();
  std::string change;
  for (const char* label : {"speaker", "expression"}) {
    const std::string was = NoteValue(before, label);
    const std::string now = NoteValue(after, label);
    if (was == now) continue;
    if (!change.empty()) change += "; ";
    change += std::string(label) + " changed: " + (was.empty() ? "(none)" : was) + " -> " +
              (now.empty() ? "(none)" : now);
  }
  return change;
}

}  // namespace

void MergeRound(ExportSet& set, std::vector<ImportUnit>& old, const FileExtras& extras,
                Format format, UpdateReport& report) {
  report = UpdateReport();
  std::unordered_map<int, ImportUnit*> byId;
  byId.reserve(old.size());
  for (ImportUnit& unit : old) byId.emplace(unit.id, &unit);
  std::unordered_set<int> current;
  current.reserve(set.units.size());
  for (ExportUnit& unit : set.units) {
    current.insert(unit.id);
    const auto found = byId.find(unit.id);
    if (found == byId.end()) {
      ++report.added;
      continue;
    }
    ImportUnit& was = *found->second;
    unit.comments = std::move(was.comments);
    unit.flags = std::move(was.flags);
    if (was.target.empty()) {
      ++report.unchanged;
      continue;  // nothing translated: the entry simply takes the new source
    }
    unit.hasTarget = true;
    unit.target = std::move(was.target);
    const std::string change = ContextChange(was.notes, unit.notes);
    if (SameText(was.source, unit.text)) {
      // Line ends a tool normalised are no change; the kept translation takes the source's.
      MatchLineBreaks(unit.target, unit.text, was.source, std::string_view());
      unit.fuzzy = was.fuzzy;
      unit.state = std::move(was.state);
      unit.hasPrevious = was.fuzzy && was.hasPrevious;
      unit.previous = std::move(was.previous);
      if (change.empty()) {
        // A review asked for in an earlier round stays visible until the translator clears it.
        const std::string asked = NoteValue(was.notes, "review");
        if (unit.fuzzy && !asked.empty()) unit.notes += "\nreview: " + asked;
        ++report.unchanged;
        continue;
      }
      ++report.review;
      unit.fuzzy = true;
      if (unit.state.empty() || unit.state == "translated" || unit.state == "final" ||
          unit.state == "signed-off") {
        unit.state = "needs-review-translation";
      }
    } else {
      // An entry that was already fuzzy keeps the source its translation was made for.
      ++report.changed;
      unit.fuzzy = true;
      unit.state = "needs-translation";
      unit.hasPrevious = true;
      unit.previous = was.fuzzy && was.hasPrevious ? std::move(was.previous) : std::move(was.source);
    }
    if (!change.empty()) unit.notes += "\nreview: " + change;
  }
  std::string obsolete;
  for (ImportUnit& unit : old) {
    if (current.count(unit.id) != 0) continue;
    if (unit.target.empty() && unit.comments.empty()) continue;
    report.obsolete.push_back(unit.id);
    if (format == Format::kPo) obsolete += PoObsoleteEntry(unit) + "\n";
  }
  if (format == Format::kPo) {
    set.poHeader = extras.header;
    set.obsolete = obsolete + extras.obsolete;
  }
  set.previousColumn = format == Format::kCsv;
}

bool UpdateExchangeFile(CDlgFile& doc, const std::string& path, Format format,
                        const ExportOptions& options, UpdateReport& report, std::string& error) {
  std::vector<ImportUnit> old;
  FileExtras extras;
  if (!ReadAndParse(path, format, old, extras, error)) return false;
  ExportOptions chosen = options;
  // The file's own languages stay unless new ones are given.
  if (chosen.sourceLang.empty() || chosen.sourceLang == "und") {
    if (!extras.sourceLang.empty()) chosen.sourceLang = extras.sourceLang;
  }
  if (chosen.targetLang.empty() || chosen.targetLang == "und") {
    if (!extras.targetLang.empty()) chosen.targetLang = extras.targetLang;
  }
  chosen.translation = nullptr;
  ExportSet set;
  if (!CollectUnits(doc, chosen, set, error)) return false;
  MergeRound(set, old, extras, format, report);
  old.clear();
  return WriteExchangeFile(set, path, format, error);
}

bool TranslationStates(CDlgFile& doc, const std::string& path, Format format,
                       const ExportOptions& options, std::vector<std::string>& plots,
                       std::vector<LineState>& states, int& obsolete, std::string& error) {
  states.clear();
  std::vector<ImportUnit> entries;
  FileExtras extras;
  if (!ReadAndParse(path, format, entries, extras, error)) return false;
  ExportSet set;
  if (!CollectUnits(doc, options, set, error)) return false;
  std::unordered_map<int, const ImportUnit*> byId;
  for (const ImportUnit& entry : entries) byId.emplace(entry.id, &entry);
  std::unordered_set<int> current;
  states.reserve(set.units.size());
  for (const ExportUnit& unit : set.units) {
    current.insert(unit.id);
    const auto found = byId.find(unit.id);
    LineTranslation state = LineTranslation::kTranslated;
    if (found == byId.end() || found->second->target.empty()) {
      state = LineTranslation::kUntranslated;
    } else if (found->second->fuzzy) {
      state = LineTranslation::kFuzzy;
    } else if (!SameText(found->second->source, unit.text)) {
      state = LineTranslation::kStale;
    }
    states.push_back({unit.id, unit.plot, state});
  }
  obsolete = extras.obsoleteCount;
  for (const ImportUnit& entry : entries) {
    if (current.count(entry.id) == 0) ++obsolete;
  }
  plots = std::move(set.plots);
  return true;
}

bool TranslationStatus(CDlgFile& doc, const std::string& path, Format format,
                       const ExportOptions& options, StatusReport& report, std::string& error) {
  report = StatusReport();
  std::vector<std::string> plots;
  std::vector<LineState> states;
  if (!TranslationStates(doc, path, format, options, plots, states, report.obsolete, error)) {
    return false;
  }
  std::vector<int> plotIndex(plots.size(), -1);
  for (const LineState& line : states) {
    if (plotIndex[line.plot] < 0) {
      plotIndex[line.plot] = static_cast<int>(report.plots.size());
      report.plots.push_back(plots[line.plot]);
      report.perPlot.emplace_back();
    }
    StatusCounts& plot = report.perPlot[plotIndex[line.plot]];
    int StatusCounts::*slot = &StatusCounts::translated;
    switch (line.state) {
      case LineTranslation::kUntranslated: slot = &StatusCounts::untranslated; break;
      case LineTranslation::kFuzzy: slot = &StatusCounts::fuzzy; break;
      case LineTranslation::kStale: slot = &StatusCounts::stale; break;
      case LineTranslation::kTranslated: break;
    }
    ++(plot.*slot);
    ++(report.total.*slot);
  }
  return true;
}

namespace {

std::string CountsText(const StatusCounts& c) {
  return "translated " + std::to_string(c.translated) + ", fuzzy " + std::to_string(c.fuzzy) +
         ", stale " + std::to_string(c.stale) + ", untranslated " + std::to_string(c.untranslated);
}

std::string CountsJson(const StatusCounts& c) {
  return "\"translated\": " + std::to_string(c.translated) +
         ", \"fuzzy\": " + std::to_string(c.fuzzy) + ", \"stale\": " + std::to_string(c.stale) +
         ", \"untranslated\": " + std::to_string(c.untranslated);
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof(buffer), "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string StatusText(const StatusReport& report) {
  std::string out;
  for (size_t i = 0; i < report.plots.size(); ++i) {
    out += report.plots[i] + ": " + CountsText(report.perPlot[i]) + "\n";
  }
  out += "total: " + CountsText(report.total) + ", obsolete " + std::to_string(report.obsolete) +
         "\n";
  return out;
}

std::string StatusJson(const StatusReport& report) {
  std::string out = "{\"plots\": [";
  for (size_t i = 0; i < report.plots.size(); ++i) {
    if (i > 0) out += ", ";
    out += "{\"name\": " + JsonString(report.plots[i]) + ", " + CountsJson(report.perPlot[i]) + "}";
  }
  out += "], \"total\": {" + CountsJson(report.total) +
         ", \"obsolete\": " + std::to_string(report.obsolete) +
         "}, \"complete\": " + (report.complete() ? "true" : "false") + "}\n";
  return out;
}

}  // namespace exchange
