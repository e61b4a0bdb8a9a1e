// Opening a damaged file and saving over a file that changed on disk, through the main window's
// buttons with scripted prompts.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QPushButton>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/main_dlg.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"
#include "support/ui/main_window_test.h"
#include "support/ui/test_app_context.h"

namespace {

using Kind = toolkit::ScriptedPrompts::Kind;

class FileSafetyTest : public MainWindowTest {
 protected:
  std::string WriteDemo(const std::string& name) {
    const std::string path = temp_.File(name);
    SaveTestDocument(path, "데모", {{"장면", 0, 100, {{"", "", "", "안녕"}, {"", "", "", "둘"}}}}, 1);
    return path;
  }
  void Click(int id) { dialog_->ControlAs<QPushButton>(id)->click(); }
};

TEST_F(FileSafetyTest, DamagedFileIsAnnouncedOnceAndItsOriginalKeptAtTheFirstSave) {
  const std::string path = WriteDemo("story.dlg");
  std::string damaged = ReadFileBytes(path);
  damaged.resize(damaged.size() - 5);  // the last record cut short
  WriteFileBytes(path, damaged);
  CMainDlg& dialog = Open();
  app_.prompts.QueueFile(path);
  Click(CMainDlg::kOpen);
  ASSERT_EQ(app_.prompts.records().size(), 2u);
  const auto& warning = app_.prompts.records()[1];
  EXPECT_EQ(warning.kind, Kind::kMessage);
  EXPECT_NE(warning.text.find("已损坏"), std::string::npos) << warning.text;
  EXPECT_NE(warning.text.find(path + ".damaged"), std::string::npos) << warning.text;
  EXPECT_EQ(dialog.currentPath(), path);

  Click(CMainDlg::kSave);
  EXPECT_EQ(app_.prompts.records().size(), 2u);  // said once, saved without asking
  EXPECT_EQ(ReadFileBytes(path + ".damaged"), damaged);
  EXPECT_NE(ReadFileBytes(path), damaged);
  // A second damaged session does not overwrite the copy the first one kept.
  WriteFileBytes(path, damaged.substr(0, damaged.size() - 3));
  app_.prompts.QueueFile(path);
  Click(CMainDlg::kOpen);
  Click(CMainDlg::kSave);
  EXPECT_EQ(ReadFileBytes(path + ".damaged"), damaged);
  EXPECT_TRUE(app_.prompts.QueueEmpty());
}

TEST_F(FileSafetyTest, DamagedFileOnTheCommandLineIsAnnouncedAsByOpen) {
  const std::string path = WriteDemo("story.dlg");
  std::string damaged = ReadFileBytes(path);
  damaged.resize(damaged.size() - 5);
  WriteFileBytes(path, damaged);
  CMainDlg& dialog = Open(path);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  const auto& warning = app_.prompts.records()[0];
  EXPECT_EQ(warning.kind, Kind::kMessage);
  EXPECT_NE(warning.text.find("已损坏"), std::string::npos) << warning.text;
  EXPECT_NE(warning.text.find(path + ".damaged"), std::string::npos) << warning.text;
  EXPECT_EQ(dialog.currentPath(), path);
  Click(CMainDlg::kSave);
  EXPECT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(ReadFileBytes(path + ".damaged"), damaged);
  EXPECT_NE(ReadFileBytes(path), damaged);
}

TEST_F(FileSafetyTest, SaveOverAFileChangedOnDiskAsksFirst) {
  const std::string path = WriteDemo("story.dlg");
  CMainDlg& dialog = Open(path);
  dialog.SetModified(true);
  // Another program rewrites the file in place (same inode, new size and time).
  const std::string theirs = ReadFileBytes(path) + "x";
  WriteFileBytes(path, theirs);
  struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

  app_.prompts.QueueNo();
  Click(CMainDlg::kSave);
  ASSERT_EQ(app_.prompts.records().size(), 1u);
  EXPECT_EQ(app_.prompts.records()[0].kind, Kind::kQuestion);
  EXPECT_NE(app_.prompts.records()[0].text.find("已被其他程序修改"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(path), theirs);
  EXPECT_TRUE(dialog.modified());

  app_.prompts.QueueYes();
  Click(CMainDlg::kSave);
  EXPECT_NE(ReadFileBytes(path), theirs);
  EXPECT_FALSE(dialog.modified());
  // The save itself is now what the window knows: the next save asks nothing.
  dialog.SetModified(true);
  Click(CMainDlg::kSave);
  EXPECT_EQ(app_.prompts.records().size(), 2u);
  EXPECT_TRUE(app_.prompts.QueueEmpty());
}

TEST_F(FileSafetyTest, EveryKindOfChangeOnDiskIsSeenBeforeTheSave) {
  // Each way another program changes the open file; the window must ask before it writes.
  struct Change {
    const char* name;
    void (*apply)(const std::string& path, const std::string& theirs);
  };
  const Change changes[] = {
      // dlgtool, git checkout, most editors: a new file renamed over the old name (new inode).
      {"replaced by rename",
       [](const std::string& path, const std::string& theirs) {
         WriteFileBytes(path + ".new", theirs);
         ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
       }},
      // Same inode and size, modification time put back to the very nanosecond: only the
      // contents tell, and the file was read too soon after its last change to trust the time.
      {"same size and time in place",
       [](const std::string& path, const std::string& theirs) {
         struct stat before;
         ASSERT_EQ(stat(path.c_str(), &before), 0);
         const int fd = open(path.c_str(), O_WRONLY);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(pwrite(fd, theirs.data(), theirs.size(), 0),
                   static_cast<ssize_t>(theirs.size()));
         close(fd);
         const struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
         ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
       }},
      // Removed: a save would bring back a file someone deleted or moved away.
      {"removed",
       [](const std::string& path, const std::string&) {
         ASSERT_EQ(std::remove(path.c_str()), 0);
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    const std::string path = WriteDemo(std::string(change.name) + ".dlg");
    std::string theirs = ReadFileBytes(path);
    theirs.back() ^= 1;  // one byte of the last record, same size
    CMainDlg& dialog = Open(path);
    dialog.SetModified(true);
    const size_t before = app_.prompts.records().size();
    change.apply(path, theirs);
    const bool existed = FileExists(path);
    app_.prompts.QueueNo();
    Click(CMainDlg::kSave);
    ASSERT_EQ(app_.prompts.records().size(), before + 1);
    EXPECT_EQ(app_.prompts.records().back().kind, Kind::kQuestion);
    if (existed) {
      EXPECT_EQ(ReadFileBytes(path), theirs);
    } else {
      EXPECT_FALSE(FileExists(path));
    }
    EXPECT_TRUE(dialog.modified());
    EXPECT_TRUE(app_.prompts.QueueEmpty());
  }
}

}  // namespace
