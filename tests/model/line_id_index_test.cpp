#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model/dlg_file.h"
#include "support/document_builder.h"

namespace {

LinePos ScanForId(const CDlgFile& doc, int id) {
  for (LinePos pos = doc.GetLines().GetHeadPosition(); pos != nullptr; pos = pos->next) {
    if (pos->value.GetID() == id) return pos;
  }
  return nullptr;
}

TEST(FindItemIndex, DuplicatesAnswerTheFirstInDocumentOrderAfterRemovals) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", -1, -1);
  LinePos a = AddTestLine(doc, plot, 7);
  LinePos b = AddTestLine(doc, plot, 7);
  LinePos c = AddTestLine(doc, plot, 7);
  EXPECT_EQ(doc.FindItem(7), a);
  doc.DeleteItem(a, plot);
  EXPECT_EQ(doc.FindItem(7), b);
  doc.DeleteItem(c, plot);
  EXPECT_EQ(doc.FindItem(7), b);
  doc.DeleteItem(b, plot);
  EXPECT_EQ(doc.FindItem(7), nullptr);
}

TEST(FindItemIndex, AgreesWithALinearScanThroughRandomEdits) {
  std::mt19937 rng(12345);
  CDlgFile doc;
  PlotPos plots[3] = {doc.AddPlot("a", 0, 40), doc.AddPlot("b", 30, 80), doc.AddPlot("c", -1, -1)};
  for (int step = 0; step < 3000; ++step) {
    const int action = static_cast<int>(rng() % 10);
    PlotPos plot = plots[rng() % 3];
    if (action < 5) {
      CDlgItem line;
      if (action == 0) line.SetID(static_cast<int>(rng() % 100));  // retained, possibly duplicate
      doc.AddItem(line, plot, nullptr);
    } else if (action < 9) {
      auto& members = doc.GetPlot(plot).members;
      if (members.GetCount() > 0) {
        auto* m = members.GetHeadPosition();
        for (unsigned skip = rng() % static_cast<unsigned>(members.GetCount()); skip > 0; --skip)
          m = m->next;
        doc.DeleteItem(m->value, plot);
      }
    } else if (step % 500 == 9) {
      doc.Clear();
      plots[0] = doc.AddPlot("a", 0, 40);
      plots[1] = doc.AddPlot("b", 30, 80);
      plots[2] = doc.AddPlot("c", -1, -1);
    }
    const int probe = static_cast<int>(rng() % 120) - 5;
    ASSERT_EQ(doc.FindItem(probe), ScanForId(doc, probe)) << "step " << step << " id " << probe;
  }
}

TEST(FindItemIndex, DeletingAPlotForgetsItsLines) {
  CDlgFile doc;
  PlotPos a = doc.AddPlot("a", -1, -1);
  PlotPos b = doc.AddPlot("b", -1, -1);
  AddTestLine(doc, a, 1);
  LinePos kept = AddTestLine(doc, b, 2);
  AddTestLine(doc, a, 3);
  ASSERT_EQ(doc.DeletePlot(a), 1);
  EXPECT_EQ(doc.FindItem(1), nullptr);
  EXPECT_EQ(doc.FindItem(3), nullptr);
  EXPECT_EQ(doc.FindItem(2), kept);
}

TEST(FindItemIndex, AnIdChangedInPlaceIsNoticedWhenItsOldIdIsAskedFor) {
  CDlgFile doc;
  LinePos a = AddTestLine(doc, nullptr, 5);
  LinePos b = AddTestLine(doc, nullptr, 6);
  doc.GetItem(a).SetID(6);
  EXPECT_EQ(doc.FindItem(5), nullptr);
  EXPECT_EQ(doc.FindItem(6), a);  // now the first line with ID 6 in document order
  (void)b;
}

}  // namespace
