#include "dialogs/about_box.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <filesystem>

#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/modal_dialogs.h"
#include "support/ui/test_app_context.h"
#include "toolkit/icons.h"
#include "toolkit/text_bytes.h"
#include "dialogs/lookup_dlg.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;

class AboutBoxTest : public testing::Test {
 protected:
  AboutBoxTest() : cd_(temp_.path()) {}

  CAboutBox& Open(const std::string& fileName = {}, const std::string& folder = {}) {
    box_ = std::make_unique<CAboutBox>(app_.reader, app_.prompts);
    box_->fileName = fileName;
    box_->folder = folder;
    EXPECT_TRUE(box_->InitDialog());
    return *box_;
  }

  // Closes the next lookup dialog at once, noting the file it was given.
  void CloseNextLookup(std::string& fileName) {
    OnNextDialog<CLookupDlg>([&fileName](CLookupDlg& lookup) {
      fileName = lookup.fileName;
      lookup.reject();
    });
  }

  TempDir temp_;
  ScopedCurrentDir cd_;
  TestAppContext app_;
  std::unique_ptr<CAboutBox> box_;
};

TEST_F(AboutBoxTest, CaptionTextsAndLayoutAreExact) {
  CAboutBox& box = Open();
  EXPECT_EQ(box.windowTitle(), QString::fromUtf8("关于 对话编辑器"));
  const std::pair<int, const char*> labels[] = {
      {CAboutBox::kVersion, "Parlatrix 1.0 版"},
      {CAboutBox::kHistory1, "V0011  2001年7月4日"},
      {CAboutBox::kHistory2, "V0012  2001年10月26日"},
      {CAboutBox::kTest, "Test"},
      {CAboutBox::kOk, "OK"},
  };
  for (const auto& [id, label] : labels) {
    EXPECT_EQ(toolkit::WidgetText(box.Control(id)), QString::fromUtf8(label)) << label;
  }
  EXPECT_TRUE(box.ControlAs<QPushButton>(CAboutBox::kTest)->isDefault());
  for (const toolkit::ControlTemplate& row : CAboutBox::Template().controls) {
    EXPECT_EQ(box.Control(row.id)->geometry(), toolkit::ControlRect(box.baseUnits(), row))
        << row.id;
  }
  EXPECT_EQ(box.size(), toolkit::DialogSizeToPixels(box.baseUnits(), 236, 86));
}

TEST_F(AboutBoxTest, ShowsItsOwnIconDistinctFromTheMainWindows) {
  CAboutBox& box = Open();
  QPixmap shown = box.ControlAs<QLabel>(CAboutBox::kIcon)->pixmap();
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown.toImage(), toolkit::AboutIcon().pixmap(32).toImage());
  EXPECT_NE(shown.toImage(), toolkit::MainIcon().pixmap(32).toImage());
}

TEST_F(AboutBoxTest, TestAsksForAnExistingDialogueFileWherePathAndFolderSay) {
  Open("/data/current.dlg", "/data");
  app_.prompts.QueueCancel();
  box_->OnTest();
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kFileDialog);
  EXPECT_EQ(
      app_.prompts.records()[0].file,
      (toolkit::FileDialogRequest{.kind = toolkit::FileDialogKind::kOpen,
                                  .title = "대화 파일 열기",
                                  .filter = "Dialog Files (*.dlg)|*.dlg|All Files (*.*)|*.*||",
                                  .defaultExt = "dlg",
                                  .fileName = "/data/current.dlg",
                                  .folder = "/data",
                                  .mustExist = true,
                                  .askReplace = false,
                                  .hideReadOnly = true}));
}

TEST_F(AboutBoxTest, CancelledFileDialogLeavesTheBoxOpenAndUnchanged) {
  CAboutBox& box = Open("", "/start");
  box.show();
  app_.prompts.QueueCancel();
  box.ControlAs<QPushButton>(CAboutBox::kTest)->click();
  EXPECT_TRUE(box.isVisible());
  EXPECT_EQ(box.folder, "/start");
  EXPECT_EQ(app_.prompts.records().size(), 1u);
}

TEST_F(AboutBoxTest, SecondTestStartsInTheFolderOfTheFirstChosenFile) {
  std::filesystem::create_directory(temp_.File("saved"));
  const std::string path = temp_.File("saved/game.dlg");
  SaveTestDocument(path, "g", {{"p", 0, 5, {{"", "", "", "t"}}}});
  Open("", temp_.path());
  app_.prompts.QueueFile(path);
  std::string lookedUp;
  CloseNextLookup(lookedUp);
  box_->OnTest();
  EXPECT_EQ(lookedUp, path);
  app_.prompts.QueueCancel();
  box_->OnTest();
  ASSERT_EQ(app_.prompts.records().size(), 2u);
  EXPECT_EQ(app_.prompts.records()[1].file.folder, temp_.File("saved"));
  EXPECT_TRUE(app_.prompts.errors().empty());
}

TEST_F(AboutBoxTest, OkCloses) {
  CAboutBox& box = Open();
  box.show();
  box.ControlAs<QPushButton>(CAboutBox::kOk)->click();
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), toolkit::kIdOk);
}

}  // namespace
