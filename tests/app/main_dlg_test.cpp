#include "app/main_dlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <filesystem>

#include "app/editor_app.h"
#include "platform/fault_injection.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/main_window_test.h"
#include "support/ui/modal_dialogs.h"
#include "support/ui/test_app_context.h"
#include "toolkit/code_page.h"
#include "toolkit/prompts.h"
#include "toolkit/text_bytes.h"
#include "dialogs/about_box.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;

class MainDlgTest : public MainWindowTest {
 protected:
  QString Text(int id) const { return toolkit::WidgetText(dialog_->Control(id)); }
  bool Enabled(int id) const { return dialog_->Control(id)->isEnabled(); }
  bool Hidden(int id) const { return dialog_->Control(id)->isHidden(); }

  std::string DemoFile() {
    std::string path = temp_.File("demo.dlg");
    SaveTestDocument(path, "데모",
                     {{"첫 장면", 0, 100, {{"민수", "웃음", "a.wav", "안녕하세요"}}},
                      {"第二幕", 100, 200, {{"李", "", "", "你好"}}},
                      {"empty", -1, -1, {}}});
    return path;
  }
};

TEST_F(MainDlgTest, StartsEmptyWithoutVersionAndWithEditAndDeleteDisabled) {
  CMainDlg& dialog = Open();
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[]"));
  EXPECT_EQ(dialog.baseCaption(), Utf8("대사 편집기"));
  EXPECT_TRUE(Hidden(CMainDlg::kVersionLabel));
  EXPECT_TRUE(Hidden(CMainDlg::kVersionNumber));
  EXPECT_EQ(Text(CMainDlg::kVersionNumber), QString());
  EXPECT_FALSE(Enabled(CMainDlg::kEditPlot));
  EXPECT_FALSE(Enabled(CMainDlg::kDeletePlot));
  EXPECT_TRUE(Enabled(CMainDlg::kAddPlot));
  EXPECT_EQ(dialog.plotList()->count(), 0);
  EXPECT_EQ(GameNameField()->text(), QString());
  EXPECT_FALSE(dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->isChecked());
  EXPECT_FALSE(dialog.modified());
  EXPECT_TRUE(dialog.currentPath().empty());
  int speaker, expression, sound;
  app_.document.GetColumns(speaker, expression, sound);
  EXPECT_EQ(speaker, 1);
  EXPECT_EQ(expression, 1);
  EXPECT_EQ(sound, 0);
  EXPECT_EQ(dialog.dialogueFolder(), temp_.path());
  EXPECT_EQ(dialog.textFolder(), temp_.path());
  EXPECT_TRUE(app_.prompts.records().empty());
}

TEST_F(MainDlgTest, LabelsAndCaptionAreExact) {
  CMainDlg& dialog = Open();
  const std::pair<int, const char*> labels[] = {
      {CMainDlg::kPlotsFrame, "情节"},
      {CMainDlg::kAddPlot, "추가"},
      {CMainDlg::kEditPlot, "편집"},
      {CMainDlg::kDeletePlot, "삭제"},
      {CMainDlg::kMultiLine, "멀티라인 편집"},
      {CMainDlg::kNew, "새 파일"},
      {CMainDlg::kOpen, "파일 불러오기"},
      {CMainDlg::kSaveAs, "새 이름으로..."},
      {CMainDlg::kSave, "파일 저장하기"},
      {CMainDlg::kExport, "내보내기"},
      {CMainDlg::kImport, "가져오기"},
      {CMainDlg::kAbout, "?"},
      {CMainDlg::kExit, "종료"},
      {CMainDlg::kVersionLabel, "버전 :"},
  };
  for (const auto& [id, label] : labels) EXPECT_EQ(Text(id), Utf8(label)) << label;
  EXPECT_STREQ(CMainDlg::Template().caption, "대사 편집기");
  EXPECT_EQ(dialog.dialogTemplate().width, 240);
  EXPECT_EQ(dialog.dialogTemplate().height, 244);
}

TEST_F(MainDlgTest, EveryControlSitsAtItsTemplateRow) {
  CMainDlg& dialog = Open();
  const toolkit::DialogTemplate& t = CMainDlg::Template();
  ASSERT_EQ(t.controls.size(), 18u);  // the plot filter besides the described controls
  for (const toolkit::ControlTemplate& row : t.controls) {
    EXPECT_EQ(dialog.Control(row.id)->geometry(), toolkit::ControlRect(dialog.baseUnits(), row))
        << row.id;
  }
  EXPECT_EQ(dialog.size(), toolkit::DialogSizeToPixels(dialog.baseUnits(), 240, 244));
  // Spot check against the rows as the layout gives them.
  const toolkit::BaseUnits& u = dialog.baseUnits();
  EXPECT_EQ(dialog.Control(CMainDlg::kAbout)->geometry(),
            toolkit::DialogUnitsToPixels(u, 225, 200, 10, 14));
  EXPECT_EQ(dialog.Control(CMainDlg::kPlotList)->geometry(),
            toolkit::DialogUnitsToPixels(u, 10, 15, 150, 186));  // the filter field below it
}

TEST_F(MainDlgTest, StartWithAPathContainingBlanksLoadsIt) {
  std::filesystem::create_directory(temp_.File("my folder"));
  const std::string path = temp_.File("my folder/the demo.dlg");
  SaveTestDocument(path, "데모", {{"첫 장면", 0, 100, {{"민수", "", "", "안녕"}}}});
  CMainDlg& dialog = Open(path);
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_EQ(dialog.currentPath(), path);
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[데모] - " + path));
  EXPECT_FALSE(Hidden(CMainDlg::kVersionNumber));
  EXPECT_EQ(Text(CMainDlg::kVersionNumber), QStringLiteral("0104"));
}

TEST_F(MainDlgTest, QuotedPathIsTakenWithItsQuotesAndFails) {
  const std::string path = DemoFile();
  CMainDlg& dialog = Open("\"" + path + "\"");
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kMessage);
  EXPECT_EQ(app_.prompts.records()[0].text, "(\"" + path + "\") 대화 파일 읽기 오류!");
  EXPECT_EQ(app_.prompts.records()[0].caption, "Parlatrix");
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[]"));
  EXPECT_EQ(dialog.plotList()->count(), 0);
  EXPECT_TRUE(dialog.currentPath().empty());
}

TEST_F(MainDlgTest, LoadListsPlotsInOrderSelectsTheFirstAndEnablesEditAndDelete) {
  const std::string path = DemoFile();
  CMainDlg& dialog = Open(path);
  ASSERT_EQ(dialog.plotList()->count(), 3);
  EXPECT_EQ(dialog.plotList()->item(0)->text(), Utf8("첫 장면"));
  EXPECT_EQ(dialog.plotList()->item(1)->text(), Utf8("第二幕"));
  EXPECT_EQ(dialog.plotList()->item(2)->text(), Utf8("empty"));
  EXPECT_EQ(dialog.plotList()->currentRow(), 0);
  EXPECT_TRUE(dialog.plotList()->item(0)->isSelected());
  EXPECT_TRUE(Enabled(CMainDlg::kEditPlot));
  EXPECT_TRUE(Enabled(CMainDlg::kDeletePlot));
  EXPECT_EQ(GameNameField()->text(), Utf8("데모"));
  EXPECT_EQ(dialog.gameName(), "데모");
  EXPECT_FALSE(dialog.modified());
}

TEST_F(MainDlgTest, DocumentWithoutPlotsLeavesEditAndDeleteDisabled) {
  const std::string path = temp_.File("none.dlg");
  SaveTestDocument(path, "g", {});
  CMainDlg& dialog = Open(path);
  EXPECT_EQ(dialog.plotList()->count(), 0);
  EXPECT_FALSE(Enabled(CMainDlg::kEditPlot));
  EXPECT_FALSE(Enabled(CMainDlg::kDeletePlot));
}

TEST_F(MainDlgTest, SelectionChangesFollowEditAndDelete) {
  CMainDlg& dialog = Open(DemoFile());
  dialog.plotList()->clearSelection();
  EXPECT_FALSE(Enabled(CMainDlg::kEditPlot));
  dialog.plotList()->item(2)->setSelected(true);
  EXPECT_TRUE(Enabled(CMainDlg::kEditPlot));
  EXPECT_TRUE(Enabled(CMainDlg::kDeletePlot));
}

TEST_F(MainDlgTest, Version102FileShows0102) {
  const std::string path = temp_.File("old.dlg");
  SaveVersion102File(path, "old");
  CMainDlg& dialog = Open(path);
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_EQ(dialog.versionNumber(), 102);
  EXPECT_EQ(Text(CMainDlg::kVersionNumber), QStringLiteral("0102"));
  EXPECT_FALSE(Hidden(CMainDlg::kVersionLabel));
}

TEST_F(MainDlgTest, FailedLoadLeavesDocumentListFieldsTitleAndPathAsTheyWere) {
  const std::string path = DemoFile();
  CMainDlg& dialog = Open(path);
  const QString title = dialog.windowTitle();
  const std::string missing = temp_.File("missing.dlg");
  EXPECT_FALSE(dialog.LoadFile(missing));
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].text, "(" + missing + ") 대화 파일 읽기 오류!");
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 3);
  EXPECT_EQ(app_.document.GetLines().GetCount(), 2);
  EXPECT_STREQ(app_.document.GetGameName(), "데모");
  EXPECT_EQ(dialog.plotList()->count(), 3);
  EXPECT_EQ(dialog.windowTitle(), title);
  EXPECT_EQ(dialog.currentPath(), path);
  EXPECT_EQ(GameNameField()->text(), Utf8("데모"));
}

TEST_F(MainDlgTest, FolderIsNotADialogueFileAndChangesNothing) {
  CMainDlg& dialog = Open(DemoFile());
  EXPECT_FALSE(dialog.LoadFile(temp_.path()));
  EXPECT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 3);
}

TEST_F(MainDlgTest, LoadFailingAfterTheDocumentWasEmptiedShowsNoFileSoSaveCannotOverwrite) {
  CMainDlg& dialog = Open(DemoFile());
  const std::string other = temp_.File("other.dlg");
  SaveTestDocument(other, "other", {{"p", 0, 5, {{"", "", "", "t"}}}});
  platform::FailAllocationAfter(1, true);
  const bool loaded = dialog.LoadFile(other);
  platform::ResetAllocationFaults();
  EXPECT_FALSE(loaded);
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"(" + other + ") 대화 파일 읽기 오류!"});
  EXPECT_TRUE(dialog.currentPath().empty());
  EXPECT_EQ(dialog.plotList()->count(), 0);
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 0);
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[]"));
  EXPECT_TRUE(Hidden(CMainDlg::kVersionNumber));
  EXPECT_FALSE(Enabled(CMainDlg::kEditPlot));
}

TEST_F(MainDlgTest, FifoIsRefusedWithoutWaitingForAWriter) {
  CMainDlg& dialog = Open(DemoFile());
  const std::string fifo = temp_.File("pipe.dlg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(dialog.LoadFile(fifo));
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"(" + fifo + ") 대화 파일 읽기 오류!"});
  EXPECT_EQ(app_.document.GetPlots().GetCount(), 3);
}

TEST_F(MainDlgTest, CloseRequestNoticesChangedGameNameAndKeepsTheMarkAfterNo) {
  CMainDlg& dialog = Open(DemoFile());
  dialog.show();
  GameNameField()->setText(Utf8("새 이름"));
  app_.prompts.QueueNo();
  dialog.ControlAs<QPushButton>(CMainDlg::kExit)->click();
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kQuestion);
  EXPECT_EQ(app_.prompts.records()[0].text, "内容被修改了，退出吗？");
  EXPECT_EQ(app_.prompts.records()[0].caption, "警告");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.modified());
  EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral(" *")));
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[새 이름] - " + dialog.currentPath() + " *"));
  // The document is not touched: only Save hands the name over.
  EXPECT_STREQ(app_.document.GetGameName(), "데모");
  app_.prompts.QueueYes();
  dialog.reject();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), toolkit::kIdCancel);
  EXPECT_TRUE(app_.prompts.errors().empty());
}

TEST_F(MainDlgTest, CloseRequestNoticesChangedMultiLineFlag) {
  CMainDlg& dialog = Open(DemoFile());
  dialog.show();
  dialog.ControlAs<QCheckBox>(CMainDlg::kMultiLine)->setChecked(true);
  app_.prompts.QueueNo();
  dialog.reject();
  EXPECT_EQ(app_.prompts.Texts(), std::vector<std::string>{"内容被修改了，退出吗？"});
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainDlgTest, CloseWithoutChangesClosesAtOnce) {
  CMainDlg& dialog = Open(DemoFile());
  dialog.show();
  dialog.reject();
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MainDlgTest, TitleRefreshKeepsAnUnreadGameNameField) {
  CMainDlg& dialog = Open(DemoFile());
  GameNameField()->setText(QStringLiteral("typed"));
  dialog.SetModified(true);
  dialog.RefreshTitle();
  EXPECT_EQ(GameNameField()->text(), QStringLiteral("typed"));
  EXPECT_EQ(dialog.windowTitle(), Utf8("대사 편집기[typed] - " + dialog.currentPath() + " *"));
}

TEST_F(MainDlgTest, EnterInTheGameNameFieldDoesNothing) {
  CMainDlg& dialog = Open();
  dialog.show();
  GameNameField()->setFocus();
  GameNameField()->setText(QStringLiteral("x"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(GameNameField(), &enter);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(app_.prompts.records().empty());
  EXPECT_EQ(dialog.gameName(), "");
  // No button has become a default that Enter would press.
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
  }
}

TEST_F(MainDlgTest, GameNameFieldTakesAtMost31BytesAndEveryNameItTakesSurvivesSaveAndLoad) {
  CMainDlg& dialog = Open();
  QLineEdit* field = GameNameField();
  for (int i = 0; i < 12; ++i) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, Utf8("가"));
    QApplication::sendEvent(field, &key);
  }
  QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("z"));
  QApplication::sendEvent(field, &key);
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.gameName(), "가가가가가가가가가가z");  // 10 x 3 + 1 bytes in UTF-8
  EXPECT_EQ(dialog.gameName().size(), 31u);
  app_.document.SetGameName(dialog.gameName().c_str());
  const std::string path = temp_.File("named.dlg");
  ASSERT_EQ(app_.document.Save(path.c_str()), 1);
  CDlgFile loaded;
  ASSERT_EQ(loaded.Load(path.c_str()), 1);
  EXPECT_STREQ(loaded.GetGameName(), dialog.gameName().c_str());
}

TEST_F(MainDlgTest, FoldersTakeACurrentDirectoryLongerThan256Bytes) {
  std::string deep = temp_.path();
  while (deep.size() < 400) deep += "/a-long-folder-name-for-the-test";
  std::filesystem::create_directories(deep);
  ScopedCurrentDir cd(deep);
  CMainDlg& dialog = Open();
  EXPECT_EQ(dialog.dialogueFolder(), deep);
  EXPECT_EQ(dialog.textFolder(), deep);
}

TEST_F(MainDlgTest, AboutButtonHandsOverPathAndFolder) {
  CMainDlg& dialog = Open(DemoFile());
  dialog.SetDialogueFolder(temp_.File("elsewhere"));
  app_.prompts.QueueCancel();
  std::string shownFileName, shownFolder;
  OnNextDialog<CAboutBox>([&](CAboutBox& about) {
    shownFileName = about.fileName;
    shownFolder = about.folder;
    about.OnTest();
    about.reject();
  });
  dialog.ControlAs<QPushButton>(CMainDlg::kAbout)->click();
  EXPECT_EQ(shownFileName, dialog.currentPath());
  EXPECT_EQ(shownFolder, temp_.File("elsewhere"));
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].file.fileName, dialog.currentPath());
  EXPECT_EQ(app_.prompts.records()[0].file.folder, temp_.File("elsewhere"));
}

TEST_F(MainDlgTest, ContextMenuOffersAboutWithoutFileDetails) {
  CMainDlg& dialog = Open(DemoFile());
  std::unique_ptr<QMenu> menu(dialog.CreateSystemMenu(&dialog));
  ASSERT_EQ(menu->actions().size(), 8);
  EXPECT_TRUE(menu->actions()[0]->isSeparator());
  EXPECT_EQ(menu->actions()[1]->text(), Utf8("Parlatrix 정보(&A)..."));
  EXPECT_EQ(menu->actions()[2]->text(), Utf8("찾기(&F)..."));
  EXPECT_EQ(menu->actions()[3]->text(), Utf8("통계(&S)..."));
  EXPECT_EQ(menu->actions()[4]->text(), Utf8("언어 · Language(&L)..."));
  EXPECT_EQ(menu->actions()[5]->text(), Utf8("코드 페이지로 열기(&E)..."));
  EXPECT_EQ(menu->actions()[6]->text(), Utf8("실행 취소(&U)"));
  EXPECT_EQ(menu->actions()[7]->text(), Utf8("다시 실행(&R)"));
  app_.prompts.QueueCancel();
  OnNextDialog<CAboutBox>([&](CAboutBox& about) {
    about.OnTest();
    about.reject();
  });
  menu->actions()[1]->trigger();
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].file.fileName, "");
  EXPECT_EQ(app_.prompts.records()[0].file.folder, "");
}

}  // namespace
