// The main window keeps what the user typed or chose: the game name across commands that show the
// values again, the document across a cancelled line editor; the focus returns to the plot list; the speaker configuration is found beside the file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "app/main_dlg.h"
#include "app/name_input_dlg.h"
#include "editor/line_editor_fixture.h"
#include "support/document_builder.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"

namespace {

class WindowKeepsInput : public MainWindowTest {
 protected:
  // The window on a saved file of plots "A" (two lines) and "B" (one line) in `folder`.
  CMainDlg& OpenFile(const std::string& folder = ".") {
    std::filesystem::create_directories(temp_.File(folder));
    path_ = temp_.File(folder + "/ab.dlg");
    SaveTestDocument(path_, "game",
                     {{"A", 0, 10, {{"Tom", "웃음", "a.wav", "a0"}, {"Tom", "", "", "a1"}}},
                      {"B", 10, 20, {{"민준", "", "", "b0"}}}});
    CMainDlg& dialog = Open();
    EXPECT_TRUE(dialog.LoadFile(path_));
    return dialog;
  }
  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  std::string path_;
};

TEST_F(WindowKeepsInput, TypedGameNameAndMultiLineSurviveCommandsThatShowTheValuesAgain) {
  CMainDlg& dialog = OpenFile();
  dialog.show();
  auto* multiLine = dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine);
  auto typedIsShown = [&](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(GameNameField()->text(), QStringLiteral("typed"));
    EXPECT_TRUE(multiLine->isChecked());
    EXPECT_TRUE(dialog.windowTitle().contains(QStringLiteral("[typed]")));
  };
  GameNameField()->setText(QStringLiteral("typed"));
  multiLine->setChecked(true);

  OnNextDialog<CNameInputDlg>([](CNameInputDlg& input) {
    input.ControlAs<QLineEdit>(CNameInputDlg::kName)->setText(QStringLiteral("C"));
    input.ControlAs<QPushButton>(CNameInputDlg::kOk)->click();
  });
  Click(CMainDlg::kAddPlot);
  typedIsShown("Add plot");
  app_.prompts.QueueYes();
  Click(CMainDlg::kDeletePlot);
  typedIsShown("Delete plot");
  // The focus goes back to the list acted on, not into the game-name field.
  EXPECT_EQ(dialog.focusWidget(), dialog.plotList());

  const std::string text = temp_.File("ab.txt");
  // The translation form: Import refuses a file that yields no entry, such as the recording form.
  ASSERT_TRUE(app_.document.Export(text.c_str(), false));
  app_.prompts.QueueFile(text);
  Click(CMainDlg::kImport);
  EXPECT_EQ(app_.prompts.Texts().back(), "文件导入成功！");
  typedIsShown("Import");

  dialog.plotList()->setCurrentRow(0);
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) { editor.reject(); });
  Click(CMainDlg::kEditPlot);
  typedIsShown("Edit plot");
  EXPECT_EQ(dialog.focusWidget(), dialog.plotList());

  Click(CMainDlg::kSave);
  EXPECT_STREQ(app_.document.GetGameName(), "typed");
  EXPECT_EQ(app_.document.GetMultiLine(), 1);
}

TEST_F(WindowKeepsInput, CancelledEditorLeavesDocumentFlagAndTitleAsTheyWere) {
  CMainDlg& dialog = OpenFile();
  const QString title = dialog.windowTitle();
  const std::string before = DocumentDump(app_.document);
  OnNextDialog<CLineEditDlg>([this](CLineEditDlg& editor) {
    editor.rowList()->clearSelection();
    editor.rowList()->topLevelItem(0)->setSelected(true);
    editor.textField()->setPlainText(QStringLiteral("changed"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kModify)->click();
    editor.ControlAs<QPushButton>(CLineEditDlg::kAdd)->click();
    editor.ControlAs<QPushButton>(CLineEditDlg::kDelete)->click();
    app_.prompts.QueueYes();
    editor.ControlAs<QPushButton>(CLineEditDlg::kCancel)->click();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_EQ(DocumentDump(app_.document), before);
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), title);
  // The same changes with OK count.
  OnNextDialog<CLineEditDlg>([](CLineEditDlg& editor) {
    editor.textField()->setPlainText(QStringLiteral("changed"));
    editor.ControlAs<QPushButton>(CLineEditDlg::kModify)->click();
    editor.ControlAs<QPushButton>(CLineEditDlg::kOk)->click();
  });
  Click(CMainDlg::kEditPlot);
  EXPECT_TRUE(dialog.modified());
  EXPECT_NE(DocumentDump(app_.document), before);
}

TEST_F(WindowKeepsInput, SpeakerConfigurationFoundHereThenBesideTheFileThenInTheStartFolder) {
  auto speakers = [this]() {
    std::vector<std::string> names;
    OnNextDialog<CLineEditDlg>([&names](CLineEditDlg& editor) {
      for (int i = 0; i < editor.speakerList()->count(); ++i) {
        names.push_back(toolkit::ComboEntryBytes(editor.speakerList(), i));
      }
      editor.reject();
    });
    dialog_->plotList()->setCurrentRow(0);
    Click(CMainDlg::kEditPlot);
    return names;
  };
  const std::vector<std::string> four{"TOMMY", "Tom", "민준", "서연"};
  const std::string oneSpeaker = "[PARLATRIX]\nHEADCOUNT=1\n[FACE]\nFACECOUNT=1\nFACE=x\n"
                                 "[FACE000]\nNAME=Start\nCOUNT=0\n";
  std::filesystem::create_directories(temp_.File("start"));
  std::filesystem::create_directories(temp_.File("elsewhere"));
  WriteFileBytes(temp_.File("start/Parlatrix.ini"), oneSpeaker);
  app_.context.startFolder = temp_.File("start");
  OpenFile("data");
  WriteFileBytes(temp_.File("data/Parlatrix.ini"), kTestIni);
  {
    // A file dialog has moved the current directory away from the file.
    ScopedCurrentDir moved(temp_.File("elsewhere"));
    EXPECT_EQ(speakers(), four);
    std::filesystem::remove(temp_.File("data/Parlatrix.ini"));
    EXPECT_EQ(speakers(), std::vector<std::string>{"Start"});
    // The current directory comes first.
    WriteFileBytes(temp_.File("elsewhere/Parlatrix.ini"), kTestIni);
    WriteFileBytes(temp_.File("data/Parlatrix.ini"), oneSpeaker);
    EXPECT_EQ(speakers(), four);
  }
}

}  // namespace
