// What keeps a writer's work in the main window: plot commands act on the plot the list shows
// (two plots of one name included), a rename to another plot's name is refused, Delete plot, New
// and Open ask before work goes, and a failed file command says why under its message.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>

#include "app/main_dlg.h"
#include "app/new_file_dlg.h"
#include "dialogs/find_dlg.h"
#include "editor/line_edit_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "toolkit/scoped_codeset.h"
#include "toolkit/text_bytes.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;
using Names = std::vector<std::string>;

constexpr char kQuit[] = "内容被修改了，退出吗？";

class KeepsWork : public MainWindowTest {
 protected:
  KeepsWork() { WriteFileBytes("Parlatrix.ini", kTestIni); }

  // The window on a file of plots `first` (lines 0, 1) and `second` (line 10).
  CMainDlg& OpenFile(const char* first = "A", const char* second = "B") {
    path_ = temp_.File("ab.dlg");
    SaveTestDocument(path_, "game",
                     {{first, 0, 10, {{"Tom", "", "", "a0"}, {"Tom", "", "", "a1"}}},
                      {second, 10, 20, {{"Tom", "", "", "b0"}}}});
    return Open(path_);
  }
  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  Names Entries() const {
    Names entries;
    for (int i = 0; i < dialog_->plotList()->count(); ++i) {
      entries.push_back(toolkit::ListEntryBytes(dialog_->plotList()->item(i)));
    }
    return entries;
  }
  std::vector<int> PlotLineIds(int plotIndex) {
    std::vector<int> ids;
    PlotPos pos = app_.document.GetFirstPlot();
    for (int i = 0; i < plotIndex && pos != nullptr; ++i) pos = pos->next;
    if (pos == nullptr) return ids;
    for (auto* m = pos->value.members.GetHeadPosition(); m != nullptr;) {
      ids.push_back(app_.document.GetItem(pos->value.members.GetNext(m)).GetID());
    }
    return ids;
  }
  Names PlotNames() {
    Names names;
    for (PlotPos pos = app_.document.GetFirstPlot(); pos != nullptr;) {
      names.push_back(app_.document.GetNextPlot(pos).GetName().c_str());
    }
    return names;
  }
  void MarkModified() {
    dialog_->SetModified(true);
    dialog_->RefreshTitle();
  }
  void ExpectScriptDone() const {
    EXPECT_TRUE(app_.prompts.errors().empty()) << app_.prompts.errors().front();
    EXPECT_TRUE(app_.prompts.QueueEmpty());
  }

  ScopedCodeset codeset_{"UTF-8"};
  std::string path_;
};

// --- Plots of one name, rename ------------------------------------------------------------------

TEST_F(KeepsWork, RenameToAnotherPlotsNameIsRefusedWithTheAddPlotMessage) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(1);
  bool stayedOpen = false;
  OnNextDialog<CLineEditDlg>([&stayedOpen](CLineEditDlg& editor) {
    editor.ControlAs<QLineEdit>(CLineEditDlg::kName)->setText(QStringLiteral("A"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
    stayedOpen = editor.isVisible();
    // Its own name again is no clash.
    editor.ControlAs<QLineEdit>(CLineEditDlg::kName)->setText(QStringLiteral("B"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(app_.prompts.Texts(), Names{"情节名字重复(A)！添加情节失败！"});
  EXPECT_EQ(Entries(), (Names{"A", "B"}));
  EXPECT_EQ(PlotNames(), (Names{"A", "B"}));
  EXPECT_FALSE(dialog.modified());
}

TEST_F(KeepsWork, EveryPlotCommandActsOnTheEntryShownWhenTwoPlotsShareAName) {
  // A file may hold two plots of one name (written by another tool, or by an older editor).
  CMainDlg& dialog = OpenFile("A", "A");
  ASSERT_EQ(Entries(), (Names{"A", "A"}));
  dialog.plotList()->setCurrentRow(1);
  std::vector<int> rows;
  OnNextDialog<CLineEditDlg>([&rows](CLineEditDlg& editor) {
    for (int i = 0; i < editor.rowList()->topLevelItemCount(); ++i) rows.push_back(editor.RowId(i));
    editor.reject();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_EQ(rows, std::vector<int>{10});  // the second plot's line

  dialog.plotList()->setCurrentRow(1);
  app_.prompts.QueueYes();
  Click(CMainDlg::kDeletePlot);
  EXPECT_EQ(app_.prompts.Texts(), Names{"确定要删除情节(A)及其全部1行对话吗？"});
  EXPECT_EQ(Entries(), Names{"A"});
  EXPECT_EQ(PlotLineIds(0), (std::vector<int>{0, 1}));  // the first plot keeps its lines
  EXPECT_EQ(app_.document.FindItem(10), nullptr);
  ExpectScriptDone();
}

TEST_F(KeepsWork, FindOpensTheLineEditorOnThePlotOfTheLineFound) {
  OpenFile("A", "A");
  std::vector<int> rows;
  ModalScript script;
  script.Then([](QWidget* modal) {
    auto* find = qobject_cast<CFindDlg*>(modal);
    ASSERT_NE(find, nullptr);
    find->ControlAs<QLineEdit>(CFindDlg::kText)->setText(QStringLiteral("b0"));
    find->OnSearch();
    find->OnOpenResult(0);
  });
  script.Then([&rows](QWidget* modal) {
    auto* editor = qobject_cast<CLineEditDlg*>(modal);
    ASSERT_NE(editor, nullptr);
    for (int i = 0; i < editor->rowList()->topLevelItemCount(); ++i) {
      rows.push_back(editor->RowId(i));
    }
    editor->reject();
  });
  dialog_->OnFind();
  EXPECT_TRUE(script.done());
  EXPECT_EQ(rows, std::vector<int>{10});
}

// --- Delete plot asks ---------------------------------------------------------------------------

TEST_F(KeepsWork, DeletePlotAsksNamingThePlotAndItsLinesAndNoKeepsIt) {
  CMainDlg& dialog = OpenFile();
  dialog.plotList()->setCurrentRow(0);
  app_.prompts.QueueNo();
  Click(CMainDlg::kDeletePlot);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kQuestion);
  EXPECT_EQ(app_.prompts.records()[0].text, "确定要删除情节(A)及其全部2行对话吗？");
  EXPECT_EQ(app_.prompts.records()[0].caption, "警告");
  EXPECT_EQ(Entries(), (Names{"A", "B"}));
  EXPECT_EQ(app_.document.GetLines().GetCount(), 3);
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.plotList()->currentRow(), 0);

  app_.prompts.QueueYes();
  Click(CMainDlg::kDeletePlot);
  EXPECT_EQ(Entries(), Names{"B"});
  EXPECT_EQ(app_.document.GetLines().GetCount(), 1);
  EXPECT_TRUE(dialog.modified());
  ExpectScriptDone();
}

// --- New and Open ask ---------------------------------------------------------------------------

TEST_F(KeepsWork, NewAndOpenAskBeforeUnsavedChangesGoAndNoKeepsEverything) {
  CMainDlg& dialog = OpenFile();
  MarkModified();
  const QString title = dialog.windowTitle();
  for (int command : {CMainDlg::kNew, CMainDlg::kOpen}) {
    app_.prompts.QueueNo();
    Click(command);
    EXPECT_EQ(app_.prompts.Texts().back(), kQuit);
    EXPECT_EQ(app_.prompts.records().back().caption, "警告");
    EXPECT_EQ(dialog.windowTitle(), title);
    EXPECT_EQ(dialog.currentPath(), path_);
    EXPECT_EQ(Entries(), (Names{"A", "B"}));
    EXPECT_EQ(app_.document.GetLines().GetCount(), 3);
  }
  EXPECT_EQ(app_.prompts.records().size(), 2u);  // no file dialog, no new-file dialog

  // Yes goes on as before: here the open dialog, cancelled.
  app_.prompts.QueueYes();
  app_.prompts.QueueCancel();
  Click(CMainDlg::kOpen);
  EXPECT_EQ(app_.prompts.records().back().kind, Kind::kFileDialog);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 3);
  ExpectScriptDone();
}

TEST_F(KeepsWork, NewAsksAlsoWhenOnlyTheGameNameFieldWasChanged) {
  CMainDlg& dialog = OpenFile();
  GameNameField()->setText(QStringLiteral("typed"));
  app_.prompts.QueueYes();
  OnNextDialog<CNewFileDlg>(
      [](CNewFileDlg& d) { d.ControlAs<QPushButton>(CNewFileDlg::kOk)->click(); });
  Click(CMainDlg::kNew);
  EXPECT_EQ(app_.prompts.Texts(), Names{kQuit});
  EXPECT_EQ(dialog.currentPath(), "");
  EXPECT_FALSE(dialog.modified());
  ExpectScriptDone();
}

TEST_F(KeepsWork, NewAndOpenWithoutChangesAskNothing) {
  CMainDlg& dialog = OpenFile();
  app_.prompts.QueueCancel();
  Click(CMainDlg::kOpen);
  EXPECT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kFileDialog);
  EXPECT_EQ(dialog.currentPath(), path_);
  ExpectScriptDone();
}

// --- Reasons under the messages -----------------------------------------------------------------

TEST_F(KeepsWork, SaveIntoAReadOnlyPlaceShowsTheSystemsReasonUnderTheMessage) {
  CMainDlg& dialog = OpenFile();
  MarkModified();
  // sysfs takes no new files, not even from root.
  const std::string blocked = "/sys/parlatrix-keeps-work.dlg";
  app_.prompts.QueueFile(blocked);
  Click(CMainDlg::kSaveAs);
  ASSERT_EQ(app_.prompts.records().size(), 2u);
  const auto& message = app_.prompts.records()[1];
  EXPECT_EQ(message.text, "(" + blocked + ") 대화 파일 저장 오류!");
  const bool systemsWords = message.detail.find("Permission denied") != std::string::npos ||
                            message.detail.find("Read-only file system") != std::string::npos;
  EXPECT_TRUE(systemsWords) << message.detail;
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.currentPath(), path_);
  ExpectScriptDone();
}

TEST_F(KeepsWork, FailedOpenImportAndExportShowTheirMessageWithTheReasonUnderIt) {
  CMainDlg& dialog = OpenFile();
  const std::string missing = temp_.File("missing.dlg");
  ASSERT_FALSE(dialog.LoadFile(missing));
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].text, "(" + missing + ") 대화 파일 읽기 오류!");
  EXPECT_NE(app_.prompts.records()[0].detail.find("No such file or directory"), std::string::npos)
      << app_.prompts.records()[0].detail;

  // A text file of another form than the plain one: the import's reader names the fault.
  WriteFileBytes("bad.txt", "not an entry\n");
  app_.prompts.QueueFile(temp_.File("bad.txt"));
  Click(CMainDlg::kImport);
  const auto& imported = app_.prompts.records().back();
  EXPECT_EQ(imported.text, "导入文本文件错误(" + temp_.File("bad.txt") + ")!");
  EXPECT_FALSE(imported.detail.empty());

  const std::string noFolder = temp_.File("no/such/folder.txt");
  app_.prompts.QueueFile(noFolder);
  app_.prompts.QueueYes();
  Click(CMainDlg::kExport);
  const auto& exported = app_.prompts.records().back();
  EXPECT_EQ(exported.text, "导出文本文件错误(" + noFolder + ")!");
  EXPECT_NE(exported.detail.find("No such file or directory"), std::string::npos)
      << exported.detail;
  ExpectScriptDone();
}

}  // namespace
