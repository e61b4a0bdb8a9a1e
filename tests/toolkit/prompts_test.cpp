#include "toolkit/prompts.h"

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>

#include "platform/path.h"
#include "support/temp_dir.h"
#include "support/ui/scripted_prompts.h"

namespace {

using toolkit::FileDialogRequest;
using toolkit::ScriptedPrompts;

TEST(ChooseFile, MovesTheCurrentDirectoryToTheChosenFilesFolder) {
  TempDir temp;
  std::filesystem::create_directory(temp.File("sub"));
  ScopedCurrentDir cd(temp.path());
  ScriptedPrompts prompts;
  prompts.QueueFile(temp.File("sub/doc.dlg"));
  std::string path;
  ASSERT_TRUE(prompts.ChooseFile(nullptr, FileDialogRequest{}, path));
  EXPECT_EQ(path, temp.File("sub/doc.dlg"));
  EXPECT_EQ(platform::CurrentDirectory(), temp.File("sub"));
}

TEST(ChooseFile, TypedNameWithoutExtensionGetsTheDefaultOne) {
  TempDir temp;
  ScopedCurrentDir cd(temp.path());
  ScriptedPrompts prompts;
  prompts.QueueFile("export");
  FileDialogRequest request;
  request.kind = toolkit::FileDialogKind::kSave;
  request.defaultExt = "txt";
  request.folder = temp.path();
  std::string path;
  ASSERT_TRUE(prompts.ChooseFile(nullptr, request, path));
  EXPECT_EQ(path, temp.File("export.txt"));
}

TEST(ChooseFile, CancelLeavesPathAndCurrentDirectory) {
  TempDir temp;
  ScopedCurrentDir cd(temp.path());
  ScriptedPrompts prompts;
  prompts.QueueCancel();
  std::string path = "unchanged";
  EXPECT_FALSE(prompts.ChooseFile(nullptr, FileDialogRequest{}, path));
  EXPECT_EQ(path, "unchanged");
  EXPECT_EQ(platform::CurrentDirectory(), temp.path());
  EXPECT_TRUE(prompts.errors().empty());
}

TEST(ScriptedPrompts, RecordsEveryPromptWithTheAppNameAsDefaultCaption) {
  ScriptedPrompts prompts;
  prompts.Message(nullptr, QString::fromUtf8("文件导出成功！"));
  prompts.QueueNo();
  EXPECT_FALSE(prompts.AskYesNo(nullptr, QStringLiteral("q"), QString::fromUtf8("导出")));
  ASSERT_EQ(prompts.records().size(), 2u);
  EXPECT_EQ(prompts.records()[0].kind, ScriptedPrompts::Kind::kMessage);
  EXPECT_EQ(prompts.records()[0].text, "文件导出成功！");
  EXPECT_EQ(prompts.records()[0].caption, "Parlatrix");
  EXPECT_EQ(prompts.records()[1].kind, ScriptedPrompts::Kind::kQuestion);
  EXPECT_EQ(prompts.records()[1].caption, "导出");
  EXPECT_TRUE(prompts.errors().empty());
}

TEST(ScriptedPrompts, UnqueuedOrMismatchedAnswerIsAnErrorAndAnswersNo) {
  ScriptedPrompts prompts;
  EXPECT_FALSE(prompts.AskYesNo(nullptr, QStringLiteral("q"), QString()));
  EXPECT_EQ(prompts.errors().size(), 1u);
  prompts.QueueFile("/x.dlg");
  EXPECT_FALSE(prompts.AskYesNo(nullptr, QStringLiteral("q"), QString()));
  EXPECT_EQ(prompts.errors().size(), 2u);
  EXPECT_FALSE(prompts.QueueEmpty());
}

}  // namespace
