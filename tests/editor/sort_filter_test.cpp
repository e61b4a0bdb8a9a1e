// Sorting and filtering the line editor's rows, and filtering the main window's plot list: the
// order and the hiding are the lists' own; the plot's line order, and what the commands act on,
// follow only what is shown.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>

#include "app/main_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/ui/main_window_test.h"
#include "toolkit/scoped_codeset.h"

namespace {

class SortFilter : public LineEditorTest {
 protected:
  CLineEditDlg& OpenMixed() {
    AddTestPlot(app_.document, "p", 0, 100,
                {{"Tom", "", "", "banana"}, {"민준", "", "", "apple"}, {"Tom", "", "", "cherry"}});
    // IDs 0, 1, 2; give the middle one a larger ID than 10 to test the numeric order.
    CLineEditDlg& dialog = Open("p");
    return dialog;
  }
  void SortBy(int column) { emit Rows()->header()->sectionClicked(column); }
  void Filter(const char* text) {
    dialog_->ControlAs<QLineEdit>(CLineEditDlg::kFilter)->setText(Utf8(text));
  }
  std::vector<int> ShownIds() const {
    std::vector<int> ids;
    for (int i = 0; i < RowCount(); ++i) {
      if (!Rows()->topLevelItem(i)->isHidden()) ids.push_back(dialog_->RowId(i));
    }
    return ids;
  }
  std::vector<int> PlotOrder() {
    std::vector<int> ids;
    CDlgPlot& plot = app_.document.GetPlot(dialog_->plot());
    for (auto* m = plot.members.GetHeadPosition(); m != nullptr;) {
      ids.push_back(app_.document.GetItem(plot.members.GetNext(m)).GetID());
    }
    return ids;
  }
  ScopedCodeset codeset_{"UTF-8"};
};

TEST_F(SortFilter, HeaderClicksSortAscendingDescendingThenBackToThePlotsOrder) {
  CLineEditDlg& dialog = OpenMixed();
  const int text = dialog.columns().text;
  SortBy(text);
  EXPECT_EQ(RowIds(), (std::vector<int>{1, 0, 2}));  // apple, banana, cherry
  SortBy(text);
  EXPECT_EQ(RowIds(), (std::vector<int>{2, 0, 1}));
  SortBy(text);
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(PlotOrder(), (std::vector<int>{0, 1, 2}));
  // The selection (the last row at opening) moved with its row all along.
  EXPECT_EQ(SelectedRows(), std::vector<int>{2});
}

TEST_F(SortFilter, IdsSortAsNumbers) {
  AddTestPlot(app_.document, "p", 0, 100, {});
  CDlgItem line;
  for (int id : {9, 10, 2}) {
    line.SetText("x");
    CDlgItem record = line;
    record.id = id;
    ASSERT_NE(app_.document.AddItem(record, app_.document.FindPlot("p"), nullptr), nullptr);
  }
  Open("p");
  SortBy(0);
  EXPECT_EQ(RowIds(), (std::vector<int>{2, 9, 10}));
}

TEST_F(SortFilter, TheFilterHidesRowsAndCommandsActOnlyOnShownRows) {
  CLineEditDlg& dialog = OpenMixed();
  Filter("TOM");  // letters in either case, any cell
  EXPECT_EQ(ShownIds(), (std::vector<int>{0, 2}));
  Filter("an");
  EXPECT_EQ(ShownIds(), std::vector<int>{0});  // banana
  // A select-all reaches hidden rows too; Delete leaves them alone.
  Rows()->selectAll();
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(RowIds(), (std::vector<int>{1, 2}));
  EXPECT_EQ(ShownIds(), std::vector<int>{});
  Filter("");
  EXPECT_EQ(ShownIds(), (std::vector<int>{1, 2}));
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(PlotOrder(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(dialog.changed);
}

TEST_F(SortFilter, AHiddenSelectedRowIsNoLongerModified) {
  OpenMixed();
  SelectOnly({2});
  Filter("apple");
  EXPECT_TRUE(SelectedRows().empty());
  EXPECT_FALSE(dialog_->Control(CLineEditDlg::kModify)->isEnabled());
  dialog_->OnModify();  // as a shortcut would, past the disabled button
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"不能同时修改多段对话！"});
  EXPECT_STREQ(Line(2).GetText().c_str(), "cherry");
}

class PlotFilter : public MainWindowTest {
 protected:
  ScopedCodeset codeset_{"UTF-8"};
};

TEST_F(PlotFilter, HidesPlotsWhoseNameLacksTheTextAndTheirSelection) {
  CMainDlg& dialog = Open();
  for (const char* name : {"Intro", "첫 장면", "intro 2", "Ending"}) {
    ASSERT_GE(dialog.AddPlotByName(name), 0);
  }
  dialog.plotList()->setCurrentRow(3);
  auto* filter = dialog.ControlAs<QLineEdit>(CMainDlg::kPlotFilter);
  filter->setText(QStringLiteral("INTRO"));
  std::vector<bool> hidden;
  for (int i = 0; i < 4; ++i) hidden.push_back(dialog.plotList()->item(i)->isHidden());
  EXPECT_EQ(hidden, (std::vector<bool>{false, true, false, true}));
  EXPECT_TRUE(dialog.plotList()->selectedItems().isEmpty());
  EXPECT_FALSE(dialog.Control(CMainDlg::kDeletePlot)->isEnabled());
  // A plot added while filtered is shown and selected: the filter goes.
  ASSERT_EQ(dialog.AddPlotByName("Battle"), 4);
  EXPECT_TRUE(filter->text().isEmpty());
  EXPECT_FALSE(dialog.plotList()->item(1)->isHidden());
}

}  // namespace
