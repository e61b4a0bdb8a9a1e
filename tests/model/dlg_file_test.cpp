#include "model/dlg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "support/debug_capture.h"

namespace {

// Adds a line with text `text` (and no ID yet) to `plot`, at the end; returns the allocated ID or
// -1.
int AddLine(CDlgFile& doc, PlotPos plot, const char* text = "", LinePos after = nullptr) {
  CDlgItem line;
  line.SetText(text);
  return doc.AddItem(line, plot, after) != nullptr ? line.GetID() : -1;
}

std::vector<int> MemberIds(CDlgFile& doc, PlotPos plot) {
  std::vector<int> ids;
  auto& members = doc.GetPlot(plot).members;
  for (auto* m = members.GetHeadPosition(); m != nullptr;)
    ids.push_back(doc.GetItem(members.GetNext(m)).GetID());
  return ids;
}

std::vector<int> LineIds(const CDlgFile& doc) {
  std::vector<int> ids;
  for (auto* p = doc.GetLines().GetHeadPosition(); p != nullptr; p = p->next)
    ids.push_back(p->value.GetID());
  return ids;
}

TEST(IdAllocation, EmptyDocumentWithoutPlotCountsFromZero) {
  CDlgFile doc;
  EXPECT_EQ(AddLine(doc, nullptr), 0);
  EXPECT_EQ(AddLine(doc, nullptr), 1);
  EXPECT_EQ(AddLine(doc, nullptr), 2);
  EXPECT_EQ(doc.GetNextId(), 3);
}

TEST(IdAllocation, CallerSeesTheAllocatedIdAndTheDocumentHoldsACopy) {
  CDlgFile doc;
  CDlgItem line;
  line.SetSpeaker("A");
  line.SetText("hi");
  LinePos pos = doc.AddItem(line, nullptr, nullptr);
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(line.GetID(), 0);
  line.SetText("changed later");
  EXPECT_STREQ(doc.GetItem(pos).GetText(), "hi");
  EXPECT_STREQ(doc.GetItem(pos).GetSpeaker(), "A");
}

TEST(IdAllocation, RangeExhaustsAtHighWithMessageAndCounterAtHigh) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", 100, 200);
  EXPECT_EQ(AddLine(doc, plot), 100);
  for (int i = 1; i < 100; ++i) ASSERT_EQ(AddLine(doc, plot), 100 + i);
  DebugCapture capture;
  EXPECT_EQ(AddLine(doc, plot), -1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::AddItem() Error (0) : ID is out of range<100 200>!\n");
  EXPECT_EQ(doc.GetNextId(), 200);
  EXPECT_EQ(doc.GetLines().GetCount(), 100);
  EXPECT_EQ(doc.GetPlot(plot).members.GetCount(), 100);
}

TEST(IdAllocation, FailsWhenScanReachesHighEvenIfLowerIdsAreFree) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", 0, 4);
  for (int i = 0; i < 4; ++i) AddLine(doc, plot);
  // Free ID 1; the counter sits at 4 = high, so the next allocation wraps to 0 and scans up to 1.
  doc.DeleteItem(doc.FindItem(1), plot);
  EXPECT_EQ(AddLine(doc, plot), 1);
  // Now the counter is 2 and 2, 3 are taken: the scan reaches 4 and fails although nothing is free.
  DebugCapture capture;
  EXPECT_EQ(AddLine(doc, plot), -1);
  EXPECT_EQ(doc.GetNextId(), 4);
}

TEST(IdAllocation, TwoPlotsShareOneCounter) {
  CDlgFile doc;
  PlotPos a = doc.AddPlot("A", 0, 10);
  PlotPos b = doc.AddPlot("B", 100, 110);
  EXPECT_EQ(AddLine(doc, a), 0);
  EXPECT_EQ(AddLine(doc, b), 100);
  EXPECT_EQ(AddLine(doc, a), 1);  // counter 101 >= 10: restart at 0, scan past 0
  EXPECT_EQ(AddLine(doc, b), 101);  // counter 2 < 100: jump to 100, scan past 100
  EXPECT_EQ(doc.GetNextId(), 102);
}

TEST(IdAllocation, DeletedIdIsNotReusedBeforeTheCounterWraps) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", 0, 100);
  for (int i = 0; i < 6; ++i) AddLine(doc, plot);
  doc.DeleteItem(doc.FindItem(3), plot);
  EXPECT_EQ(AddLine(doc, plot), 6);
}

TEST(IdAllocation, OnlyUpperBoundRestartsAtZeroOnlyLowerBoundHasNoLimit) {
  CDlgFile doc;
  PlotPos upper = doc.AddPlot("upper", -1, 3);
  PlotPos lower = doc.AddPlot("lower", 50, -1);
  EXPECT_EQ(AddLine(doc, lower), 50);
  EXPECT_EQ(AddLine(doc, upper), 0);  // counter 51 >= 3 and no low bound: restart at 0
  EXPECT_EQ(AddLine(doc, upper), 1);
  EXPECT_EQ(AddLine(doc, lower), 51);
  EXPECT_EQ(AddLine(doc, lower), 52);
}

TEST(IdAllocation, InvertedRangeAllocatesLowOnceIfFree) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", 10, 5);
  EXPECT_EQ(AddLine(doc, plot), 10);
  DebugCapture capture;
  EXPECT_EQ(AddLine(doc, plot), -1);
  EXPECT_EQ(capture.lines().at(0), "CDlgFile::AddItem() Error (0) : ID is out of range<10 5>!\n");
}

TEST(IdAllocation, LineWithIdKeepsItEvenWhenDuplicate) {
  CDlgFile doc;
  EXPECT_EQ(AddLine(doc, nullptr), 0);
  CDlgItem dup;
  dup.SetID(0);
  dup.SetText("second");
  ASSERT_NE(doc.AddItem(dup, nullptr, nullptr), nullptr);
  EXPECT_EQ(LineIds(doc), (std::vector<int>{0, 0}));
  EXPECT_EQ(doc.GetNextId(), 1);  // the counter is not touched by a retained ID
  EXPECT_STREQ(doc.GetItem(doc.FindItem(0)).GetText(), "");  // FindItem finds the first one
}

TEST(AddItemPlacement, AfterPositionOrderAndFallbackToEnd) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", -1, -1);
  PlotPos other = doc.AddPlot("q", -1, -1);
  AddLine(doc, plot);                       // 0
  LinePos one = doc.FindItem(AddLine(doc, plot));  // 1
  AddLine(doc, plot);                       // 2
  LinePos foreign = doc.FindItem(AddLine(doc, other));  // 3, in the other plot
  AddLine(doc, plot, "", one);              // 4 after 1
  AddLine(doc, plot, "", foreign);          // 5: after-position not a member -> end
  EXPECT_EQ(MemberIds(doc, plot), (std::vector<int>{0, 1, 4, 2, 5}));
  // The document's line list is always in order of addition.
  EXPECT_EQ(LineIds(doc), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST(AddItemAllocationFailure, NothingIsLinkedWhenANodeCannotBeAllocated) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", -1, -1);
  AddLine(doc, plot);
  DebugCapture capture;
  for (int n = 1; n <= 2; ++n) {  // 1: the line node, 2: the member node
    platform::FailAllocationAfter(n);
    CDlgItem line;
    EXPECT_EQ(doc.AddItem(line, plot, nullptr), nullptr) << n;
    platform::ResetAllocationFaults();
    EXPECT_EQ(doc.GetLines().GetCount(), 1) << n;
    EXPECT_EQ(doc.GetPlot(plot).members.GetCount(), 1) << n;
  }
  platform::FailAllocationAfter(1);
  EXPECT_EQ(doc.AddPlot("q", -1, -1), nullptr);
  platform::ResetAllocationFaults();
  EXPECT_EQ(doc.GetPlots().GetCount(), 1);
}

TEST(Plots, FindPlotIsCaseSensitiveAndFindsTheFirstOfDuplicates) {
  CDlgFile doc;
  PlotPos first = doc.AddPlot("Scene", -1, -1);
  doc.AddPlot("Scene", 1, 2);  // the document itself does not refuse duplicates
  EXPECT_EQ(doc.FindPlot("Scene"), first);
  EXPECT_EQ(doc.FindPlot("scene"), nullptr);
  EXPECT_EQ(doc.FindPlot("Scene "), nullptr);
  EXPECT_EQ(doc.GetPlots().GetCount(), 2);
}

TEST(Plots, DeletePlotRemovesItsLinesAndKeepsOthers) {
  CDlgFile doc;
  PlotPos a = doc.AddPlot("A", -1, -1);
  PlotPos b = doc.AddPlot("B", -1, -1);
  AddLine(doc, a, "a0");
  AddLine(doc, b, "b1");
  AddLine(doc, a, "a2");
  EXPECT_EQ(doc.DeletePlot(a), 1);
  EXPECT_EQ(LineIds(doc), (std::vector<int>{1}));
  EXPECT_EQ(doc.FindPlot("A"), nullptr);
  EXPECT_EQ(MemberIds(doc, b), (std::vector<int>{1}));
  EXPECT_EQ(doc.DeletePlot(nullptr), 0);
  EXPECT_EQ(doc.GetPlots().GetCount(), 1);
}

TEST(Plots, DeleteItemRemovesFromPlotAndDocument) {
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("p", -1, -1);
  for (int i = 0; i < 3; ++i) AddLine(doc, plot);
  doc.DeleteItem(doc.FindItem(1), plot);
  EXPECT_EQ(MemberIds(doc, plot), (std::vector<int>{0, 2}));
  EXPECT_EQ(LineIds(doc), (std::vector<int>{0, 2}));
  // Without a plot only the document's list changes.
  doc.DeleteItem(doc.FindItem(0), nullptr);
  EXPECT_EQ(LineIds(doc), (std::vector<int>{2}));
  EXPECT_EQ(doc.GetPlot(plot).members.GetCount(), 2);
}

TEST(DocumentClear, KeepsMultiLineAndVersionResetsTheRest) {
  CDlgFile doc;
  doc.SetGameName("game");
  doc.SetColumns(1, 1, 1);
  doc.SetMultiLine(1);
  PlotPos plot = doc.AddPlot("p", 5, 9);
  AddLine(doc, plot);
  doc.Clear();
  int s = -1, e = -1, o = -1;
  doc.GetColumns(s, e, o);
  EXPECT_EQ(s + e + o, 0);
  EXPECT_TRUE(doc.GetGameName().IsEmpty());
  EXPECT_EQ(doc.GetLines().GetCount(), 0);
  EXPECT_EQ(doc.GetPlots().GetCount(), 0);
  EXPECT_EQ(doc.GetNextId(), 0);
  EXPECT_EQ(doc.GetMultiLine(), 1);
  EXPECT_EQ(doc.GetVersion(), 0);
  EXPECT_EQ(AddLine(doc, nullptr), 0);
}

TEST(DlgItem, ResetAndCopyCoverAllSixFields) {
  CDlgItem a;
  a.SetID(4);
  a.SetPlotIndex(2);
  a.SetSpeaker("s");
  a.SetExpression("e");
  a.SetSound("x.wav");
  a.SetText("t\r\nu");
  CDlgItem b = a;
  EXPECT_EQ(b.GetID(), 4);
  EXPECT_EQ(b.GetPlotIndex(), 2);
  EXPECT_STREQ(b.GetSound(), "x.wav");
  EXPECT_NE(b.GetText().c_str(), a.GetText().c_str());  // deep copy
  a.Reset();
  EXPECT_EQ(a.GetID(), -1);
  EXPECT_EQ(a.GetPlotIndex(), -1);
  EXPECT_TRUE(a.GetSpeaker().IsEmpty() && a.GetExpression().IsEmpty() && a.GetSound().IsEmpty() &&
              a.GetText().IsEmpty());
}

}  // namespace
