// Save of a large document with every file operation, and every allocation, failing in turn: once
// (the Nth only) and from the Nth on. N grows until the save goes through. After every failure the
// previous file is there byte for byte, no temporary file is left beside it, the document is as
// it was, and the debug output says why.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "document_checks.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "support/debug_capture.h"
#include "support/temp_dir.h"

namespace {

enum class Seam { kFileOperation, kAllocation };
enum class Mode { kOnce, kFromNOn };

struct LoopResult {
  int failures = 0;    // saves that failed, each with the previous file intact
  int tolerated = 0;   // saves that went through although their fault was injected
  bool saved = false;  // a save without any fault reached went through
};

class SaveFaults : public ::testing::Test {
 public:
  void ExpectPreviousFileAlone(int n, const std::string& before);

 protected:
  void SetUp() override {
    dlgtest::BuildLargeDocument(doc_, "new");
    // One record larger than the writer's 1 MiB buffer: the file goes out in several writes, the
    // large record in one of its own from a block of its own.
    CDlgItem large;
    large.SetID(4 * dlgtest::kLargeDocumentIdStep + 1);
    large.SetText(std::string(size_t{3} << 19, 'L').c_str());
    ASSERT_NE(doc_.AddItem(large, doc_.GetPlots().GetHeadPosition(), nullptr), nullptr);
    const std::string scratch = dir_.File("scratch.dlg");
    ASSERT_EQ(doc_.Save(scratch.c_str()), 1);
    expected_ = ReadFileBytes(scratch);
    ASSERT_EQ(std::remove(scratch.c_str()), 0);

    CDlgFile previous;
    dlgtest::BuildLargeDocument(previous, "old");
    path_ = dir_.File("doc.dlg");
    ASSERT_EQ(previous.Save(path_.c_str()), 1);
    previous_ = ReadFileBytes(path_);
    description_ = dlgtest::Describe(doc_);
  }
  void TearDown() override {
    platform::ResetFileOperationFaults();
    platform::ResetAllocationFaults();
  }

  static void Arm(Seam seam, Mode mode, int n) {
    if (seam == Seam::kFileOperation) {
      platform::FailFileOperationAfter(n, mode == Mode::kFromNOn);
    } else {
      platform::FailAllocationAfter(n, mode == Mode::kFromNOn);
    }
  }
  static long Count(Seam seam) {
    return seam == Seam::kFileOperation ? platform::FileOperationCount()
                                        : platform::AllocationCount();
  }

  // Saves to `target` with the Nth operation failing, N = 1, 2, ... until N lies beyond the
  // operations a save makes. `afterFailure` checks what must hold after each failed save, given
  // the file's bytes before it.
  LoopResult SaveWithEachFault(Seam seam, Mode mode, const std::string& target,
                               const std::function<void(int, const std::string&)>& afterFailure) {
    LoopResult loop;
    for (int n = 1; n < 5000 && !loop.saved; ++n) {
      const std::string before = ReadFileBytes(target);
      DebugCapture capture;
      Arm(seam, mode, n);
      const int result = doc_.Save(target.c_str());
      const bool fired = n <= Count(seam);
      platform::ResetFileOperationFaults();
      platform::ResetAllocationFaults();
      EXPECT_EQ(dlgtest::Describe(doc_), description_) << "fault " << n;
      EXPECT_TRUE(dlgtest::IsConsistent(doc_)) << "fault " << n;
      if (result == 1) {
        EXPECT_EQ(ReadFileBytes(target), expected_) << "fault " << n;
        EXPECT_EQ(doc_.GetVersion(), 104);
        loop.saved = !fired;
        loop.tolerated += fired ? 1 : 0;
        continue;
      }
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(fired) << "fault " << n << ": failed without an injected fault";
      ++loop.failures;
      const std::string why = capture.lines().empty() ? "" : capture.lines().back();
      EXPECT_TRUE(why ==
                      "CDlgFile::Save() Error (2) : Create save file failed(" + target + ").\n" ||
                  why == "CDlgFile::Save() Error (4) : Write save file failed(" + target + ").\n" ||
                  why == "CDlgFile::Save() Error (1) : Not enough memory(" + target + ").\n")
          << why;
      afterFailure(n, before);
    }
    return loop;
  }

  TempDir dir_;
  CDlgFile doc_;
  std::string path_;
  std::string expected_;
  std::string previous_;
  std::string description_;
};

void SaveFaults::ExpectPreviousFileAlone(int n, const std::string& before) {
  EXPECT_EQ(ReadFileBytes(path_), before) << "fault " << n;
  EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"doc.dlg"}) << "fault " << n;
}

auto PreviousFileAlone(SaveFaults* test) {
  return [test](int n, const std::string& before) { test->ExpectPreviousFileAlone(n, before); };
}

TEST_F(SaveFaults, EachFileOperationFailingOnceKeepsThePreviousFile) {
  const LoopResult loop =
      SaveWithEachFault(Seam::kFileOperation, Mode::kOnce, path_, PreviousFileAlone(this));
  EXPECT_TRUE(loop.saved);
  // Creating, the buffer before the large record, the large record, the rest, flush, sync,
  // close, rename.
  EXPECT_EQ(loop.failures, 8);
  // Only the two steps after the rename, which make it durable, may fail without failing the save.
  EXPECT_EQ(loop.tolerated, 2);
}

TEST_F(SaveFaults, FileOperationsFailingFromEachOnKeepThePreviousFile) {
  const LoopResult loop =
      SaveWithEachFault(Seam::kFileOperation, Mode::kFromNOn, path_, PreviousFileAlone(this));
  EXPECT_TRUE(loop.saved);
  EXPECT_EQ(loop.failures, 8);
  EXPECT_EQ(loop.tolerated, 2);
}

TEST_F(SaveFaults, EachAllocationFailingOnceKeepsThePreviousFile) {
  const LoopResult loop =
      SaveWithEachFault(Seam::kAllocation, Mode::kOnce, path_, PreviousFileAlone(this));
  EXPECT_TRUE(loop.saved);
  // The sorted copy, the writer's buffer, the block of the record larger than that buffer.
  EXPECT_EQ(loop.failures, 3);
  EXPECT_EQ(loop.tolerated, 1);  // the stream buffer: the stream falls back to its own
}

TEST_F(SaveFaults, AllocationsFailingFromEachOnKeepThePreviousFile) {
  const LoopResult loop =
      SaveWithEachFault(Seam::kAllocation, Mode::kFromNOn, path_, PreviousFileAlone(this));
  EXPECT_TRUE(loop.saved);
  EXPECT_EQ(loop.failures, 4);  // the stream buffer's as well, after which nothing is allocated
}

TEST_F(SaveFaults, FailedFirstSaveOfANewFileLeavesNoFileAtAll) {
  const std::string fresh = dir_.File("new.dlg");
  for (Mode mode : {Mode::kOnce, Mode::kFromNOn}) {
    std::remove(fresh.c_str());
    const LoopResult loop =
        SaveWithEachFault(Seam::kFileOperation, mode, fresh, [&](int n, const std::string&) {
          EXPECT_FALSE(FileExists(fresh)) << "fault " << n;
          EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"doc.dlg"});
        });
    EXPECT_TRUE(loop.saved);
    EXPECT_EQ(ReadFileBytes(fresh), expected_);
  }
}

// Saving through a link replaces the file it names; a failure touches neither.
TEST_F(SaveFaults, FailedSaveThroughALinkKeepsTheLinkAndTheFileItNames) {
  const std::string linkDir = dir_.File("links");
  ASSERT_EQ(mkdir(linkDir.c_str(), 0755), 0);
  const std::string link = linkDir + "/doc-link.dlg";
  ASSERT_EQ(symlink(path_.c_str(), link.c_str()), 0);
  const LoopResult loop = SaveWithEachFault(
      Seam::kFileOperation, Mode::kFromNOn, link, [&](int n, const std::string& before) {
        struct stat info;
        ASSERT_EQ(lstat(link.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << "fault " << n;
        EXPECT_EQ(ReadFileBytes(path_), before) << "fault " << n;
        EXPECT_EQ(FolderEntries(linkDir), std::vector<std::string>{"doc-link.dlg"});
        EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"doc.dlg", "links"}));
      });
  EXPECT_TRUE(loop.saved);
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

// A save that failed changes nothing a later save depends on: the next one writes the document.
TEST_F(SaveFaults, SaveAfterAFailedSaveWritesTheWholeDocument) {
  DebugCapture capture;
  platform::FailFileOperationAfter(3);  // the large record, after the first part was written
  EXPECT_EQ(doc_.Save(path_.c_str()), 0);
  platform::ResetFileOperationFaults();
  EXPECT_EQ(ReadFileBytes(path_), previous_);
  EXPECT_EQ(doc_.Save(path_.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(path_), expected_);
  CDlgFile back;
  ASSERT_EQ(back.Load(path_.c_str()), 1);
  // The two lines in no plot are not loaded.
  EXPECT_EQ(back.GetLines().GetCount(), dlgtest::kLargeDocumentLines + 1);
}

}  // namespace
