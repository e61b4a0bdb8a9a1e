// Snapshots for the merge: a loaded document as views of its texts, and a document built back.
#include <string>
#include <unordered_set>

#include "merge/dlg_merge.h"

namespace {

std::string_view Bytes(const CPlainString& text) {
  return std::string_view(text.c_str(), static_cast<size_t>(text.GetLength()));
}

bool Assign(CPlainString& to, std::string_view text) {
  return to.Assign(text.data(), static_cast<int>(text.size()));
}

}  // namespace

platform::Status SnapshotDocument(const CDlgFile& doc, MergeDocument& out) {
  out = MergeDocument();
  out.gameName = Bytes(doc.GetGameName());
  doc.GetColumns(out.useSpeaker, out.useExpression, out.useSound);
  out.multiLine = doc.GetMultiLine();
  std::unordered_set<std::string_view> names;
  std::unordered_set<int32_t> ids;
  ids.reserve(static_cast<size_t>(doc.GetLines().GetCount()));
  out.plots.reserve(static_cast<size_t>(doc.GetPlots().GetCount()));
  for (auto* pos = doc.GetPlots().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    const CDlgPlot& plot = pos->value;
    MergePlot& copy = out.plots.emplace_back();
    copy.name = Bytes(plot.GetName());
    copy.rangeLow = plot.rangeLow;
    copy.rangeHigh = plot.rangeHigh;
    if (!names.insert(copy.name).second) {
      return platform::Status::Failure("two plots are named \"" + std::string(copy.name) + "\"");
    }
    copy.lines.reserve(static_cast<size_t>(plot.members.GetCount()));
    for (auto* member = plot.members.GetHeadPosition(); member != nullptr; member = member->next) {
      const CDlgItem& line = member->value->value;
      if (!ids.insert(line.GetID()).second) {
        return platform::Status::Failure("ID " + std::to_string(line.GetID()) + " is listed twice");
      }
      copy.lines.push_back({line.GetID(), Bytes(line.GetSpeaker()), Bytes(line.GetExpression()),
                            Bytes(line.GetSound()), Bytes(line.GetText())});
    }
  }
  return platform::Status::Ok();
}

bool BuildDocument(const MergeDocument& snapshot, CDlgFile& doc) {
  doc.Clear();
  doc.SetGameName(std::string(snapshot.gameName).c_str());
  doc.SetColumns(snapshot.useSpeaker, snapshot.useExpression, snapshot.useSound);
  doc.SetMultiLine(snapshot.multiLine);
  for (const MergePlot& plot : snapshot.plots) {
    PlotPos pos = doc.AddPlot(std::string(plot.name).c_str(), plot.rangeLow, plot.rangeHigh);
    if (pos == nullptr) return false;
    for (const MergeLine& source : plot.lines) {
      // The texts go straight into the document's own copy of the line: one allocation each.
      CDlgItem shell;
      shell.SetID(source.id);
      LinePos added = doc.AddItem(shell, pos, nullptr);
      if (added == nullptr) return false;
      CDlgItem& line = doc.GetItem(added);
      if (!Assign(line.speaker, source.speaker) || !Assign(line.expression, source.expression) ||
          !Assign(line.sound, source.sound) || !Assign(line.text, source.text)) {
        return false;
      }
    }
  }
  return true;
}
