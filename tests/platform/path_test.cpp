#include "platform/path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

TEST(DefaultExtension, AppendedOnlyWhenTheNameHasNone) {
  EXPECT_EQ(platform::WithDefaultExtension("/a/b/file", "dlg"), "/a/b/file.dlg");
  EXPECT_EQ(platform::WithDefaultExtension("/a/b/file.txt", "dlg"), "/a/b/file.txt");
  EXPECT_EQ(platform::WithDefaultExtension("/a.d/file", "txt"), "/a.d/file.txt");
  EXPECT_EQ(platform::WithDefaultExtension("/a/file", ""), "/a/file");
}

TEST(FolderOf, FolderPartOfAFullPath) {
  EXPECT_EQ(platform::FolderOf("/a/b/c.dlg"), "/a/b");
  EXPECT_EQ(platform::FolderOf("/c.dlg"), "/");
}

TEST(CurrentDirectory, TakesAFolderLongerThan256Bytes) {
  TempDir temp;
  std::string deep = temp.path();
  while (deep.size() < 600) deep += "/folder-with-a-rather-long-name";
  std::filesystem::create_directories(deep);
  ScopedCurrentDir cd(deep);
  EXPECT_EQ(platform::CurrentDirectory(), deep);
}

}  // namespace
