// Translation rounds by ID. An entry of the old file is matched to the line with its ID, never by
// text similarity as msgmerge does: the ID is the line's identity, so a rewritten line keeps its
// translation (flagged) however different the new text is, and two lines with the same text never
// trade translations.
#include "exchange/rounds.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "exchange/json_string.h"
#include "exchange/xlsx.h"
#include "platform/file_io.h"

namespace exchange {
namespace {

// Where the last failure of a round was, for the Status overload: line and column of a malformed
// file, the line of a repeated ID, errno of a failed read or write.
thread_local platform::Status lastFailure;

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
    case Format::kXlsx:
      parsed = ReadXlsx(data, units, failure);
      break;
  }
  if (!parsed) {
    error = path + ":" + std::to_string(failure.line) + ":" + std::to_string(failure.column) +
            ": " + failure.message;
    lastFailure = platform::Status::Failure(path + ": " + failure.message)
                      .AtLine(static_cast<int>(failure.line), static_cast<int>(failure.column));
    return false;
  }
  // A PO entry folded over several IDs (msguniq) counts for each of them in a round: each gets a
  // copy, bounded so that a file of short entries with long reference lists cannot take memory
  // out of all proportion to its size.
  size_t copied = 0;
  const size_t count = units.size();
  for (size_t u = 0; u < count; ++u) {
    if (units[u].moreIds.empty()) continue;
    const std::vector<int> more = std::move(units[u].moreIds);
    units[u].moreIds.clear();
    for (const int id : more) {
      copied += units[u].source.size() + units[u].target.size() + units[u].notes.size() + 64;
      if (copied > 4 * data.size() + 4096) {
        error = path + ":" + std::to_string(units[u].line) +
                ": entries that reference many line IDs hold too much text to copy for each";
        return false;
      }
      ImportUnit copy = units[u];
      copy.id = id;
      units.push_back(std::move(copy));
    }
  }
  std::unordered_set<int> seen;
  for (const ImportUnit& unit : units) {
    if (!seen.insert(unit.id).second) {
      error = path + ":" + std::to_string(unit.line) + ": ID " + std::to_string(unit.id) +
              " appears more than once";
      lastFailure = platform::Status::Failure(path + ": ID " + std::to_string(unit.id) +
                                              " appears more than once")
                        .AtLine(static_cast<int>(unit.line));
      return false;
    }
  }
  return true;
}

bool ReadAndParse(const std::string& path, Format format, std::vector<ImportUnit>& units,
                  FileExtras& extras, std::string& error) {
  std::string data;
  if (!ReadExchangeFile(path, data, error)) {
    lastFailure = platform::Status::Failure(error, errno);
    return false;
  }
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

// Removes ` name="..."` from attributes written as ReadXliff keeps them.
void DropAttribute(std::string& attributes, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t at = attributes.find(key);
  if (at == std::string::npos) return;
  const size_t end = attributes.find('"', at + key.size());
  attributes.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
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
      // An XLIFF 2 unit goes back as the tool split it only while its bytes are still the
      // document's: the same source, the same translation, no review asked for.
      const bool asSplit = !was.segments.empty() && was.source == unit.text && change.empty();
      const std::string asRead = asSplit ? unit.target : std::string();
      MatchLineBreaks(unit.target, unit.text, was.source, std::string_view());
      if (asSplit && asRead == unit.target) {
        unit.segments = std::move(was.segments);
        unit.anchored = std::move(was.anchored);
      }
      unit.fuzzy = was.fuzzy;
      unit.state = std::move(was.state);
      unit.hasPrevious = was.fuzzy && was.hasPrevious;
      unit.previous = std::move(was.previous);
      // What a translator's tool wrote on the entry stays while the entry stays as it was.
      unit.unitAttributes = std::move(was.unitAttributes);
      unit.targetAttributes = std::move(was.targetAttributes);
      unit.segSource = std::move(was.segSource);
      unit.extraElements = std::move(was.extraElements);
      unit.altTrans = std::move(was.altTrans);
      if (change.empty()) {
        // A review asked for in an earlier round stays visible until the translator clears it.
        const std::string asked = NoteValue(was.notes, "review");
        if (unit.fuzzy && !asked.empty()) unit.notes += "\nreview: " + asked;
        ++report.unchanged;
        continue;
      }
      ++report.review;
      unit.fuzzy = true;
      // A new speaker or expression asks for the translation to be adapted, a state Weblate
      // counts as needing edit (it does not count needs-review-translation). Its approval, if a
      // tool gave one, no longer holds.
      if (unit.state.empty() || unit.state == "translated" || unit.state == "final" ||
          unit.state == "signed-off" || unit.state == "reviewed") {
        unit.state = "needs-adaptation";
      }
      DropAttribute(unit.unitAttributes, "approved");
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
  if (format == Format::kXliff) {
    set.xliffRootAttributes = extras.xliffRootAttributes;
    set.xliffHeader = extras.xliffHeader;
  }
  if (format == Format::kPo) {
    set.poHeader = extras.header;
    set.poHeaderComments = extras.headerComments;
    set.obsolete = obsolete + extras.obsolete;
  }
  set.previousColumn = format == Format::kCsv || format == Format::kXlsx;
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
  // The file keeps its XLIFF version unless another is asked for.
  if (chosen.xliffVersion == 0) chosen.xliffVersion = extras.xliffVersion;
  chosen.translation = nullptr;
  ExportSet set;
  if (!CollectUnits(doc, chosen, set, error)) return false;
  MergeRound(set, old, extras, format, report);
  old.clear();
  if (WriteExchangeFile(set, path, format, error)) return true;
  lastFailure = platform::Status::Failure(error, LastExchangeWriteErrno());
  return false;
}

bool UpdateExchangeFile(CDlgFile& doc, const std::string& path, Format format,
                        const ExportOptions& options, UpdateReport& report,
                        platform::Status& status) {
  std::string error;
  lastFailure = platform::Status();
  if (UpdateExchangeFile(doc, path, format, options, report, error)) {
    status = platform::Status::Ok();
    return true;
  }
  status = lastFailure.ok ? platform::Status::Failure(error) : lastFailure;
  return false;
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
