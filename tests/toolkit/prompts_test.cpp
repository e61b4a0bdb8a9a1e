#include "toolkit/prompts.h"

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>

#include "support/temp_dir.h"
#include "toolkit/scripted_prompts.h"

namespace {

using toolkit::FileDialogRequest;
using toolkit::ScriptedPrompts;

TEST(DefaultExtension, AppendedOnlyWhenTheNameHasNone) {
  EXPECT_EQ(toolkit::WithDefaultExtension("/a/b/file", "dlg"), "/a/b/file.dlg");
  EXPECT_EQ(toolkit::WithDefaultExtension("/a/b/file.txt", "dlg"), "/a/b/file.txt");
  EXPECT_EQ(toolkit::WithDefaultExtension("/a.d/file", "txt"), "/a.d/file.txt");
  EXPECT_EQ(toolkit::WithDefaultExtension("/a/file", ""), "/a/file");
}

TEST(FolderOf, FolderPartOfAFullPath) {
  EXPECT_EQ(toolkit::FolderOf("/a/b/c.dlg"), "/a/b");
  EXPECT_EQ(toolkit::FolderOf("/c.dlg"), "/");
}

TEST(CurrentDirectory, TakesAFolderLongerThan256Bytes) {
  TempDir temp;
  std::string deep = temp.path();
  while (deep.size() < 600) deep += "/folder-with-a-rather-long-name";
  std::filesystem::create_directories(deep);
  ScopedCurrentDir cd(deep);
  EXPECT_EQ(toolkit::CurrentDirectory(), deep);
}

TEST(ChooseFile, MovesTheCurrentDirectoryToTheChosenFilesFolder) {
  TempDir temp;
  std::filesystem::create_directory(temp.File("sub"));
  ScopedCurrentDir cd(temp.path());
  ScriptedPrompts prompts;
  prompts.QueueFile(temp.File("sub/doc.dlg"));
  std::string path;
  ASSERT_TRUE(prompts.ChooseFile(nullptr, FileDialogRequest{}, path));
  EXPECT_EQ(path, temp.File("sub/doc.dlg"));
  EXPECT_EQ(toolkit::CurrentDirectory(), temp.File("sub"));
}

TEST(ChooseFile, TypedNameWithoutExtensionGetsTheDefaultOne) {
  TempDir temp;
  ScopedCurrentDir cd(temp.path());
  ScriptedPrompts prompts;
  prompts.QueueFile("export");
  FileDialogRequest request;
  request.save = true;
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
  EXPECT_EQ(toolkit::CurrentDirectory(), temp.path());
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
