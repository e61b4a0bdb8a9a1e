// The line editor's window: template, columns, opening, loading a row, the speaker and
// expression lists, Clear and the text field's keys.
#include "editor/line_edit_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <cstdio>

#include "editor/line_editor_fixture.h"
#include "support/debug_capture.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;

TEST_F(LineEditorTest, CaptionSizeLabelsAndEveryControlAtItsTemplateRow) {
  AddTestPlot(app_.document, "p", -1, -1, {});
  CLineEditDlg& dialog = Open("p");
  EXPECT_EQ(dialog.windowTitle(), Utf8("대화 편집"));
  EXPECT_EQ(dialog.size(), toolkit::DialogSizeToPixels(dialog.baseUnits(), 360, 254));
  const toolkit::DialogTemplate& t = CLineEditDlg::Template();
  ASSERT_EQ(t.controls.size(), 16u);  // the row filter besides the described controls
  for (const toolkit::ControlTemplate& row : t.controls) {
    EXPECT_EQ(dialog.Control(row.id)->geometry(), toolkit::ControlRect(dialog.baseUnits(), row))
        << row.id;
  }
  // Wide enough for any ID; the name field gave them the room.
  EXPECT_EQ(dialog.Control(CLineEditDlg::kRangeHigh)->geometry(),
            toolkit::DialogUnitsToPixels(dialog.baseUnits(), 219, 235, 48, 12));
  const std::pair<int, const char*> labels[] = {
      {CLineEditDlg::kClear, "Clear"}, {CLineEditDlg::kAdd, "추가"},
      {CLineEditDlg::kModify, "수정"}, {CLineEditDlg::kDelete, "삭제"},
      {CLineEditDlg::kOk, "확인"},     {CLineEditDlg::kCancel, "취소"},
      {CLineEditDlg::kFrame, ""},
  };
  for (const auto& [id, label] : labels) {
    EXPECT_EQ(toolkit::WidgetText(dialog.Control(id)), Utf8(label)) << label;
  }
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
  }
  EXPECT_EQ(Rows()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(Rows()->selectionBehavior(), QAbstractItemView::SelectRows);
}

struct ColumnCase {
  const char* name;
  int speaker, expression, sound;
  std::vector<const char*> headers;
};

void PrintTo(const ColumnCase& c, std::ostream* out) {
  *out << c.name;
}

class LineEditorColumns : public LineEditorTest, public testing::WithParamInterface<ColumnCase> {};

TEST_P(LineEditorColumns, FollowTheDocumentOptionsWithoutGaps) {
  const ColumnCase& c = GetParam();
  app_.document.SetColumns(c.speaker, c.expression, c.sound);
  AddTestPlot(app_.document, "p", 0, 10, {{"Tom", "화남", "t.wav", "hello"}});
  CLineEditDlg& dialog = Open("p");
  ASSERT_EQ(Rows()->columnCount(), static_cast<int>(c.headers.size()));
  for (int i = 0; i < Rows()->columnCount(); ++i) {
    EXPECT_EQ(Rows()->headerItem()->text(i), Utf8(c.headers[i])) << i;
    EXPECT_EQ(Rows()->headerItem()->textAlignment(i) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  }
  // The cells follow the same columns, the text always in the last one.
  EXPECT_EQ(Cell(0, 0), "0");
  EXPECT_EQ(Cell(0, Rows()->columnCount() - 1), "hello");
  if (c.speaker) EXPECT_EQ(Cell(0, dialog.columns().speaker), "Tom");
  if (c.sound) EXPECT_EQ(Cell(0, dialog.columns().sound), "t.wav");
  EXPECT_EQ(dialog.speakerList()->isHidden(), c.speaker == 0);
  EXPECT_EQ(dialog.expressionList()->isHidden(), c.expression == 0);
  EXPECT_EQ(dialog.Control(CLineEditDlg::kSound)->isHidden(), c.sound == 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllOptions, LineEditorColumns,
    testing::Values(ColumnCase{"All", 1, 1, 1, {"ID", "화자", "표정", "소리", "대화"}},
                    ColumnCase{"None", 0, 0, 0, {"ID", "대화"}},
                    ColumnCase{"NoSpeaker", 0, 1, 1, {"ID", "표정", "소리", "대화"}},
                    ColumnCase{"NoExpression", 1, 0, 1, {"ID", "화자", "소리", "대화"}},
                    ColumnCase{"NoSound", 1, 1, 0, {"ID", "화자", "표정", "대화"}},
                    ColumnCase{"SoundOnly", 0, 0, 1, {"ID", "소리", "대화"}}),
    [](const testing::TestParamInfo<ColumnCase>& info) { return std::string(info.param.name); });

TEST_F(LineEditorTest, ColumnWidthsInPixels) {
  AddTestPlot(app_.document, "p", -1, -1, {});
  Open("p");
  const int widths[] = {80, 80, 80, 100, 1600};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Rows()->columnWidth(i), widths[i]) << i;
}

TEST_F(LineEditorTest, UnknownPlotShowsMessage301AndClosesWithoutTouchingTheDocument) {
  AddTestPlot(app_.document, "Scene", 0, 10, {{"Tom", "", "", "a"}});
  CLineEditDlg& dialog = Open("scene");
  EXPECT_FALSE(opened_);
  EXPECT_EQ(dialog.result(), toolkit::kIdCancel);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kMessage);
  EXPECT_EQ(app_.prompts.records()[0].text, "该段情节没有找到(scene)！");
  EXPECT_EQ(app_.prompts.records()[0].caption, "Parlatrix");
  EXPECT_EQ(Rows()->columnCount(), 0);
  EXPECT_EQ(dialog.plot(), nullptr);
  EXPECT_EQ(dialog.plotName, "scene");
  EXPECT_FALSE(dialog.changed);
  // Nothing reaches the document, whatever is pressed.
  Click(CLineEditDlg::kAdd);
  Click(CLineEditDlg::kOk);
  dialog.reject();
  EXPECT_EQ(app_.document.GetLines().GetCount(), 1);
  EXPECT_STREQ(app_.document.GetPlot(app_.document.GetFirstPlot()).GetName(), "Scene");
  EXPECT_TRUE(app_.pendingAdditions.IsEmpty());
}

TEST_F(LineEditorTest, OpensWithRowsInPlotOrderTheLastSelectedAndItsValuesLoaded) {
  PlotPos plot = AddTestPlot(app_.document, "장면", 100, 200,
                             {{"TOMMY", "기본", "a.wav", "first"},
                              {"민준", "웃음", "b.wav", "둘째\r\n줄"},
                              {"서연", "", "c.wav", "셋째"}});
  // A member order that differs from the document's line order.
  CDlgItem extra;
  extra.SetText("inserted");
  ASSERT_NE(app_.document.AddItem(extra, plot, app_.document.FindItem(100)), nullptr);
  CLineEditDlg& dialog = Open("장면");
  ASSERT_TRUE(opened_);
  EXPECT_EQ(RowIds(), (std::vector<int>{100, 103, 101, 102}));
  EXPECT_EQ(Cell(1, 0), "103");
  EXPECT_EQ(Cell(2, 1), "민준");
  EXPECT_EQ(Cell(2, 2), "웃음");
  EXPECT_EQ(Cell(2, 3), "b.wav");
  EXPECT_EQ(Cell(2, 4), "둘째\r\n줄");
  EXPECT_EQ(SelectedRows(), std::vector<int>{3});
  EXPECT_EQ(TextField(), "셋째");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kSound), "c.wav");
  EXPECT_EQ(Selected(dialog.speakerList()), "서연");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kName), "장면");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kRangeLow), "100");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kRangeHigh), "200");
  EXPECT_FALSE(dialog.changed);
  EXPECT_TRUE(dialog.Control(CLineEditDlg::kModify)->isEnabled());
  EXPECT_TRUE(dialog.Control(CLineEditDlg::kDelete)->isEnabled());
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor has ended
}

TEST_F(LineEditorTest, EmptyPlotOpensWithEmptyFieldsItsNameAndRangeAndButtonsEnabled) {
  AddTestPlot(app_.document, "empty", 5, 9, {});
  CLineEditDlg& dialog = Open("empty");
  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(TextField(), "");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kSound), "");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kName), "empty");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kRangeLow), "5");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kRangeHigh), "9");
  EXPECT_TRUE(dialog.Control(CLineEditDlg::kModify)->isEnabled());
  EXPECT_TRUE(dialog.Control(CLineEditDlg::kDelete)->isEnabled());
  // Speakers in configuration order, none chosen; no expressions until one is.
  EXPECT_EQ(Entries(dialog.speakerList()),
            (std::vector<std::string>{"TOMMY", "Tom", "민준", "서연"}));
  EXPECT_EQ(dialog.speakerList()->currentIndex(), -1);
  EXPECT_EQ(dialog.expressionList()->count(), 0);
}

TEST_F(LineEditorTest, TextFieldHasTheFocusWhenShown) {
  AddTestPlot(app_.document, "p", -1, -1, {{"", "", "", "x"}});
  CLineEditDlg& dialog = Open("p");
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.focusWidget(), dialog.textField());
}

TEST_F(LineEditorTest, NameAndSoundFieldsLimitTypingInBytes) {
  AddTestPlot(app_.document, "p", -1, -1, {});
  Open("p");
  Field(CLineEditDlg::kName)->setText(QString(70, 'n'));
  Field(CLineEditDlg::kSound)->setText(QString(260, 's'));
  EXPECT_EQ(Field(CLineEditDlg::kName)->text().size(), 63);
  EXPECT_EQ(Field(CLineEditDlg::kSound)->text().size(), 250);
}

TEST_F(LineEditorTest, MissingConfigurationLeavesTheSpeakerListEmpty) {
  std::remove("Parlatrix.ini");
  AddTestPlot(app_.document, "p", -1, -1, {{"Tom", "화남", "", "x"}});
  DebugCapture capture;
  CLineEditDlg& dialog = Open("p");
  EXPECT_EQ(dialog.speakerList()->count(), 0);
  EXPECT_EQ(dialog.expressionList()->count(), 0);
  EXPECT_EQ(dialog.rememberedSpeaker, "Tom");
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(LineEditorTest, ConfigurationStoppingAtAMissingSectionKeepsEntriesButNoList) {
  WriteFileBytes("Parlatrix.ini",
                 "[PARLATRIX]\nHEADCOUNT=2\n[FACE]\nFACECOUNT=1\nFACE=a\n"
                 "[FACE000]\nNAME=Tom\nCOUNT=1\nFACE=0\n");
  AddTestPlot(app_.document, "p", -1, -1, {});
  DebugCapture capture;
  CLineEditDlg& dialog = Open("p");
  EXPECT_EQ(dialog.speakerEntries().GetCount(), 1);
  EXPECT_EQ(dialog.speakerList()->count(), 0);
}

TEST_F(LineEditorTest, PrefixSearchTakesTheFirstListedSpeakerIgnoringCase) {
  AddTestPlot(app_.document, "p", 0, 10, {{"Tom", "웃음", "", "a"}, {"tommy", "", "", "b"}});
  CLineEditDlg& dialog = Open("p");
  // "tommy" selects TOMMY (case-insensitive) and fills TOMMY's expressions.
  EXPECT_EQ(Selected(dialog.speakerList()), "TOMMY");
  EXPECT_EQ(Entries(dialog.expressionList()), (std::vector<std::string>{"기본", "웃음"}));
  EXPECT_EQ(dialog.expressionList()->currentIndex(), -1);  // an empty expression matches none
  // "Tom" is the beginning of TOMMY, which is listed first.
  SelectOnly({0});
  EXPECT_EQ(dialog.speakerList()->currentIndex(), 0);
  EXPECT_EQ(Selected(dialog.expressionList()), "웃음");
  EXPECT_EQ(dialog.rememberedSpeaker, "");
}

TEST_F(LineEditorTest, UnlistedSpeakerKeepsThePreviousExpressionsAndIsRemembered) {
  AddTestPlot(
      app_.document, "p", 0, 10,
      {{"민준", "놀람", "", "a"}, {"Stranger", "놀람", "", "b"}, {"Stranger", "화남", "", "c"}});
  CLineEditDlg& dialog = Open("p");
  SelectOnly({0});
  SelectOnly({1});
  EXPECT_EQ(dialog.speakerList()->currentIndex(), -1);
  EXPECT_EQ(Entries(dialog.expressionList()), (std::vector<std::string>{"기본", "웃음", "놀람"}));
  EXPECT_EQ(Selected(dialog.expressionList()), "놀람");
  EXPECT_EQ(dialog.rememberedSpeaker, "Stranger");
  // An expression that the kept entries do not list leaves the list without a selection.
  SelectOnly({2});
  EXPECT_EQ(dialog.expressionList()->currentIndex(), -1);
  // A listed speaker does not clear the remembered name.
  SelectOnly({0});
  EXPECT_EQ(dialog.rememberedSpeaker, "Stranger");
}

TEST_F(LineEditorTest, ChoosingASpeakerSelectsItsFirstExpressionAndReadsTheFieldsFirst) {
  AddTestPlot(app_.document, "p", 0, 10, {});
  CLineEditDlg& dialog = Open("p");
  SetField(CLineEditDlg::kName, "renamed");
  SetField(CLineEditDlg::kRangeLow, "3");
  ChooseSpeaker(2);
  EXPECT_EQ(Entries(dialog.expressionList()), (std::vector<std::string>{"기본", "웃음", "놀람"}));
  EXPECT_EQ(Selected(dialog.expressionList()), "기본");
  EXPECT_EQ(dialog.plotName, "renamed");
  EXPECT_EQ(dialog.rangeLow, 3);
  // A speaker without expressions empties the list.
  ChooseSpeaker(3);
  EXPECT_EQ(dialog.expressionList()->count(), 0);
  EXPECT_FALSE(dialog.changed);
}

TEST_F(LineEditorTest, ExpressionListStaysEmptyWhenTheSpeakerOptionIsOff) {
  app_.document.SetColumns(0, 1, 0);
  AddTestPlot(app_.document, "p", 0, 10, {{"Tom", "화남", "", "a"}});
  CLineEditDlg& dialog = Open("p");
  EXPECT_EQ(dialog.expressionList()->count(), 0);
  EXPECT_EQ(dialog.expressionList()->currentIndex(), -1);
}

TEST_F(LineEditorTest, ClickingARowBringsBackTheRangeLastRead) {
  AddTestPlot(app_.document, "p", 10, 20, {{"", "", "", "a"}, {"", "", "", "b"}});
  Open("p");
  SetField(CLineEditDlg::kRangeLow, "50");
  SetField(CLineEditDlg::kName, "typed");
  SelectOnly({0});
  EXPECT_EQ(FieldBytes(CLineEditDlg::kRangeLow), "10");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kName), "p");
  EXPECT_EQ(TextField(), "a");
}

TEST_F(LineEditorTest, DeselectingEveryRowDisablesModifyAndDeleteAndKeepsTheFields) {
  AddTestPlot(app_.document, "p", 0, 10, {{"", "", "", "a"}});
  CLineEditDlg& dialog = Open("p");
  SetTextField("typed");
  Rows()->clearSelection();
  EXPECT_FALSE(dialog.Control(CLineEditDlg::kModify)->isEnabled());
  EXPECT_FALSE(dialog.Control(CLineEditDlg::kDelete)->isEnabled());
  EXPECT_EQ(TextField(), "typed");
}

TEST_F(LineEditorTest, ClearEmptiesTextSoundAndBothChoicesButKeepsTheRowSelection) {
  AddTestPlot(app_.document, "p", 0, 10, {{"민준", "웃음", "m.wav", "text"}});
  CLineEditDlg& dialog = Open("p");
  SetField(CLineEditDlg::kRangeHigh, "99");
  Click(CLineEditDlg::kClear);
  EXPECT_EQ(TextField(), "");
  EXPECT_EQ(FieldBytes(CLineEditDlg::kSound), "");
  EXPECT_EQ(dialog.speakerList()->currentIndex(), -1);
  EXPECT_EQ(dialog.expressionList()->currentIndex(), -1);
  EXPECT_EQ(SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(FieldBytes(CLineEditDlg::kRangeHigh), "10");  // not read, so shown as last read
  EXPECT_FALSE(dialog.changed);
  EXPECT_STREQ(Line(0).GetText(), "text");
}

class LineEditorKeys : public LineEditorTest {
 protected:
  CLineEditDlg& OpenShown() {
    AddTestPlot(app_.document, "p", 0, 10, {});
    CLineEditDlg& dialog = Open("p");
    dialog.show();
    QApplication::processEvents();
    dialog.textField()->setFocus();
    return dialog;
  }
  void Key(QWidget* target, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
  }
};

TEST_F(LineEditorKeys, EnterInTheTextFieldStartsANewLineAndPressesNoButton) {
  CLineEditDlg& dialog = OpenShown();
  Key(dialog.textField(), 0, QStringLiteral("a"));
  Key(dialog.textField(), Qt::Key_Return, QStringLiteral("\r"));
  Key(dialog.textField(), 0, QStringLiteral("b"));
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.text, "a\r\nb");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 0);
}

TEST_F(LineEditorKeys, EscapeInTheTextFieldNeitherClosesNorAsks) {
  CLineEditDlg& dialog = OpenShown();
  dialog.changed = true;  // a Cancel would ask; no question may come
  Key(dialog.textField(), Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.focusWidget(), dialog.textField());
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(LineEditorKeys, TabInTheTextFieldMovesOnAndCtrlTabTypesATab) {
  CLineEditDlg& dialog = OpenShown();
  QKeyEvent ctrlTab(QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier, QStringLiteral("\t"));
  QApplication::sendEvent(dialog.textField(), &ctrlTab);
  EXPECT_EQ(dialog.textField()->toPlainText(), QStringLiteral("\t"));
  EXPECT_EQ(dialog.focusWidget(), dialog.textField());
  Key(dialog.textField(), Qt::Key_Tab, QStringLiteral("\t"));
  EXPECT_NE(dialog.focusWidget(), dialog.textField());
  EXPECT_EQ(dialog.textField()->toPlainText(), QStringLiteral("\t"));
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(LineEditorKeys, EscapeElsewhereRunsCancel) {
  CLineEditDlg& dialog = OpenShown();
  Field(CLineEditDlg::kSound)->setFocus();
  Key(Field(CLineEditDlg::kSound), Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), toolkit::kIdCancel);
}

TEST_F(LineEditorKeys, EnterInAOneLineFieldDoesNothing) {
  CLineEditDlg& dialog = OpenShown();
  Field(CLineEditDlg::kName)->setFocus();
  SetField(CLineEditDlg::kName, "renamed");
  Key(Field(CLineEditDlg::kName), Qt::Key_Return, QStringLiteral("\r"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.plotName, "p");
  EXPECT_TRUE(app_.prompts.records().empty());
}

}  // namespace
