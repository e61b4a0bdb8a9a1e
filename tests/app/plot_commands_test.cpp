// The main window's plot commands (Add, Edit, Delete, double-click) and the name input dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

#include "app/main_dlg.h"
#include "app/name_input_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "support/ui/test_app_context.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;

// The name input dialog answers with `name` and OK.
void AnswerName(const char* name) {
  OnNextDialog<CNameInputDlg>([name](CNameInputDlg& dialog) {
    dialog.ControlAs<QLineEdit>(CNameInputDlg::kName)->setText(Utf8(name));
    dialog.ControlAs<QPushButton>(CNameInputDlg::kOk)->click();
  });
}

class PlotCommands : public MainWindowTest {
 protected:
  PlotCommands() { WriteFileBytes("Parlatrix.ini", kTestIni); }

  // The window on a saved file of plots "A" (two lines) and "B" (one line).
  CMainDlg& OpenFile() {
    const std::string path = temp_.File("ab.dlg");
    SaveTestDocument(path, "game",
                     {{"A", 0, 10, {{"Tom", "", "", "a0"}, {"Tom", "", "", "a1"}}},
                      {"B", 10, 20, {{"민준", "", "", "b0"}}}});
    CMainDlg& dialog = Open();
    EXPECT_TRUE(dialog.LoadFile(path));
    return dialog;
  }
  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < dialog_->plotList()->count(); ++i) {
      entries.push_back(toolkit::ListEntryBytes(dialog_->plotList()->item(i)));
    }
    return entries;
  }
  std::vector<std::string> PlotNames() {
    std::vector<std::string> names;
    for (PlotPos pos = app_.document.GetFirstPlot(); pos != nullptr;) {
      names.push_back(app_.document.GetNextPlot(pos).GetName().c_str());
    }
    return names;
  }
  bool Selected() const { return !dialog_->plotList()->selectedItems().isEmpty(); }
  bool EditEnabled() const { return dialog_->Control(CMainDlg::kEditPlot)->isEnabled(); }
  bool Pending() const {
    return !app_.pendingAdditions.IsEmpty() || !app_.pendingDeletions.IsEmpty();
  }
};

TEST(NameInputDlg, TemplateLabelsAndByteLimit) {
  toolkit::ScriptedPrompts prompts;
  CNameInputDlg dialog(prompts);
  ASSERT_TRUE(dialog.InitDialog());
  EXPECT_EQ(dialog.windowTitle(), Utf8("이름 입력"));
  EXPECT_EQ(dialog.size(), toolkit::DialogSizeToPixels(dialog.baseUnits(), 186, 50));
  for (const toolkit::ControlTemplate& row : CNameInputDlg::Template().controls) {
    EXPECT_EQ(dialog.Control(row.id)->geometry(), toolkit::ControlRect(dialog.baseUnits(), row));
  }
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CNameInputDlg::kNameLabel)), Utf8("이름 입력 :"));
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CNameInputDlg::kOk)), Utf8("OK"));
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CNameInputDlg::kCancel)), Utf8("Cancel"));
  EXPECT_TRUE(dialog.ControlAs<QPushButton>(CNameInputDlg::kOk)->isDefault());
  auto* field = dialog.ControlAs<QLineEdit>(CNameInputDlg::kName);
  EXPECT_EQ(field->text(), QString());
  // 21 Hangul syllables are 63 bytes in UTF-8; the 22nd does not fit.
  for (int i = 0; i < 22; ++i) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, Utf8("가"));
    QApplication::sendEvent(field, &key);
  }
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.name.size(), 63u);
}

TEST(NameInputDlg, EnterConfirmsWithTheNameAsTyped) {
  toolkit::ScriptedPrompts prompts;
  CNameInputDlg dialog(prompts);
  ASSERT_TRUE(dialog.InitDialog());
  dialog.show();
  auto* field = dialog.ControlAs<QLineEdit>(CNameInputDlg::kName);
  field->setFocus();
  field->setText(QStringLiteral("  two blanks  "));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(field, &enter);
  EXPECT_EQ(dialog.result(), toolkit::kIdOk);
  EXPECT_EQ(dialog.name, "  two blanks  ");
}

TEST_F(PlotCommands, AddOnAWindowWithoutAFileAppendsSelectsAndMarksTheTitle) {
  CMainDlg& dialog = Open();
  AnswerName("1장");
  Click(CMainDlg::kAddPlot);
  EXPECT_EQ(Entries(), std::vector<std::string>{"1장"});
  EXPECT_EQ(dialog.plotList()->currentRow(), 0);
  EXPECT_TRUE(Selected());
  EXPECT_TRUE(EditEnabled());
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[] *"));
  ASSERT_EQ(PlotNames(), std::vector<std::string>{"1장"});
  int low, high;
  app_.document.GetPlot(app_.document.GetFirstPlot()).GetRange(low, high);
  EXPECT_EQ(low, -1);
  EXPECT_EQ(high, -1);
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(PlotCommands, AddWithATakenNameShowsTheMessageAndChangesNothing) {
  CMainDlg& dialog = OpenFile();
  AnswerName("B");
  Click(CMainDlg::kAddPlot);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kMessage);
  EXPECT_EQ(app_.prompts.records()[0].text, "情节名字重复(B)！添加情节失败！");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(PlotNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.AddPlotByName("A"), -1);
}

TEST_F(PlotCommands, AddCancelledOrWithAnEmptyNameDoesNothing) {
  CMainDlg& dialog = OpenFile();
  OnNextDialog<CNameInputDlg>([](CNameInputDlg& input) {
    input.ControlAs<QLineEdit>(CNameInputDlg::kName)->setText(QStringLiteral("C"));
    input.reject();
  });
  Click(CMainDlg::kAddPlot);
  AnswerName("");
  Click(CMainDlg::kAddPlot);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(dialog.modified());
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(PlotCommands, NamesThatDifferInCaseOrByATrailingBlankAreDifferentPlots) {
  CMainDlg& dialog = Open();
  EXPECT_EQ(dialog.AddPlotByName("Scene"), 0);
  EXPECT_EQ(dialog.AddPlotByName("scene"), 1);
  EXPECT_EQ(dialog.AddPlotByName("Scene "), 2);
  EXPECT_EQ(dialog.AddPlotByName("   "), 3);
  EXPECT_EQ(PlotNames(), (std::vector<std::string>{"Scene", "scene", "Scene ", "   "}));
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(PlotCommands, EditRenameAndConfirmReplacesTheEntryInPlaceAndClearsTheSelection) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(0);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) {
    EXPECT_EQ(editor.plotName, "A");
    editor.ControlAs<QLineEdit>(CLineEditDlg::kName)->setText(QStringLiteral("A2"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A2", "B"}));
  EXPECT_EQ(PlotNames(), (std::vector<std::string>{"A2", "B"}));
  EXPECT_FALSE(Selected());
  EXPECT_FALSE(EditEnabled());
  EXPECT_FALSE(dialog.Control(CMainDlg::kDeletePlot)->isEnabled());
  EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral(" *")));
  EXPECT_FALSE(Pending());
}

TEST_F(PlotCommands, AddThenEditAndCancelUnchangedKeepsTheModifiedMark) {
  CMainDlg& dialog = Open();
  ASSERT_EQ(dialog.AddPlotByName("new"), 0);
  dialog.plotList()->setCurrentRow(0);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) { editor.reject(); });
  Click(CMainDlg::kEditPlot);
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[] *"));
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(PlotCommands, EditThatChangesNoLineLeavesAnUnmodifiedWindowUnmodified) {
  CMainDlg& dialog = OpenFile();
  OnNextDialog<CLineEditDlg>(
      [](CLineEditDlg& editor) { editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click(); });
  Click(CMainDlg::kEditPlot);
  EXPECT_FALSE(dialog.modified());
  EXPECT_TRUE(Selected());
}

TEST_F(PlotCommands, EditWithAnAddedLineMarksTheDocumentModified) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(1);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) {
    editor.textField()->setPlainText(QStringLiteral("b1"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kAdd)->click();
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_TRUE(dialog.modified());
  EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral(" *")));
  EXPECT_EQ(MemberIds(app_.document, app_.document.FindPlot("B")), (std::vector<int>{10, 11}));
  EXPECT_FALSE(Pending());
}

TEST_F(PlotCommands, DoubleClickOpensTheEditorOnTheSelectedPlot) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(1);
  std::vector<int> rows;
  OnNextDialog<CLineEditDlg>([&rows](CLineEditDlg& editor) {
    for (int i = 0; i < editor.rowList()->topLevelItemCount(); ++i) rows.push_back(editor.RowId(i));
    editor.reject();
  });
  emit dialog.plotList()->itemDoubleClicked(dialog.plotList()->item(1));
  EXPECT_EQ(rows, std::vector<int>{10});
}

TEST_F(PlotCommands, EditHandsOverTheCheckBoxStateAsItStandsNow) {
  CMainDlg& dialog = OpenFile();
  dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->setChecked(true);
  bool handedOver = false;
  OnNextDialog<CLineEditDlg>([&handedOver](CLineEditDlg& editor) {
    handedOver = editor.multiLine;
    editor.reject();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_TRUE(handedOver);
  EXPECT_TRUE(dialog.multiLine());
}

TEST_F(PlotCommands, EditCancelledAfterTheNameFieldWasReadKeepsTheDocumentsName) {
  CMainDlg& dialog = OpenFile();
  OnNextDialog<CLineEditDlg>([this](CLineEditDlg& editor) {
    editor.ControlAs<QLineEdit>(CLineEditDlg::kName)->setText(QStringLiteral("typed"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kAdd)->click();  // reads the name field
    app_.prompts.QueueYes();
    editor.reject();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(PlotNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(MemberIds(app_.document, app_.document.FindPlot("A")), (std::vector<int>{0, 1}));
  // Cancel took the addition out again: nothing changed.
  EXPECT_FALSE(dialog.modified());
  EXPECT_FALSE(Pending());
  // The entry still finds its plot.
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) { editor.reject(); });
  Click(CMainDlg::kEditPlot);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"内容被修改了，退出吗？"});
}

TEST_F(PlotCommands, EditOfAnEntryThatStandsForNoPlotShowsMessage301AndChangesNothing) {
  CMainDlg& dialog = OpenFile();
  toolkit::AddListEntry(dialog.plotList(), "ghost");  // an entry that carries no plot
  dialog.plotList()->setCurrentRow(2);
  Click(CMainDlg::kEditPlot);  // the editor closes by itself after its message
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"该段情节没有找到(ghost)！"});
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B", "ghost"}));
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(app_.document.GetLines().GetCount(), 3);
  EXPECT_FALSE(Pending());
}

TEST_F(PlotCommands, DeleteRemovesThePlotAndItsLinesAfterTheQuestion) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(0);
  app_.prompts.QueueYes();
  Click(CMainDlg::kDeletePlot);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"确定要删除情节(A)及其全部2行对话吗？"});
  app_.prompts.Clear();
  EXPECT_EQ(Entries(), std::vector<std::string>{"B"});
  EXPECT_EQ(PlotNames(), std::vector<std::string>{"B"});
  EXPECT_EQ(app_.document.GetLines().GetCount(), 1);
  EXPECT_EQ(app_.document.FindItem(0), nullptr);
  EXPECT_FALSE(Selected());
  EXPECT_FALSE(EditEnabled());
  EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral(" *")));
  // Closing now asks the quit question.
  app_.prompts.QueueNo();
  dialog.reject();
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"内容被修改了，退出吗？"});
}

TEST_F(PlotCommands, ARenameToAnotherPlotsNameIsRefusedSoDeleteFindsTheRightPlot) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(1);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) {
    editor.ControlAs<QLineEdit>(CLineEditDlg::kName)->setText(QStringLiteral("A"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
    editor.reject();
  });
  Click(CMainDlg::kEditPlot);
  ASSERT_EQ(Entries(), (std::vector<std::string>{"A", "B"}));
  dialog.plotList()->setCurrentRow(1);
  app_.prompts.QueueYes();
  Click(CMainDlg::kDeletePlot);
  EXPECT_EQ(Entries(), std::vector<std::string>{"A"});
  EXPECT_EQ(app_.document.GetLines().GetCount(), 2);
  EXPECT_NE(app_.document.FindItem(0), nullptr);  // plot A and its lines remain
}

}  // namespace
