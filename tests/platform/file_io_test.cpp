#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using platform::ReplaceResult;

ReplaceResult Replace(const std::string& path, const std::string& contents) {
  return platform::ReplaceFile(path.c_str(), [&](std::FILE* file) {
    // Two writes, so that a fault can hit the second after the first went through.
    const size_t half = contents.size() / 2;
    return platform::WriteBytes(file, contents.data(), half) &&
           platform::WriteBytes(file, contents.data() + half, contents.size() - half);
  });
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ResetFileOperationFaults(); }
  TempDir dir_;
};

TEST_F(ReplaceFileTest, CreatesANewFileWithTheUsualMode) {
  const std::string path = dir_.File("new");
  ASSERT_EQ(Replace(path, "contents"), ReplaceResult::kReplaced);
  EXPECT_EQ(ReadFileBytes(path), "contents");
  const mode_t mask = umask(0);
  umask(mask);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask);
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"new"});
}

TEST_F(ReplaceFileTest, EveryOperationIsCountedInOrder) {
  platform::FailFileOperationAfter(1000);
  ASSERT_EQ(Replace(dir_.File("f"), "abcd"), ReplaceResult::kReplaced);
  // create, write, write, flush, sync, close, rename, open folder, sync folder
  EXPECT_EQ(platform::FileOperationCount(), 9);
}

TEST_F(ReplaceFileTest, FailureAtAnyStepBeforeTheRenameLeavesTheTargetAndNoTemporaryFile) {
  const std::string path = dir_.File("target");
  for (bool sticky : {false, true}) {
    for (int n = 1; n <= 7; ++n) {
      WriteFileBytes(path, "old");
      platform::FailFileOperationAfter(n, sticky);
      const ReplaceResult result = Replace(path, "new contents");
      platform::ResetFileOperationFaults();
      EXPECT_EQ(result, n == 1 ? ReplaceResult::kCreateFailed : ReplaceResult::kWriteFailed) << n;
      EXPECT_EQ(ReadFileBytes(path), "old") << n;
      EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"target"}) << n;
    }
  }
}

TEST_F(ReplaceFileTest, FailureToSyncTheFolderAfterTheRenameStillCountsAsSaved) {
  const std::string path = dir_.File("target");
  for (int n : {8, 9}) {
    WriteFileBytes(path, "old");
    platform::FailFileOperationAfter(n);
    EXPECT_EQ(Replace(path, "new"), ReplaceResult::kReplaced);
    EXPECT_EQ(ReadFileBytes(path), "new");
  }
}

TEST_F(ReplaceFileTest, WriterThatGivesUpAbandonsTheSave) {
  const std::string path = dir_.File("target");
  WriteFileBytes(path, "old");
  EXPECT_EQ(platform::ReplaceFile(path.c_str(), [](std::FILE*) { return false; }),
            ReplaceResult::kWriteFailed);
  EXPECT_EQ(ReadFileBytes(path), "old");
  EXPECT_EQ(FolderEntries(dir_.path()).size(), 1u);
}

// A command's re-check before the rename holds for every writer below it: a writer without a
// check of its own (Save without one, the merge) must not switch it off, one with a check of its
// own is asked instead.
TEST_F(ReplaceFileTest, EnclosingCheckHoldsUnlessTheWriterBringsItsOwn) {
  const std::string path = dir_.File("target");
  const auto write = [](std::FILE* file) { return platform::WriteBytes(file, "new", 3); };
  WriteFileBytes(path, "old");
  {
    const platform::ReplaceCheckScope changed([] { return false; });
    EXPECT_EQ(platform::ReplaceFile(path.c_str(), write), ReplaceResult::kWriteFailed);
    EXPECT_EQ(errno, ESTALE);
    EXPECT_EQ(platform::ReplaceFile(path.c_str(), write, platform::BeforeReplace()),
              ReplaceResult::kWriteFailed);
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(platform::ReplaceFile(path.c_str(), write, [] { return true; }),
              ReplaceResult::kReplaced);
  }
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"target"});
}

TEST_F(ReplaceFileTest, ExistingTargetKeepsItsPermissionBits) {
  const std::string path = dir_.File("target");
  WriteFileBytes(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);
  ASSERT_EQ(Replace(path, "new"), ReplaceResult::kReplaced);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
}

TEST_F(ReplaceFileTest, ChainOfLinksIsFollowedToTheFileItNames) {
  std::filesystem::create_directory(dir_.File("sub"));
  WriteFileBytes(dir_.File("sub/real"), "old");
  ASSERT_EQ(symlink("sub/real", dir_.File("first").c_str()), 0);
  ASSERT_EQ(symlink(dir_.File("first").c_str(), dir_.File("second").c_str()), 0);
  ASSERT_EQ(Replace(dir_.File("second"), "new"), ReplaceResult::kReplaced);
  EXPECT_EQ(ReadFileBytes(dir_.File("sub/real")), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("first")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("second")));
  EXPECT_EQ(FolderEntries(dir_.File("sub")), std::vector<std::string>{"real"});
}

TEST_F(ReplaceFileTest, DanglingLinkCreatesTheFileItNames) {
  ASSERT_EQ(symlink("made", dir_.File("link").c_str()), 0);
  ASSERT_EQ(Replace(dir_.File("link"), "new"), ReplaceResult::kReplaced);
  EXPECT_EQ(ReadFileBytes(dir_.File("made")), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link")));
}

TEST_F(ReplaceFileTest, LinkLoopAFolderOrAMissingFolderCannotBeCreated) {
  ASSERT_EQ(symlink("b", dir_.File("a").c_str()), 0);
  ASSERT_EQ(symlink("a", dir_.File("b").c_str()), 0);
  EXPECT_EQ(Replace(dir_.File("a"), "x"), ReplaceResult::kCreateFailed);
  EXPECT_EQ(Replace(dir_.path(), "x"), ReplaceResult::kCreateFailed);
  EXPECT_EQ(Replace(dir_.File("no/such"), "x"), ReplaceResult::kCreateFailed);
  EXPECT_EQ(Replace("", "x"), ReplaceResult::kCreateFailed);
}

TEST_F(ReplaceFileTest, RelativePathIsReplacedInTheCurrentFolder) {
  ScopedCurrentDir here(dir_.path());
  WriteFileBytes("plain", "old");
  ASSERT_EQ(Replace("plain", "new"), ReplaceResult::kReplaced);
  EXPECT_EQ(ReadFileBytes(dir_.File("plain")), "new");
}

}  // namespace
