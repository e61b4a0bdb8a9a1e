#include "search/line_search.h"

#include <string>
#include <unordered_set>

namespace {

inline unsigned char Fold(unsigned char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// A byte from 0x81 up leads a pair in the paired-byte code pages.
inline bool LeadsPair(unsigned char byte) {
  return byte >= 0x81 && byte != 0xFF;
}

// Compares at a character boundary; `pairedBytes` keeps second bytes of pairs unfolded.
bool MatchesAt(const unsigned char* at, const unsigned char* needle, size_t length,
               bool pairedBytes) {
  bool second = false;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char h = at[i];
    const unsigned char n = needle[i];
    if (second || h >= 0x80) {
      if (h != n) return false;
    } else if (Fold(h) != Fold(n)) {
      return false;
    }
    second = pairedBytes && !second && LeadsPair(h);
  }
  return true;
}

std::string Lowered(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

bool ContainsBytes(std::string_view haystack, std::string_view needle, bool pairedBytes) {
  if (needle.empty() || needle.size() > haystack.size()) return false;
  const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
  const auto* n = reinterpret_cast<const unsigned char*>(needle.data());
  const size_t last = haystack.size() - needle.size();
  if (!pairedBytes) {
    // Candidates by the first byte (either case of a letter), then the whole needle.
    const unsigned char lower = Fold(n[0]);
    const unsigned char upper =
        lower >= 'a' && lower <= 'z' ? static_cast<unsigned char>(lower - 0x20) : lower;
    for (size_t i = 0; i <= last; ++i) {
      const unsigned char c = h[i];
      if ((c == lower || c == upper) && MatchesAt(h + i, n, needle.size(), false)) return true;
    }
    return false;
  }
  for (size_t i = 0; i <= last;) {
    if (MatchesAt(h + i, n, needle.size(), true)) return true;
    i += LeadsPair(h[i]) ? 2 : 1;
  }
  return false;
}

std::vector<SearchHit> FindLines(const CDlgFile& document, std::string_view needle,
                                 const SearchOptions& options) {
  std::vector<SearchHit> hits;
  if (needle.empty() || options.fields == 0) return hits;
  int plotIndex = 0;
  for (PlotPos plot = document.GetPlots().GetHeadPosition(); plot != nullptr;
       plot = plot->next, ++plotIndex) {
    int row = 0;
    const CQHList<LinePos>& members = plot->value.members;
    for (auto* member = members.GetHeadPosition(); member != nullptr;
         member = member->next, ++row) {
      const CDlgItem& line = member->value->value;
      auto in = [&](const CPlainString& field) {
        return ContainsBytes(
            std::string_view(field.c_str(), static_cast<size_t>(field.GetLength())), needle,
            options.pairedBytes);
      };
      bool found = ((options.fields & kSearchText) != 0 && in(line.text)) ||
                   ((options.fields & kSearchSpeaker) != 0 && in(line.speaker)) ||
                   ((options.fields & kSearchSound) != 0 && in(line.sound));
      if (!found && (options.fields & kSearchId) != 0) {
        found = ContainsBytes(std::to_string(line.GetID()), needle, false);
      }
      if (found) hits.push_back({plot, plotIndex, member->value, row});
    }
  }
  return hits;
}

bool IsPairedByteCodeset(std::string_view codeset) {
  std::string name = Lowered(codeset);
  std::string compact;
  for (char c : name) {
    if (c != '-' && c != '_') compact += c;
  }
  for (const char* paired : {"gbk", "gb18030", "big5", "big5hkscs", "shiftjis", "sjis", "cp932",
                             "cp936", "cp949", "cp950", "uhc", "windows31j", "ms932", "ms936",
                             "ms949", "ms950"}) {
    if (compact == paired) return true;
  }
  return false;
}

size_t ReplaceBytes(std::string& text, std::string_view needle, std::string_view replacement,
                    bool pairedBytes) {
  if (needle.empty() || needle.size() > text.size()) return 0;
  const auto* h = reinterpret_cast<const unsigned char*>(text.data());
  const auto* n = reinterpret_cast<const unsigned char*>(needle.data());
  std::string out;
  size_t count = 0;
  size_t copied = 0;
  for (size_t i = 0; i + needle.size() <= text.size();) {
    if (MatchesAt(h + i, n, needle.size(), pairedBytes)) {
      if (count == 0) out.reserve(text.size());
      out.append(text, copied, i - copied);
      out.append(replacement);
      i += needle.size();
      copied = i;
      ++count;
      continue;
    }
    i += pairedBytes && LeadsPair(h[i]) ? 2 : 1;
  }
  if (count == 0) return 0;
  out.append(text, copied, std::string::npos);
  text.swap(out);
  return count;
}

ReplacePlan PlanReplace(const std::vector<SearchHit>& hits, std::string_view needle,
                        std::string_view replacement, const SearchOptions& options,
                        const ReplaceLimits& limits) {
  ReplacePlan plan;
  if (needle.empty()) return plan;
  std::unordered_set<LinePos> seen;
  for (const SearchHit& hit : hits) {
    if (!seen.insert(hit.line).second) continue;
    const CDlgItem& line = hit.line->value;
    LineFields after = FieldsOf(line);
    size_t found = 0;
    const struct {
      unsigned field;
      std::string* value;
      size_t limit;
      const char* name;
    } fields[] = {{kSearchText, &after.text, limits.text, "text"},
                  {kSearchSpeaker, &after.speaker, limits.speaker, "speaker"},
                  {kSearchSound, &after.sound, limits.sound, "sound"}};
    for (const auto& field : fields) {
      if ((options.fields & field.field) == 0) continue;
      const size_t n = ReplaceBytes(*field.value, needle, replacement, options.pairedBytes);
      if (n > 0 && field.value->size() > field.limit) {
        ReplacePlan refused;
        refused.refusedId = line.GetID();
        refused.refusedField = field.name;
        return refused;
      }
      found += n;
    }
    if (found == 0) continue;
    plan.occurrences += found;
    LineFields before = FieldsOf(line);
    if (before == after) continue;  // the replacement equals what it replaces
    plan.edits.push_back({LinePlace{hit.plotIndex, hit.row}, std::move(before), std::move(after)});
  }
  return plan;
}
