// Reversible document changes: field edits found by place and applied both ways, plots taken
// whole and put back with their IDs, also where IDs repeat and where a line is in no plot.
#include "model/document_edits.h"

#include <gtest/gtest.h>

#include <string>

#include "support/document_builder.h"

namespace {

std::string Texts(const CDlgFile& document) {
  std::string out;
  for (PlotPos plot = document.GetFirstPlot(); plot != nullptr; plot = plot->next) {
    out += std::string(plot->value.GetName().c_str()) + ":";
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      out += std::to_string(m->value->value.GetID()) + "=" + m->value->value.GetText().c_str() +
             "/" + m->value->value.GetSpeaker().c_str() + ",";
    }
    out += ";";
  }
  return out;
}

TEST(DocumentEdits, EditsSinceASnapshotGoBackAndForthByPlace) {
  CDlgFile document;
  AddTestPlot(document, "A", 0, 10, {{"Tom", "", "", "a"}, {"Tom", "", "", "b"}});
  PlotPos second = AddTestPlot(document, "B", 10, 20, {{"Ann", "", "", "c"}});
  // A repeated ID: only the place tells the two lines apart.
  CDlgItem twin;
  twin.SetID(10);
  twin.SetText("twin");
  ASSERT_NE(document.AddItem(twin, second, nullptr), nullptr);
  const std::string before = Texts(document);

  const FieldsSnapshot snapshot = TakeFieldsSnapshot(document);
  document.FindItem(1)->value.SetText("B!");
  second->value.members.GetTailPosition()->value->value.SetSpeaker("Zed");
  const std::string after = Texts(document);
  const std::vector<LineEdit> edits = EditsSince(document, snapshot);
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[1].place.plot, 1);
  EXPECT_EQ(edits[1].place.member, 1);

  ASSERT_TRUE(ApplyLineEdits(document, edits, true));
  EXPECT_EQ(Texts(document), before);
  ASSERT_TRUE(ApplyLineEdits(document, edits, false));
  EXPECT_EQ(Texts(document), after);
}

TEST(DocumentEdits, ALineOfNoPlotIsFoundByItsId) {
  CDlgFile document;
  AddTestPlot(document, "A", 0, 10, {{"", "", "", "a"}});
  CDlgItem loose;
  loose.SetID(50);
  loose.SetText("loose");
  ASSERT_NE(document.AddItem(loose, nullptr, nullptr), nullptr);
  const FieldsSnapshot snapshot = TakeFieldsSnapshot(document);
  ASSERT_EQ(snapshot.places.size(), 2u);
  document.FindItem(50)->value.SetText("changed");
  const std::vector<LineEdit> edits = EditsSince(document, snapshot);
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0].place.plot, -1);
  ASSERT_TRUE(ApplyLineEdits(document, edits, true));
  EXPECT_STREQ(document.FindItem(50)->value.GetText().c_str(), "loose");
}

TEST(DocumentEdits, APlaceThatNamesNoLineIsAFailure) {
  CDlgFile document;
  AddTestPlot(document, "A", 0, 10, {{"", "", "", "a"}});
  EXPECT_FALSE(ApplyLineEdits(document, {{LinePlace{0, 5}, {}, {}}}, false));
  EXPECT_FALSE(ApplyLineEdits(document, {{LinePlace{3, 0}, {}, {}}}, false));
}

TEST(DocumentEdits, APlotTakenWholeComesBackInItsPlaceWithItsIdsAndRange) {
  CDlgFile document;
  AddTestPlot(document, "A", 0, 10, {{"Tom", "smile", "a.wav", "a"}, {"", "", "", "b"}});
  AddTestPlot(document, "B", 10, 20, {{"", "", "", "c"}});
  AddTestPlot(document, "C", 20, 30, {});
  const std::string before = Texts(document);
  const PlotSnapshot b = TakePlotSnapshot(PlotAt(document, 1)->value);
  ASSERT_EQ(document.DeletePlot(PlotAt(document, 1)), 1);
  EXPECT_EQ(document.FindItem(10), nullptr);

  const PlotPos back = InsertPlotSnapshot(document, 1, b);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Texts(document), before);
  int low = 0, high = 0;
  back->value.GetRange(low, high);
  EXPECT_EQ(low, 10);
  EXPECT_EQ(high, 20);
  ASSERT_NE(document.FindItem(10), nullptr);
  EXPECT_EQ(document.GetLines().GetCount(), 3);

  // Restoring over a changed plot replaces its lines and name, not the plot's place.
  const PlotSnapshot a = TakePlotSnapshot(PlotAt(document, 0)->value);
  CDlgItem extra;
  extra.SetText("new");
  ASSERT_NE(document.AddItem(extra, PlotAt(document, 0), nullptr), nullptr);
  PlotAt(document, 0)->value.SetName("A2");
  ASSERT_TRUE(RestorePlot(document, PlotAt(document, 0), a));
  EXPECT_EQ(Texts(document), before);
  EXPECT_EQ(document.GetLines().GetCount(), 3);
  EXPECT_STREQ(document.FindItem(0)->value.GetExpression().c_str(), "smile");

  // Past the end appends.
  ASSERT_NE(InsertPlotSnapshot(document, 99, b), nullptr);
  EXPECT_STREQ(PlotAt(document, 3)->value.GetName().c_str(), "B");
}

}  // namespace
