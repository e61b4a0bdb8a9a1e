#include "model/document_edits.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <unordered_set>

namespace {

bool SameFields(const CDlgItem& line, const LineFields& fields) {
  return std::strcmp(line.GetSpeaker().c_str(), fields.speaker.c_str()) == 0 &&
         std::strcmp(line.GetExpression().c_str(), fields.expression.c_str()) == 0 &&
         std::strcmp(line.GetSound().c_str(), fields.sound.c_str()) == 0 &&
         std::strcmp(line.GetText().c_str(), fields.text.c_str()) == 0;
}

// The new texts are built first, so that running out of memory leaves the line as it was. A
// field that already holds its value is left alone (a replace changes one field of four).
bool SetFields(CDlgItem& line, const LineFields& fields) {
  CPlainString* targets[] = {&line.speaker, &line.expression, &line.sound, &line.text};
  const std::string* values[] = {&fields.speaker, &fields.expression, &fields.sound, &fields.text};
  CPlainString built[4];
  bool change[4] = {};
  for (int i = 0; i < 4; ++i) {
    change[i] = std::strcmp(targets[i]->c_str(), values[i]->c_str()) != 0;
    if (change[i] && !built[i].Assign(values[i]->c_str())) return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (change[i]) targets[i]->Swap(built[i]);
  }
  return true;
}

// Calls `visit(place, line)` for every line in document order: members of each plot, then the
// lines of no plot (only when there are any: the usual document needs no set of members).
template <typename Visit>
void ForEachLine(const CDlgFile& document, Visit&& visit) {
  int plotIndex = 0;
  int memberTotal = 0;
  for (PlotPos plot = document.GetFirstPlot(); plot != nullptr; plot = plot->next, ++plotIndex) {
    int member = 0;
    for (auto* pos = plot->value.members.GetHeadPosition(); pos != nullptr; pos = pos->next) {
      visit(LinePlace{plotIndex, member++}, pos->value);
    }
    memberTotal += member;
  }
  const CQHList<CDlgItem>& lines = document.GetLines();
  if (memberTotal == lines.GetCount()) {
    // Every line is a member unless some line is a member twice; only then can one be left out.
    std::unordered_set<LinePos> seen;
    bool twice = false;
    for (PlotPos plot = document.GetFirstPlot(); plot != nullptr && !twice; plot = plot->next) {
      for (auto* pos = plot->value.members.GetHeadPosition(); pos != nullptr; pos = pos->next) {
        if (!seen.insert(pos->value).second) {
          twice = true;
          break;
        }
      }
    }
    if (!twice) return;
  }
  std::unordered_set<LinePos> members;
  for (PlotPos plot = document.GetFirstPlot(); plot != nullptr; plot = plot->next) {
    for (auto* pos = plot->value.members.GetHeadPosition(); pos != nullptr; pos = pos->next) {
      members.insert(pos->value);
    }
  }
  for (auto* pos = lines.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (members.count(pos) == 0) visit(LinePlace{-1, pos->value.GetID()}, pos);
  }
}

}  // namespace

LineFields FieldsOf(const CDlgItem& line) {
  return {line.GetSpeaker().c_str(), line.GetExpression().c_str(), line.GetSound().c_str(),
          line.GetText().c_str()};
}

FieldsSnapshot TakeFieldsSnapshot(const CDlgFile& document) {
  FieldsSnapshot snapshot;
  snapshot.places.reserve(static_cast<size_t>(document.GetLines().GetCount()));
  snapshot.fields.reserve(static_cast<size_t>(document.GetLines().GetCount()));
  ForEachLine(document, [&](LinePlace place, LinePos line) {
    snapshot.places.push_back(place);
    snapshot.fields.push_back(FieldsOf(line->value));
  });
  return snapshot;
}

std::vector<LineEdit> EditsSince(const CDlgFile& document, const FieldsSnapshot& before) {
  std::vector<LineEdit> edits;
  size_t k = 0;
  ForEachLine(document, [&](LinePlace place, LinePos line) {
    const size_t at = k++;
    if (at >= before.fields.size() || SameFields(line->value, before.fields[at])) return;
    edits.push_back({place, before.fields[at], FieldsOf(line->value)});
  });
  return edits;
}

bool RestoreFieldsSnapshot(CDlgFile& document, const FieldsSnapshot& before) {
  bool restored = true;
  size_t k = 0;
  ForEachLine(document, [&](LinePlace, LinePos line) {
    const size_t at = k++;
    if (at >= before.fields.size() || SameFields(line->value, before.fields[at])) return;
    CDlgItem& item = line->value;
    const LineFields& fields = before.fields[at];
    restored = item.speaker.Assign(fields.speaker.c_str()) &&
               item.expression.Assign(fields.expression.c_str()) &&
               item.sound.Assign(fields.sound.c_str()) && item.text.Assign(fields.text.c_str()) &&
               restored;
  });
  return restored;
}

bool ApplyLineEdits(CDlgFile& document, const std::vector<LineEdit>& edits, bool undo) {
  try {
    std::vector<size_t> order(edits.size());
    std::iota(order.begin(), order.end(), size_t{0});
    const auto before = [&edits](size_t a, size_t b) {
      const LinePlace& x = edits[a].place;
      const LinePlace& y = edits[b].place;
      // Lines of no plot last; they are found by ID.
      const unsigned xp = static_cast<unsigned>(x.plot);
      const unsigned yp = static_cast<unsigned>(y.plot);
      return xp != yp ? xp < yp : x.member < y.member;
    };
    // Edits come in document order from every maker; the sort is for any other caller.
    if (!std::is_sorted(order.begin(), order.end(), before)) {
      std::stable_sort(order.begin(), order.end(), before);
    }
    PlotPos plot = document.GetFirstPlot();
    int plotIndex = 0;
    CQHList<LinePos>::Node* member =
        plot != nullptr ? plot->value.members.GetHeadPosition() : nullptr;
    int memberIndex = 0;
    for (size_t i : order) {
      const LineEdit& edit = edits[i];
      const LineFields& fields = undo ? edit.before : edit.after;
      LinePos line = nullptr;
      if (edit.place.plot < 0) {
        line = document.FindItem(edit.place.member);
      } else {
        while (plot != nullptr && plotIndex < edit.place.plot) {
          plot = plot->next;
          ++plotIndex;
          member = plot != nullptr ? plot->value.members.GetHeadPosition() : nullptr;
          memberIndex = 0;
        }
        while (member != nullptr && memberIndex < edit.place.member) {
          member = member->next;
          ++memberIndex;
        }
        if (plot != nullptr && plotIndex == edit.place.plot && member != nullptr &&
            memberIndex == edit.place.member) {
          line = member->value;
        }
      }
      if (line == nullptr || !SetFields(line->value, fields)) return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

PlotSnapshot TakePlotSnapshot(const CDlgPlot& plot) {
  PlotSnapshot snapshot;
  snapshot.name = plot.GetName().c_str();
  plot.GetRange(snapshot.rangeLow, snapshot.rangeHigh);
  snapshot.members.reserve(static_cast<size_t>(plot.members.GetCount()));
  for (auto* pos = plot.members.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgItem& line = pos->value->value;
    snapshot.members.push_back({line.GetID(), line.GetPlotIndex(), FieldsOf(line)});
  }
  return snapshot;
}

PlotPos PlotAt(const CDlgFile& document, int index) {
  if (index < 0) return nullptr;
  PlotPos plot = document.GetFirstPlot();
  for (int i = 0; plot != nullptr && i < index; ++i) plot = plot->next;
  return plot;
}

bool RestorePlot(CDlgFile& document, PlotPos plot, const PlotSnapshot& snapshot) {
  CDlgPlot& target = plot->value;
  CPlainString name;
  if (!name.Assign(snapshot.name.c_str())) return false;
  // A line that is a member twice leaves the document once.
  std::unordered_set<LinePos> removed;
  try {
    removed.reserve(static_cast<size_t>(target.members.GetCount()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (auto* pos = target.members.GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (removed.insert(pos->value).second) document.DeleteItem(pos->value, nullptr);
  }
  target.members.RemoveAll();
  target.name.Swap(name);
  target.SetRange(snapshot.rangeLow, snapshot.rangeHigh);
  target.members.Reserve(static_cast<int>(snapshot.members.size()));
  for (const PlotSnapshot::Member& member : snapshot.members) {
    CDlgItem line;
    line.id = member.id;
    line.plotIndex = member.plotIndex;
    if (!(line.speaker.Assign(member.fields.speaker.c_str()) &&
          line.expression.Assign(member.fields.expression.c_str()) &&
          line.sound.Assign(member.fields.sound.c_str()) &&
          line.text.Assign(member.fields.text.c_str()))) {
      return false;
    }
    if (document.AddLoadedItem(line, plot) == nullptr) return false;
  }
  return true;
}

PlotPos InsertPlotSnapshot(CDlgFile& document, int index, const PlotSnapshot& snapshot) {
  const PlotPos plot = document.InsertPlot(PlotAt(document, index), snapshot.name.c_str(),
                                           snapshot.rangeLow, snapshot.rangeHigh);
  if (plot == nullptr) return nullptr;
  if (!RestorePlot(document, plot, snapshot)) {
    (void)document.DeletePlot(plot);
    return nullptr;
  }
  return plot;
}
