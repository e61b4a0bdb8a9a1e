// The three-way merge. One input gives three documents: a base built from its first bytes, and
// ours and theirs, each the base changed by a program of editing steps from one part of the rest
// (texts, deletions, new lines that take the next free ID of a plot, moves, swaps, plots added,
// deleted, renamed and given new ranges, options). The first byte may make theirs a copy of ours
// or of the base.
//
// What must hold: the result has unique IDs and plot names, so it can be saved and merged again;
// merging a side with an unchanged other side gives that side exactly, without conflicts; merging
// two equal sides gives that side; every line a side changed or added is in the result (theirs'
// under a new ID when both sides added one ID); and the result, saved, passes the structural check
// and reads back unchanged, through CDlgFile::Load and through the merge's own reader; the merge's
// own writer gives the bytes Save gives.
#include <string>
#include <unordered_set>
#include <vector>

#include "dlgfile/dlg_verify.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "merge/dlg_merge.h"
#include "merge/dlg_merge_image.h"
#include "merge/dlg_merge_write.h"

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return size_ == 0; }
  size_t Left() const { return size_; }
  const uint8_t* At() const { return data_; }
  uint8_t Next() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

const char* const kTexts[] = {"", "a", "b", "Hi", "x\r\ny", "t\tab", "\\", "\xea\xb0\x80", "a"};
constexpr int kTextCount = sizeof kTexts / sizeof kTexts[0];

const char* Text(Bytes& in) { return kTexts[in.Next() % kTextCount]; }

// Snapshots view their texts, so plot names come from a fixed table too.
const char* const kPlotNames[] = {"P0", "P1", "P2", "P3", "P4", "P5"};
const char* const kRenames[] = {"R0", "R1", "R2"};

std::unordered_set<int32_t> Ids(const MergeDocument& doc) {
  std::unordered_set<int32_t> ids;
  for (const MergePlot& plot : doc.plots) {
    for (const MergeLine& line : plot.lines) ids.insert(line.id);
  }
  return ids;
}

// The lowest ID of the plot's range that the document does not use; past every ID without one.
int32_t NextFreeId(const MergeDocument& doc, const MergePlot& plot) {
  const std::unordered_set<int32_t> used = Ids(doc);
  int32_t id = plot.rangeLow >= 0 ? plot.rangeLow : 500;
  while (used.count(id) != 0) ++id;
  return id;
}

MergeDocument MakeBase(Bytes& in) {
  MergeDocument doc;
  doc.gameName = Text(in);
  const uint8_t options = in.Next();
  doc.useSpeaker = options & 1;
  doc.useExpression = (options >> 1) & 1;
  doc.useSound = (options >> 2) & 1;
  doc.multiLine = (options >> 3) & 1;
  const int plots = 1 + in.Next() % 4;
  for (int k = 0; k < plots; ++k) {
    const uint8_t shape = in.Next();
    MergePlot& plot = doc.plots.emplace_back();
    plot.name = kPlotNames[k];
    if (shape % 3 != 0) plot.rangeLow = 16 * k, plot.rangeHigh = 16 * k + 4 + shape % 12;
    for (int j = 0, count = in.Next() % 6; j < count; ++j) {
      plot.lines.push_back({NextFreeId(doc, plot), Text(in), "", Text(in), Text(in)});
    }
  }
  return doc;
}

MergeLine* PickLine(MergeDocument& doc, uint8_t choice, MergePlot** owner) {
  size_t total = 0;
  for (MergePlot& plot : doc.plots) total += plot.lines.size();
  if (total == 0) return nullptr;
  size_t k = choice % total;
  for (MergePlot& plot : doc.plots) {
    if (k < plot.lines.size()) {
      *owner = &plot;
      return &plot.lines[k];
    }
    k -= plot.lines.size();
  }
  return nullptr;
}

void EditLine(MergeDocument& doc, uint8_t op, Bytes& in) {
  MergePlot* plot = nullptr;
  MergeLine* line = PickLine(doc, in.Next(), &plot);
  if (line == nullptr) return;
  const size_t at = static_cast<size_t>(line - plot->lines.data());
  switch (op) {
    case 0: {
      std::string_view* fields[] = {&line->speaker, &line->expression, &line->sound, &line->text};
      *fields[in.Next() % 4] = Text(in);
      return;
    }
    case 1:
      plot->lines.erase(plot->lines.begin() + static_cast<long>(at));
      return;
    case 2: {  // moves to another plot, at a chosen place
      MergeLine moved = *line;
      plot->lines.erase(plot->lines.begin() + static_cast<long>(at));
      MergePlot& target = doc.plots[in.Next() % doc.plots.size()];
      target.lines.insert(target.lines.begin() + static_cast<long>(in.Next() % (target.lines.size() + 1)),
                          moved);
      return;
    }
    default: {  // swaps with another line of its plot
      const size_t other = in.Next() % plot->lines.size();
      std::swap(plot->lines[at], plot->lines[other]);
      return;
    }
  }
}

void EditPlot(MergeDocument& doc, uint8_t op, Bytes& in) {
  const std::string_view name = kPlotNames[in.Next() % 6];
  MergePlot* found = nullptr;
  for (MergePlot& plot : doc.plots) {
    if (plot.name == name) found = &plot;
  }
  if (op == 0 && found == nullptr) {
    doc.plots.insert(doc.plots.begin() + static_cast<long>(in.Next() % (doc.plots.size() + 1)),
                     MergePlot{name, 100 + in.Next() % 8 * 8, 108 + in.Next() % 8 * 8, {}});
  } else if (op == 1 && found != nullptr && doc.plots.size() > 1) {
    doc.plots.erase(doc.plots.begin() + (found - doc.plots.data()));
  } else if (op == 2 && found != nullptr) {
    found->rangeHigh = found->rangeHigh < 0 ? -1 : found->rangeHigh + 1 + in.Next() % 4;
  } else if (op == 3 && found != nullptr) {
    const std::string_view renamed = kRenames[in.Next() % 3];
    bool taken = false;
    for (const MergePlot& plot : doc.plots) taken = taken || plot.name == renamed;
    if (!taken) found->name = renamed;
  }
}

void Edit(MergeDocument& doc, Bytes in) {
  while (!in.Empty()) {
    const uint8_t op = in.Next();
    switch (op % 8) {
      case 0: case 1: case 2: case 3:
        EditLine(doc, op % 4, in);
        break;
      case 4: {  // a new line with the next free ID of its plot, as the line editor allocates
        MergePlot& plot = doc.plots[in.Next() % doc.plots.size()];
        const MergeLine line{NextFreeId(doc, plot), Text(in), "", "", Text(in)};
        plot.lines.insert(plot.lines.begin() + static_cast<long>(in.Next() % (plot.lines.size() + 1)), line);
        break;
      }
      case 5: case 6:
        EditPlot(doc, in.Next() % 4, in);
        break;
      default:
        if (op & 8) doc.gameName = Text(in);
        else doc.multiLine ^= 1;
    }
  }
}

const MergeLine* FindLine(const MergeDocument& doc, int32_t id, const MergePlot** owner) {
  for (const MergePlot& plot : doc.plots) {
    for (const MergeLine& line : plot.lines) {
      if (line.id == id) {
        *owner = &plot;
        return &line;
      }
    }
  }
  return nullptr;
}

// Every line `side` changed or added is in the result: under its ID, or whole under another. A
// line the merge followed as an earlier move of a base line, unchanged from it, is that base
// line: its fate is the other side's (a deletion there removes it; the merge reports the case).
void CheckNothingLost(const MergeDocument& base, const MergeDocument& side,
                      const MergeResult& result) {
  const MergeDocument& merged = result.merged;
  const std::unordered_set<int32_t> kept = Ids(merged);
  for (const MergePlot& plot : side.plots) {
    for (const MergeLine& line : plot.lines) {
      const MergePlot* basePlot = nullptr;
      const MergeLine* before = FindLine(base, line.id, &basePlot);
      if (before != nullptr && *before == line && basePlot->name == plot.name) continue;
      bool followedUnchanged = false;
      for (const MergeMove& move : result.followed) {
        const MergePlot* fromPlot = nullptr;
        const MergeLine* from = move.to == line.id ? FindLine(base, move.from, &fromPlot) : nullptr;
        followedUnchanged =
            followedUnchanged ||
            (from != nullptr && from->speaker == line.speaker &&
             from->expression == line.expression && from->sound == line.sound &&
             from->text == line.text);
      }
      if (followedUnchanged) continue;
      if (kept.count(line.id) != 0) continue;
      bool whole = false;
      for (const MergePlot& other : merged.plots) {
        for (const MergeLine& candidate : other.lines) {
          whole = whole || (candidate.text == line.text && candidate.speaker == line.speaker &&
                            candidate.sound == line.sound);
        }
      }
      FUZZ_CHECK(whole);
    }
  }
}

void CheckSavedResult(const MergeDocument& merged) {
  CDlgFile doc;
  FUZZ_CHECK(BuildDocument(merged, doc));
  const std::string path = fuzz::ScratchFile("merged.dlg");
  FUZZ_CHECK(doc.Save(path.c_str()) == 1);
  const std::string bytes = fuzz::ReadScratchFile(path);
  // The merge's own writer gives the same bytes.
  const std::string direct = fuzz::ScratchFile("direct.dlg");
  FUZZ_CHECK(SaveMergedDocument(merged, direct.c_str()).ok);
  FUZZ_CHECK(fuzz::ReadScratchFile(direct) == bytes);
  const DlgVerifyResult verified =
      VerifyDlgBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 4);
  FUZZ_CHECK(verified.findings.empty());
  CDlgFile loaded;
  FUZZ_CHECK(loaded.Load(path.c_str()) == 1);
  MergeDocument back;
  FUZZ_CHECK(SnapshotDocument(loaded, back).ok);
  FUZZ_CHECK((back == merged));
  // The merge's own reader sees the same.
  MergeImage image;
  MergeDocument seen;
  FUZZ_CHECK(image.Read(path.c_str()) && image.Snapshot(seen));
  FUZZ_CHECK((seen == merged));
}

}  // namespace

int FuzzMerge(const uint8_t* data, size_t size) {
  fuzz::QuietDebugOutput quiet;
  Bytes in(data, size);
  const uint8_t control = in.Next();
  const uint8_t split = in.Next();
  const MergeDocument base = MakeBase(in);
  // The rest: ours' steps, then theirs'.
  const size_t rest = in.Left();
  const size_t oursLength = rest * split / 256;
  const uint8_t* restData = in.At();
  MergeDocument ours = base;
  Edit(ours, Bytes(restData, oursLength));
  MergeDocument theirs = base;
  if (control % 4 == 1) {
    theirs = ours;
  } else if (control % 4 != 2) {
    Edit(theirs, Bytes(restData + oursLength, rest - oursLength));
  }

  const MergeResult result = MergeDocuments(base, ours, theirs);
  CDlgFile built;
  FUZZ_CHECK(BuildDocument(result.merged, built));
  MergeDocument again;
  FUZZ_CHECK(SnapshotDocument(built, again).ok);  // unique IDs and plot names
  if (theirs == base || ours == theirs) {
    FUZZ_CHECK(result.merged == ours && result.conflicts.empty());
  }
  if (ours == base) FUZZ_CHECK(result.merged == theirs && result.conflicts.empty());
  CheckNothingLost(base, ours, result);
  CheckNothingLost(base, theirs, result);
  if (control & 4) CheckSavedResult(result.merged);
  return 0;
}
