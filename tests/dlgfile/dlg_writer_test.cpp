#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dlg_bytes.h"
#include "model/dlg_file.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "support/debug_capture.h"
#include "support/document_builder.h"
#include "support/temp_dir.h"

namespace {

using dlgtest::FileSpec;
using dlgtest::LineSpec;
using dlgtest::ReadLe32;

TEST(DlgWriter, EmptyDocumentIs152BytesOfHeaderColumnsAndZeroCounts) {
  TempDir dir;
  CDlgFile doc;
  doc.SetGameName("Game");
  doc.SetMultiLine(1);
  doc.SetColumns(1, 0, 1);
  ASSERT_EQ(doc.Save(dir.File("e.dlg").c_str()), 1);
  const std::string bytes = ReadFileBytes(dir.File("e.dlg"));
  ASSERT_EQ(bytes.size(), 152u);
  const std::string expected = dlgtest::Field("DLGTEXT", 8) + dlgtest::Field("QUILLHAVEN@", 32) +
                               dlgtest::Le32(104) + dlgtest::Le32(0) + dlgtest::Field("Game", 32) +
                               dlgtest::Le32(148) + dlgtest::Le32(1) + dlgtest::Le32(0) +
                               std::string(40, '\0') + dlgtest::Le32(1) + dlgtest::Le32(0) +
                               dlgtest::Le32(1) + dlgtest::Le32(0) + dlgtest::Le32(0);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(doc.GetVersion(), 104);
}

TEST(DlgWriter, OnePlotWithOneByteNameAndNoLinesIs228BytesWithIndexAt224) {
  TempDir dir;
  CDlgFile doc;
  doc.AddPlot("P", 10, 20);
  ASSERT_EQ(doc.Save(dir.File("p.dlg").c_str()), 1);
  const std::string bytes = ReadFileBytes(dir.File("p.dlg"));
  ASSERT_EQ(bytes.size(), 228u);
  EXPECT_EQ(ReadLe32(bytes, 80), 224);
  EXPECT_EQ(ReadLe32(bytes, 88), 0);
  EXPECT_EQ(ReadLe32(bytes, 144), 1);
  EXPECT_EQ(bytes.substr(148, 64), dlgtest::Field("P", 64));
  EXPECT_EQ(bytes.substr(212),
            dlgtest::Le32(10) + dlgtest::Le32(20) + dlgtest::Le32(0) + dlgtest::Le32(0));
}

TEST(DlgWriter, IdsZeroTwoFiveGiveSixEntriesWithHolesPointingAtTheNextRecord) {
  TempDir dir;
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("scene", 0, 10);
  AddTestLine(doc, plot, 5, "five", "Mina", "smile", "v5.wav");
  AddTestLine(doc, plot, 0, "zero");
  AddTestLine(doc, plot, 2, "two\r\nlines");
  ASSERT_EQ(doc.Save(dir.File("h.dlg").c_str()), 1);

  FileSpec layout;
  layout.plots = {{"scene", 0, 10, {5, 0, 2}}};
  layout.records = {{0, 0, "", "", "", "zero"},
                    {2, 0, "", "", "", "two\r\nlines"},
                    {5, 0, "Mina", "smile", "v5.wav", "five"}};
  layout.index = {{0, 0}, {-1, 1}, {2, 1}, {-1, 2}, {-1, 2}, {5, 2}};
  layout.lineCount = 3;
  const std::string bytes = ReadFileBytes(dir.File("h.dlg"));
  EXPECT_EQ(bytes, dlgtest::BuildFile(layout));
  EXPECT_EQ(ReadLe32(bytes, 88), 6);
  // Holes 1, 3 and 4 point at the records of IDs 2, 5 and 5.
  const int32_t index = ReadLe32(bytes, 80);
  EXPECT_EQ(ReadLe32(bytes, index + 8 + 4), ReadLe32(bytes, index + 16 + 4));
  EXPECT_EQ(ReadLe32(bytes, index + 24 + 4), ReadLe32(bytes, index + 40 + 4));
  EXPECT_EQ(ReadLe32(bytes, index + 32 + 4), ReadLe32(bytes, index + 40 + 4));
}

TEST(DlgWriter, LineOfFourEmptyStringsHasBodyLength60AndOccupies64Bytes) {
  CDlgItem line;
  line.SetID(3);
  line.SetPlotIndex(1);
  EXPECT_EQ(line.GetWriteSize(), 64);
  TempDir dir;
  std::FILE* file = std::fopen(dir.File("r").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(line.Write(file), 64);
  std::fclose(file);
  const std::string bytes = ReadFileBytes(dir.File("r"));
  EXPECT_EQ(ReadLe32(bytes, 0), 60);
  EXPECT_EQ(bytes, dlgtest::Record(LineSpec{3, 1, "", "", "", ""}));
}

TEST(DlgWriter, WriteReturnsMinusOneAndWritesNothingWhenTheBufferCannotBeAllocated) {
  TempDir dir;
  std::FILE* file = std::fopen(dir.File("r").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  CDlgItem line;
  platform::FailAllocationAfter(1);
  EXPECT_EQ(line.Write(file), -1);
  platform::ResetAllocationFaults();
  std::fclose(file);
  EXPECT_EQ(ReadFileBytes(dir.File("r")).size(), 0u);
}

TEST(DlgWriter, PlotIndexOfEveryMemberIsRefreshedAndLinesWithoutPlotKeepTheirs) {
  TempDir dir;
  CDlgFile doc;
  doc.AddPlot("a", -1, -1);
  doc.AddPlot("b", -1, -1);
  PlotPos third = doc.AddPlot("c", -1, -1);
  LinePos member = AddTestLine(doc, third, 7);
  doc.GetItem(member).SetPlotIndex(0);
  CDlgItem loose;
  loose.SetID(8);
  loose.SetPlotIndex(5);
  LinePos outside = doc.AddItem(loose, nullptr, nullptr);
  ASSERT_EQ(doc.Save(dir.File("x.dlg").c_str()), 1);
  EXPECT_EQ(doc.GetItem(member).GetPlotIndex(), 2);
  EXPECT_EQ(doc.GetItem(outside).GetPlotIndex(), 5);
}

TEST(DlgWriter, PlotIndexesAreRefreshedEvenWhenTheFileCannotBeCreated) {
  TempDir dir;
  CDlgFile doc;
  LinePos member = AddTestLine(doc, doc.AddPlot("a", -1, -1), 0);
  DebugCapture capture;
  const std::string path = dir.File("missing/x.dlg");
  EXPECT_EQ(doc.Save(path.c_str()), 0);
  EXPECT_EQ(doc.GetItem(member).GetPlotIndex(), 0);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::Save() Error (2) : Create save file failed(" + path + ").\n");
  EXPECT_EQ(doc.GetVersion(), 0);
}

TEST(DlgWriter, MemberIdsAppearInMemberOrderAndDeletedMembersLeaveCountZero) {
  TempDir dir;
  CDlgFile doc;
  PlotPos first = doc.AddPlot("first", -1, -1);
  PlotPos second = doc.AddPlot("second", -1, -1);
  AddTestLine(doc, first, 9);
  LinePos anchor = AddTestLine(doc, first, 4);
  CDlgItem middle;
  middle.SetID(6);
  doc.AddItem(middle, first, nullptr);
  LinePos gone = AddTestLine(doc, second, 1);
  doc.DeleteItem(gone, second);
  (void)anchor;
  ASSERT_EQ(doc.Save(dir.File("m.dlg").c_str()), 1);
  const std::string bytes = ReadFileBytes(dir.File("m.dlg"));
  EXPECT_EQ(bytes.substr(148 + 64, 24), dlgtest::Le32(-1) + dlgtest::Le32(-1) + dlgtest::Le32(3) +
                                            dlgtest::Le32(9) + dlgtest::Le32(4) + dlgtest::Le32(6));
  const size_t secondEntry = 148 + 76 + 12;
  EXPECT_EQ(bytes.substr(secondEntry, 64), dlgtest::Field("second", 64));
  EXPECT_EQ(ReadLe32(bytes, secondEntry + 72), 0);
}

TEST(DlgWriter, GameNameOf32BytesOrMoreIsCutTo31InTheFileOnly) {
  TempDir dir;
  CDlgFile doc;
  const std::string name(40, 'g');
  doc.SetGameName(name.c_str());
  ASSERT_EQ(doc.Save(dir.File("g.dlg").c_str()), 1);
  const std::string bytes = ReadFileBytes(dir.File("g.dlg"));
  EXPECT_EQ(bytes.substr(48, 32), std::string(31, 'g') + std::string(1, '\0'));
  EXPECT_EQ(ReadLe32(bytes, 80), 148);
  EXPECT_EQ(std::string(doc.GetGameName().c_str()), name);
}

TEST(DlgWriter, PlotNameOf64BytesOrMoreIsCutTo63) {
  TempDir dir;
  CDlgFile doc;
  const std::string name(64, 'p');
  doc.AddPlot(name.c_str(), 3, 4);
  ASSERT_EQ(doc.Save(dir.File("n.dlg").c_str()), 1);
  const std::string bytes = ReadFileBytes(dir.File("n.dlg"));
  EXPECT_EQ(bytes.substr(148, 64), std::string(63, 'p') + std::string(1, '\0'));
  EXPECT_EQ(ReadLe32(bytes, 148 + 64), 3);
}

TEST(DlgWriter, SecondLineOfAnIdGetsNoEntryNoRecordAndIsReported) {
  TempDir dir;
  CDlgFile doc;
  PlotPos a = doc.AddPlot("a", -1, -1);
  PlotPos b = doc.AddPlot("b", -1, -1);
  AddTestLine(doc, a, 0, "first zero");
  AddTestLine(doc, b, 1, "one");
  AddTestLine(doc, b, 0, "second zero");
  AddTestLine(doc, a, 2, "two");
  DebugCapture capture;
  ASSERT_EQ(doc.Save(dir.File("d.dlg").c_str()), 1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::Save() Error (3) : ID is negative or duplicated(0), line not written!\n");

  FileSpec layout;
  layout.plots = {{"a", -1, -1, {0, 2}}, {"b", -1, -1, {1, 0}}};
  layout.records = {
      {0, 0, "", "", "", "first zero"}, {1, 1, "", "", "", "one"}, {2, 0, "", "", "", "two"}};
  layout.index = {{0, 0}, {1, 1}, {2, 2}};
  layout.lineCount = 4;  // the header counts every line of the document
  EXPECT_EQ(ReadFileBytes(dir.File("d.dlg")), dlgtest::BuildFile(layout));
}

TEST(DlgWriter, LineWithNegativeIdIsNotWrittenSoEntryKStaysIdK) {
  TempDir dir;
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("a", -1, -1);
  LinePos broken = AddTestLine(doc, plot, 0, "broken");
  doc.GetItem(broken).SetID(-4);
  AddTestLine(doc, plot, 1, "one");
  DebugCapture capture;
  ASSERT_EQ(doc.Save(dir.File("n.dlg").c_str()), 1);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "CDlgFile::Save() Error (3) : ID is negative or duplicated(-4), line not written!\n");
  FileSpec layout;
  layout.plots = {{"a", -1, -1, {-4, 1}}};
  layout.records = {{1, 0, "", "", "", "one"}};
  layout.index = {{-1, 0}, {1, 0}};
  layout.lineCount = 2;
  EXPECT_EQ(ReadFileBytes(dir.File("n.dlg")), dlgtest::BuildFile(layout));
}

TEST(DlgWriter, HighIdWritesEveryHoleWithoutHoldingThem) {
  TempDir dir;
  CDlgFile doc;
  PlotPos plot = doc.AddPlot("a", -1, -1);
  AddTestLine(doc, plot, 3, "low");
  AddTestLine(doc, plot, 200000, "high");
  ASSERT_EQ(doc.Save(dir.File("big.dlg").c_str()), 1);
  const std::string bytes = ReadFileBytes(dir.File("big.dlg"));
  const int32_t index = ReadLe32(bytes, 80);
  ASSERT_EQ(ReadLe32(bytes, 88), 200001);
  const int32_t firstRecord = index + 8 * 200001;
  const int32_t secondRecord = firstRecord + 64 + 3;
  EXPECT_EQ(ReadLe32(bytes, index), -1);
  EXPECT_EQ(ReadLe32(bytes, index + 4), firstRecord);
  EXPECT_EQ(ReadLe32(bytes, index + 24 + 4), firstRecord);
  EXPECT_EQ(ReadLe32(bytes, index + 8 * 123456), -1);
  EXPECT_EQ(ReadLe32(bytes, index + 8 * 123456 + 4), secondRecord);
  EXPECT_EQ(ReadLe32(bytes, index + 8 * 200000), 200000);
  EXPECT_EQ(bytes.size(), static_cast<size_t>(secondRecord + 64 + 4 + 4));
}

class DlgWriterFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    PlotPos plot = doc_.AddPlot("scene", 0, 100);
    AddTestLine(doc_, plot, 0, "hello", "Mina");
    AddTestLine(doc_, plot, 4, "world");
    path_ = dir_.File("doc.dlg");
    ASSERT_EQ(doc_.Save(path_.c_str()), 1);
    expected_ = ReadFileBytes(path_);
    WriteFileBytes(path_, old_);
  }
  void TearDown() override {
    platform::ResetFileOperationFaults();
    platform::ResetAllocationFaults();
  }

  // Saves with the Nth operation failing until a save succeeds; every failed save must leave the
  // old file and nothing else.
  template <typename Arm, typename Count>
  void SaveFailingEachStep(Arm arm, Count count, const std::string& message) {
    WriteFileBytes(path_, old_);
    bool saved = false;
    for (int n = 1; n < 1000 && !saved; ++n) {
      DebugCapture capture;
      arm(n);
      const int result = doc_.Save(path_.c_str());
      const long operations = count();
      platform::ResetFileOperationFaults();
      platform::ResetAllocationFaults();
      if (result == 1) {
        EXPECT_EQ(ReadFileBytes(path_), expected_) << n;
        saved = true;
        break;
      }
      ASSERT_LE(n, operations) << "failed without an injected fault";
      EXPECT_EQ(ReadFileBytes(path_), old_) << n;
      EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"doc.dlg"}) << n;
      ASSERT_FALSE(capture.lines().empty());
      const std::string& last = capture.lines().back();
      EXPECT_TRUE(last == message || last.find("Create save file failed") != std::string::npos ||
                  last.find("Not enough memory") != std::string::npos)
          << last;
    }
    EXPECT_TRUE(saved);
  }

  TempDir dir_;
  CDlgFile doc_;
  std::string path_;
  std::string expected_;
  const std::string old_ = "the previous file";
};

TEST_F(DlgWriterFailure, FailedFileOperationLeavesTheOldFileByteForByte) {
  const std::string message =
      "CDlgFile::Save() Error (4) : Write save file failed(" + path_ + ").\n";
  SaveFailingEachStep([](int n) { platform::FailFileOperationAfter(n); },
                      [] { return platform::FileOperationCount(); }, message);
  SaveFailingEachStep([](int n) { platform::FailFileOperationAfter(n, true); },
                      [] { return platform::FileOperationCount(); }, message);
}

TEST_F(DlgWriterFailure, FailedAllocationLeavesTheOldFileByteForByte) {
  const std::string message =
      "CDlgFile::Save() Error (4) : Write save file failed(" + path_ + ").\n";
  SaveFailingEachStep([](int n) { platform::FailAllocationAfter(n, true); },
                      [] { return platform::AllocationCount(); }, message);
}

TEST_F(DlgWriterFailure, OutOfMemoryForTheSortedCopyIsReportedBeforeAnyFileIsTouched) {
  DebugCapture capture;
  platform::FailAllocationAfter(1);
  EXPECT_EQ(doc_.Save(path_.c_str()), 0);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0], "CDlgFile::Save() Error (1) : Not enough memory(" + path_ + ").\n");
  EXPECT_EQ(ReadFileBytes(path_), old_);
}

TEST_F(DlgWriterFailure, FailedWriteKeepsTheVersionOfTheDocument) {
  CDlgFile doc;
  DebugCapture capture;
  platform::FailFileOperationAfter(2);  // the first write
  EXPECT_EQ(doc.Save(path_.c_str()), 0);
  EXPECT_EQ(doc.GetVersion(), 0);
}

TEST(DlgWriterTarget, ExistingFileKeepsItsPermissionBits) {
  TempDir dir;
  const std::string path = dir.File("mode.dlg");
  WriteFileBytes(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  CDlgFile doc;
  ASSERT_EQ(doc.Save(path.c_str()), 1);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_size, 152);
}

TEST(DlgWriterTarget, LongestFileNameStillSaves) {
  TempDir dir;
  const std::string path = dir.File(std::string(251, 'n') + ".dlg");
  CDlgFile doc;
  ASSERT_EQ(doc.Save(path.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(path).size(), 152u);
}

TEST(DlgWriterTarget, SymbolicLinkIsWrittenThroughAndStaysALink) {
  TempDir dir;
  const std::string real = dir.File("real.dlg");
  const std::string link = dir.File("link.dlg");
  WriteFileBytes(real, "old");
  ASSERT_EQ(symlink("real.dlg", link.c_str()), 0);
  CDlgFile doc;
  ASSERT_EQ(doc.Save(link.c_str()), 1);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(real).size(), 152u);
}

}  // namespace
