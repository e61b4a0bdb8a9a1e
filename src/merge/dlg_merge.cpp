// Three-way merge of dialogue documents (dlg_merge.h). Lines are merged first, since whether a
// plot survives depends on whether the result still has lines in it; then the plots; then the
// order of the plots and of each plot's members.
#include "merge/dlg_merge.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory_resource>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "merge/dlg_merge_order.h"
#include "platform/text_escape.h"

namespace {

constexpr char kNone[] = "(none)";
constexpr size_t kOrderShown = 20;  // IDs an order conflict shows per version

// Where a line sits in one version.
struct LineRef {
  const MergeLine* line = nullptr;
  const MergePlot* plot = nullptr;
  bool Present() const { return line != nullptr; }
};

// Values by line ID. The IDs of a saved file run from 0 to little more than its line count, so
// they index a vector; a snapshot with IDs far apart (or negative) keeps a hash map instead. An
// ID the vector cannot take moves every entry to the map.
template <typename T>
class IdTable {
 public:
  explicit IdTable(std::pmr::memory_resource* arena) : sparse_(arena) {}

  // Chooses the storage for `count` entries whose IDs lie between `lowest` and `highest`.
  void Plan(int64_t lowest, int64_t highest, size_t count) {
    dense_ = lowest >= 0 && highest < DenseLimit(count);
    if (dense_) {
      values_.resize(static_cast<size_t>(highest) + 1);
    } else {
      sparse_.reserve(count);
    }
  }
  const T* Find(int32_t id) const {
    if (dense_) {
      const bool in = id >= 0 && static_cast<size_t>(id) < values_.size();
      return in && values_[static_cast<size_t>(id)].Present() ? &values_[static_cast<size_t>(id)]
                                                              : nullptr;
    }
    auto it = sparse_.find(id);
    return it == sparse_.end() ? nullptr : &it->second;
  }
  T& operator[](int32_t id) {
    if (dense_ && (id < 0 || id >= DenseLimit(values_.size()))) MakeSparse();
    if (!dense_) return sparse_[id];
    if (static_cast<size_t>(id) >= values_.size()) values_.resize(static_cast<size_t>(id) + 1);
    return values_[static_cast<size_t>(id)];
  }
  // Calls `visit(id, value)` for every entry, in no particular order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    if (!dense_) {
      for (const auto& [id, value] : sparse_) visit(id, value);
      return;
    }
    for (size_t id = 0; id < values_.size(); ++id) {
      if (values_[id].Present()) visit(static_cast<int32_t>(id), values_[id]);
    }
  }

 private:
  static int64_t DenseLimit(size_t count) { return 4 * static_cast<int64_t>(count) + 4096; }
  void MakeSparse() {
    for (size_t id = 0; id < values_.size(); ++id) {
      if (values_[id].Present()) sparse_.emplace(static_cast<int32_t>(id), values_[id]);
    }
    values_ = std::vector<T>();
    dense_ = false;
  }

  bool dense_ = false;
  std::vector<T> values_;
  std::pmr::unordered_map<int32_t, T> sparse_;
};
using LineMap = IdTable<LineRef>;
using PlotMap = std::unordered_map<std::string_view, const MergePlot*>;

PlotMap IndexPlots(const MergeDocument& doc) {
  PlotMap map;
  for (const MergePlot& plot : doc.plots) map.emplace(plot.name, &plot);
  return map;
}

const MergePlot* FindPlot(const PlotMap& map, std::string_view name) {
  auto it = map.find(name);
  return it == map.end() ? nullptr : it->second;
}

// The lowest and highest ID of the document and its number of lines.
void MeasureIds(const MergeDocument& doc, int64_t& lowest, int64_t& highest, size_t& count) {
  for (const MergePlot& plot : doc.plots) {
    count += plot.lines.size();
    for (const MergeLine& line : plot.lines) {
      lowest = std::min<int64_t>(lowest, line.id);
      highest = std::max<int64_t>(highest, line.id);
    }
  }
}

// The first line with an ID wins, as the snapshots never repeat one.
void IndexLines(const MergeDocument& doc, LineMap& map) {
  for (const MergePlot& plot : doc.plots) {
    for (const MergeLine& line : plot.lines) {
      LineRef& ref = map[line.id];
      if (!ref.Present()) ref = LineRef{&line, &plot};
    }
  }
}

const LineRef* Find(const LineMap& map, int32_t id) {
  return map.Find(id);
}

bool SameLine(const LineRef& a, const LineRef& b) {
  return a.plot->name == b.plot->name && a.line->speaker == b.line->speaker &&
         a.line->expression == b.line->expression && a.line->sound == b.line->sound &&
         a.line->text == b.line->text;
}

std::string RangeValue(int32_t low, int32_t high) {
  if (low < 0 && high < 0) return "no range";
  return "[" + (low >= 0 ? std::to_string(low) : std::string("*")) + ", " +
         (high >= 0 ? std::to_string(high) : std::string("*")) + ")";
}

std::string LineValue(const LineRef* ref) {
  if (ref == nullptr) return kNone;
  return "plot " + QuoteMergeText(ref->plot->name) + ", speaker " +
         QuoteMergeText(ref->line->speaker) + ", expression " +
         QuoteMergeText(ref->line->expression) + ", sound " + QuoteMergeText(ref->line->sound) +
         ", text " + QuoteMergeText(ref->line->text);
}

std::string OrderValue(const std::vector<int32_t>& ids) {
  std::string out;
  for (size_t k = 0; k < ids.size() && k < kOrderShown; ++k) {
    out += (k == 0 ? "" : " ") + std::to_string(ids[k]);
  }
  if (ids.size() > kOrderShown) out += " ... (" + std::to_string(ids.size()) + " in all)";
  return out;
}

// A line of the result: where each of its fields comes from (strings of the three versions, which
// outlive the merge, so nothing is copied until the result is built) and the name of its plot.
struct MergedLine {
  const std::string_view* speaker = nullptr;
  const std::string_view* expression = nullptr;
  const std::string_view* sound = nullptr;
  const std::string_view* text = nullptr;
  const std::string_view* plot = nullptr;
  bool Present() const { return speaker != nullptr; }
};

class Merger {
 public:
  Merger(const MergeDocument& base, const MergeDocument& ours, const MergeDocument& theirs)
      : base_(base), ours_(ours), theirs_(theirs) {}

  MergeResult Run();
  // Builds the maps by ID of the three versions; Run calls it when nobody did.
  void Index();
  // The moves of `earlier` (and moves shown by equal lines) that one side made and the other
  // side and the base do not know; see MergeDocuments. Reports a conflict for a move found by an
  // equal copy alone while the line under its old ID is a variant of it (which line is meant
  // cannot be told).
  void FindMoves(const std::vector<MergeMove>& earlier, std::vector<MergeMove>& byOurs,
                 std::vector<MergeMove>& byTheirs);
  std::vector<MergeConflict> TakeConflicts() { return std::move(result_.conflicts); }

 private:
  void FindMovesOf(const MergeDocument& side, const LineMap& sideLines, const LineMap& otherLines,
                   const char* sideName, const std::vector<MergeMove>& earlier,
                   std::vector<MergeMove>& moves);
  // The merged value of one field: a reference to one of the arguments.
  template <typename T>
  const T& Field(const T& base, const T& ours, const T& theirs, const std::string& subject,
                 std::string (*show)(const T&));
  void MergeOptions();
  void MergeLines();
  void MergeLine3(int32_t id, const LineRef* b, const LineRef* o, const LineRef* t);
  void MergeFields(int32_t id, const LineRef& b, const LineRef& o, const LineRef& t);
  void Keep(const LineRef& ref, int32_t id) {
    merged_[id] = MergedLine{&ref.line->speaker, &ref.line->expression, &ref.line->sound,
                             &ref.line->text, &ref.plot->name};
  }
  void RenumberTheirs();
  int32_t FreeId(int32_t from, const MergePlot& plot);
  void MergePlots();
  void MergeOnePlot(std::string_view name);
  void OrderPlots();
  void OrderMembers(MergePlot& plot);
  std::vector<int32_t> MemberIds(const PlotMap& plots, std::string_view name, bool renamed) const;
  void Report(std::string subject, std::string base, std::string ours, std::string theirs,
              std::string outcome) {
    result_.conflicts.push_back({std::move(subject), std::move(base), std::move(ours),
                                 std::move(theirs), std::move(outcome)});
  }

  const MergeDocument& base_;
  const MergeDocument& ours_;
  const MergeDocument& theirs_;
  // The maps over every line live here and are released at once: a hundred thousand map nodes
  // allocated and freed one by one cost more than the merge itself.
  std::pmr::monotonic_buffer_resource arena_;
  LineMap baseLines_{&arena_}, ourLines_{&arena_}, theirLines_{&arena_};
  IdTable<MergedLine> merged_{&arena_};  // by final ID
  // IDs under which the two sides hold different lines: both added one, or one side replaced the
  // base's line by another one while the other side changed the base's line.
  struct Collision {
    int32_t id;
    const char* replacedBy;  // nullptr for two new lines; "ours" or "theirs" for a replacement
  };
  std::vector<Collision> collisions_;
  std::unordered_map<int32_t, int32_t> theirsMoved_;  // theirs' ID -> its ID in the result
  PlotMap basePlots_, ourPlots_, theirPlots_;
  std::unordered_map<std::string_view, std::vector<int32_t>> membersOf_;  // by plot name, sorted
  MergeResult result_;
  bool indexed_ = false;
};

std::string ShowText(const std::string_view& value) {
  return QuoteMergeText(value);
}
std::string ShowInt(const int32_t& value) {
  return std::to_string(value);
}
std::string ShowRange(const std::pair<int32_t, int32_t>& range) {
  return RangeValue(range.first, range.second);
}

template <typename T>
const T& Merger::Field(const T& base, const T& ours, const T& theirs, const std::string& subject,
                       std::string (*show)(const T&)) {
  if (ours == theirs || theirs == base) return ours;
  if (ours == base) return theirs;
  Report(subject, show(base), show(ours), show(theirs), "kept ours");
  return ours;
}

void Merger::MergeOptions() {
  MergeDocument& out = result_.merged;
  out.gameName = Field(base_.gameName, ours_.gameName, theirs_.gameName, "game name", ShowText);
  out.useSpeaker = Field(base_.useSpeaker, ours_.useSpeaker, theirs_.useSpeaker,
                         "speaker column option", ShowInt);
  out.useExpression = Field(base_.useExpression, ours_.useExpression, theirs_.useExpression,
                            "expression column option", ShowInt);
  out.useSound =
      Field(base_.useSound, ours_.useSound, theirs_.useSound, "sound column option", ShowInt);
  out.multiLine =
      Field(base_.multiLine, ours_.multiLine, theirs_.multiLine, "multi-line option", ShowInt);
}

// Ours' lines in document order, then theirs' new ones, then those only base has, so that the
// report follows the document a writer knows.
void Merger::Index() {
  if (indexed_) return;
  indexed_ = true;
  int64_t lowest = 0, highest = -1;
  size_t count = 0;
  for (const MergeDocument* doc : {&base_, &ours_, &theirs_})
    MeasureIds(*doc, lowest, highest, count);
  for (LineMap* map : {&baseLines_, &ourLines_, &theirLines_})
    map->Plan(lowest, highest, count / 3);
  merged_.Plan(lowest, highest, count / 3);
  IndexLines(base_, baseLines_);
  IndexLines(ours_, ourLines_);
  IndexLines(theirs_, theirLines_);
}

void Merger::MergeLines() {
  Index();
  for (const MergePlot& plot : ours_.plots) {
    for (const MergeLine& line : plot.lines) {
      MergeLine3(line.id, Find(baseLines_, line.id), Find(ourLines_, line.id),
                 Find(theirLines_, line.id));
    }
  }
  for (const MergePlot& plot : theirs_.plots) {
    for (const MergeLine& line : plot.lines) {
      if (Find(ourLines_, line.id) == nullptr) {
        MergeLine3(line.id, Find(baseLines_, line.id), nullptr, Find(theirLines_, line.id));
      }
    }
  }
  // Lines only base has were deleted on both sides: nothing to do.
  RenumberTheirs();
}

void Merger::MergeLine3(int32_t id, const LineRef* b, const LineRef* o, const LineRef* t) {
  if (o != nullptr && t != nullptr) {
    if (b != nullptr) return MergeFields(id, *b, *o, *t);
    Keep(*o, id);
    if (!SameLine(*o, *t)) collisions_.push_back({id, nullptr});
    return;
  }
  const LineRef* kept = o != nullptr ? o : t;
  if (b == nullptr) return Keep(*kept, id);  // added on one side
  if (SameLine(*b, *kept)) return;           // deleted on the other, unchanged here
  Keep(*kept, id);
  Report("line " + std::to_string(id) + " in plot " + QuoteMergeText(kept->plot->name),
         LineValue(b), LineValue(o), LineValue(t),
         std::string("deleted in ") + (o == nullptr ? "ours" : "theirs") +
             " but changed in the other: kept the changed line");
}

void Merger::MergeFields(int32_t id, const LineRef& b, const LineRef& o, const LineRef& t) {
  const MergeLine& x = *b.line;
  const MergeLine& y = *o.line;
  const MergeLine& z = *t.line;
  const bool same = x.speaker == y.speaker && x.speaker == z.speaker &&
                    x.expression == y.expression && x.expression == z.expression &&
                    x.sound == y.sound && x.sound == z.sound && x.text == y.text &&
                    x.text == z.text && b.plot->name == o.plot->name &&
                    b.plot->name == t.plot->name;
  if (same) return Keep(o, id);  // the common case, without building the subject
  // A side that deleted the line and added another under its ID (the editor gives a new line the
  // lowest free ID) holds a different line: the other side's changes belong to the old one.
  const bool oursChanged = !SameLine(b, o), theirsChanged = !SameLine(b, t);
  // Only where the field merge would be silent: a text both sides changed is a conflict anyway.
  if (oursChanged && theirsChanged && !SameLine(o, t) && (x.text == y.text || x.text == z.text)) {
    const char* replacedBy = DifferentText(x.text, y.text)   ? "ours"
                             : DifferentText(x.text, z.text) ? "theirs"
                                                             : nullptr;
    if (replacedBy != nullptr) {
      Keep(o, id);
      collisions_.push_back({id, replacedBy});
      return;
    }
  }
  const std::string subject =
      "line " + std::to_string(id) + " in plot " + QuoteMergeText(o.plot->name) + ": ";
  merged_[id] =
      MergedLine{&Field(x.speaker, y.speaker, z.speaker, subject + "speaker", ShowText),
                 &Field(x.expression, y.expression, z.expression, subject + "expression", ShowText),
                 &Field(x.sound, y.sound, z.sound, subject + "sound", ShowText),
                 &Field(x.text, y.text, z.text, subject + "text", ShowText),
                 &Field(b.plot->name, o.plot->name, t.plot->name, subject + "plot", ShowText)};
}

// Both sides added a different line with one ID. Ours keeps it; theirs takes the next ID of its
// plot's range that no version uses, so that neither line, nor a line some version still refers
// to by ID, is lost or confused.
void Merger::RenumberTheirs() {
  for (const Collision& collision : collisions_) {
    const int32_t id = collision.id;
    const LineRef& t = *theirLines_.Find(id);
    const int32_t moved = FreeId(id, *t.plot);
    theirsMoved_[id] = moved;
    result_.renumbered.push_back({id, moved});
    Keep(t, moved);
    std::string where = "ID " + std::to_string(moved);
    if ((t.plot->rangeHigh >= 0 && moved >= t.plot->rangeHigh) || moved < t.plot->rangeLow) {
      where += ", outside its plot's range " + RangeValue(t.plot->rangeLow, t.plot->rangeHigh) +
               ", which has no free ID left";
    }
    const std::string outcome =
        "kept both: ours keeps ID " + std::to_string(id) + ", theirs' line is now " + where;
    if (collision.replacedBy == nullptr) {
      Report("line " + std::to_string(id) + ": both sides added a line with this ID", kNone,
             LineValue(ourLines_.Find(id)), LineValue(&t), outcome);
    } else {
      const bool byOurs = collision.replacedBy[0] == 'o';
      Report("line " + std::to_string(id) + ": " + collision.replacedBy +
                 " deleted it and added a different line under its ID; " +
                 (byOurs ? "theirs" : "ours") + " changed the old line",
             LineValue(baseLines_.Find(id)), LineValue(ourLines_.Find(id)), LineValue(&t), outcome);
    }
  }
}

int32_t Merger::FreeId(int32_t from, const MergePlot& plot) {
  auto used = [this](int32_t id) {
    return baseLines_.Find(id) != nullptr || ourLines_.Find(id) != nullptr ||
           theirLines_.Find(id) != nullptr || merged_.Find(id) != nullptr;
  };
  const int64_t high = plot.rangeHigh >= 0 ? plot.rangeHigh : int64_t{INT32_MAX};
  for (int64_t id = int64_t{from} + 1; id < high; ++id) {
    if (!used(static_cast<int32_t>(id))) return static_cast<int32_t>(id);
  }
  // As the editor's counter does, the scan wraps to the start of the range.
  for (int32_t id = std::max(plot.rangeLow, 0); id < from; ++id) {
    if (!used(id)) return id;
  }
  int32_t highest = from;
  merged_.ForEach([&highest](int32_t id, const MergedLine&) { highest = std::max(highest, id); });
  return highest < INT32_MAX ? highest + 1 : from;
}

void Merger::MergePlots() {
  basePlots_ = IndexPlots(base_);
  ourPlots_ = IndexPlots(ours_);
  theirPlots_ = IndexPlots(theirs_);
  // Lines of one plot mostly follow each other, so the list of the last plot is tried first.
  const std::string_view* lastPlot = nullptr;
  std::vector<int32_t>* members = nullptr;
  merged_.ForEach([&](int32_t id, const MergedLine& line) {
    if (line.plot != lastPlot) {
      lastPlot = line.plot;
      members = &membersOf_[*line.plot];
    }
    members->push_back(id);
  });
  for (auto& [name, ids] : membersOf_) std::sort(ids.begin(), ids.end());
  std::unordered_set<std::string_view> seen;
  for (const MergeDocument* doc : {&ours_, &theirs_, &base_}) {
    for (const MergePlot& plot : doc->plots) {
      if (seen.insert(plot.name).second) MergeOnePlot(plot.name);
    }
  }
}

std::string PlotValue(const MergePlot* plot) {
  if (plot == nullptr) return kNone;
  return RangeValue(plot->rangeLow, plot->rangeHigh) + ", " + std::to_string(plot->lines.size()) +
         " lines";
}

void Merger::MergeOnePlot(std::string_view name) {
  const MergePlot* b = FindPlot(basePlots_, name);
  const MergePlot* o = FindPlot(ourPlots_, name);
  const MergePlot* t = FindPlot(theirPlots_, name);
  const bool hasLines = membersOf_.count(name) != 0;
  auto range = [](const MergePlot* p) { return std::make_pair(p->rangeLow, p->rangeHigh); };
  std::pair<int32_t, int32_t> kept;
  const std::string subject = "plot " + QuoteMergeText(name);
  if (o != nullptr && t != nullptr) {
    if (b != nullptr) {
      kept = Field(range(b), range(o), range(t), subject + ": range", ShowRange);
    } else {
      kept = range(o);
      if (range(o) != range(t)) {
        Report(subject + ": range", kNone, ShowRange(range(o)), ShowRange(range(t)), "kept ours");
      }
    }
  } else if (o != nullptr || t != nullptr) {
    const MergePlot* present = o != nullptr ? o : t;
    if (b != nullptr && range(present) == range(b) && !hasLines) return;  // deleted on one side
    kept = range(present);
    if (b != nullptr) {
      Report(subject, PlotValue(b), PlotValue(o), PlotValue(t),
             std::string("deleted in ") + (o == nullptr ? "ours" : "theirs") +
                 " but changed in the other: kept it with " +
                 std::to_string(hasLines ? membersOf_.at(name).size() : 0) + " lines");
    }
  } else {
    if (!hasLines) return;  // deleted on both sides
    kept = range(b);
  }
  result_.merged.plots.push_back({name, kept.first, kept.second, {}});
}

std::vector<int32_t> Merger::MemberIds(const PlotMap& plots, std::string_view name,
                                       bool renamed) const {
  std::vector<int32_t> ids;
  const MergePlot* plot = FindPlot(plots, name);
  if (plot == nullptr) return ids;
  ids.reserve(plot->lines.size());
  for (const MergeLine& line : plot->lines) {
    auto moved = renamed ? theirsMoved_.find(line.id) : theirsMoved_.end();
    ids.push_back(moved != theirsMoved_.end() ? moved->second : line.id);
  }
  return ids;
}

void Merger::OrderMembers(MergePlot& plot) {
  const std::vector<int32_t> none;
  auto members = membersOf_.find(plot.name);
  const OrderMerge order =
      MergeOrder(MemberIds(basePlots_, plot.name, false), MemberIds(ourPlots_, plot.name, false),
                 MemberIds(theirPlots_, plot.name, true),
                 members != membersOf_.end() ? members->second : none);
  if (order.conflict) {
    Report("plot " + QuoteMergeText(plot.name) + ": order of its lines (IDs both sides still have)",
           OrderValue(order.shared[0]), OrderValue(order.shared[1]), OrderValue(order.shared[2]),
           "kept ours' order");
  }
  plot.lines.reserve(order.order.size());
  for (int32_t id : order.order) {
    const MergedLine& line = *merged_.Find(id);
    plot.lines.push_back({id, *line.speaker, *line.expression, *line.sound, *line.text});
  }
}

// Plots are ordered as keys too: each name gets the number of its first appearance.
void Merger::OrderPlots() {
  std::unordered_map<std::string_view, int32_t> number;
  std::vector<int32_t> lists[3];
  const MergeDocument* docs[3] = {&base_, &ours_, &theirs_};
  for (int k = 0; k < 3; ++k) {
    for (const MergePlot& plot : docs[k]->plots) {
      auto [it, added] = number.emplace(plot.name, static_cast<int32_t>(number.size()));
      lists[k].push_back(it->second);
    }
  }
  std::vector<int32_t> keep;
  std::unordered_map<int32_t, size_t> slot;
  for (size_t k = 0; k < result_.merged.plots.size(); ++k) {
    const int32_t key = number.at(result_.merged.plots[k].name);
    keep.push_back(key);
    slot[key] = k;
  }
  std::sort(keep.begin(), keep.end());
  const OrderMerge order = MergeOrder(lists[0], lists[1], lists[2], keep);
  if (order.conflict) {
    Report("order of the plots", OrderValue(order.shared[0]), OrderValue(order.shared[1]),
           OrderValue(order.shared[2]), "kept ours' order");
  }
  std::vector<MergePlot> ordered;
  ordered.reserve(order.order.size());
  for (int32_t key : order.order) ordered.push_back(std::move(result_.merged.plots[slot.at(key)]));
  result_.merged.plots = std::move(ordered);
}

// The fields of a line and its plot, hashed so that a copy of a line is found among many.
size_t LineHash(const LineRef& ref) {
  std::hash<std::string_view> hash;
  size_t h = hash(ref.plot->name);
  for (std::string_view field :
       {ref.line->speaker, ref.line->expression, ref.line->sound, ref.line->text}) {
    h = h * 1000003u ^ hash(field);
  }
  return h;
}

void Merger::FindMovesOf(const MergeDocument& side, const LineMap& sideLines,
                         const LineMap& otherLines, const char* sideName,
                         const std::vector<MergeMove>& earlier, std::vector<MergeMove>& moves) {
  // The base's lines that this side holds changed, by the hash of the base's version: a move
  // leaves another line under the old ID, so only these can have moved.
  std::unordered_multimap<size_t, int32_t> changed;
  for (const MergePlot& plot : side.plots) {
    for (const MergeLine& line : plot.lines) {
      const LineRef* b = baseLines_.Find(line.id);
      if (b != nullptr && !SameLine(*b, *sideLines.Find(line.id))) {
        changed.emplace(LineHash(*b), line.id);
      }
    }
  }
  if (changed.empty()) return;
  auto taken = [&moves](int32_t from) {
    return std::any_of(moves.begin(), moves.end(),
                       [from](const MergeMove& m) { return m.from == from; });
  };
  // A move matters only where the other side deleted or changed the line; otherwise following it
  // or not gives the same result.
  auto isChanged = [&changed, &otherLines, this](int32_t id) {
    const LineRef* b = baseLines_.Find(id);
    if (b == nullptr) return false;
    const LineRef* other = otherLines.Find(id);
    if (other != nullptr && SameLine(*b, *other)) return false;
    auto [first, last] = changed.equal_range(LineHash(*b));
    return std::any_of(first, last, [id](const auto& entry) { return entry.second == id; });
  };
  std::unordered_multimap<int32_t, int32_t> recordsTo;  // recorded moves: to -> from
  for (const MergeMove& move : earlier) recordsTo.emplace(move.to, move.from);
  std::vector<const LineRef*> added;  // new lines of this side not taken for moved ones
  for (const MergePlot& plot : side.plots) {
    for (const MergeLine& line : plot.lines) {
      const int32_t to = line.id;
      // Only a line this side added, under an ID the other side does not use, can be a moved one.
      if (baseLines_.Find(to) != nullptr || otherLines.Find(to) != nullptr) continue;
      const LineRef& moved = *sideLines.Find(to);
      int32_t from = -1;
      bool recorded = false;
      auto [firstRecord, lastRecord] = recordsTo.equal_range(to);
      for (auto record = firstRecord; record != lastRecord && from < 0; ++record) {
        const int32_t candidate = record->second;
        if (taken(candidate) || !isChanged(candidate)) continue;
        const LineRef& b = *baseLines_.Find(candidate);
        if (b.plot->name == moved.plot->name && !DifferentText(b.line->text, moved.line->text)) {
          from = candidate;
          recorded = true;
        }
      }
      if (from < 0) {
        auto [first, last] = changed.equal_range(LineHash(moved));
        for (auto it = first; it != last && from < 0; ++it) {
          if (!taken(it->second) && isChanged(it->second) &&
              SameLine(*baseLines_.Find(it->second), moved)) {
            from = it->second;
          }
        }
      }
      if (from < 0) {
        added.push_back(&moved);
        continue;
      }
      moves.push_back({from, to});
      const LineRef& b = *baseLines_.Find(from);
      const LineRef& now = *sideLines.Find(from);
      if (!recorded && !DifferentText(b.line->text, now.line->text)) {
        Report("line " + std::to_string(from) + " in plot " + QuoteMergeText(b.plot->name) + ": " +
                   sideName + " holds it unchanged as line " + std::to_string(to) +
                   " and a variant of it under ID " + std::to_string(from),
               LineValue(&b), LineValue(ourLines_.Find(from)), LineValue(theirLines_.Find(from)),
               std::string("took it for a line an earlier merge moved: the other side's changes "
                           "went to line ") +
                   std::to_string(to) + "; check both");
      }
    }
  }
  // A moved line edited since, without a record of the move: this side has a new line like the
  // base's line and another text under its ID, while the other side changed only the other fields
  // of the base's line, which a merge by ID would put on the new text silently. Said, not guessed.
  size_t budget = 100000;  // comparisons; past it the rare case is left to the merge by ID
  for (const auto& [hash, from] : changed) {
    if (taken(from) || added.empty() || budget == 0) continue;
    const LineRef& b = *baseLines_.Find(from);
    const LineRef& now = *sideLines.Find(from);
    const LineRef* other = otherLines.Find(from);
    if (other == nullptr || SameLine(b, *other) || now.line->text == b.line->text ||
        other->line->text != b.line->text) {
      continue;
    }
    for (const LineRef* candidate : added) {
      if (budget == 0) break;
      --budget;
      if (candidate->plot->name != b.plot->name ||
          DifferentText(b.line->text, candidate->line->text)) {
        continue;
      }
      Report("line " + std::to_string(from) + " in plot " + QuoteMergeText(b.plot->name) + ": " +
                 sideName + " has a new line " + std::to_string(candidate->line->id) +
                 " like it and another text under its ID",
             LineValue(&b), LineValue(ourLines_.Find(from)), LineValue(theirLines_.Find(from)),
             "merged by ID; if an earlier merge moved the line, the other side's changes belong "
             "to line " +
                 std::to_string(candidate->line->id));
      break;
    }
  }
}

void Merger::FindMoves(const std::vector<MergeMove>& earlier, std::vector<MergeMove>& byOurs,
                       std::vector<MergeMove>& byTheirs) {
  Index();
  std::vector<MergeMove> moves;
  FindMovesOf(ours_, ourLines_, theirLines_, "ours", earlier, moves);
  const size_t ourCount = moves.size();
  // A line both sides moved (each to an ID of its own) is taken as ours moved it.
  FindMovesOf(theirs_, theirLines_, ourLines_, "theirs", earlier, moves);
  byOurs.assign(moves.begin(), moves.begin() + static_cast<std::ptrdiff_t>(ourCount));
  byTheirs.assign(moves.begin() + static_cast<std::ptrdiff_t>(ourCount), moves.end());
}

MergeResult Merger::Run() {
  MergeOptions();
  MergeLines();
  MergePlots();
  OrderPlots();
  for (MergePlot& plot : result_.merged.plots) OrderMembers(plot);
  return std::move(result_);
}

}  // namespace

namespace {

// `doc` with the lines under `from` of `moves` renamed to `to`.
MergeDocument Renamed(const MergeDocument& doc, const std::vector<MergeMove>& moves) {
  MergeDocument out = doc;
  if (moves.empty()) return out;
  std::unordered_map<int32_t, int32_t> to;
  for (const MergeMove& move : moves) to.emplace(move.from, move.to);
  for (MergePlot& plot : out.plots) {
    for (MergeLine& line : plot.lines) {
      auto it = to.find(line.id);
      if (it != to.end()) line.id = it->second;
    }
  }
  return out;
}

}  // namespace

MergeResult MergeDocuments(const MergeDocument& base, const MergeDocument& ours,
                           const MergeDocument& theirs, const std::vector<MergeMove>& earlier) {
  Merger first(base, ours, theirs);
  std::vector<MergeMove> byOurs, byTheirs;
  first.FindMoves(earlier, byOurs, byTheirs);
  if (byOurs.empty() && byTheirs.empty()) return first.Run();
  // The side that made a move keeps its IDs; the base and the other side call the moved line by
  // its new ID, so that their changes meet it there, and the line under the old ID is new.
  std::vector<MergeMove> all = byOurs;
  all.insert(all.end(), byTheirs.begin(), byTheirs.end());
  const MergeDocument renamedBase = Renamed(base, all);
  const MergeDocument renamedOurs = Renamed(ours, byTheirs);
  const MergeDocument renamedTheirs = Renamed(theirs, byOurs);
  MergeResult result = Merger(renamedBase, renamedOurs, renamedTheirs).Run();
  std::vector<MergeConflict> found = first.TakeConflicts();
  result.conflicts.insert(result.conflicts.begin(), found.begin(), found.end());
  result.followed = std::move(all);
  return result;
}

bool DifferentText(std::string_view before, std::string_view after) {
  if (before == after || before.empty() || before.size() < 2 || after.size() < 2) return false;
  // Byte pairs of each text, sorted, then counted in common as multisets.
  auto pairs = [](std::string_view text) {
    std::vector<uint16_t> out;
    out.reserve(text.size() - 1);
    for (size_t k = 0; k + 1 < text.size(); ++k) {
      out.push_back(static_cast<uint16_t>(static_cast<unsigned char>(text[k]) << 8 |
                                          static_cast<unsigned char>(text[k + 1])));
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const std::vector<uint16_t> a = pairs(before), b = pairs(after);
  size_t common = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] == b[j]) {
      ++common, ++i, ++j;
    } else if (a[i] < b[j]) {
      ++i;
    } else {
      ++j;
    }
  }
  return 2 * common < std::min(a.size(), b.size());
}

std::string QuoteMergeText(std::string_view text) {
  std::string out;
  platform::AppendQuotedText(out, text);
  return out;
}
