// A saved file stays the same file: its hard links, owner, group, mode, extended attributes and
// ACL survive a save, and the in-place write that keeps them loses nothing when it fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "support/temp_dir.h"

namespace {

using platform::ReplaceResult;

ReplaceResult Replace(const std::string& path, const std::string& contents) {
  return platform::ReplaceFile(path.c_str(), [&](std::FILE* file) {
    const size_t half = contents.size() / 2;
    return platform::WriteBytes(file, contents.data(), half) &&
           platform::WriteBytes(file, contents.data() + half, contents.size() - half);
  });
}

struct stat Stat(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info;
}

// What a shell command printed on stdout; the exit status in `status`.
std::string Shell(const std::string& command, int& status) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, got);
  status = pclose(pipe);
  return out;
}

class FileIdentityTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ResetFileOperationFaults(); }
  TempDir dir_;
};

TEST_F(FileIdentityTest, HardLinkedFileIsWrittenInPlaceAndNeverHalfWritten) {
  const std::string a = dir_.File("a.dlg");
  const std::string b = dir_.File("b.dlg");
  WriteFileBytes(a, std::string(100000, 'o'));
  ASSERT_EQ(link(a.c_str(), b.c_str()), 0);
  const ino_t inode = Stat(a).st_ino;
  ASSERT_EQ(Replace(a, "new contents"), ReplaceResult::kReplaced);
  EXPECT_EQ(Stat(a).st_ino, inode);
  EXPECT_EQ(Stat(a).st_nlink, 2u);
  EXPECT_EQ(ReadFileBytes(b), "new contents");
  EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"a.dlg", "b.dlg"}));

  // Fail each file operation in turn, from the backup copy to the last sync: the file holds the
  // old or the new bytes, nothing else, and neither a temporary file nor the backup is left.
  std::string current = ReadFileBytes(a);
  for (int n = 1; n < 60; ++n) {
    const std::string next = std::string(50000 + n, static_cast<char>('a' + n % 26));
    platform::FailFileOperationAfter(n);
    const ReplaceResult result = Replace(a, next);
    platform::ResetFileOperationFaults();
    if (result == ReplaceResult::kReplaced) current = next;
    EXPECT_EQ(ReadFileBytes(b), current) << "failure at operation " << n;
    EXPECT_EQ(Stat(a).st_ino, inode);
    EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"a.dlg", "b.dlg"}))
        << "failure at operation " << n;
  }
}

TEST_F(FileIdentityTest, BackupOfAnInterruptedSaveIsKeptOrDroppedWhenRedundant) {
  const std::string a = dir_.File("a.dlg");
  WriteFileBytes(a, "half written");
  ASSERT_EQ(link(a.c_str(), dir_.File("b.dlg").c_str()), 0);
  const std::string backup = platform::SaveBackupPath(a.c_str());
  EXPECT_EQ(backup, a + ".save-backup");
  WriteFileBytes(backup, "the old whole file");
  // Kept, named, and not written over by the next in-place save (which uses another name).
  EXPECT_EQ(platform::LeftSaveBackup(a.c_str()), backup);
  ASSERT_EQ(Replace(a, "new"), ReplaceResult::kReplaced);
  EXPECT_EQ(ReadFileBytes(backup), "the old whole file");
  EXPECT_EQ(FolderEntries(dir_.path()),
            (std::vector<std::string>{"a.dlg", "a.dlg.save-backup", "b.dlg"}));
  // A backup equal to the file (the write had not begun) holds nothing to lose: removed.
  WriteFileBytes(backup, "new");
  EXPECT_EQ(platform::LeftSaveBackup(a.c_str()), "");
  EXPECT_FALSE(FileExists(backup));
}

TEST_F(FileIdentityTest, AttributesAclOwnerAndGroupSurviveASave) {
  // A tmpfs before Linux 6.6 keeps no user attributes: then a folder beside the test binary, on
  // the build disk.
  std::string folder = dir_.path();
  if (setxattr(folder.c_str(), "user.probe", "1", 1, 0) != 0) {
    folder = std::filesystem::absolute("xattr-test").string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
  }
  const std::string path = folder + "/doc.dlg";
  WriteFileBytes(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  if (setxattr(path.c_str(), "user.x", "value", 5, 0) != 0) {
    GTEST_SKIP() << "no file system here keeps user attributes (" << std::strerror(errno) << ")";
  }
  int status = -1;
  (void)Shell("setfacl -m u:65534:rw '" + path + "' 2>&1", status);
  ASSERT_EQ(status, 0) << "setfacl (package acl) is needed";
  const std::string acl = Shell("getfacl -n -c '" + path + "' 2>/dev/null", status);
  ASSERT_NE(acl.find("user:65534:rw-"), std::string::npos) << acl;
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  }
  const struct stat before = Stat(path);

  ASSERT_EQ(Replace(path, "new"), ReplaceResult::kReplaced);
  const struct stat after = Stat(path);
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_EQ(Shell("getfacl -n -c '" + path + "' 2>/dev/null", status), acl);
  char value[16] = {};
  EXPECT_EQ(getxattr(path.c_str(), "user.x", value, sizeof value), 5);
  EXPECT_STREQ(value, "value");
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  // A file without an ACL gets none from the folder's default ACL.
  const std::string plain = folder + "/plain.dlg";
  WriteFileBytes(plain, "old");
  (void)Shell("setfacl -d -m u:65534:rw '" + folder + "'", status);
  ASSERT_EQ(Replace(plain, "new"), ReplaceResult::kReplaced);
  const std::string plainAcl = Shell("getfacl -n -c '" + plain + "' 2>/dev/null", status);
  EXPECT_EQ(plainAcl.find("user:65534"), std::string::npos) << plainAcl;
  if (folder != dir_.path()) std::filesystem::remove_all(folder);
}

}  // namespace
