// Undo and redo through the real windows: every change made in the main window and in the line
// editor goes back and comes again exactly (IDs, order, texts, the saved bytes), the title's `*`
// follows the saved state, and a replace-all is one step.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <sstream>

#include "app/main_dlg.h"
#include "dialogs/find_dlg.h"
#include "editor/line_edit_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/scoped_codeset.h"
#include "toolkit/text_bytes.h"

namespace {

// Everything of the document a change can touch, as one comparable text.
std::string Dump(const CDlgFile& document) {
  std::ostringstream out;
  for (PlotPos plot = document.GetFirstPlot(); plot != nullptr; plot = plot->next) {
    int low = 0, high = 0;
    plot->value.GetRange(low, high);
    out << "[" << plot->value.GetName().c_str() << " " << low << ".." << high << "]\n";
    for (auto* m = plot->value.members.GetHeadPosition(); m != nullptr; m = m->next) {
      const CDlgItem& line = m->value->value;
      out << line.GetID() << "|" << line.GetSpeaker().c_str() << "|" << line.GetExpression().c_str()
          << "|" << line.GetSound().c_str() << "|" << line.GetText().c_str() << "\n";
    }
  }
  out << "lines " << document.GetLines().GetCount() << "\n";
  return out.str();
}

class Undo : public MainWindowTest {
 protected:
  Undo() { WriteFileBytes("Parlatrix.ini", kTestIni); }

  CMainDlg& OpenFile() {
    path_ = temp_.File("story.dlg");
    SaveTestDocument(
        path_, "game",
        {{"A", 0, 10, {{"Tom", "", "a.wav", "apple one"}, {"Tom", "", "", "apple two"}}},
         {"B", 10, 20, {{"TOMMY", "", "", "banana"}}}});
    return Open(path_);
  }
  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  QUndoStack& History() { return *dialog_->undoStack(); }
  // Undoes every step, checking the document against `original`, then redoes them all.
  void UndoAllAndRedo(const std::string& original) {
    const std::string changed = Dump(app_.document);
    while (History().canUndo()) dialog_->OnUndo();
    EXPECT_EQ(Dump(app_.document), original);
    EXPECT_FALSE(dialog_->modified());
    EXPECT_EQ(dialog_->windowTitle().endsWith('*'), false);
    while (History().canRedo()) dialog_->OnRedo();
    EXPECT_EQ(Dump(app_.document), changed);
    EXPECT_TRUE(dialog_->modified());
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < dialog_->plotList()->count(); ++i) {
      entries.push_back(toolkit::ListEntryBytes(dialog_->plotList()->item(i)));
    }
    return entries;
  }

  ScopedCodeset codeset_{"UTF-8"};
  std::string path_;
};

TEST_F(Undo, PlotCommandsGoBackWithTheirLinesAndIdsAndComeAgain) {
  CMainDlg& dialog = OpenFile();
  const std::string original = Dump(app_.document);

  // Add plot, delete the first plot (two lines), rename the second in the line editor.
  app_.prompts.QueueYes();  // the delete question
  (void)dialog.AddPlotByName("C");
  dialog.plotList()->setCurrentRow(0);
  Click(CMainDlg::kDeletePlot);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"B", "C"}));
  dialog.plotList()->setCurrentRow(0);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) {
    editor.ControlAs<QLineEdit>(CLineEditDlg::kName)->setText(QStringLiteral("B2"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"B2", "C"}));
  EXPECT_EQ(History().count(), 3);

  dialog.OnUndo();  // the rename
  EXPECT_EQ(Entries(), (std::vector<std::string>{"B", "C"}));
  dialog.OnUndo();  // the delete: plot A back in its place with lines 0 and 1
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B", "C"}));
  ASSERT_NE(app_.document.FindItem(1), nullptr);
  EXPECT_STREQ(app_.document.FindItem(1)->value.GetText().c_str(), "apple two");
  dialog.OnRedo();
  dialog.OnRedo();
  UndoAllAndRedo(original);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"B2", "C"}));
}

TEST_F(Undo, AnUndoneDeleteSavesTheSameBytesAsTheUntouchedDocument) {
  CMainDlg& dialog = OpenFile();
  const std::string reference = temp_.File("reference.dlg");
  ASSERT_TRUE(app_.document.Save(reference.c_str()));
  dialog.plotList()->setCurrentRow(0);
  app_.prompts.QueueYes();
  Click(CMainDlg::kDeletePlot);
  dialog.OnUndo();
  const std::string again = temp_.File("again.dlg");
  ASSERT_TRUE(app_.document.Save(again.c_str()));
  EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(reference));
}

TEST_F(Undo, TheTitleMarkFollowsTheSavedState) {
  CMainDlg& dialog = OpenFile();
  EXPECT_FALSE(History().canUndo());
  (void)dialog.AddPlotByName("C");
  EXPECT_TRUE(dialog.modified());
  EXPECT_TRUE(dialog.windowTitle().endsWith('*'));
  ASSERT_TRUE(dialog.SaveFile());
  EXPECT_FALSE(dialog.modified());
  dialog.OnUndo();  // before the save: changed against the file
  EXPECT_TRUE(dialog.modified());
  EXPECT_TRUE(dialog.windowTitle().endsWith('*'));
  dialog.OnRedo();  // the saved state again
  EXPECT_FALSE(dialog.modified());
  EXPECT_FALSE(dialog.windowTitle().endsWith('*'));

  // Loading a file starts a new history.
  ASSERT_TRUE(dialog.LoadFile(path_));
  EXPECT_FALSE(History().canUndo());
  EXPECT_FALSE(History().canRedo());
}

TEST_F(Undo, GameNameAndMultiLineAreStepsOfTheirOwn) {
  CMainDlg& dialog = OpenFile();
  // A typed name becomes a step when the next one comes.
  GameNameField()->setText(QStringLiteral("saga"));
  EXPECT_EQ(History().count(), 0);
  dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->click();
  EXPECT_EQ(History().count(), 2);
  EXPECT_TRUE(dialog.multiLine());
  dialog.OnUndo();
  EXPECT_FALSE(dialog.multiLine());
  EXPECT_FALSE(dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->isChecked());
  dialog.OnUndo();
  EXPECT_EQ(dialog.gameName(), "game");
  EXPECT_EQ(GameNameField()->text(), QStringLiteral("game"));
  EXPECT_FALSE(dialog.modified());
  dialog.OnRedo();
  EXPECT_EQ(GameNameField()->text(), QStringLiteral("saga"));
  EXPECT_TRUE(dialog.modified());

  // A name typed and not yet confirmed is undone first, as its own step.
  GameNameField()->setText(QStringLiteral("epic"));
  dialog.OnUndo();
  EXPECT_EQ(GameNameField()->text(), QStringLiteral("saga"));
}

TEST_F(Undo, AnImportIsOneStep) {
  CMainDlg& dialog = OpenFile();
  const std::string original = Dump(app_.document);
  WriteFileBytes("tr.txt", "0\r\nApfel eins\r\n\r\n10\r\nBanane\r\n\r\n");
  dialog.SetImportPath(temp_.File("tr.txt"));
  ASSERT_TRUE(dialog.ImportText());
  EXPECT_STREQ(app_.document.FindItem(10)->value.GetText().c_str(), "Banane");
  EXPECT_EQ(History().count(), 1);
  UndoAllAndRedo(original);
  EXPECT_STREQ(app_.document.FindItem(0)->value.GetText().c_str(), "Apfel eins");
}

TEST_F(Undo, TheContextMenuAndTheKeysReachTheHistory) {
  CMainDlg& dialog = OpenFile();
  (void)dialog.AddPlotByName("C");
  std::unique_ptr<QMenu> menu(dialog.CreateSystemMenu(&dialog));
  QStringList labels;
  for (QAction* action : menu->actions()) labels << action->text();
  EXPECT_TRUE(labels.contains(Utf8("실행 취소(&U)")));
  EXPECT_TRUE(labels.contains(Utf8("다시 실행(&R)")));
  dialog.RunSystemCommand(CMainDlg::kUndoCommand);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B"}));
  dialog.RunSystemCommand(CMainDlg::kRedoCommand);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"A", "B", "C"}));
}

// --- Find and replace ----------------------------------------------------------------------------

class Replace : public Undo {
 protected:
  // Runs the find dialog with `script`, then closes it.
  void WithFind(const std::function<void(CFindDlg&)>& script) {
    ModalScript modal;
    modal.Then([&script](QWidget* widget) {
      auto* find = qobject_cast<CFindDlg*>(widget);
      ASSERT_NE(find, nullptr);
      script(*find);
      find->reject();
    });
    dialog_->OnFind();
    EXPECT_TRUE(modal.done());
  }
  static void Type(CFindDlg& find, const char* needle, const char* replacement) {
    find.ControlAs<QLineEdit>(CFindDlg::kText)->setText(Utf8(needle));
    find.ControlAs<QLineEdit>(CFindDlg::kReplaceText)->setText(Utf8(replacement));
  }
};

TEST_F(Replace, ReplaceAllIsOneStepWithACountAndUndoesWhole) {
  OpenFile();
  const std::string original = Dump(app_.document);
  WithFind([](CFindDlg& find) {
    Type(find, "APPLE", "pear");  // letters match in either case
    find.ControlAs<QPushButton>(CFindDlg::kReplaceAll)->click();
    EXPECT_EQ(find.replacedCount, 2u);
    EXPECT_EQ(find.replacedLines, 2u);
    EXPECT_EQ(find.ControlAs<QLabel>(CFindDlg::kCount)->text(), Utf8("2개 바꿈 (2줄)"));
  });
  EXPECT_STREQ(app_.document.FindItem(0)->value.GetText().c_str(), "pear one");
  EXPECT_STREQ(app_.document.FindItem(1)->value.GetText().c_str(), "pear two");
  EXPECT_EQ(History().count(), 1);
  UndoAllAndRedo(original);
}

TEST_F(Replace, ReplaceOneChangesTheSelectedResultAndMovesOn) {
  OpenFile();
  WithFind([](CFindDlg& find) {
    Type(find, "apple", "fig");
    find.OnSearch();
    ASSERT_EQ(find.hits().size(), 2u);
    find.ControlAs<QPushButton>(CFindDlg::kReplace)->click();
    EXPECT_EQ(find.hits().size(), 1u);  // the replaced line no longer matches
    EXPECT_EQ(find.resultList()->currentItem(), find.resultList()->topLevelItem(0));
  });
  EXPECT_STREQ(app_.document.FindItem(0)->value.GetText().c_str(), "fig one");
  EXPECT_STREQ(app_.document.FindItem(1)->value.GetText().c_str(), "apple two");
}

TEST_F(Replace, OnlyTheChosenFieldsAndNeverAnId) {
  OpenFile();
  WithFind([](CFindDlg& find) {
    Type(find, "Tom", "Ann");
    find.ControlAs<QCheckBox>(CFindDlg::kInText)->setChecked(false);
    find.ControlAs<QCheckBox>(CFindDlg::kInSpeaker)->setChecked(true);
    find.ControlAs<QPushButton>(CFindDlg::kReplaceAll)->click();
    // "TOMMY" matches too: letters in either case.
    EXPECT_EQ(find.replacedCount, 3u);
  });
  EXPECT_STREQ(app_.document.FindItem(0)->value.GetSpeaker().c_str(), "Ann");
  EXPECT_STREQ(app_.document.FindItem(10)->value.GetSpeaker().c_str(), "AnnMY");
  WithFind([](CFindDlg& find) {
    Type(find, "1", "9");
    find.ControlAs<QCheckBox>(CFindDlg::kInText)->setChecked(false);
    find.ControlAs<QCheckBox>(CFindDlg::kInId)->setChecked(true);
    find.ControlAs<QPushButton>(CFindDlg::kReplaceAll)->click();
    EXPECT_EQ(find.replacedCount, 0u);
  });
  EXPECT_NE(app_.document.FindItem(10), nullptr);
}

TEST_F(Replace, AResultThatCannotBeStoredIsRefusedNamingTheIdAndNothingChanges) {
  OpenFile();
  const std::string original = Dump(app_.document);
  const std::string huge(4000, 'x');
  WithFind([&huge](CFindDlg& find) {
    Type(find, "a",
         huge.c_str());  // "apple one" fits; "banana" (ID 10) has three: far over 4095 bytes
    find.ControlAs<QPushButton>(CFindDlg::kReplaceAll)->click();
  });
  ASSERT_EQ(app_.prompts.Texts().size(), 1u);
  EXPECT_EQ(app_.prompts.Texts()[0],
            "ID 10의 대화: 바꾼 결과가 저장할 수 있는 길이(4095바이트)를 넘습니다. 아무것도 바꾸지 "
            "않았습니다.");
  EXPECT_EQ(Dump(app_.document), original);
  EXPECT_FALSE(History().canUndo());
}

// --- The line editor's own history ---------------------------------------------------------------

class LineEditorUndo : public LineEditorTest {
 protected:
  LineEditorUndo() {
    PlotPos plot = app_.document.AddPlot("P", 0, 100);
    for (const char* text : {"one", "two", "three"}) {
      CDlgItem line;
      line.SetSpeaker("Tom");
      line.SetText(text);
      (void)app_.document.AddItem(line, plot, nullptr);
    }
  }
  QUndoStack& History() { return *dialog_->undoStack(); }

  ScopedCodeset codeset_{"UTF-8"};
};

TEST_F(LineEditorUndo, AddModifyAndDeleteGoBackAndComeAgainInsideTheSession) {
  CLineEditDlg& editor = Open("P");
  const std::string original = Dump(app_.document);
  // Add after the last row, modify the first, delete the second.
  dialog_->textField()->setPlainText(QStringLiteral("four"));
  Click(CLineEditDlg::kAdd);
  const int added = dialog_->RowId(RowCount() - 1);
  dialog_->SelectRow(dialog_->FirstSelectedRow(), false);
  dialog_->SelectRow(0, true);
  dialog_->textField()->setPlainText(QStringLiteral("ONE"));
  Click(CLineEditDlg::kModify);
  dialog_->SelectRow(0, false);
  dialog_->SelectRow(1, true);
  Click(CLineEditDlg::kDelete);
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 2, added}));
  EXPECT_EQ(History().count(), 3);

  editor.OnUndo();  // the delete
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 1, 2, added}));
  editor.OnUndo();  // the modify
  EXPECT_STREQ(app_.document.FindItem(0)->value.GetText().c_str(), "one");
  editor.OnUndo();  // the add
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Dump(app_.document), original);
  EXPECT_EQ(app_.pendingAdditions.GetCount(), 0);

  editor.OnRedo();
  editor.OnRedo();
  editor.OnRedo();
  EXPECT_EQ(RowIds(), (std::vector<int>{0, 2, added}));
  EXPECT_STREQ(app_.document.FindItem(added)->value.GetText().c_str(), "four");
  EXPECT_STREQ(app_.document.FindItem(0)->value.GetText().c_str(), "ONE");

  // Cancel still puts the document back as it was on opening.
  app_.prompts.QueueYes();
  Click(CLineEditDlg::kCancel);
  EXPECT_EQ(Dump(app_.document), original);
}

TEST_F(LineEditorUndo, OkKeepsWhatTheHistoryLeft) {
  CLineEditDlg& editor = Open("P");
  dialog_->SelectRow(dialog_->FirstSelectedRow(), false);
  dialog_->SelectRow(0, true);
  Click(CLineEditDlg::kDelete);
  dialog_->SelectRow(0, true);
  Click(CLineEditDlg::kDelete);
  editor.OnUndo();  // the second delete only
  Click(CLineEditDlg::kOk);
  EXPECT_EQ(app_.document.FindItem(0), nullptr);
  EXPECT_NE(app_.document.FindItem(1), nullptr);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 2);
}

}  // namespace
