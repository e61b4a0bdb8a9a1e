// The line editor's commands: Add, Modify, Delete, OK and Cancel, the pending lists and the
// changed flag.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>

#include "editor/line_editor_fixture.h"
#include "platform/fault_injection.h"
#include "support/debug_capture.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;

// Seven lines with IDs 0 to 6, speakers as listed or not.
std::vector<TestLine> SevenLines() {
  return {{"Tom", "화남", "", "zero"}, {"민준", "웃음", "", "one"}, {"Who", "x", "", "two"},
          {"서연", "", "", "three"},   {"TOMMY", "", "", "four"},   {"민준", "", "", "five"},
          {"", "", "", "six"}};
}

class LineCommands : public LineEditorTest {
 protected:
  CLineEditDlg& OpenSeven(bool multiLine = false) {
    plot_ = AddTestPlot(app_.document, "p", 0, 100, SevenLines());
    return Open("p", multiLine);
  }
  std::vector<int> Members() { return MemberIds(app_.document, plot_); }
  bool Pending() const {
    return !app_.pendingAdditions.IsEmpty() || !app_.pendingDeletions.IsEmpty();
  }

  PlotPos plot_ = nullptr;
};

// Add ----------------------------------------------------------------------------------------

TEST_F(LineCommands, AddWithoutSelectionAppendsToThePlotAndTheList) {
  CLineEditDlg& dialog = OpenSeven();
  Rows()->clearSelection();
  SetTextField("new");
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(RowIds().back(), 7);
  EXPECT_EQ(SelectedRows(), std::vector<int>{7});
  EXPECT_STREQ(Line(7).GetText(), "new");
  EXPECT_EQ(Line(7).GetPlotIndex(), -1);
  EXPECT_EQ(app_.pendingAdditions.GetCount(), 1);
  EXPECT_TRUE(dialog.changed);
}

TEST_F(LineCommands, AddWithRows2And5SelectedInsertsAfterRow2AndKeepsRow5Selected) {
  OpenSeven();
  SelectOnly({2, 5});
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 1, 2, 7, 3, 4, 5, 6}));
  EXPECT_EQ(SelectedRows(), (std::vector<int>{3, 6}));
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 7, 3, 4, 5, 6}));
}

TEST_F(LineCommands, TwoAddsInARowPlaceTheSecondAfterTheFirst) {
  OpenSeven();
  SelectOnly({1});
  SetTextField("a");
  Click(CLineEditDlg::kAdd);
  SetTextField("b");
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 7, 8, 2, 3, 4, 5, 6}));
  EXPECT_EQ(RowIds(), Members());
  EXPECT_EQ(SelectedRows(), std::vector<int>{3});
  EXPECT_EQ(app_.pendingAdditions.GetCount(), 2);
}

TEST_F(LineCommands, AddWithMultiLineOffJoinsTheLinesWithoutASpaceWhileModifyKeepsThem) {
  CLineEditDlg& dialog = OpenSeven(/*multiLine=*/false);
  SetTextField("첫 줄\n둘째 줄");
  Click(CLineEditDlg::kAdd);
  EXPECT_STREQ(Line(7).GetText(), "첫 줄둘째 줄");
  EXPECT_EQ(Cell(7, dialog.columns().text), "첫 줄둘째 줄");
  EXPECT_EQ(TextField(), "첫 줄둘째 줄");  // the new row loaded the joined text back
  SetTextField("첫 줄\n둘째 줄");
  Click(CLineEditDlg::kModify);
  EXPECT_STREQ(Line(7).GetText(), "첫 줄\r\n둘째 줄");
  EXPECT_EQ(Cell(7, dialog.columns().text), "첫 줄\r\n둘째 줄");
}

TEST_F(LineCommands, AddWithMultiLineOnKeepsCrLf) {
  OpenSeven(/*multiLine=*/true);
  SetTextField("a\nb");
  Click(CLineEditDlg::kAdd);
  EXPECT_STREQ(Line(7).GetText(), "a\r\nb");
}

TEST_F(LineCommands, AddTakesTheChosenSpeakerExpressionAndSound) {
  CLineEditDlg& dialog = OpenSeven();
  ChooseSpeaker(2);  // 민준: 기본 웃음 놀람
  dialog.expressionList()->setCurrentIndex(2);
  SetField(CLineEditDlg::kSound, "m9.wav");
  SetTextField("hi");
  Click(CLineEditDlg::kAdd);
  EXPECT_STREQ(Line(7).GetSpeaker(), "민준");
  EXPECT_STREQ(Line(7).GetExpression(), "놀람");
  EXPECT_STREQ(Line(7).GetSound(), "m9.wav");
  EXPECT_EQ(Cell(7, dialog.columns().speaker), "민준");
}

TEST_F(LineCommands, SpeakerAndExpressionListsAreDropDownListsSearchedByPrefix) {
  CLineEditDlg& dialog = OpenSeven();
  for (QComboBox* list : {dialog.speakerList(), dialog.expressionList()}) {
    EXPECT_FALSE(list->isEditable());
    EXPECT_EQ(list->lineEdit(), nullptr);
  }
  Click(CLineEditDlg::kClear);
  // Keys typed into the closed list pick the first entry that begins with them, as a choice.
  for (char key : std::string("tom")) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (key - 'a'), Qt::NoModifier, QString(QChar(key)));
    QCoreApplication::sendEvent(dialog.speakerList(), &press);
  }
  EXPECT_EQ(Selected(dialog.speakerList()), "TOMMY");
  EXPECT_EQ(Entries(dialog.expressionList()), (std::vector<std::string>{"기본", "웃음"}));
  Click(CLineEditDlg::kAdd);
  EXPECT_STREQ(Line(7).GetSpeaker(), "TOMMY");
  EXPECT_EQ(Cell(7, dialog.columns().speaker), "TOMMY");
}

TEST_F(LineCommands, AddWithoutSpeakerStoresEmptyButModifyStoresTheRememberedSpeaker) {
  CLineEditDlg& dialog = OpenSeven();
  SelectOnly({2});  // speaker "Who" is not configured
  EXPECT_EQ(dialog.rememberedSpeaker, "Who");
  SelectOnly({0});  // Tom: listed (as TOMMY)
  Click(CLineEditDlg::kClear);
  Click(CLineEditDlg::kAdd);
  EXPECT_STREQ(Line(7).GetSpeaker(), "");
  // The new line's empty speaker is itself unlisted and becomes the remembered name.
  EXPECT_EQ(dialog.rememberedSpeaker, "");
  SelectOnly({3});  // 서연
  SelectOnly({2});  // Who
  SelectOnly({0});  // Tom
  Click(CLineEditDlg::kClear);
  Click(CLineEditDlg::kModify);
  EXPECT_STREQ(Line(0).GetSpeaker(), "Who");
  EXPECT_EQ(Cell(0, dialog.columns().speaker), "Who");
}

TEST_F(LineCommands, AddStoresTheRangeFirstAndShows305WhenNoIdIsLeft) {
  CLineEditDlg& dialog = OpenSeven();
  SetField(CLineEditDlg::kRangeLow, "3");
  SetField(CLineEditDlg::kRangeHigh, "7");
  DebugCapture capture;
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"在指定范围内已经没有剩余的ID！"});
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kMessage);
  int low, high;
  app_.document.GetPlot(plot_).GetRange(low, high);
  EXPECT_EQ(low, 3);
  EXPECT_EQ(high, 7);
  EXPECT_EQ(RowCount(), 7);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 7);
  EXPECT_FALSE(dialog.changed);
  EXPECT_TRUE(app_.pendingAdditions.IsEmpty());
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{"CDlgFile::AddItem() Error (0) : ID is out of range<3 7>!\n"});
}

TEST_F(LineCommands, RangeFieldThatIsNotANumberPromptsAndAddUsesThePreviousValues) {
  CLineEditDlg& dialog = OpenSeven();
  SetField(CLineEditDlg::kRangeLow, "abc");
  SetField(CLineEditDlg::kRangeHigh, "50");
  SetTextField("x");
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"请键入一个整数。"});
  // The bad low field and the high field after it kept 0 and 100; the text before it was read.
  EXPECT_EQ(dialog.rangeLow, 0);
  EXPECT_EQ(dialog.rangeHigh, 100);
  EXPECT_STREQ(Line(7).GetText(), "x");
  EXPECT_EQ(RowIds().back(), 7);
}

TEST_F(LineCommands, AddThatCannotRecordItsLineStoresNothingAtAnyFailurePoint) {
  // Fails the nth guarded allocation of one Add, n = 1, 2, ... until the Add goes through: every
  // failure leaves document, rows, pending list and flag as they were.
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    dialog_.reset();
    app_.document.Clear();
    app_.document.SetColumns(1, 1, 1);
    plot_ = AddTestPlot(app_.document, "p", 0, 100, SevenLines());
    CLineEditDlg& dialog = Open("p");
    SelectOnly({2});
    SetTextField("new text");
    DebugCapture capture;
    platform::FailAllocationAfter(n);
    Click(CLineEditDlg::kAdd);
    platform::ResetAllocationFaults();
    if (RowCount() == 8) {
      EXPECT_GT(n, 4);  // text, line, its copied text, member, pending entry, row: all allocate
      EXPECT_STREQ(Line(7).GetText(), "new text");
      EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 7, 3, 4, 5, 6}));
      EXPECT_EQ(app_.pendingAdditions.GetCount(), 1);
      break;
    }
    EXPECT_TRUE(app_.prompts.records().empty());
    EXPECT_EQ(app_.document.GetLines().GetCount(), 7);
    EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(RowIds(), Members());
    EXPECT_TRUE(app_.pendingAdditions.IsEmpty());
    EXPECT_FALSE(dialog.changed);
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});
    ASSERT_LT(n, 50);
  }
}

// Modify -------------------------------------------------------------------------------------

TEST_F(LineCommands, ModifyNeedsExactlyOneSelectedRow) {
  CLineEditDlg& dialog = OpenSeven();
  SelectOnly({1, 3});
  SetTextField("changed");
  Click(CLineEditDlg::kModify);
  Rows()->clearSelection();
  EXPECT_FALSE(dialog.Control(CLineEditDlg::kModify)->isEnabled());
  dialog.OnModify();
  EXPECT_EQ(app_.prompts.Texts(),
            (std::vector<std::string>{"不能同时修改多段对话！", "不能同时修改多段对话！"}));
  EXPECT_STREQ(Line(1).GetText(), "one");
  EXPECT_STREQ(Line(3).GetText(), "three");
  EXPECT_FALSE(dialog.changed);
}

TEST_F(LineCommands, ModifyChangesLineAndCellsInPlaceKeepingIdAndPosition) {
  CLineEditDlg& dialog = OpenSeven();
  SelectOnly({4});
  ChooseSpeaker(1);  // Tom: 화남
  SetField(CLineEditDlg::kSound, "t.wav");
  SetTextField("line\nbreak");
  Click(CLineEditDlg::kModify);
  const CDlgItem& line = Line(4);
  EXPECT_STREQ(line.GetSpeaker(), "Tom");
  EXPECT_STREQ(line.GetExpression(), "화남");
  EXPECT_STREQ(line.GetSound(), "t.wav");
  EXPECT_STREQ(line.GetText(), "line\r\nbreak");
  EXPECT_EQ(Cell(4, 0), "4");
  EXPECT_EQ(Cell(4, 1), "Tom");
  EXPECT_EQ(Cell(4, 2), "화남");
  EXPECT_EQ(Cell(4, 3), "t.wav");
  EXPECT_EQ(Cell(4, 4), "line\r\nbreak");
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(dialog.changed);
  EXPECT_TRUE(app_.pendingAdditions.IsEmpty());
}

TEST_F(LineCommands, ModifyAfterClearStoresEmptyTextAndSoundButKeepsTheExpression) {
  app_.document.SetColumns(1, 1, 1);
  plot_ = AddTestPlot(app_.document, "p", 0, 10, {{"민준", "웃음", "m.wav", "text"}});
  Open("p");
  Click(CLineEditDlg::kClear);
  Click(CLineEditDlg::kModify);
  EXPECT_STREQ(Line(0).GetText(), "");
  EXPECT_STREQ(Line(0).GetSound(), "");
  EXPECT_STREQ(Line(0).GetExpression(), "웃음");
  EXPECT_EQ(Cell(0, 2), "웃음");
  EXPECT_STREQ(Line(0).GetSpeaker(), "");  // nothing remembered yet
}

TEST_F(LineCommands, ModifyWithTheOptionsOffKeepsSpeakerExpressionAndSound) {
  app_.document.SetColumns(0, 0, 0);
  plot_ = AddTestPlot(app_.document, "p", 0, 10, {{"민준", "웃음", "m.wav", "text"}});
  Open("p");
  SetTextField("new");
  Click(CLineEditDlg::kModify);
  // Columns switched off are not shown, so Modify leaves those fields as they were.
  EXPECT_STREQ(Line(0).GetSpeaker(), "민준");
  EXPECT_STREQ(Line(0).GetExpression(), "웃음");
  EXPECT_STREQ(Line(0).GetSound(), "m.wav");
  EXPECT_STREQ(Line(0).GetText(), "new");
  EXPECT_EQ(Cell(0, 1), "new");
}

// Delete -------------------------------------------------------------------------------------

TEST_F(LineCommands, DeleteRemovesRowsOnlyAndSelectsTheRowThatTookTheFirstPlace) {
  CLineEditDlg& dialog = OpenSeven();
  SelectOnly({1, 3});
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 2, 4, 5, 6}));
  EXPECT_EQ(SelectedRows(), std::vector<int>{1});
  EXPECT_EQ(TextField(), "two");
  EXPECT_EQ(app_.document.GetLines().GetCount(), 7);  // still there until OK
  EXPECT_EQ(app_.pendingDeletions.GetCount(), 2);
  EXPECT_TRUE(dialog.changed);
}

TEST_F(LineCommands, DeleteOfTheLastRowsSelectsTheNewLastRow) {
  OpenSeven();
  SelectOnly({5, 6});
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(SelectedRows(), std::vector<int>{4});
}

TEST_F(LineCommands, DeleteOfEveryRowLeavesNoSelectionAndDisablesModifyAndDelete) {
  CLineEditDlg& dialog = OpenSeven();
  Rows()->selectAll();
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(RowCount(), 0);
  EXPECT_FALSE(dialog.Control(CLineEditDlg::kModify)->isEnabled());
  EXPECT_EQ(app_.pendingDeletions.GetCount(), 7);
  // Nothing selected: a second Delete does nothing.
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(app_.pendingDeletions.GetCount(), 7);
}

TEST_F(LineCommands, DeleteThenAddDoesNotReuseAPendingDeletionsId) {
  OpenSeven();
  SelectOnly({0});
  Click(CLineEditDlg::kDelete);
  // The counter (7) is at the end of the range 0 to 7, so the allocation starts again at 0.
  SetField(CLineEditDlg::kRangeHigh, "7");
  DebugCapture capture;
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"在指定范围内已经没有剩余的ID！"});
  EXPECT_EQ(RowIds(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  // Once OK has removed line 0, its ID is free again.
  Click(CLineEditDlg::kOk);
  Open("p");
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(RowIds().back(), 0);
}

TEST_F(LineCommands, DeleteThatCannotRecordItsLinesStoresNothing) {
  CLineEditDlg& dialog = OpenSeven();
  SelectOnly({1, 3, 5});
  DebugCapture capture;
  platform::FailAllocationAfter(2);
  Click(CLineEditDlg::kDelete);
  platform::ResetAllocationFaults();
  EXPECT_EQ(RowCount(), 7);
  EXPECT_TRUE(app_.pendingDeletions.IsEmpty());
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 3, 5}));
  EXPECT_FALSE(dialog.changed);
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{"CQHList::NewNode() Error(0) : Not enough memory!"});
}

// OK -----------------------------------------------------------------------------------------

TEST_F(LineCommands, OkAppliesDeletionsKeepsAdditionsAndStoresNameAndRange) {
  CLineEditDlg& dialog = OpenSeven();
  SelectOnly({0});
  Click(CLineEditDlg::kDelete);
  SetTextField("added");
  Click(CLineEditDlg::kAdd);
  SetField(CLineEditDlg::kName, "renamed");
  SetField(CLineEditDlg::kRangeHigh, "300");
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(dialog.result(), toolkit::kIdOk);
  // Add went after the row that the Delete selected.
  EXPECT_EQ(Members(), (std::vector<int>{1, 7, 2, 3, 4, 5, 6}));
  EXPECT_EQ(app_.document.FindItem(0), nullptr);
  EXPECT_STREQ(app_.document.GetPlot(plot_).GetName(), "renamed");
  int low, high;
  app_.document.GetPlot(plot_).GetRange(low, high);
  EXPECT_EQ(high, 300);
  EXPECT_EQ(dialog.plotName, "renamed");
  EXPECT_FALSE(Pending());
}

TEST_F(LineCommands, OkAtOnceLeavesTheChangedFlagClearAndCancelAtOnceAsksNothing) {
  CLineEditDlg& dialog = OpenSeven();
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(dialog.result(), toolkit::kIdOk);
  EXPECT_FALSE(dialog.changed);
  Open("p");
  dialog_->reject();
  EXPECT_EQ(dialog_->result(), toolkit::kIdCancel);
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(LineCommands, OkSetsTheChangedFlagForANewRangeAlone) {
  CLineEditDlg& dialog = OpenSeven();
  SetField(CLineEditDlg::kRangeLow, "1");
  Click(CLineEditDlg::kOk);
  EXPECT_TRUE(dialog.changed);
}

TEST_F(LineCommands, OkRefusesAnotherPlotsNameAndStoresAnEmptyNameWithoutAMessage) {
  AddTestPlot(app_.document, "other", -1, -1, {});
  CLineEditDlg& dialog = OpenSeven();
  SetField(CLineEditDlg::kName, "other");
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"情节名字重复(other)！添加情节失败！"});
  EXPECT_STREQ(app_.document.GetPlot(plot_).GetName(), "p");
  EXPECT_FALSE(dialog.changed);
  EXPECT_FALSE(dialog.committed);  // nothing applied: the dialog stays open
  app_.prompts.Clear();
  Open("other");
  SetField(CLineEditDlg::kName, "");
  Click(CLineEditDlg::kOk);
  EXPECT_STREQ(app_.document.GetPlot(app_.document.GetFirstPlot()).GetName(), "");
  EXPECT_EQ(dialog_->plotName, "");
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(LineCommands, OkWithABadRangeFieldPromptsTwiceAndStaysOpenWithTheChangesApplied) {
  CLineEditDlg& dialog = OpenSeven();
  dialog.show();
  SelectOnly({0});
  Click(CLineEditDlg::kDelete);
  SetField(CLineEditDlg::kName, "renamed");
  SetField(CLineEditDlg::kRangeHigh, "");
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(app_.prompts.Texts(),
            (std::vector<std::string>{"请键入一个整数。", "请键入一个整数。"}));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(app_.document.FindItem(0), nullptr);
  EXPECT_STREQ(app_.document.GetPlot(plot_).GetName(), "renamed");
  int low, high;
  app_.document.GetPlot(plot_).GetRange(low, high);
  EXPECT_EQ(high, 100);
  EXPECT_FALSE(Pending());
  // Cancel now removes nothing more and asks, as the dialog has changed the document.
  app_.prompts.QueueYes();
  dialog.reject();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.plotName, "renamed");
  EXPECT_EQ(app_.document.GetLines().GetCount(), 6);
}

// Cancel -------------------------------------------------------------------------------------

TEST_F(LineCommands, CancelAsksWhenChangedAndNoKeepsEverything) {
  CLineEditDlg& dialog = OpenSeven();
  dialog.show();
  Click(CLineEditDlg::kAdd);
  SelectOnly({0});
  Click(CLineEditDlg::kDelete);
  app_.prompts.QueueNo();
  Click(CLineEditDlg::kCancel);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kQuestion);
  EXPECT_EQ(app_.prompts.records()[0].text, "内容被修改了，退出吗？");
  EXPECT_EQ(app_.prompts.records()[0].caption, "警告");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(app_.pendingAdditions.GetCount(), 1);
  EXPECT_EQ(app_.pendingDeletions.GetCount(), 1);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 8);
}

TEST_F(LineCommands, CancelLeavesTheDocumentAsWhenTheEditorOpened) {
  CLineEditDlg& dialog = OpenSeven();
  const std::string before = DocumentDump(app_.document);
  SelectOnly({1});
  ChooseSpeaker(2);  // 민준
  SetTextField("modified");
  SetField(CLineEditDlg::kSound, "changed.wav");
  Click(CLineEditDlg::kModify);
  Click(CLineEditDlg::kModify);  // twice: the first state is the one put back
  SetField(CLineEditDlg::kRangeLow, "40");
  SetField(CLineEditDlg::kRangeHigh, "60");
  Click(CLineEditDlg::kAdd);
  SelectOnly({3});
  Click(CLineEditDlg::kDelete);
  app_.prompts.QueueYes();
  Click(CLineEditDlg::kCancel);
  EXPECT_EQ(dialog.result(), toolkit::kIdCancel);
  EXPECT_TRUE(dialog.changed);
  EXPECT_FALSE(dialog.committed);
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(app_.document.FindItem(40), nullptr);
  // Texts of every line, members and the range exactly as before.
  EXPECT_EQ(DocumentDump(app_.document), before);
  EXPECT_FALSE(Pending());
  // The deleted line appears again the next time the plot is edited.
  Open("p");
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(LineCommands, CancelHandsBackThePlotsNameNotTheNameFieldLastRead) {
  CLineEditDlg& dialog = OpenSeven();
  SetField(CLineEditDlg::kName, "typed");
  Click(CLineEditDlg::kAdd);
  EXPECT_EQ(dialog.plotName, "typed");
  app_.prompts.QueueYes();
  dialog.reject();
  EXPECT_EQ(dialog.plotName, "p");
  EXPECT_STREQ(app_.document.GetPlot(plot_).GetName(), "p");
}

TEST_F(LineCommands, AnAddedLineDeletedAgainLeavesTheDocumentOnceOnOk) {
  OpenSeven();
  Click(CLineEditDlg::kAdd);
  SelectOnly({7});
  Click(CLineEditDlg::kDelete);
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 7);
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(Pending());
}

TEST_F(LineCommands, AnAddedLineDeletedAgainLeavesTheDocumentOnceOnCancel) {
  CLineEditDlg& dialog = OpenSeven();
  Click(CLineEditDlg::kAdd);
  SelectOnly({7});
  Click(CLineEditDlg::kDelete);
  app_.prompts.QueueYes();
  dialog.reject();
  EXPECT_EQ(app_.document.GetLines().GetCount(), 7);
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(Pending());
}

TEST_F(LineCommands, CloseBoxRunsCancel) {
  CLineEditDlg& dialog = OpenSeven();
  dialog.show();
  Click(CLineEditDlg::kAdd);
  app_.prompts.QueueNo();
  dialog.close();
  EXPECT_TRUE(dialog.isVisible());
  app_.prompts.QueueYes();
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(app_.document.GetLines().GetCount(), 7);
}

TEST_F(LineCommands, AnEditorDestroyedWithoutClosingLeavesNoPendingLines) {
  OpenSeven();
  Click(CLineEditDlg::kAdd);
  SelectOnly({0});
  Click(CLineEditDlg::kDelete);
  dialog_.reset();
  EXPECT_FALSE(Pending());
  EXPECT_EQ(Members(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

// A damaged file can give two plots lines of one ID; each editor works on its own plot's line.
TEST_F(LineCommands, DuplicateIdsInAnotherPlotAreNeverTouched) {
  PlotPos first = app_.document.AddPlot("first", -1, -1);
  PlotPos second = app_.document.AddPlot("second", -1, -1);
  for (PlotPos plot : {first, second}) {
    CDlgItem line;
    line.SetID(5);
    line.SetText(plot == first ? "first's" : "second's");
    ASSERT_NE(app_.document.AddItem(line, plot, nullptr), nullptr);
  }
  Open("second");
  EXPECT_EQ(TextField(), "second's");
  SetTextField("changed");
  Click(CLineEditDlg::kModify);
  Click(CLineEditDlg::kDelete);
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(MemberIds(app_.document, first), std::vector<int>{5});
  EXPECT_EQ(MemberIds(app_.document, second), std::vector<int>{});
  EXPECT_STREQ(Line(5).GetText(), "first's");
  EXPECT_EQ(app_.document.GetLines().GetCount(), 1);
}

}  // namespace
