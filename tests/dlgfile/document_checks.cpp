#include "document_checks.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace dlgtest {
namespace {

template <typename T>
bool ChainAgrees(const CQHList<T>& list) {
  int count = 0;
  const typename CQHList<T>::Node* previous = nullptr;
  for (auto* node = list.GetHeadPosition(); node != nullptr; node = node->next, ++count) {
    if (node->prev != previous || count > list.GetCount()) return false;
    previous = node;
  }
  return list.GetTailPosition() == previous && count == list.GetCount();
}

void DescribeLine(const CDlgItem& line, std::string& out) {
  out += std::to_string(line.GetID()) + "/" + std::to_string(line.GetPlotIndex()) + " [" +
         line.GetSpeaker().c_str() + "|" + line.GetExpression().c_str() + "|" +
         line.GetSound().c_str() + "|" + line.GetText().c_str() + "]\n";
}

}  // namespace

::testing::AssertionResult IsConsistent(const CDlgFile& doc) {
  if (!ChainAgrees(doc.GetLines()) || !ChainAgrees(doc.GetPlots())) {
    return ::testing::AssertionFailure() << "a list's chain disagrees with its count";
  }
  std::set<const void*> lines;
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    lines.insert(pos);
  }
  std::set<const void*> members;
  int number = 0;
  for (auto* plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    if (!ChainAgrees(plot->value.members) || !ChainAgrees(plot->value.storedIds)) {
      return ::testing::AssertionFailure() << "plot " << number << ": broken member list";
    }
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      if (lines.count(m->value) == 0) {
        return ::testing::AssertionFailure() << "plot " << number << " names no line";
      }
      if (!members.insert(m->value).second) {
        return ::testing::AssertionFailure() << "plot " << number << " names a line twice";
      }
    }
    ++number;
  }
  return ::testing::AssertionSuccess();
}

std::string Describe(const CDlgFile& doc) {
  int speaker = 0, expression = 0, sound = 0;
  doc.GetColumns(speaker, expression, sound);
  std::string out = std::string("game [") + doc.GetGameName().c_str() + "] columns " +
                    std::to_string(speaker) + std::to_string(expression) + std::to_string(sound) +
                    " multi " + std::to_string(doc.GetMultiLine()) + "\n";
  std::set<const void*> inPlots;
  for (auto* plot = doc.GetPlots().GetHeadPosition(); plot != nullptr; plot = plot->next) {
    out += std::string("plot [") + plot->value.GetName().c_str() + "] " +
           std::to_string(plot->value.rangeLow) + ".." + std::to_string(plot->value.rangeHigh) +
           "\n";
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      inPlots.insert(m->value);
      DescribeLine(m->value->value, out);
    }
  }
  out += "no plot\n";
  for (auto* pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (inPlots.count(pos) == 0) DescribeLine(pos->value, out);
  }
  return out;
}

void BuildLargeDocument(CDlgFile& doc, const std::string& flavour) {
  doc.SetGameName(("game " + flavour).c_str());
  doc.SetColumns(1, 1, 0);
  doc.SetMultiLine(1);
  PlotPos plots[3] = {doc.AddPlot("prologue", 0, 20000),
                      doc.AddPlot("\xEC\x9E\xA5\xEB\xA9\xB4", -1, -1),
                      doc.AddPlot("epilogue", 30000, 30010)};
  for (int k = 0; k < kLargeDocumentLines; ++k) {
    CDlgItem line;
    // Spread IDs: the index of about 9 000 entries takes more than one buffer of the writer.
    line.SetID(k * kLargeDocumentIdStep);
    line.SetSpeaker(k % 3 == 0 ? "\xEB\xAF\xBC\xEC\xA4\x80" : "Mina");
    line.SetExpression(k % 2 == 0 ? "smile" : "");
    line.SetSound(("voice/" + std::to_string(k) + ".wav").c_str());
    const std::string text = flavour + " line " + std::to_string(k) + ": " +
                             std::string(static_cast<size_t>(50 + k % 100), 'a' + k % 26) +
                             (k % 5 == 0 ? "\r\nsecond line" : "");
    line.SetText(text.c_str());
    ASSERT_NE(doc.AddItem(line, plots[k % 3], nullptr), nullptr);
  }
  for (int id : {5, 7}) {
    CDlgItem orphan;
    orphan.SetID(id);
    orphan.SetText("in no plot");
    ASSERT_NE(doc.AddItem(orphan, nullptr, nullptr), nullptr);
  }
}

}  // namespace dlgtest
