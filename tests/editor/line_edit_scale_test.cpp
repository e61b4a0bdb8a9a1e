// The line editor on large plots: rows built in one batch, many rows deleted at once, the focus
// after Delete.
#include <gtest/gtest.h>

#include "editor/line_editor_fixture.h"

namespace {

class LineEditorScale : public LineEditorTest {
 protected:
  // A plot "big" of `count` lines with IDs 0..count-1 and texts "t<ID>".
  CLineEditDlg& OpenBig(int count) {
    std::vector<TestLine> lines;
    texts_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      texts_[static_cast<size_t>(i)] = "t" + std::to_string(i);
      lines.push_back({"Tom", "", "s.wav", texts_[static_cast<size_t>(i)].c_str()});
    }
    plot_ = AddTestPlot(app_.document, "big", 0, 100000, lines);
    return Open("big");
  }
  std::vector<std::string> texts_;
  PlotPos plot_ = nullptr;
};

TEST_F(LineEditorScale, RowsBuiltInOneBatchEndAsTheRowByRowBuildWould) {
  CLineEditDlg& dialog = OpenBig(500);
  dialog.show();
  std::vector<int> expected(500);
  for (int i = 0; i < 500; ++i) expected[static_cast<size_t>(i)] = i;
  EXPECT_EQ(RowIds(), expected);
  // The last row is the one selected, scrolled into view and loaded into the fields.
  EXPECT_EQ(SelectedRows(), std::vector<int>{499});
  const QRect last = Rows()->visualItemRect(Rows()->topLevelItem(499));
  EXPECT_TRUE(Rows()->viewport()->rect().intersects(last));
  EXPECT_EQ(TextField(), "t499");
  EXPECT_FALSE(dialog.changed);
  // A row's line is found among the members: Modify reaches the right one.
  SelectOnly({250});
  SetTextField("changed");
  Click(CLineEditDlg::kModify);
  EXPECT_STREQ(Line(250).GetText(), "changed");
  EXPECT_STREQ(Line(249).GetText(), "t249");
}

TEST_F(LineEditorScale, DeletingManyRowsKeepsTheOthersInOrderFocusesTheListAndOkRemovesThem) {
  CLineEditDlg& dialog = OpenBig(300);
  dialog.show();
  std::vector<int> doomed, kept;
  for (int i = 0; i < 300; ++i) (i >= 10 && i % 3 != 0 ? doomed : kept).push_back(i);
  SelectOnly(doomed);
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(RowIds(), kept);
  // The row now at the first deleted row's place is selected, and the list has the focus.
  EXPECT_EQ(SelectedRows(), std::vector<int>{10});
  EXPECT_EQ(dialog.RowId(10), 12);
  EXPECT_EQ(TextField(), "t12");
  EXPECT_EQ(dialog.focusWidget(), Rows());
  EXPECT_EQ(app_.pendingDeletions.GetCount(), static_cast<int>(doomed.size()));
  // Deleting the row selected now, then OK: every deleted line leaves the plot and the document.
  Click(CLineEditDlg::kDelete);
  kept.erase(kept.begin() + 10);
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(dialog.result(), toolkit::kIdOk);
  EXPECT_EQ(MemberIds(app_.document, plot_), kept);
  EXPECT_EQ(app_.document.GetLines().GetCount(), static_cast<int>(kept.size()));
  EXPECT_EQ(app_.document.FindItem(11), nullptr);
  EXPECT_EQ(app_.document.FindItem(12), nullptr);
  EXPECT_NE(app_.document.FindItem(15), nullptr);
  EXPECT_TRUE(app_.pendingDeletions.IsEmpty());
}

}  // namespace
