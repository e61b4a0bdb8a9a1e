// The main window's file commands, driven through its buttons with scripted prompts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "app/main_dlg.h"
#include "app/new_file_dlg.h"
#include "platform/fault_injection.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "support/ui/test_app_context.h"
#include "toolkit/scoped_codeset.h"
#include "toolkit/text_bytes.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;
using Texts = std::vector<std::string>;

constexpr char kExportQuestion[] =
    "是否用于翻译？如果选择是，则导出多行文本，否则导出单行文本，用于录音。";

class FileCommandsTest : public MainWindowTest {
 protected:
  // The demo document: plot "장면" with lines 0 and 1, plot "第二幕" with line 100.
  std::string WriteDemo(const std::string& name = "demo.dlg") {
    const std::string path = temp_.File(name);
    SaveTestDocument(
        path, "데모",
        {{"장면", 0, 100, {{"민수", "웃음", "a.wav", "안녕"}, {"", "", "", "one\r\ntwo"}}},
         {"第二幕", 100, 200, {{"李", "", "", "你好"}}}},
        1);
    return path;
  }
  // The window on the demo document, with changes not saved.
  CMainDlg& OpenModifiedDemo() {
    CMainDlg& dialog = Open(WriteDemo());
    app_.document.AddPlot("새 장면", -1, -1);
    dialog.plotList()->addItem(QStringLiteral("새 장면"));
    dialog.SetModified(true);
    dialog.RefreshTitle();
    return dialog;
  }
  std::string Folder(const std::string& name) {
    std::filesystem::create_directories(temp_.File(name));
    return temp_.File(name);
  }

  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
  const std::vector<toolkit::ScriptedPrompts::Record>& Records() const {
    return app_.prompts.records();
  }
  const toolkit::FileDialogRequest& LastRequest() const {
    for (auto it = Records().rbegin(); it != Records().rend(); ++it) {
      if (it->kind == Kind::kFileDialog) return it->file;
    }
    static const toolkit::FileDialogRequest none;
    ADD_FAILURE() << "no file dialog";
    return none;
  }
  QString Title(const std::string& gameName, const std::string& path, bool modified) const {
    std::string title = "대사 편집기[" + gameName + "]";
    if (!path.empty()) title += " - " + path;
    if (modified) title += " *";
    return Utf8(title);
  }
  QString VersionShown() const {
    return toolkit::WidgetText(dialog_->Control(CMainDlg::kVersionNumber));
  }
  bool VersionHidden() const {
    return dialog_->Control(CMainDlg::kVersionLabel)->isHidden() &&
           dialog_->Control(CMainDlg::kVersionNumber)->isHidden();
  }
  // Answers the next new-file dialog: `edit` may change its controls, then OK or Cancel is pressed.
  void AnswerNewFile(bool ok, std::function<void(CNewFileDlg&)> edit = {}) {
    OnNextDialog<CNewFileDlg>([this, ok, edit](CNewFileDlg& dialog) {
      newFileShown_ = true;
      newFileName_ = dialog.ControlAs<QLineEdit>(CNewFileDlg::kGameName)->text();
      for (int id : {CNewFileDlg::kSpeaker, CNewFileDlg::kExpression, CNewFileDlg::kSound}) {
        newFileChecks_.push_back(dialog.ControlAs<QCheckBox>(id)->isChecked());
      }
      if (edit) edit(dialog);
      dialog.ControlAs<QPushButton>(ok ? CNewFileDlg::kOk : CNewFileDlg::kCancel)->click();
    });
  }

  void ExpectNoScriptErrors() const {
    EXPECT_TRUE(app_.prompts.errors().empty()) << app_.prompts.errors()[0];
    EXPECT_TRUE(app_.prompts.QueueEmpty());
  }

  ScopedCodeset codeset_{"UTF-8"};  // the texts of these tests are UTF-8 bytes
  bool newFileShown_ = false;
  QString newFileName_;
  std::vector<bool> newFileChecks_;
};

// --- New ---------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, NewWithTheDefaultsDiscardsChangesAfterTheQuestion) {
  CMainDlg& dialog = OpenModifiedDemo();
  const int versionBefore = dialog.versionNumber();
  dialog.SetImportPath("/texts/in.txt");
  dialog.SetExportPath("/texts/out.txt");
  app_.prompts.QueueYes();
  AnswerNewFile(true);
  Click(CMainDlg::kNew);
  ASSERT_TRUE(newFileShown_);
  EXPECT_EQ(newFileName_, Utf8("새 게임"));
  EXPECT_EQ(newFileChecks_, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(app_.prompts.Texts(), Texts{"内容被修改了，退出吗？"});

  int speaker, expression, sound;
  app_.document.GetColumns(speaker, expression, sound);
  EXPECT_EQ(speaker, 1);
  EXPECT_EQ(expression, 1);
  EXPECT_EQ(sound, 0);
  EXPECT_STREQ(app_.document.GetGameName(), "새 게임");
  EXPECT_EQ(app_.document.GetMultiLine(), 0);
  EXPECT_TRUE(app_.document.GetLines().IsEmpty());
  EXPECT_TRUE(app_.document.GetPlots().IsEmpty());

  EXPECT_EQ(dialog.windowTitle(), Title("새 게임", "", false));
  EXPECT_TRUE(VersionHidden());
  EXPECT_EQ(dialog.versionNumber(), versionBefore);
  EXPECT_TRUE(dialog.currentPath().empty());
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.plotList()->count(), 0);
  EXPECT_FALSE(dialog.Control(CMainDlg::kEditPlot)->isEnabled());
  EXPECT_FALSE(dialog.Control(CMainDlg::kDeletePlot)->isEnabled());
  EXPECT_EQ(GameNameField()->text(), Utf8("새 게임"));
  EXPECT_FALSE(dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->isChecked());
  EXPECT_EQ(dialog.dialogueFolder(), temp_.path());
  EXPECT_EQ(dialog.textFolder(), temp_.path());
  EXPECT_EQ(dialog.importPath(), "/texts/in.txt");
  EXPECT_EQ(dialog.exportPath(), "/texts/out.txt");
}

TEST_F(FileCommandsTest, NewTakesTheColumnsAndNameChosenInTheDialog) {
  CMainDlg& dialog = Open();
  AnswerNewFile(true, [](CNewFileDlg& newFile) {
    newFile.ControlAs<QCheckBox>(CNewFileDlg::kSpeaker)->setChecked(false);
    newFile.ControlAs<QCheckBox>(CNewFileDlg::kSound)->setChecked(true);
    newFile.ControlAs<QLineEdit>(CNewFileDlg::kGameName)->setText(QStringLiteral("Quest"));
  });
  Click(CMainDlg::kNew);
  int speaker, expression, sound;
  app_.document.GetColumns(speaker, expression, sound);
  EXPECT_EQ(speaker, 0);
  EXPECT_EQ(expression, 1);
  EXPECT_EQ(sound, 1);
  EXPECT_STREQ(app_.document.GetGameName(), "Quest");
  EXPECT_EQ(dialog.gameName(), "Quest");
  EXPECT_EQ(dialog.windowTitle(), Title("Quest", "", false));
}

TEST_F(FileCommandsTest, NewCancelledChangesNothing) {
  CMainDlg& dialog = OpenModifiedDemo();
  const QString title = dialog.windowTitle();
  const std::string path = dialog.currentPath();
  app_.prompts.QueueYes();  // discard the changes, then cancel the new-file dialog
  AnswerNewFile(false);
  Click(CMainDlg::kNew);
  ASSERT_TRUE(newFileShown_);
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 3);
  EXPECT_STREQ(app_.document.GetGameName(), "데모");
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_EQ(dialog.currentPath(), path);
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.plotList()->count(), 3);
}

// --- Open --------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, OpenAsksForAnExistingDialogueFileFromTheCurrentPathAndFolder) {
  CMainDlg& dialog = Open(WriteDemo());
  dialog.SetDialogueFolder("/dialogues");
  app_.prompts.QueueCancel();
  Click(CMainDlg::kOpen);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].kind, Kind::kFileDialog);
  EXPECT_EQ(Records()[0].file, (toolkit::FileDialogRequest{
                                   .kind = toolkit::FileDialogKind::kOpen,
                                   .title = "대화 파일 열기",
                                   .filter = "Dialog Files (*.dlg)|*.dlg|All Files (*.*)|*.*||",
                                   .defaultExt = "dlg",
                                   .fileName = temp_.File("demo.dlg"),
                                   .folder = "/dialogues",
                                   .mustExist = true,
                                   .askReplace = false,
                                   .hideReadOnly = true}));
}

TEST_F(FileCommandsTest, OpenLoadsTheChosenFileDiscardingChangesAfterTheQuestion) {
  CMainDlg& dialog = OpenModifiedDemo();
  const std::string other = Folder("other") + "/other.dlg";
  SaveTestDocument(other, "다른", {{"하나", 0, 10, {{"", "", "", "x"}}}, {"둘", 10, 20, {}}});
  app_.prompts.QueueYes();
  app_.prompts.QueueFile(other);
  Click(CMainDlg::kOpen);
  EXPECT_EQ(Records().size(), 2u);
  EXPECT_EQ(Records()[0].text, "内容被修改了，退出吗？");
  EXPECT_EQ(dialog.currentPath(), other);
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("다른", other, false));
  ASSERT_EQ(dialog.plotList()->count(), 2);
  EXPECT_EQ(dialog.plotList()->item(0)->text(), Utf8("하나"));
  EXPECT_EQ(dialog.plotList()->currentRow(), 0);
  EXPECT_TRUE(dialog.Control(CMainDlg::kEditPlot)->isEnabled());
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 2);
  EXPECT_EQ(dialog.dialogueFolder(), temp_.File("other"));
  EXPECT_EQ(dialog.textFolder(), temp_.path());
  ExpectNoScriptErrors();
}

TEST_F(FileCommandsTest, OpenThatFailsToLoadKeepsTheWindowButMovesTheDialogueFolder) {
  CMainDlg& dialog = OpenModifiedDemo();
  const QString title = dialog.windowTitle();
  const std::string path = dialog.currentPath();
  const std::string missing = Folder("gone") + "/missing.dlg";
  app_.prompts.QueueYes();
  app_.prompts.QueueFile(missing);
  Click(CMainDlg::kOpen);
  ASSERT_EQ(Records().size(), 3u);
  EXPECT_EQ(Records()[2].kind, Kind::kMessage);
  EXPECT_EQ(Records()[2].text, "(" + missing + ") 대화 파일 읽기 오류!");
  EXPECT_EQ(Records()[2].caption, "Parlatrix");
  EXPECT_EQ(dialog.currentPath(), path);
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_EQ(dialog.plotList()->count(), 3);
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 3);
  EXPECT_EQ(dialog.dialogueFolder(), temp_.File("gone"));
}

TEST_F(FileCommandsTest, OpenCancelledChangesNothing) {
  CMainDlg& dialog = OpenModifiedDemo();
  const QString title = dialog.windowTitle();
  app_.prompts.QueueYes();
  app_.prompts.QueueCancel();
  Click(CMainDlg::kOpen);
  EXPECT_EQ(Records().size(), 2u);
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.dialogueFolder(), temp_.path());
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 3);
}

// --- Save and Save As --------------------------------------------------------------------------

TEST_F(FileCommandsTest, SaveWithoutAPathRunsSaveAsAndItsCancelChangesNothing) {
  CMainDlg& dialog = Open();
  app_.document.AddPlot("p", -1, -1);
  dialog.SetModified(true);
  dialog.RefreshTitle();
  app_.prompts.QueueCancel();
  Click(CMainDlg::kSave);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].file, (toolkit::FileDialogRequest{
                                   .kind = toolkit::FileDialogKind::kSave,
                                   .title = "대화 파일 저장",
                                   .filter = "Dialog Files (*.dlg)|*.dlg|All Files (*.*)|*.*||",
                                   .defaultExt = "dlg",
                                   .fileName = "",
                                   .folder = temp_.path(),
                                   .mustExist = false,
                                   .askReplace = true,
                                   .hideReadOnly = true}));
  EXPECT_TRUE(dialog.currentPath().empty());
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("", "", true));
  EXPECT_TRUE(std::filesystem::is_empty(temp_.path()));
}

TEST_F(FileCommandsTest, SaveAsOfANameWithoutExtensionWritesADlgFileAndShowsIt) {
  CMainDlg& dialog = Open();
  app_.document.AddPlot("p", -1, -1);
  dialog.SetModified(true);
  const std::string folder = Folder("saved");
  app_.prompts.QueueFile(folder + "/story");
  Click(CMainDlg::kSaveAs);
  const std::string path = folder + "/story.dlg";
  EXPECT_EQ(Records().size(), 1u);
  EXPECT_EQ(dialog.currentPath(), path);
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("", path, false));
  EXPECT_EQ(dialog.versionNumber(), 104);
  EXPECT_FALSE(VersionHidden());
  EXPECT_EQ(VersionShown(), QStringLiteral("0104"));
  EXPECT_EQ(dialog.dialogueFolder(), folder);
  EXPECT_EQ(dialog.textFolder(), temp_.path());
  CDlgFile saved;
  ASSERT_EQ(saved.Load(path.c_str()), 1);
  EXPECT_EQ(saved.GetPlots().GetCount(), 1);
}

TEST_F(FileCommandsTest, SaveAsStartsFromTheCurrentPathInTheDialogueFolder) {
  CMainDlg& dialog = Open(WriteDemo());
  dialog.SetDialogueFolder("/dialogues");
  app_.prompts.QueueCancel();
  Click(CMainDlg::kSaveAs);
  EXPECT_EQ(LastRequest().fileName, temp_.File("demo.dlg"));
  EXPECT_EQ(LastRequest().folder, "/dialogues");
}

TEST_F(FileCommandsTest, SaveWritesTheFileEvenWhenNothingIsModified) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  WriteFileBytes(path, "not a dialogue file");
  // The file changed on disk since it was read: the save asks first (Yes: overwrite).
  app_.prompts.QueueYes();
  Click(CMainDlg::kSave);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].kind, Kind::kQuestion);
  CDlgFile saved;
  ASSERT_EQ(saved.Load(path.c_str()), 1);
  EXPECT_EQ(saved.GetLines().GetCount(), 3);
  EXPECT_FALSE(dialog.modified());
}

TEST_F(FileCommandsTest, SaveTakesTheTypedGameNameAndMultiLineFlagIntoTheFile) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  GameNameField()->setText(Utf8("새 이름"));
  dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->setChecked(false);
  Click(CMainDlg::kSave);
  EXPECT_STREQ(app_.document.GetGameName(), "새 이름");
  EXPECT_EQ(app_.document.GetMultiLine(), 0);
  EXPECT_EQ(dialog.windowTitle(), Title("새 이름", path, false));
  CDlgFile saved;
  ASSERT_EQ(saved.Load(path.c_str()), 1);
  EXPECT_STREQ(saved.GetGameName(), "새 이름");
  EXPECT_EQ(saved.GetMultiLine(), 0);
}

TEST_F(FileCommandsTest, SaveOfAVersion102FileShows0104) {
  const std::string path = temp_.File("old.dlg");
  SaveVersion102File(path, "old");
  CMainDlg& dialog = Open(path);
  EXPECT_EQ(VersionShown(), QStringLiteral("0102"));
  Click(CMainDlg::kSave);
  EXPECT_EQ(dialog.versionNumber(), 104);
  EXPECT_EQ(VersionShown(), QStringLiteral("0104"));
}

TEST_F(FileCommandsTest, FailedSaveSaysSoKeepsThePreviousFileAndTheModifiedFlag) {
  const std::string path = WriteDemo();
  const std::string before = ReadFileBytes(path);
  CMainDlg& dialog = Open(path);
  app_.document.AddPlot("새 장면", -1, -1);
  dialog.SetModified(true);
  dialog.RefreshTitle();
  const QString title = dialog.windowTitle();
  platform::FailAllocationAfter(1, true);
  Click(CMainDlg::kSave);
  platform::ResetAllocationFaults();
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].kind, Kind::kMessage);
  EXPECT_EQ(Records()[0].text, "(" + path + ") 대화 파일 저장 오류!");
  EXPECT_EQ(Records()[0].caption, "Parlatrix");
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_EQ(ReadFileBytes(path), before);
  // The close request still asks before the unsaved changes go.
  app_.prompts.QueueNo();
  dialog.reject();
  EXPECT_EQ(app_.prompts.Texts().back(), "内容被修改了，退出吗？");
}

TEST_F(FileCommandsTest, FailedSaveAsKeepsTheCurrentPathTitleAndVersion) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  dialog.SetModified(true);
  dialog.RefreshTitle();
  const QString title = dialog.windowTitle();
  const QString version = toolkit::WidgetText(dialog.Control(CMainDlg::kVersionNumber));
  // A folder stands where the file would go: it cannot be replaced by a file.
  const std::string blocked = Folder("blocked.dlg");
  app_.prompts.QueueFile(blocked);
  Click(CMainDlg::kSaveAs);
  ASSERT_EQ(Records().size(), 2u);
  EXPECT_EQ(Records()[1].text, "(" + blocked + ") 대화 파일 저장 오류!");
  EXPECT_EQ(dialog.currentPath(), path);
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_EQ(toolkit::WidgetText(dialog.Control(CMainDlg::kVersionNumber)), version);
  EXPECT_TRUE(dialog.Control(CMainDlg::kVersionNumber)->isVisibleTo(&dialog));
  EXPECT_EQ(dialog.dialogueFolder(), temp_.path());
  // Save writes the file that is still current.
  Click(CMainDlg::kSave);
  EXPECT_EQ(Records().size(), 2u);
  EXPECT_FALSE(dialog.modified());
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
}

TEST_F(FileCommandsTest, SaveWithAGameNameOverTheLimitShowsTheLengthPromptAndWritesNothing) {
  const std::string path = WriteDemo();
  const std::string before = ReadFileBytes(path);
  CMainDlg& dialog = Open(path);
  dialog.SetModified(true);
  dialog.SetGameName(std::string(32, 'n'));  // only the program can put it there
  dialog.UpdateData(false);
  ASSERT_EQ(GameNameField()->text().size(), 32);
  Click(CMainDlg::kSave);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"“请填入不多于31个的字符。”"});
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_STREQ(app_.document.GetGameName(), "데모");
  EXPECT_TRUE(dialog.modified());
}

// --- Import ------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, ImportAsksForAnExistingTextFileFromTheImportPathAndTextFolder) {
  CMainDlg& dialog = Open(WriteDemo());
  dialog.SetImportPath("/texts/last.txt");
  dialog.SetTextFolder("/texts");
  app_.prompts.QueueCancel();
  Click(CMainDlg::kImport);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].file,
            (toolkit::FileDialogRequest{.kind = toolkit::FileDialogKind::kOpen,
                                        .title = "텍스트 파일 열기",
                                        .filter = "Text Files (*.txt)|*.txt|PO Files (*.po)|*.po|XLIFF Files (*.xlf;*.xliff)|"
                                                  "*.xlf;*.xliff|CSV Files (*.csv)|*.csv|XLSX Files (*.xlsx)|*.xlsx|All Files (*.*)|*.*||",
                                        .defaultExt = "txt",
                                        .fileName = "/texts/last.txt",
                                        .folder = "/texts",
                                        .mustExist = true,
                                        .askReplace = false,
                                        .hideReadOnly = true}));
  EXPECT_EQ(dialog.importPath(), "/texts/last.txt");
  EXPECT_FALSE(dialog.modified());
}

TEST_F(FileCommandsTest, ImportPutsTextsBackMarksModifiedAndKeepsThePlotList) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  dialog.plotList()->setCurrentRow(1);
  const std::string folder = Folder("texts");
  const std::string text = folder + "/ko.txt";
  WriteFileBytes(text, "*************\r\n0\r\n바뀐 말\r\n\r\n100\r\n新的\r\n话\r\n\r\n");
  app_.prompts.QueueFile(text);
  Click(CMainDlg::kImport);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"文件导入成功！"});
  EXPECT_EQ(Records()[1].caption, "Parlatrix");
  EXPECT_STREQ(app_.document.GetItem(app_.document.FindItem(0)).GetText(), "바뀐 말");
  EXPECT_STREQ(app_.document.GetItem(app_.document.FindItem(100)).GetText(), "新的\r\n话");
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("데모", path, true));
  EXPECT_EQ(dialog.plotList()->count(), 2);
  EXPECT_EQ(dialog.plotList()->currentRow(), 1);
  EXPECT_EQ(dialog.importPath(), text);
  EXPECT_EQ(dialog.textFolder(), folder);
  EXPECT_EQ(dialog.dialogueFolder(), temp_.path());
}

TEST_F(FileCommandsTest, ImportMarksModifiedEvenWhenNoTextChanged) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  const std::string text = temp_.File("same.txt");
  WriteFileBytes(text, "0\r\n안녕\r\n\r\n");
  app_.prompts.QueueFile(text);
  Click(CMainDlg::kImport);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"文件导入成功！"});
  EXPECT_STREQ(app_.document.GetItem(app_.document.FindItem(0)).GetText(), "안녕");
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("데모", path, true));
}

TEST_F(FileCommandsTest, ImportIntoADocumentWithoutLinesIsRefusedAfterTheFileWasChosen) {
  const std::string path = temp_.File("plots-only.dlg");
  SaveTestDocument(path, "빈", {{"장면", 0, 10, {}}});
  CMainDlg& dialog = Open(path);
  const QString title = dialog.windowTitle();
  const std::string folder = Folder("texts");
  const std::string text = folder + "/in.txt";
  WriteFileBytes(text, "0\r\nx\r\n");
  app_.prompts.QueueFile(text);
  Click(CMainDlg::kImport);
  ASSERT_EQ(Records().size(), 2u);
  EXPECT_EQ(Records()[0].kind, Kind::kFileDialog);
  EXPECT_EQ(Records()[1].kind, Kind::kMessage);
  EXPECT_EQ(Records()[1].text, "数据不能导入到空文件中！");
  EXPECT_EQ(Records()[1].caption, "Parlatrix");
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_EQ(dialog.importPath(), text);
  EXPECT_EQ(dialog.textFolder(), folder);
  EXPECT_FALSE(FileExists(folder + "/Parlatrix.log"));
}

TEST_F(FileCommandsTest, ImportThatFailsNamesTheFileAndLeavesTheModifiedFlag) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  const std::string missing = temp_.File("missing.txt");
  app_.prompts.QueueFile(missing);
  Click(CMainDlg::kImport);
  EXPECT_EQ(app_.prompts.Texts(), Texts{"导入文本文件错误(" + missing + ")!"});
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("데모", path, false));
  EXPECT_STREQ(app_.document.GetItem(app_.document.FindItem(0)).GetText(), "안녕");
}

// --- Export ------------------------------------------------------------------------------------

TEST_F(FileCommandsTest, ExportAsksForATextFileToWriteFromTheExportPathAndTextFolder) {
  CMainDlg& dialog = Open(WriteDemo());
  dialog.SetExportPath("/texts/last.txt");
  dialog.SetTextFolder("/texts");
  app_.prompts.QueueCancel();
  Click(CMainDlg::kExport);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].file,
            (toolkit::FileDialogRequest{.kind = toolkit::FileDialogKind::kSave,
                                        .title = "텍스트 파일 저장",
                                        .filter = "Text Files (*.txt)|*.txt|PO Files (*.po)|*.po|XLIFF Files (*.xlf;*.xliff)|"
                                                  "*.xlf;*.xliff|CSV Files (*.csv)|*.csv|XLSX Files (*.xlsx)|*.xlsx|All Files (*.*)|*.*||",
                                        .defaultExt = "txt",
                                        .fileName = "/texts/last.txt",
                                        .folder = "/texts",
                                        .mustExist = false,
                                        .askReplace = true,
                                        .hideReadOnly = true}));
}

TEST_F(FileCommandsTest, ExportYesWritesTheTranslationForm) {
  const std::string path = WriteDemo();
  CMainDlg& dialog = Open(path);
  const std::string folder = Folder("texts");
  app_.prompts.QueueFile(folder + "/ko");
  app_.prompts.QueueYes();
  Click(CMainDlg::kExport);
  ASSERT_EQ(Records().size(), 3u);
  EXPECT_EQ(Records()[1].kind, Kind::kQuestion);
  EXPECT_EQ(Records()[1].text, kExportQuestion);
  EXPECT_EQ(Records()[1].caption, "导出");
  EXPECT_EQ(Records()[2].kind, Kind::kMessage);
  EXPECT_EQ(Records()[2].text, "文件导出成功！");
  EXPECT_EQ(Records()[2].caption, "Parlatrix");
  const std::string text = folder + "/ko.txt";
  EXPECT_EQ(ReadFileBytes(text),
            "*************\r\n0\r\n안녕\r\n\r\n1\r\none\r\ntwo\r\n\r\n"
            "*************\r\n100\r\n你好\r\n\r\n");
  EXPECT_EQ(dialog.exportPath(), text);
  EXPECT_EQ(dialog.textFolder(), folder);
  EXPECT_EQ(dialog.dialogueFolder(), temp_.path());
  EXPECT_FALSE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), Title("데모", path, false));
}

TEST_F(FileCommandsTest, ExportNoWritesTheRecordingForm) {
  Open(WriteDemo());
  const std::string text = temp_.File("rec.txt");
  app_.prompts.QueueFile(text);
  app_.prompts.QueueNo();
  Click(CMainDlg::kExport);
  EXPECT_EQ(app_.prompts.Texts(), (Texts{kExportQuestion, "文件导出成功！"}));
  EXPECT_EQ(ReadFileBytes(text), "0\t안녕\r\n1\tone\ttwo\r\n100\t你好\r\n");
}

TEST_F(FileCommandsTest, ExportNeitherReadsTheFieldsNorTouchesTheModifiedFlag) {
  CMainDlg& dialog = OpenModifiedDemo();
  const QString title = dialog.windowTitle();
  GameNameField()->setText(QStringLiteral("typed"));
  app_.prompts.QueueFile(temp_.File("out.txt"));
  app_.prompts.QueueYes();
  Click(CMainDlg::kExport);
  EXPECT_EQ(dialog.gameName(), "데모");
  EXPECT_EQ(GameNameField()->text(), QStringLiteral("typed"));
  EXPECT_TRUE(dialog.modified());
  EXPECT_EQ(dialog.windowTitle(), title);
}

TEST_F(FileCommandsTest, ExportOfADocumentWithoutLinesStillAsksAndWritesAnEmptyFile) {
  Open();
  const std::string text = temp_.File("empty.txt");
  app_.prompts.QueueFile(text);
  app_.prompts.QueueYes();
  Click(CMainDlg::kExport);
  EXPECT_EQ(app_.prompts.Texts(), (Texts{kExportQuestion, "文件导出成功！"}));
  EXPECT_TRUE(FileExists(text));
  EXPECT_EQ(ReadFileBytes(text), "");
}

TEST_F(FileCommandsTest, ExportThatCannotCreateTheFileNamesIt) {
  Open(WriteDemo());
  const std::string blocked = Folder("blocked.txt");
  app_.prompts.QueueFile(blocked);
  app_.prompts.QueueNo();
  Click(CMainDlg::kExport);
  EXPECT_EQ(app_.prompts.Texts(), (Texts{kExportQuestion, "导出文本文件错误(" + blocked + ")!"}));
}

// --- The two folders ---------------------------------------------------------------------------

TEST_F(FileCommandsTest, DialogueAndTextFoldersFollowOnlyTheirOwnDialogs) {
  CMainDlg& dialog = Open();
  const std::string dialogues = Folder("dialogues");
  const std::string texts = Folder("texts");
  const std::string path = dialogues + "/game.dlg";
  SaveTestDocument(path, "g", {{"p", 0, 5, {{"", "", "", "t"}}}});
  app_.prompts.QueueFile(path);
  Click(CMainDlg::kOpen);
  app_.prompts.QueueCancel();
  Click(CMainDlg::kImport);
  EXPECT_EQ(LastRequest().folder, temp_.path());
  app_.prompts.QueueFile(texts + "/out.txt");
  app_.prompts.QueueYes();
  Click(CMainDlg::kExport);
  app_.prompts.QueueCancel();
  Click(CMainDlg::kSaveAs);
  EXPECT_EQ(LastRequest().folder, dialogues);
  app_.prompts.QueueCancel();
  Click(CMainDlg::kImport);
  EXPECT_EQ(LastRequest().folder, texts);
  EXPECT_EQ(LastRequest().fileName, "");
  EXPECT_EQ(dialog.exportPath(), texts + "/out.txt");
  ExpectNoScriptErrors();
}

}  // namespace
